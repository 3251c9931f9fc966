#pragma once
// The one failure type of the core: a status code (an HRESULT on Windows) and the host's text.
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

/// A failed call into the host or the platform. `status` is the code the call failed with (negative,
/// as an HRESULT), `text` the description the host gave, possibly empty.
struct HostError : std::exception {
    int32_t status;
    std::u16string text;

    HostError(int32_t status_, std::u16string text_) : status(status_), text(std::move(text_)) {}

    const char* what() const noexcept override { return "HostError"; }
};
