// A name from outside made safe (SafeFileName) and fitted to a folder (FitFileName): the result is a
// sound Windows file name, safe names come back unchanged, the extension stays, a name is shortened
// only in its base and no more than it must, never across a surrogate pair, and it fits wherever a
// one-character base fits.
// Lines: the name, then the folder.
#include "addin/core/PathNames.h"
#include "fuzz/FuzzSupport.h"

using namespace addin;

namespace {

// The extension as the fitting keeps it: the last dot and 1 to 97 units after it, with something
// before the dot.
std::size_t ExtensionStart(const std::u16string& name) {
    const auto dot = name.rfind(u'.');
    if (dot == std::u16string::npos || dot == 0 || dot + 1 == name.size() || name.size() - dot - 1 > 97)
        return name.size();
    return dot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using fuzz::Check;
    const std::vector<std::u16string> lines = fuzz::Lines(data, size);
    const std::u16string& name = lines[0];
    const std::u16string folder = lines.size() > 1 ? lines[1] : std::u16string();

    const std::u16string safe = PathNames::SafeFileName(name);
    Check(safe.empty() || fuzz::IsSoundFileName(safe), "a safe name is sound");
    Check(PathNames::SafeFileName(safe) == safe, "a safe name stays as it is");
    if (fuzz::IsSoundFileName(name)) Check(safe == name, "a sound name is not changed");
    if (safe.empty()) return 0;

    const std::u16string fitted = PathNames::FitFileName(safe, folder);
    const std::size_t room = PathNames::RoomInFolder(folder);
    Check(fuzz::IsSoundFileName(fitted), "a fitted name is sound");
    if (safe.size() <= room) {
        Check(fitted == safe, "a name that fits is not changed");
        return 0;
    }
    const std::size_t dot = ExtensionStart(safe);
    const std::u16string extension = safe.substr(dot);
    // The shortest name that keeps the extension: one character of base, sound as it is cut.
    bool oneFits = false;
    for (std::size_t n = 1; n <= dot && extension.size() + n <= room && !oneFits; ++n)
        oneFits = !fuzz::SplitsPairAt(safe, n) && fuzz::IsSoundFileName(safe.substr(0, n) + extension);
    if (fitted == safe) {
        Check(!oneFits, "a name is left too long only when no shortened one fits");
        return 0;
    }
    Check(fitted.size() <= room, "a shortened name fits");
    Check(fitted.size() >= extension.size() && fitted.compare(fitted.size() - extension.size(), extension.size(),
                                                               extension) == 0,
          "the extension is kept");
    const std::u16string base = fitted.substr(0, fitted.size() - extension.size());
    Check(safe.compare(0, base.size(), base) == 0 && base.size() < dot, "only the base is shortened, from its end");
    Check(!fuzz::SplitsPairAt(safe, base.size()), "no surrogate pair is split");
    for (std::size_t n = base.size() + 1; n <= dot && extension.size() + n <= room; ++n)
        Check(fuzz::SplitsPairAt(safe, n) || !fuzz::IsSoundFileName(safe.substr(0, n) + extension),
              "the base is cut no shorter than it must be");
    return 0;
}
