#pragma once
// The host's major version number, read once at connection and handed to what depends on it.
#include <cstdint>
#include <string>

namespace host {
class Application;
}

namespace addin {

/// The host's major version as one connection read it.
class HostVersion {
public:
    /// -1 until read, and when it cannot be derived.
    int16_t Major() const noexcept { return major_; }
    /// Reads the application's Version text (see MajorVersionOf). A failure is thrown and leaves -1.
    void Read(host::Application& application);

private:
    int16_t major_ = -1;
};

/// The number before the first "." of `version`, -1 when there is no ".". The text before it is read
/// as a decimal number: leading blanks skipped, reading stops at the first character that is not
/// part of a number, empty text gives 0; the value is rounded to nearest, halves to even. Outside
/// the signed 16-bit range it throws HostError (HostStatus::Overflow).
int16_t MajorVersionOf(const std::u16string& version);

}  // namespace addin
