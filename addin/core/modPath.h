#pragma once
// Path and file-name helpers on the host's UTF-16 strings. Pure functions: no file system access.
#include <string>

namespace modPath {

/// Folder part of a full path, trailing backslash included; empty when the path has no backslash.
/// Leading and trailing U+0020 spaces of the path are ignored (other white space is kept).
std::u16string GetPathFolder(const std::u16string& path);

/// Splits a file name at its last ".": stores the base name in `baseName` and returns the extension
/// without the dot. A name without any "." is returned whole as the base (spaces included) with an
/// empty extension. A name that cannot be split (nothing before or after the last dot, or an
/// extension of 98 code units or more) gives an empty base and an empty extension.
std::u16string SplitFileName(const std::u16string& fileName, std::u16string& baseName);

}  // namespace modPath
