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

struct RegKeyTraits {
    using Handle = HKEY;
    static HKEY empty() noexcept { return nullptr; }
    static void close(HKEY h) noexcept { RegCloseKey(h); }
};

/// Destroys the window; must be reset on the thread that created it.
struct WindowTraits {
    using Handle = HWND;
    static HWND empty() noexcept { return nullptr; }
    static void close(HWND h) noexcept { DestroyWindow(h); }
};

template <class Gdi>
struct GdiTraits {
    using Handle = Gdi;
    static Gdi empty() noexcept { return nullptr; }
    static void close(Gdi h) noexcept { DeleteObject(h); }
};

struct CoTaskMemStringTraits {
    using Handle = wchar_t*;
    static wchar_t* empty() noexcept { return nullptr; }
    static void close(wchar_t* p) noexcept { CoTaskMemFree(p); }
};

struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static HGLOBAL empty() noexcept { return nullptr; }
    static void close(HGLOBAL h) noexcept { GlobalFree(h); }
};

struct SafeArrayTraits {
    using Handle = SAFEARRAY*;
    static SAFEARRAY* empty() noexcept { return nullptr; }
    static void close(SAFEARRAY* a) noexcept { SafeArrayDestroy(a); }
};

/// A file CreateFileW opened (its failure is INVALID_HANDLE_VALUE, not null).
struct FileTraits {
    using Handle = HANDLE;
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};

/// A search FindFirstFileW (or FindFirstFileExW) started (its failure is INVALID_HANDLE_VALUE too).
struct FindTraits {
    using Handle = HANDLE;
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindClose(h); }
};

using RegKey = UniqueHandle<RegKeyTraits>;
using Window = UniqueHandle<WindowTraits>;
template <class Gdi>
using GdiObject = UniqueHandle<GdiTraits<Gdi>>;
using CoTaskMemString = UniqueHandle<CoTaskMemStringTraits>;
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;
using SafeArray = UniqueHandle<SafeArrayTraits>;
using File = UniqueHandle<FileTraits>;
using Find = UniqueHandle<FindTraits>;

}  // namespace com
