// The stored preference's text read as a Boolean: "True" and "False" in any letter case, or a number
// (blanks around it allowed), anything else a type mismatch and nothing else; what is saved reads
// back as it was.
#include "addin/core/Preferences.h"
#include "fuzz/FuzzSupport.h"

using namespace addin;

namespace {

// 0 false, 1 true, -1 a type mismatch; any other failure stops the run.
int Read(const std::u16string& text) {
    try {
        return Preferences::TextToBoolean(text) ? 1 : 0;
    } catch (const HostError& e) {
        fuzz::Check(e.status == HostStatus::TypeMismatch, "the only failure is a type mismatch");
        return -1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using fuzz::Check;
    for (const std::u16string& text : fuzz::Lines(data, size)) {
        const int value = Read(text);
        std::u16string upper, lower;
        for (char16_t c : text) {
            upper += fuzz::AsciiUpper(c);
            lower += c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
        }
        Check(Read(upper) == value && Read(lower) == value, "letter case does not matter");
        if (lower == u"true" || lower == u"false") Check(value == (lower == u"true"), "the two words");
        else if (value >= 0) Check(Read(u" \t" + text + u"\t ") == value, "blanks around a number do not matter");
        if (text.empty() || text.find_first_not_of(u" \t") == std::u16string::npos) Check(value == -1, "blank text is no Boolean");
    }
    Check(Read(u"True") == 1 && Read(u"False") == 0, "what is saved reads back");
    return 0;
}
