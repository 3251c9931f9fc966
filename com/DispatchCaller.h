#pragma once
// Calls an automation object's members by name, the way the host's objects are called.
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "com/ComPtr.h"
#include "com/Variant.h"

namespace com {

/// An argument passed by name.
struct NamedArg {
    std::u16string_view name;
    Variant value;
};

/// Calls members of one object through IDispatch. Dispatch ids are looked up once per (interface,
/// name) for the whole module. Arguments are given in declaration order; Variant::missing() leaves
/// an optional one out. Every failure throws HostError with the HRESULT and, when the object raised
/// an exception, its EXCEPINFO code and description.
class DispatchCaller {
public:
    /// `iface` (the interface the object implements, e.g. the host's _MailItem) keys the id cache.
    DispatchCaller(ComPtr<IDispatch> object, const IID& iface);
    /// Takes the interface from the object's type information; without one, ids are not cached.
    explicit DispatchCaller(ComPtr<IDispatch> object);

    /// Property get (DISPATCH_PROPERTYGET), with optional index arguments.
    Variant get(std::u16string_view name, std::initializer_list<Variant> args = {}) const;
    /// Property put by value (DISPATCH_PROPERTYPUT).
    void put(std::u16string_view name, const Variant& value) const;
    /// Property put by reference (DISPATCH_PROPERTYPUTREF): objects such as pictures.
    void putRef(std::u16string_view name, const Variant& value) const;
    /// Method call (DISPATCH_METHOD).
    Variant call(std::u16string_view name, std::initializer_list<Variant> args = {}) const;
    /// For members the host declares as methods that some versions expose as properties:
    /// DISPATCH_METHOD | DISPATCH_PROPERTYGET.
    Variant callOrGet(std::u16string_view name, std::initializer_list<Variant> args = {}) const;
    /// Method call with named arguments only (e.g. FindControl with just Tag).
    Variant callNamed(std::u16string_view name, std::initializer_list<NamedArg> args) const;

    /// Invoke by dispatch id, for members whose ids are fixed. `positional` in declaration order.
    Variant invoke(DISPID id, WORD flags, std::span<const VARIANT> positional,
                   std::span<const VARIANT> named = {}, std::span<const DISPID> namedIds = {}) const;

    /// The dispatch id of `name` (cached).
    DISPID id(std::u16string_view name) const;

    const ComPtr<IDispatch>& object() const noexcept { return object_; }

private:
    std::vector<DISPID> ids(std::u16string_view member, std::span<const std::u16string_view> args) const;
    Variant invokeList(std::u16string_view name, WORD flags, std::initializer_list<Variant> args) const;

    ComPtr<IDispatch> object_;
    IID iface_;
    bool cached_;
};

}  // namespace com
