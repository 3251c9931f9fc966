#include "addin/core/EventManager.h"
#include "addin/core/Ribbon.h"
#include "addin/win/AddInClasses.h"
#include "addin/win/HostAdapters.h"
#include "base/HostError.h"
#include "base/ScopeExit.h"
#include "com/DispatchImpl.h"
#include "com/Guard.h"
#include "com/MemberTable.h"
#include "com/Strings.h"
#include "com/Variant.h"

namespace addin::win {
namespace {

// _IDTExtensibility2's members and their dispatch ids, as the host's type library gives them.
enum : DISPID { kOnConnection = 1, kOnDisconnection, kOnAddInsUpdate, kOnStartupComplete, kOnBeginShutdown };
constexpr com::NamedMember kMembers[] = {{L"OnConnection", kOnConnection},
                                         {L"OnDisconnection", kOnDisconnection},
                                         {L"OnAddInsUpdate", kOnAddInsUpdate},
                                         {L"OnStartupComplete", kOnStartupComplete},
                                         {L"OnBeginShutdown", kOnBeginShutdown}};
// IRibbonExtensibility's one member.
constexpr DISPID kGetCustomUI = 1;
constexpr com::NamedMember kRibbonMembers[] = {{L"GetCustomUI", kGetCustomUI}};

// Argument `position` (declaration order) converted to `type`, as DispInvoke would.
HRESULT Argument(DISPPARAMS* params, UINT position, VARTYPE type, VARIANT* out, UINT* argError) noexcept {
    VariantInit(out);
    return DispGetParam(params, position, type, out, argError);
}

// The ribbon's callbacks get dispatch ids of their own, beyond those of _IDTExtensibility2 and of
// GetCustomUI, on both IDispatch faces.
constexpr DISPID kCallbackBase = 0x100;

DISPID CallbackId(const wchar_t* name) noexcept {
    try {
        const auto callback = Ribbon::CallbackNamed(com::fromWide(name));
        return callback ? kCallbackBase + static_cast<DISPID>(*callback) : DISPID_UNKNOWN;
    } catch (...) {
        (void)com::currentExceptionStatus(false);
        return DISPID_UNKNOWN;
    }
}

bool IsCallback(DISPID id) noexcept {
    return id >= kCallbackBase && id <= kCallbackBase + static_cast<DISPID>(Ribbon::Callback::OnExplorerLoad);
}

}  // namespace

ConnectObject::ConnectObject(AddInModule& module) : module_(module), core_(module.Platform()) {}

ConnectObject::~ConnectObject() = default;

STDMETHODIMP ConnectObject::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP ConnectObject::GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return com::moduleTypeInfo(IID__Connect, false, out);
}

STDMETHODIMP ConnectObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    return com::IdsOfNames(kMembers, iid, names, count, ids, CallbackId);
}

STDMETHODIMP ConnectObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT* argError) noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (IsCallback(id)) return InvokeCallback(id, flags, params, result, argError);
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (id < kOnConnection || id > kOnBeginShutdown) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (result) VariantInit(result);
    // `custom` is never read; the host's other arguments are converted as its interface declares them.
    switch (id) {
    case kOnConnection: {
        com::Variant app, mode, addIn;
        HRESULT hr = Argument(params, 0, VT_DISPATCH, app.put(), argError);
        if (SUCCEEDED(hr)) hr = Argument(params, 1, VT_I4, mode.put(), argError);
        if (SUCCEEDED(hr)) hr = Argument(params, 2, VT_DISPATCH, addIn.put(), argError);
        if (FAILED(hr)) return hr;
        return OnConnection(V_DISPATCH(app.get()), static_cast<ext_ConnectMode>(V_I4(mode.get())),
                            V_DISPATCH(addIn.get()), nullptr);
    }
    case kOnDisconnection: {
        com::Variant mode;
        const HRESULT hr = Argument(params, 0, VT_I4, mode.put(), argError);
        if (FAILED(hr)) return hr;
        return OnDisconnection(static_cast<ext_DisconnectMode>(V_I4(mode.get())), nullptr);
    }
    case kOnAddInsUpdate:
        return OnAddInsUpdate(nullptr);
    case kOnStartupComplete:
        return OnStartupComplete(nullptr);
    default:
        return OnBeginShutdown(nullptr);
    }
}

STDMETHODIMP ConnectObject::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch* AddInInst,
                                         SAFEARRAY**) noexcept {
    return com::guard([&] {
        // The host's application is recognised by its interface; anything else the core refuses,
        // after it has read the add-in's ProgId.
        std::shared_ptr<host::Object> app;
        if (Application) {
            if (auto outlook = com::ComPtr<IDispatch>(Application).tryQuery<IDispatch>(addin::win::iids::Application))
                app = addin::win::WrapApplication(std::move(outlook));
            else
                app = addin::win::WrapObject(com::ComPtr<IDispatch>(Application));
        }
        const auto addIn = AddInInst ? addin::win::WrapAddInInstance(com::ComPtr<IDispatch>(AddInInst)) : nullptr;
        // The version read counts also when a later step of the connection fails.
        const base::ScopeExit recordVersion([this]() noexcept {
            if (core_.HasEventManager()) module_.SetConnectedHostMajor(core_.Events()->HostMajorVersion());
        });
        core_.OnConnection(app, static_cast<int32_t>(ConnectMode), addIn);
    });
}

STDMETHODIMP ConnectObject::OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY**) noexcept {
    return com::guard([&] { core_.OnDisconnection(static_cast<int32_t>(RemoveMode)); });
}

STDMETHODIMP ConnectObject::OnAddInsUpdate(SAFEARRAY**) noexcept {
    core_.OnAddInsUpdate();
    return S_OK;
}

STDMETHODIMP ConnectObject::OnStartupComplete(SAFEARRAY**) noexcept {
    core_.OnStartupComplete();
    return S_OK;
}

STDMETHODIMP ConnectObject::OnBeginShutdown(SAFEARRAY**) noexcept {
    return com::guard([&] { core_.OnBeginShutdown(); });
}

void* ConnectObject::queryOther(REFIID iid) noexcept {
    return iid == __uuidof(IRibbonExtensibility) ? static_cast<IRibbonExtensibility*>(&ribbon_) : nullptr;
}

HRESULT ConnectObject::InvokeCallback(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                      UINT* argError) noexcept {
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
    if (result) VariantInit(result);
    // Every callback of the markup takes the ribbon's object first: the IRibbonUI for onLoad, the
    // IRibbonControl for the others.
    com::Variant object;
    const HRESULT hr = Argument(params, 0, VT_DISPATCH, object.put(), argError);
    if (FAILED(hr)) return hr;
    // onAction runs the command, whose windows are modal: while they are up the host may let go of
    // this object (the add-in unloaded). It and the event manager stay until the callback returns.
    const com::ComPtr<IUnknown> self(identity());
    return com::guard([&] {
        const com::ComPtr<IDispatch> ribbonObject(V_DISPATCH(object.get()));
        const auto events = core_.Events();
        const auto control = [&] { return ribbonObject ? addin::win::WrapRibbonControl(ribbonObject) : nullptr; };
        const auto answer = [&](bool value) {
            if (result) *result = com::Variant(value).release();
        };
        switch (static_cast<Ribbon::Callback>(id - kCallbackBase)) {
        case Ribbon::Callback::OnLoad:
        case Ribbon::Callback::OnExplorerLoad:
            events->OnRibbonLoad(ribbonObject ? addin::win::WrapRibbonUI(ribbonObject) : nullptr,
                                 id - kCallbackBase == static_cast<DISPID>(Ribbon::Callback::OnExplorerLoad));
            break;
        case Ribbon::Callback::OnAction:
            events->OnRibbonAction(control());
            break;
        case Ribbon::Callback::GetEnabled:
            answer(events->GetRibbonEnabled(control()));
            break;
        case Ribbon::Callback::GetVisible:
            answer(events->GetRibbonVisible(control()));
            break;
        case Ribbon::Callback::GetImage: {
            const auto picture = events->GetRibbonImage(control());
            const auto* ours = dynamic_cast<const addin::win::Picture*>(picture.get());
            if (!ours) throw HostError(HostStatus::Unexpected, u"No picture");
            if (result) *result = com::Variant(ours->object().get()).release();
            break;
        }
        }
    });
}

STDMETHODIMP ConnectObject::RibbonPart::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;  // the host's interface: our type library does not describe it
    return S_OK;
}

STDMETHODIMP ConnectObject::RibbonPart::GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP ConnectObject::RibbonPart::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                                      DISPID* ids) noexcept {
    return com::IdsOfNames(kRibbonMembers, iid, names, count, ids, CallbackId);
}

STDMETHODIMP ConnectObject::RibbonPart::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                               VARIANT* result, EXCEPINFO*, UINT* argError) noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (IsCallback(id)) return outer_.InvokeCallback(id, flags, params, result, argError);
    if (id != kGetCustomUI || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (result) VariantInit(result);
    com::Variant ribbonId;
    const HRESULT hr = Argument(params, 0, VT_BSTR, ribbonId.put(), argError);
    if (FAILED(hr)) return hr;
    BSTR xml = nullptr;
    const HRESULT called = GetCustomUI(V_BSTR(ribbonId.get()), &xml);
    if (FAILED(called)) return called;
    if (result) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = xml;
    } else {
        SysFreeString(xml);
    }
    return S_OK;
}

STDMETHODIMP ConnectObject::RibbonPart::GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) noexcept {
    return com::guardOut(RibbonXml, [&] { *RibbonXml = com::Bstr(outer_.core_.Events()->GetCustomUI(com::fromBstr(RibbonID))).release(); });
}

}  // namespace addin::win
