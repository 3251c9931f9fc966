#pragma once
// IDispatch for a dual interface, served from the module's own embedded type library.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include "com/ComObject.h"

namespace com {

/// The type information of interface `iid` in the module's type library (resource TYPELIB 1, loaded
/// with REGKIND_NONE, so nothing is registered). Loaded once per interface and kept.
/// `forInvoke` asks for the view ITypeInfo::Invoke needs: the vtable part of a dual interface.
[[nodiscard]] HRESULT moduleTypeInfo(REFIID iid, bool forInvoke, ITypeInfo** out) noexcept;

/// Implements IDispatch for `Interface` (a dual interface described in the module's type library).
/// As an entry of ComObject it also answers QueryInterface for IDispatch.
template <class Interface>
class DispatchImpl : public Interface {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return moduleTypeInfo(__uuidof(Interface), false, out);
    }

    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = moduleTypeInfo(__uuidof(Interface), true, info.put());
        if (FAILED(hr)) return hr;
        return DispGetIDsOfNames(info.get(), names, count, ids);
    }

    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = moduleTypeInfo(__uuidof(Interface), true, info.put());
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<Interface*>(this), id, flags, params, result, exception, argError);
    }
};

template <class Interface>
struct QueryEntry<DispatchImpl<Interface>> {
    template <class Object>
    static void* find(Object* self, REFIID iid) noexcept {
        Interface* p = static_cast<DispatchImpl<Interface>*>(self);
        if (iid == __uuidof(Interface) || iid == IID_IDispatch) return p;
        return nullptr;
    }
    template <class Object>
    static IUnknown* unknown(Object* self) noexcept {
        return static_cast<Interface*>(static_cast<DispatchImpl<Interface>*>(self));
    }
};

}  // namespace com
