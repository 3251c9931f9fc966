#pragma once
// The entry-point guard: no exception crosses a COM method, window or dialog procedure, or hook.
#include <windows.h>

#include <source_location>
#include <type_traits>
#include <utility>

namespace com {

/// The HRESULT for the exception being handled (call only inside a catch block): a HostError gives
/// its status (E_FAIL if that status is not a failure), std::bad_alloc E_OUTOFMEMORY, anything else
/// E_UNEXPECTED. With `setErrorInfo` the HostError's text becomes the thread's error information,
/// which IDispatch::Invoke reports in EXCEPINFO; otherwise the error information is cleared. The
/// failure is reported to the debug output with `where`, the entry point that caught it.
[[nodiscard]] HRESULT currentExceptionStatus(bool setErrorInfo,
                                             std::source_location where = std::source_location::current()) noexcept;

/// Runs a COM method's body. `body` returns an HRESULT, or nothing for S_OK; every exception
/// becomes its HRESULT (see currentExceptionStatus) with the error information set.
template <class Body>
[[nodiscard]] HRESULT guard(Body&& body, std::source_location where = std::source_location::current()) noexcept {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Body&>>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (...) {
        return currentExceptionStatus(true, where);
    }
}

/// Runs the body of a COM method that answers through `out`: E_POINTER when `out` is null;
/// otherwise an interface pointer or BSTR out-parameter starts as null, so a failure hands out nothing,
/// and `body` runs as in guard. A failure is reported with the caller's place, not this one.
template <class T, class Body>
[[nodiscard]] HRESULT guardOut(T* out, Body&& body,
                               std::source_location where = std::source_location::current()) noexcept {
    if (!out) return E_POINTER;
    if constexpr (std::is_pointer_v<T>) *out = nullptr;
    return guard(std::forward<Body>(body), where);
}

/// Runs the body of a window or dialog procedure or of a hook: returns `onError` when it throws.
template <class Result, class Body>
[[nodiscard]] Result guardOr(Result onError, Body&& body,
                             std::source_location where = std::source_location::current()) noexcept {
    try {
        return body();
    } catch (...) {
        (void)currentExceptionStatus(false, where);
        return onError;
    }
}

}  // namespace com
