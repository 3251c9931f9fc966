#pragma once
// Path and file-name helpers on the host's UTF-16 strings. Pure functions: no file system access.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace addin {

namespace PathNames {

/// Folder part of a full path, trailing backslash included; empty when the path has no backslash.
/// Leading and trailing U+0020 spaces of the path are ignored (other white space is kept).
std::u16string GetPathFolder(const std::u16string& path);

/// Splits a file name at its last ".": stores the base name in `baseName` and returns the extension
/// without the dot. A name without any "." is returned whole as the base (spaces included) with an
/// empty extension. A name that cannot be split (nothing before or after the last dot, or an
/// extension of 98 code units or more) gives an empty base and an empty extension.
std::u16string SplitFileName(const std::u16string& fileName, std::u16string& baseName);

/// The longest full path the system's dialogs and file calls accept without long-path support.
inline constexpr std::size_t MaxPathLength = 259;
/// The longest single file name (one path component) the usual file systems accept.
inline constexpr std::size_t MaxNameLength = 255;

/// True for the characters that reorder or hide text without showing themselves: the bidirectional
/// marks, embeddings, overrides and isolates (U+061C, U+200E, U+200F, U+202A-U+202E, U+2066-U+2069).
bool IsFormattingControl(char16_t c) noexcept;
/// True for a character no Windows file name may hold: \ / : * ? " < > | and U+0000-U+001F.
bool IsForbiddenInFileName(char16_t c) noexcept;
/// True when the system would open a device for `name`: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9
/// and LPT1-9 (also with the superscript digits 1-3), in any letter case, before the first dot,
/// trailing spaces ignored.
bool IsReservedDeviceName(std::u16string_view name) noexcept;

/// `text` with every forbidden character and every formatting control replaced by "_": a piece of
/// text from outside (a sender's name, a date) that becomes part of a file name.
std::u16string ReplaceUnsafeCharacters(std::u16string text);

/// A name from outside (an attachment's, or typed) as a name that is safe and true: only the part
/// after the last "\" or "/"; unsafe characters replaced (ReplaceUnsafeCharacters); trailing dots
/// and spaces, which the system drops when it writes, removed; a reserved device name prefixed by
/// "_". Ordinary names come back unchanged; a name with nothing left is empty.
std::u16string SafeFileName(const std::u16string& fileName);

/// How long a file name may be in `folder` (as a Save As dialog reports it: no trailing backslash
/// except for a drive root; empty when unknown) so that the full path stays within MaxPathLength,
/// and never more than MaxNameLength. Zero when even the folder is too long.
std::size_t RoomInFolder(const std::u16string& folder) noexcept;

/// `head + tail` as a sound name of at most `room` code units: `head` is shortened from its end
/// (never splitting a surrogate pair, never below one character) until the name fits, ends with
/// neither a dot nor a space and is no device name; a device name that fits is prefixed by "_".
/// `tail` (an extension with its dot, a number) is kept whole. Nothing when no such name exists.
std::optional<std::u16string> TryFitName(const std::u16string& head, const std::u16string& tail, std::size_t room);

/// A safe name (SafeFileName's result) shortened in its base name so that it fits into `folder`
/// (RoomInFolder); the extension (the last dot and at most 97 units after it) is kept. A name that
/// fits, or one whose one-character base would still not fit, comes back unchanged.
std::u16string FitFileName(const std::u16string& name, const std::u16string& folder);

/// Whether two full paths name the same file as the system compares names: equal but for the
/// case of ASCII letters. (Other letters compare exactly: a false "different" is the safe answer.)
bool SamePath(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace PathNames

}  // namespace addin
