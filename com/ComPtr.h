#pragma once
// An owning pointer to a reference-counted object: anything with AddRef and Release.
// The generic part needs no Windows header, so it is also built and tested natively.
#include <cstddef>
#include <type_traits>
#include <utility>

#ifdef _WIN32
#include <unknwn.h>

#include "base/HostError.h"
#endif

namespace com {

/// Holds one reference to a T. Copy adds a reference; move transfers it (detach, then attach).
/// Every replacement adds the reference to the new object before releasing the old one, so
/// replacing a pointer by itself, or by an object the old one owns, stays safe.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}

    /// Shares `p`: adds a reference of its own.
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }

    ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(other.detach()) {}

    template <class U>
        requires std::is_convertible_v<U*, T*>
    ComPtr(const ComPtr<U>& other) noexcept : ComPtr(static_cast<T*>(other.get())) {}

    template <class U>
        requires std::is_convertible_v<U*, T*>
    ComPtr(ComPtr<U>&& other) noexcept : p_(other.detach()) {}

    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        share(other.p_);
        return *this;
    }

    ComPtr& operator=(ComPtr&& other) noexcept {
        attach(other.detach());
        return *this;
    }

    ComPtr& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    /// Takes over a reference the caller owns (no AddRef).
    [[nodiscard]] static ComPtr adopt(T* p) noexcept {
        ComPtr result;
        result.p_ = p;
        return result;
    }

    /// Takes over a reference the caller owns, releasing the one held before.
    void attach(T* p) noexcept {
        T* old = std::exchange(p_, p);
        if (old) old->Release();
    }

    /// Gives up the reference without releasing it.
    [[nodiscard]] T* detach() noexcept { return std::exchange(p_, nullptr); }

    void reset() noexcept { attach(nullptr); }

    /// Releases what is held and returns the slot for an out-parameter.
    [[nodiscard]] T** put() noexcept {
        reset();
        return &p_;
    }

    [[nodiscard]] void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

    /// Replaces the held pointer by `p`, adding a reference to `p` first.
    void share(T* p) noexcept {
        if (p) p->AddRef();
        attach(p);
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
    friend bool operator==(const ComPtr& a, const T* b) noexcept { return a.p_ == b; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

#ifdef _WIN32
    /// The object's interface U, or empty when it does not offer U (or this is empty).
    template <class U>
    [[nodiscard]] ComPtr<U> tryQuery() const noexcept {
        if (!p_) return {};
        void* raw = nullptr;
        if (FAILED(p_->QueryInterface(__uuidof(U), &raw))) return {};
        return ComPtr<U>::adopt(static_cast<U*>(raw));
    }

    /// The object's interface `iid` as a U (IDispatch for a dispinterface the headers do not
    /// declare), or empty when it does not offer it (or this is empty).
    template <class U>
    [[nodiscard]] ComPtr<U> tryQuery(REFIID iid) const noexcept {
        if (!p_) return {};
        void* raw = nullptr;
        if (FAILED(p_->QueryInterface(iid, &raw))) return {};
        return ComPtr<U>::adopt(static_cast<U*>(raw));
    }

    /// The object's interface U; throws HostError with the QueryInterface result when it has none.
    template <class U>
    [[nodiscard]] ComPtr<U> query() const {
        if (!p_) throw HostError(E_POINTER, {});
        void* raw = nullptr;
        const HRESULT hr = p_->QueryInterface(__uuidof(U), &raw);
        if (FAILED(hr)) throw HostError(hr, {});
        if (!raw) throw HostError(E_NOINTERFACE, {});
        return ComPtr<U>::adopt(static_cast<U*>(raw));
    }
#endif

private:
    T* p_ = nullptr;
};

}  // namespace com
