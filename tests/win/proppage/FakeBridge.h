#pragma once
// A strict stand-in for the add-in's PropPageBridge, registered in process under the real class id
// and ProgID, so the page finds it exactly as it finds the real one.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Tallowby.h"
#include "com/ComObject.h"
#include "com/Registration.h"

namespace testpage {

/// What every fake bridge of a test shares: the preference, the puts and the failure to inject.
struct FakePreference {
    bool value = true;
    std::vector<bool> puts;
    int gets = 0;
    HRESULT putFailure = S_OK;
    /// The add-in's word that the host keeps no shortcuts; `older` plays an add-in without it.
    bool shortcutsRefused = false;
    bool older = false;
    bool setByAdministrator = false;
    int created = 0;
    int alive = 0;
};

class FakeBridge final : public com::ComObject<com::Derives<_PropPageBridge, IDispatch>> {
public:
    explicit FakeBridge(FakePreference& preference) : preference_(preference) { ++preference_.alive; }
    // The page calls the interface's slots directly; only ShortcutsRefused and SetByAdministrator,
    // which an older add-in lacks, are reached by name.
    STDMETHODIMP GetTypeInfoCount(UINT*) noexcept override { return fail("GetTypeInfoCount"); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return fail("GetTypeInfo"); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        if (count != 1 || !names || !ids) return fail("GetIDsOfNames");
        const std::wstring name(names[0]);
        if (name != L"ShortcutsRefused" && name != L"SetByAdministrator") return fail("GetIDsOfNames");
        if (preference_.older) return DISP_E_UNKNOWNNAME;
        ids[0] = name == L"ShortcutsRefused" ? 2 : 3;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) noexcept override {
        if ((id != 2 && id != 3) || !(flags & DISPATCH_PROPERTYGET) || !params || params->cArgs != 0 || !result)
            return fail("Invoke");
        VariantInit(result);
        V_VT(result) = VT_BOOL;
        return id == 2 ? get_ShortcutsRefused(&V_BOOL(result)) : get_SetByAdministrator(&V_BOOL(result));
    }
    STDMETHODIMP get_SetByAdministrator(VARIANT_BOOL* result) noexcept override {
        *result = preference_.setByAdministrator ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_ShortcutsRefused(VARIANT_BOOL* result) noexcept override {
        *result = preference_.shortcutsRefused ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_PrefReplaceWithLinks(VARIANT_BOOL* result) noexcept override {
        ++preference_.gets;
        *result = preference_.value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP put_PrefReplaceWithLinks(VARIANT_BOOL value) noexcept override {
        if (FAILED(preference_.putFailure)) return preference_.putFailure;
        preference_.value = value != VARIANT_FALSE;
        preference_.puts.push_back(preference_.value);
        return S_OK;
    }

protected:
    ~FakeBridge() override { --preference_.alive; }

private:
    static HRESULT fail(const char* member) {
        ADD_FAILURE() << "unexpected call of the bridge's " << member;
        return E_NOTIMPL;
    }
    FakePreference& preference_;
};

class FakeBridgeFactory final : public com::ComObject<IClassFactory> {
public:
    explicit FakeBridgeFactory(FakePreference& preference) : preference_(preference) {}
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ++preference_.created;
        return com::make<FakeBridge>(preference_)->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) noexcept override { return S_OK; }

protected:
    ~FakeBridgeFactory() override = default;

private:
    FakePreference& preference_;
};

/// "Tallowby.PropPageBridge" names the bridge's class id (HKEY_CLASSES_ROOT) for as long as it lives.
class BridgeProgId {
public:
    BridgeProgId() {
        EXPECT_EQ(com::writeKeys(table()), S_OK);
    }
    ~BridgeProgId() { (void)com::removeKeys(table()); }
    BridgeProgId(const BridgeProgId&) = delete;
    BridgeProgId& operator=(const BridgeProgId&) = delete;

private:
    static std::vector<com::RegKeyEntry> table() {
        return {{HKEY_CLASSES_ROOT, L"Tallowby.PropPageBridge", {}},
                {HKEY_CLASSES_ROOT, L"Tallowby.PropPageBridge\\CLSID", {{L"", com::guidString(__uuidof(PropPageBridge))}}}};
    }
};

/// The fake bridge's class, creatable in this process by the bridge's ProgID while this lives.
class FakeBridgeClass {
public:
    explicit FakeBridgeClass(FakePreference& preference) {
        auto factory = com::make<FakeBridgeFactory>(preference);
        EXPECT_EQ(CoRegisterClassObject(__uuidof(PropPageBridge), factory.get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                        &cookie_),
                  S_OK);
    }
    ~FakeBridgeClass() { (void)CoRevokeClassObject(cookie_); }
    FakeBridgeClass(const FakeBridgeClass&) = delete;
    FakeBridgeClass& operator=(const FakeBridgeClass&) = delete;

private:
    BridgeProgId progId_;
    DWORD cookie_ = 0;
};

/// OLE for one test: in-place activation and the clipboard-free parts of OLE need OleInitialize.
struct OleApartment {
    OleApartment() { hr = OleInitialize(nullptr); }
    ~OleApartment() {
        if (SUCCEEDED(hr)) OleUninitialize();
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;
    HRESULT hr;
};

}  // namespace testpage
