// The path functions on any text: GetPathFolder gives a prefix of the trimmed path ending at its last
// backslash; SplitFileName either splits the trimmed name at its last dot into two non-empty parts
// with a short extension, or gives the dot-less name whole, or nothing at all.
#include "addin/core/PathNames.h"
#include "fuzz/FuzzSupport.h"

using namespace addin;

namespace {

std::u16string TrimSpaces(const std::u16string& s) {
    const auto first = s.find_first_not_of(u' ');
    return first == std::u16string::npos ? std::u16string() : s.substr(first, s.find_last_not_of(u' ') - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using fuzz::Check;
    for (const std::u16string& text : fuzz::Lines(data, size)) {
        const std::u16string trimmed = TrimSpaces(text);
        const std::u16string folder = PathNames::GetPathFolder(text);
        const auto slash = trimmed.rfind(u'\\');
        Check(folder.empty() == (slash == std::u16string::npos), "a folder exactly when there is a backslash");
        Check(folder.empty() || folder == trimmed.substr(0, slash + 1), "the folder ends at the last backslash");

        std::u16string base = u"unchanged";
        const std::u16string extension = PathNames::SplitFileName(text, base);
        Check(extension.find(u'.') == std::u16string::npos, "no dot in the extension");
        Check(extension.size() <= 97, "an extension of at most 97 units");
        if (text.find(u'.') == std::u16string::npos) {
            Check(base == text && extension.empty(), "a dot-less name is the base, whole");
        } else if (!extension.empty()) {
            Check(!base.empty() && base + u"." + extension == trimmed, "base and extension make the trimmed name");
        } else {
            Check(base.empty(), "a name that cannot be split gives nothing");
            const auto dot = trimmed.rfind(u'.');
            Check(dot == 0 || dot + 1 == trimmed.size() || trimmed.size() - dot - 1 > 97,
                  "only a name with nothing before or after its last dot, or a long extension, fails");
        }
    }
    return 0;
}
