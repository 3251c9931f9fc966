#pragma once
// A saved file's path as the link a body carries, and the link read back: file URIs as RFC 8089
// writes them for Windows paths. Pure functions; a mapped drive's UNC path is the caller's to find.
#include <optional>
#include <string>
#include <string_view>

namespace addin {

namespace FileUri {

/// The URI of a full path: "C:\dir\a b.txt" gives "file:///C:/dir/a%20b.txt", "\\server\share\a.txt"
/// gives "file://server/share/a.txt"; the long forms "\\?\C:\..." and "\\?\UNC\server\share\..." give
/// the same. Each name is written in UTF-8 and every byte outside RFC 3986's path characters is
/// percent-encoded, "!" too (a "!" in a file link makes some readers load an object from the file).
/// Nothing for a path that names no file: relative, a bare drive or share, an empty, "." or ".."
/// name, a character no file name may hold, a lone surrogate.
std::optional<std::string> FromPath(std::u16string_view path);

/// The path of a URI that FromPath could have written (the scheme in any letter case, "localhost"
/// or nothing before a drive, escapes in either case), in its plain form, or its long form ("\\?\")
/// when the plain one exceeds PathNames::MaxPathLength. Nothing for anything else: another scheme,
/// a query or fragment, a character a URI may not hold, an escape that is no UTF-8 or that gives a
/// separator or a character no file name may hold.
std::optional<std::u16string> ToPath(std::string_view uri);

}  // namespace FileUri

}  // namespace addin
