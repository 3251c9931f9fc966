#include "addin/core/HostVersion.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "addin/core/host/Application.h"
#include "base/HostError.h"

namespace addin {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The longest prefix (after blanks) that reads as a decimal number, as ASCII.
std::string NumberPrefix(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;
    std::string number;
    auto take = [&] { number += static_cast<char>(text[i++]); };
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) take();
    while (i < text.size() && IsDigit(text[i])) take();
    if (i < text.size() && text[i] == u'.') {
        take();
        while (i < text.size() && IsDigit(text[i])) take();
    }
    // An exponent counts only after a mantissa and when digits follow it.
    const bool mantissa = number.find_first_of("0123456789") != std::string::npos;
    if (mantissa && i < text.size() && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            number += 'e';
            ++i;
            if (text[i] == u'+' || text[i] == u'-') take();
            while (i < text.size() && IsDigit(text[i])) take();
        }
    }
    return number;
}

}  // namespace

int16_t MajorVersionOf(const std::u16string& version) {
    const size_t dot = version.find(u'.');
    if (dot == std::u16string::npos) return -1;
    const std::string number = NumberPrefix(version.substr(0, dot));
    const double value = number.find_first_of("0123456789") == std::string::npos ? 0.0 : std::strtod(number.c_str(), nullptr);
    const double rounded = std::nearbyint(value);  // default rounding: to nearest, halves to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw HostError(HostStatus::Overflow, u"Overflow");
    return static_cast<int16_t>(rounded);
}

void HostVersion::Read(host::Application& application) {
    const std::u16string version = application.Version();
    major_ = -1;
    major_ = MajorVersionOf(version);
}

}  // namespace addin
