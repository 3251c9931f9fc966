#pragma once
// DllGetClassObject from a table of the module's classes, and the class factory it hands out.
#include <windows.h>
#include <unknwn.h>

#include <span>

#include "com/ComObject.h"
#include "com/Guard.h"

namespace com {

/// Creates a new object and returns its interface `iid`.
using CreateFunction = HRESULT (*)(REFIID iid, void** out) noexcept;

/// One creatable class of the module.
struct ClassEntry {
    const CLSID* clsid;
    CreateFunction create;
};

/// CreateFunction for a ComObject class T, constructed with what each of `Arguments` (functions
/// without parameters) returns; none for a default constructor.
template <class T, auto... Arguments>
[[nodiscard]] HRESULT createObject(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return guard([&] { return make<T>(Arguments()...)->QueryInterface(iid, out); });
}

/// DllGetClassObject's work: a class factory for a class of `table`; CLASS_E_CLASSNOTAVAILABLE for any
/// other class.
[[nodiscard]] HRESULT getClassObject(std::span<const ClassEntry> table, REFCLSID clsid, REFIID iid,
                                     void** out) noexcept;

}  // namespace com
