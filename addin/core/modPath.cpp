#include "core/modPath.h"

namespace modPath {
namespace {

std::u16string TrimSpaces(const std::u16string& s) {
    const auto first = s.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return s.substr(first, s.find_last_not_of(u' ') - first + 1);
}

// The longest accepted extension, in code units (the piece after the dot still carries the
// closing sentinel, so the rejected pieces are 99 units or longer).
constexpr std::size_t kMaxExtension = 97;

}  // namespace

std::u16string GetPathFolder(const std::u16string& path) {
    const std::u16string trimmed = TrimSpaces(path);
    const auto slash = trimmed.rfind(u'\\');
    if (slash == std::u16string::npos) return {};
    return trimmed.substr(0, slash + 1);
}

std::u16string SplitFileName(const std::u16string& fileName, std::u16string& baseName) {
    if (fileName.find(u'.') == std::u16string::npos) {
        baseName = fileName;
        return {};
    }
    // The "+" sentinels keep both pieces non-empty; they are removed by position, so a "+" that is
    // part of the name is an ordinary character.
    const std::u16string work = u"+" + TrimSpaces(fileName) + u"+";
    const auto dot = work.rfind(u'.');
    const std::u16string after = work.substr(dot + 1);
    const std::u16string before = work.substr(0, dot);
    if (after.size() > kMaxExtension + 1 || after == u"+" || before == u"+") {
        baseName.clear();
        return {};
    }
    baseName = before.substr(1);
    return after.substr(0, after.size() - 1);
}

}  // namespace modPath
