#include "proppage/win/PropPageControl.h"

#include <oleauto.h>

#include <optional>

#include "base/HostError.h"
#include "com/Guard.h"
#include "com/MemberTable.h"
#include "com/Module.h"
#include "com/Strings.h"
#include "com/Variant.h"
#include "proppage/core/Layout.h"
#include "proppage/win/AboutBox.h"
#include "proppage/win/ThreadBridge.h"
#include "proppage/win/Ui.h"

namespace proppage::win {
namespace {

namespace L = proppage::PageLayout;

constexpr wchar_t BridgeProgId[] = L"Tallowby.PropPageBridge";

// HIMETRIC (0.01 mm) from pixels at `dpi`, for the default extent.
LONG PixelsToHimetric(int pixels, int dpi) noexcept { return MulDiv(pixels, 2540, dpi); }

// Step 2 of initialisation: the bridge by ProgID into ThreadBridge. On failure the bridge stays
// as it was and the status says why.
HRESULT CreateBridge() noexcept {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(BridgeProgId, &clsid);
    if (FAILED(hr)) return hr;
    com::ComPtr<_PropPageBridge> bridge;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, __uuidof(_PropPageBridge),
                          bridge.putVoid());
    if (FAILED(hr)) return hr;
    if (!bridge) return E_NOINTERFACE;
    ThreadBridge::Set(bridge.get());
    return S_OK;
}

// A Boolean word of the add-in's, read by name: an add-in that has no such member (an older one)
// answers that it does not know it, and the box works as before.
bool BridgeFlag(_PropPageBridge* bridge, const wchar_t* member) noexcept {
    if (!bridge) return false;
    wchar_t name[32] = {};
    for (int i = 0; i < 31 && member[i]; ++i) name[i] = member[i];
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(bridge->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
    DISPPARAMS none{};
    com::Variant result;
    if (FAILED(bridge->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.put(), nullptr,
                              nullptr)))
        return false;
    return result.type() == VT_BOOL && V_BOOL(result.get()) != VARIANT_FALSE;
}

// The page's size at the screen's DPI, in the HIMETRIC units of OLE's extents.
SIZEL InitialExtent() {
    const int dpi = ScreenDpi();
    return {PixelsToHimetric(L::ClientWidth * dpi / proppage::BaseDpi, dpi),
            PixelsToHimetric(L::ClientHeight * dpi / proppage::BaseDpi, dpi)};
}

}  // namespace

PropPageControl::PropPageControl()
    : OleControl({CLSID_PropPage, DIID___PropPage, MiscStatus}, InitialExtent()) {
    std::optional<bool> preference;
    bool refused = false;
    bool administrator = false;
    bridgeStatus_ = CreateBridge();
    if (SUCCEEDED(bridgeStatus_)) {
        VARIANT_BOOL value = VARIANT_FALSE;
        bridgeStatus_ = ThreadBridge::Current()->get_PrefReplaceWithLinks(&value);
        if (SUCCEEDED(bridgeStatus_)) preference = value != VARIANT_FALSE;
        refused = BridgeFlag(ThreadBridge::Current(), L"ShortcutsRefused");
        administrator = BridgeFlag(ThreadBridge::Current(), L"SetByAdministrator");
    }
    state_.Initialize(preference, refused, administrator);
}

PropPageControl::~PropPageControl() {
    DestroyControlWindow();
    ThreadBridge::Release();
}

// ---- IDispatch

STDMETHODIMP PropPageControl::GetTypeInfoCount(UINT* count) noexcept {
    return DispatchImpl<_PropPage>::GetTypeInfoCount(count);
}

STDMETHODIMP PropPageControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) noexcept {
    return DispatchImpl<_PropPage>::GetTypeInfo(index, lcid, out);
}

STDMETHODIMP PropPageControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0) return E_INVALIDARG;
    // The members' arguments are positional only; every other name is the type information's.
    static constexpr com::NamedMember kMembers[] = {
        {L"GetPageInfo", DispidGetPageInfo}, {L"Dirty", DispidDirty}, {L"Apply", DispidApply}};
    if (com::MemberId(kMembers, names[0]) != DISPID_UNKNOWN)
        return com::IdsOfNames(kMembers, iid, names, count, ids, [](const wchar_t*) { return DISPID_UNKNOWN; });
    return DispatchImpl<_PropPage>::GetIDsOfNames(iid, names, count, lcid, ids);
}

STDMETHODIMP PropPageControl::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (id == DispidGetPageInfo || id == DispidDirty || id == DispidApply)
        return InvokePropertyPage(id, flags, params, result, exception, argError);
    return DispatchImpl<_PropPage>::Invoke(id, iid, lcid, flags, params, result, exception, argError);
}

HRESULT PropPageControl::InvokePropertyPage(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                            EXCEPINFO* exception, UINT* argError) noexcept {
    DISPPARAMS none{};
    if (!params) params = &none;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (result) VariantInit(result);
    HRESULT hr = S_OK;
    switch (id) {
    case DispidGetPageInfo: {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
        // Arguments arrive in reverse order: [1] HelpFile, [0] HelpContext; both are left as passed.
        VARIANT& helpFile = params->rgvarg[1];
        VARIANT& helpContext = params->rgvarg[0];
        BSTR* file = V_VT(&helpFile) == (VT_BSTR | VT_BYREF) ? V_BSTRREF(&helpFile) : nullptr;
        LONG* context = V_VT(&helpContext) == (VT_I4 | VT_BYREF) ? V_I4REF(&helpContext) : nullptr;
        BSTR fileCopy = V_VT(&helpFile) == VT_BSTR ? V_BSTR(&helpFile) : nullptr;
        LONG contextCopy = V_VT(&helpContext) == VT_I4 ? V_I4(&helpContext) : 0;
        hr = GetPageInfo(file ? file : &fileCopy, context ? context : &contextCopy);
        break;
    }
    case DispidDirty: {
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        VARIANT_BOOL dirty = VARIANT_FALSE;
        hr = get_Dirty(&dirty);
        if (SUCCEEDED(hr) && result) {
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = dirty;
        }
        break;
    }
    default:
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        hr = Apply();
        break;
    }
    (void)argError;
    if (SUCCEEDED(hr)) return hr;
    // A failing member reaches an automation caller as an exception carrying its status.
    if (exception) {
        *exception = EXCEPINFO{};
        exception->scode = hr;
    }
    return DISP_E_EXCEPTION;
}

// ---- PropertyPage

STDMETHODIMP PropPageControl::GetPageInfo(BSTR* HelpFile, LONG* HelpContext) noexcept {
    // The page has no help: both arguments go back exactly as the host passed them.
    (void)HelpFile;
    (void)HelpContext;
    return S_OK;
}

STDMETHODIMP PropPageControl::get_Dirty(VARIANT_BOOL* Dirty) noexcept {
    if (!Dirty) return E_POINTER;
    *Dirty = state_.Dirty() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PropPageControl::Apply() noexcept {
    // A page whose initialisation found no bridge writes nothing: it answers with the reason.
    if (!state_.HasBridge()) return FAILED(bridgeStatus_) ? bridgeStatus_ : E_UNEXPECTED;
    return com::guard([&] {
        state_.Apply([](bool checked) {
            // Bridge is shared by every page of the thread; another page's termination may have emptied it.
            if (!ThreadBridge::Current()) throw HostError(E_POINTER, u"No bridge to the add-in");
            const HRESULT hr = ThreadBridge::Current()->put_PrefReplaceWithLinks(checked ? VARIANT_TRUE : VARIANT_FALSE);
            if (FAILED(hr)) throw HostError(hr, {});
        });
    });
}

// ---- the page's window

INT_PTR CALLBACK PropPageControl::PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return com::guardOr<INT_PTR>(FALSE, [&]() -> INT_PTR {
        auto* self = reinterpret_cast<PropPageControl*>(GetWindowLongPtrW(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            reinterpret_cast<PropPageControl*>(lParam)->CreateControls(dialog);
            return FALSE;
        case WM_COMMAND:
            if (!self || HIWORD(wParam) != BN_CLICKED) return FALSE;
            if (LOWORD(wParam) == PageReplaceWithLinks) {
                self->OnUserClick();
                return TRUE;
            }
            if (LOWORD(wParam) == PageAboutButton) {
                // The box is modal: while it is up the host may close its Options dialog and let go
                // of the page (the add-in unloaded, the host shutting down). The page, and so this
                // DLL, stays until the box has returned.
                const com::ComPtr<IUnknown> keep(self->identity());
                ShowAbout(dialog);
                return TRUE;
            }
            return FALSE;
        case WM_NCDESTROY:
            if (self) self->ForgetControlWindow();
            return FALSE;
        default:
            return FALSE;
        }
    });
}

void PropPageControl::CreateControls(HWND dialog) {
    const int dpi = ScreenDpi();
    font_ = MakeFont(dpi, false);
    HFONT font = font_.get();
    // Created in tab order: the box, the frame (no tab stop), the button. The box is created first,
    // so it stays above the frame it lies in.
    box_ = CreateControl(dialog, L"BUTTON", L::ReplaceWithLinksCaption, BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP,
                         PageReplaceWithLinks, L::ReplaceWithLinks, dpi, font);
    CreateControl(dialog, L"BUTTON", L::FrameCaption, BS_GROUPBOX | WS_GROUP, PageFrame, L::Frame, dpi, font);
    CreateControl(dialog, L"BUTTON", L::AboutButtonCaption, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, PageAboutButton,
                  L::AboutButton, dpi, font);
    // Setting the box is not a user click: BM_SETCHECK sends no BN_CLICKED.
    SendMessageW(box_, BM_SETCHECK, state_.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(box_, state_.BoxEnabled() ? TRUE : FALSE);
    if (state_.SetByAdministrator())
        CreateControl(dialog, L"STATIC", L::AdministratorNoteText, SS_LEFT, PageAdministratorNote, L::AdministratorNote,
                      dpi, font);
}

void PropPageControl::OnUserClick() {
    state_.UserClicked(SendMessageW(box_, BM_GETCHECK, 0, 0) == BST_CHECKED);
    NotifySite();
}

void PropPageControl::NotifySite() noexcept {
    // Keep this object alive while the host reacts; it may read Dirty or even let go of the page.
    com::ComPtr<IUnknown> self(identity());
    com::ComPtr<IDispatch> site;
    if (clientSite_) (void)clientSite_->QueryInterface(IID_PropertyPageSite, site.putVoid());
    if (!site && clientSite_) {
        // A container that does not offer the interface on its site: its extender's Parent.
        auto controlSite = clientSite_.tryQuery<IOleControlSite>();
        com::ComPtr<IDispatch> extender;
        if (controlSite && SUCCEEDED(controlSite->GetExtendedControl(extender.put())) && extender) {
            DISPPARAMS none{};
            VARIANT parent;
            VariantInit(&parent);
            if (SUCCEEDED(extender->Invoke(DispidParent, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                           &parent, nullptr, nullptr)) &&
                (V_VT(&parent) == VT_DISPATCH || V_VT(&parent) == VT_UNKNOWN) && V_UNKNOWN(&parent))
                (void)V_UNKNOWN(&parent)->QueryInterface(IID_PropertyPageSite, site.putVoid());
            VariantClear(&parent);
        }
    }
    if (!site) return;  // no PropertyPageSite: the notification is lost
    DISPPARAMS none{};
    (void)site->Invoke(DispidOnStatusChange, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                       nullptr);
}

HWND PropPageControl::CreateControlWindow(HWND parent) {
    const DialogTemplate t = EmptyTemplate(WS_CHILD | WS_CLIPCHILDREN | DS_CONTROL, WS_EX_CONTROLPARENT);
    return CreateDialogIndirectParamW(com::Module::handle(), t.get(), parent, &PageProc,
                                      reinterpret_cast<LPARAM>(this));
}

void PropPageControl::ControlWindowGone() noexcept {
    box_ = nullptr;
    font_.reset();
}

}  // namespace proppage::win
