#pragma once
// RAII holders for Windows handles: registry keys, windows, GDI objects, CoTaskMem strings, global
// memory, SAFEARRAYs, open files and file searches. Each closes its handle exactly once; moves transfer it.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace com {

/// One owned handle; `Traits` names the handle type, its empty value and how to close it.
template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::empty(); }

    [[nodiscard]] Handle release() noexcept { return std::exchange(h_, Traits::empty()); }

    void reset(Handle h = Traits::empty()) noexcept {
        Handle old = std::exchange(h_, h);
        if (old != Traits::empty()) Traits::close(old);
    }

    /// Closes what is held and returns the slot for an out-parameter.
    [[nodiscard]] Handle* put() noexcept {
        reset();
        return &h_;
    }

private:
    Handle h_ = Traits::empty();
};

/// A handle whose empty value is null, closed by `Close`.
template <class H, auto Close>
struct NullEmptyTraits {
    using Handle = H;
    static H empty() noexcept { return nullptr; }
    static void close(H h) noexcept { Close(h); }
};

/// A handle whose failure value is INVALID_HANDLE_VALUE (CreateFileW, FindFirstFileW), closed by `Close`.
template <auto Close>
struct InvalidEmptyTraits {
    using Handle = HANDLE;
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { Close(h); }
};

using RegKey = UniqueHandle<NullEmptyTraits<HKEY, RegCloseKey>>;
/// Destroys the window; must be reset on the thread that created it.
using Window = UniqueHandle<NullEmptyTraits<HWND, DestroyWindow>>;
template <class Gdi>
using GdiObject = UniqueHandle<NullEmptyTraits<Gdi, DeleteObject>>;
using CoTaskMemString = UniqueHandle<NullEmptyTraits<wchar_t*, CoTaskMemFree>>;
using GlobalMemory = UniqueHandle<NullEmptyTraits<HGLOBAL, GlobalFree>>;
using SafeArray = UniqueHandle<NullEmptyTraits<SAFEARRAY*, SafeArrayDestroy>>;
using File = UniqueHandle<InvalidEmptyTraits<CloseHandle>>;
using Find = UniqueHandle<InvalidEmptyTraits<FindClose>>;

}  // namespace com
