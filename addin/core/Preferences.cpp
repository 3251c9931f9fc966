#include "addin/core/Preferences.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "addin/core/Platform.h"
#include "base/Ascii.h"
#include "base/HostError.h"

namespace addin {

namespace Preferences {

namespace {

// Plain data: a thread-local object with a destructor would pin the DLL to each thread and crash
// the host when a thread ends after the add-in was unloaded.
thread_local bool replaceWithLinks = false;
thread_local bool shortcutsRefused = false;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// A whole decimal number, blanks allowed around it: sign, digits, fraction, exponent.
bool ParseNumber(const std::u16string& text, double& value) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    std::string ascii;
    for (size_t i = b; i < e; ++i) {
        if (text[i] > 0x7F) return false;
        ascii += static_cast<char>(text[i]);
    }
    if (ascii.empty() || ascii.find_first_of("0123456789") == std::string::npos) return false;
    if (ascii.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    char* end = nullptr;
    value = std::strtod(ascii.c_str(), &end);
    return end == ascii.c_str() + ascii.size();
}

}  // namespace

bool ReplaceWithLinks() noexcept { return replaceWithLinks; }

void SetReplaceWithLinks(bool value) noexcept { replaceWithLinks = value; }

bool ShortcutsRefused() noexcept { return shortcutsRefused; }

void SetShortcutsRefused(bool value) noexcept { shortcutsRefused = value; }

bool TextToBoolean(const std::u16string& text) {
    const std::u16string lower = base::ToAsciiLower(text);
    if (lower == u"true") return true;
    if (lower == u"false") return false;
    double value = 0;
    if (!ParseNumber(text, value)) throw HostError(HostStatus::TypeMismatch, u"Type mismatch");
    return value != 0;
}

void LoadPreferences(Platform& platform) {
    const std::u16string stored = platform.GetSetting(AppName, Section, Key, kDefault ? u"True" : u"False");
    replaceWithLinks = TextToBoolean(stored);
}

void SavePreferences(Platform& platform) {
    platform.SaveSetting(AppName, Section, Key, replaceWithLinks ? u"True" : u"False");
}

}  // namespace Preferences

}  // namespace addin
