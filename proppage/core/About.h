#pragma once
// The About box's texts: its caption, the application title and the version as it is shown.
#include <cstdint>
#include <string>

namespace proppage::About {

/// The library's application title.
inline constexpr char16_t AppTitle[] = u"Quenmark Save Attachments";
inline constexpr char16_t VersionLabel[] = u"Version";
inline constexpr char16_t SupportLabel[] = u"Support:";
inline constexpr char16_t DocumentationLabel[] = u"Documentation:";
inline constexpr char16_t OkCaption[] = u"OK";

/// "About " followed by the application title.
std::u16string Caption();

/// major.minor.revision in plain decimal, no leading zeros: 1.2.0 gives "1.2.0".
std::u16string FormatVersion(uint16_t major, uint16_t minor, uint16_t revision);

}  // namespace proppage::About
