#pragma once
// The base of every COM class of the project: reference count, QueryInterface, module lock.
#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <type_traits>
#include <utility>

#include "com/ComPtr.h"
#include "com/Module.h"

namespace com {

/// An entry of ComObject's interface list: implements `Interface` and also answers QueryInterface
/// for the interfaces it derives from (e.g. Derives<PropertyPage, IDispatch>).
template <class Interface, class... Bases>
struct Derives : Interface {};

/// How QueryInterface finds an entry of the interface list; specialised for Derives and DispatchImpl.
template <class Entry>
struct QueryEntry {
    template <class Object>
    static void* find(Object* self, REFIID iid) noexcept {
        return iid == __uuidof(Entry) ? static_cast<Entry*>(self) : nullptr;
    }
    template <class Object>
    static IUnknown* unknown(Object* self) noexcept {
        return static_cast<Entry*>(self);
    }
};

template <class Interface, class... Bases>
struct QueryEntry<Derives<Interface, Bases...>> {
    template <class Object>
    static void* find(Object* self, REFIID iid) noexcept {
        Interface* p = static_cast<Derives<Interface, Bases...>*>(self);
        if (iid == __uuidof(Interface)) return p;
        void* found = nullptr;
        ((found = iid == __uuidof(Bases) ? static_cast<Bases*>(p) : nullptr) || ...);
        return found;
    }
    template <class Object>
    static IUnknown* unknown(Object* self) noexcept {
        return static_cast<Interface*>(static_cast<Derives<Interface, Bases...>*>(self));
    }
};

template <class First, class... Rest>
struct FirstOf {
    using type = First;
};

/// Implements IUnknown for a class deriving from every entry of `Entries`.
/// - The count starts at 1: the object is created by make<T>(), which adopts that reference.
/// - QueryInterface answers IUnknown with one pointer, always the same (COM's identity rule), and
///   each entry's interfaces; anything else is E_NOINTERFACE.
/// - While the object lives it holds a module lock (DllCanUnloadNow answers S_FALSE).
/// - The destructor is protected: only Release destroys the object.
template <class... Entries>
class ComObject : public Entries... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        void* found = nullptr;
        if (iid == IID_IUnknown)
            found = identity();
        else
            ((found = QueryEntry<Entries>::find(this, iid)) || ...);
        if (!found) found = queryOther(iid);
        if (!found) return E_NOINTERFACE;
        // Every entry's pointer is an IUnknown of this object; AddRef through any of them.
        static_cast<IUnknown*>(found)->AddRef();
        *out = found;
        return S_OK;
    }

    STDMETHODIMP_(ULONG) AddRef() noexcept override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

    STDMETHODIMP_(ULONG) Release() noexcept override {
        const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

    /// This object's IUnknown, the one QueryInterface(IID_IUnknown) gives.
    IUnknown* identity() noexcept {
        return QueryEntry<typename FirstOf<Entries...>::type>::unknown(this);
    }

protected:
    ComObject() noexcept { Module::lock(); }
    virtual ~ComObject() { Module::unlock(); }

    /// Interfaces known only at run time (e.g. a sink's dispinterface): the pointer without AddRef,
    /// or null.
    virtual void* queryOther(REFIID) noexcept { return nullptr; }

private:
    std::atomic<ULONG> refs_{1};
};

/// Creates a COM object: the only way to construct one. Throws what the constructor throws.
template <class T, class... Args>
[[nodiscard]] ComPtr<T> make(Args&&... args) {
    static_assert(!std::is_destructible_v<T>, "a COM class keeps its destructor protected");
    return ComPtr<T>::adopt(new T(std::forward<Args>(args)...));
}

}  // namespace com
