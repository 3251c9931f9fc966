#pragma once
// The one failure type of the core: a status code (an HRESULT on Windows) and the host's text.
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>

/// A failed call into the host or the platform. `status` is the code the call failed with (negative,
/// as an HRESULT), `text` the description the host gave, possibly empty.
struct HostError : std::exception {
    int32_t status;
    std::u16string text;

    HostError(int32_t status_, std::u16string text_) : status(status_), text(std::move(text_)) {}
    explicit HostError(int32_t status_) : status(status_) {}

    const char* what() const noexcept override { return "HostError"; }
};

/// Status codes the core raises or tests for. The values are the host platform's, so the Windows
/// layer returns them unchanged.
namespace HostStatus {
inline constexpr int32_t NotImplemented = static_cast<int32_t>(0x80004001u);
inline constexpr int32_t NoInterface = static_cast<int32_t>(0x80004002u);
/// A reference to an object that is nothing.
inline constexpr int32_t Pointer = static_cast<int32_t>(0x80004003u);
inline constexpr int32_t Fail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t OutOfMemory = static_cast<int32_t>(0x8007000Eu);
inline constexpr int32_t Unexpected = static_cast<int32_t>(0x8000FFFFu);
inline constexpr int32_t InvalidArg = static_cast<int32_t>(0x80070057u);
/// A member the object does not have (late binding by name).
inline constexpr int32_t MemberNotFound = static_cast<int32_t>(0x80020003u);
/// A value of the wrong kind, e.g. text that is not a Boolean.
inline constexpr int32_t TypeMismatch = static_cast<int32_t>(0x80020005u);
/// A number outside the range of its target type.
inline constexpr int32_t Overflow = static_cast<int32_t>(0x8002000Au);
/// A file that could not be found.
inline constexpr int32_t FileNotFound = static_cast<int32_t>(0x80070002u);
/// The host's answer to a protected member that its object-model guard refused (the user answered
/// No to its security prompt): MAPI_E_NOT_SUPPORTED.
inline constexpr int32_t GuardRefused = static_cast<int32_t>(0x80040102u);
/// MAPI_E_NOT_FOUND: the object has no such property (PropertyAccessor.GetProperty).
inline constexpr int32_t NotFound = static_cast<int32_t>(0x8004010Fu);
/// MAPI_E_NO_ACCESS (E_ACCESSDENIED): the user may not change the object (a save of an item in a
/// folder the user may only read).
inline constexpr int32_t NoAccess = static_cast<int32_t>(0x80070005u);
}  // namespace HostStatus

/// `object` itself; Nothing (an empty reference) where the host promises an object fails as the
/// host's late binding does, with HostStatus::Pointer, so it is handled like any other failure.
template <class T>
std::shared_ptr<T> Require(std::shared_ptr<T> object) {
    if (!object) throw HostError(HostStatus::Pointer, u"Object variable not set");
    return object;
}
