#pragma once
// The host's major version number, read once at connection.
#include <cstdint>
#include <string>

namespace host {
class Application;
}

namespace OfficeVer {

/// The host's major version, or -1 when it cannot be derived. Process-wide; -1 until read.
extern int16_t OfficeMajorVersion;

/// Sets OfficeMajorVersion from the application's Version text (see MajorVersionOf).
void ReadOfficeVersion(host::Application& application);

/// The number before the first "." of `version`, -1 when there is no ".". The text before it is read
/// as a decimal number: leading blanks skipped, reading stops at the first character that is not
/// part of a number, empty text gives 0; the value is rounded to nearest, halves to even. Outside
/// the signed 16-bit range it throws HostError (HostStatus::Overflow).
int16_t MajorVersionOf(const std::u16string& version);

}  // namespace OfficeVer
