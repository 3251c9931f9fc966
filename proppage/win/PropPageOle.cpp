// The page's side of the OLE control protocol: how a container sites, activates, sizes, draws and
// closes it. The page itself (its window, Dirty and Apply) is in PropPageControl.cpp.
#include "PropPageControl.h"

#include <oleauto.h>

#include "com/Guard.h"
#include "com/Module.h"
#include "com/Strings.h"

namespace pagewin {

// ---- IOleObject

STDMETHODIMP PropPageControl::SetClientSite(IOleClientSite* site) noexcept {
    if (!site) {
        // The container lets go: nothing of it may stay referenced.
        (void)InPlaceDeactivate();
        frame_ = nullptr;
        uiWindow_ = nullptr;
    }
    clientSite_ = com::ComPtr<IOleClientSite>(site);
    return S_OK;
}

STDMETHODIMP PropPageControl::GetClientSite(IOleClientSite** site) noexcept {
    if (!site) return E_POINTER;
    *site = com::ComPtr<IOleClientSite>(clientSite_).detach();
    return S_OK;
}

STDMETHODIMP PropPageControl::Close(DWORD) noexcept {
    (void)InPlaceDeactivate();
    if (adviseHolder_) (void)adviseHolder_->SendOnClose();
    adviseHolder_ = nullptr;
    viewSink_ = nullptr;
    return S_OK;
}

STDMETHODIMP PropPageControl::GetMoniker(DWORD, DWORD, IMoniker** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP PropPageControl::GetClipboardData(DWORD, IDataObject** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP PropPageControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                                     LPCRECT posRect) noexcept {
    return com::guard([&]() -> HRESULT {
        if (!clientSite_ && activeSite) clientSite_ = com::ComPtr<IOleClientSite>(activeSite);
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_UIACTIVATE:
            return activate(true, parent, posRect);
        case OLEIVERB_INPLACEACTIVATE:
            return activate(false, parent, posRect);
        case OLEIVERB_HIDE:
            (void)UIDeactivate();
            if (window_) ShowWindow(window_.get(), SW_HIDE);
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
        }
    });
}

STDMETHODIMP PropPageControl::EnumVerbs(IEnumOLEVERB** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return OLEOBJ_E_NOVERBS;
}

STDMETHODIMP PropPageControl::GetUserClassID(CLSID* clsid) noexcept { return GetClassID(clsid); }

STDMETHODIMP PropPageControl::GetUserType(DWORD form, LPOLESTR* type) noexcept {
    return OleRegGetUserType(CLSID_PropPage, form, type);
}

STDMETHODIMP PropPageControl::SetExtent(DWORD aspect, SIZEL* size) noexcept {
    if (aspect != DVASPECT_CONTENT) return E_NOTIMPL;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP PropPageControl::GetExtent(DWORD aspect, SIZEL* size) noexcept {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP PropPageControl::Advise(IAdviseSink* sink, DWORD* cookie) noexcept {
    if (!adviseHolder_) {
        const HRESULT hr = CreateOleAdviseHolder(adviseHolder_.put());
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP PropPageControl::Unadvise(DWORD cookie) noexcept {
    return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP PropPageControl::EnumAdvise(IEnumSTATDATA** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(out) : E_FAIL;
}

STDMETHODIMP PropPageControl::GetMiscStatus(DWORD, DWORD* status) noexcept {
    if (!status) return E_POINTER;
    *status = MiscStatus;
    return S_OK;
}

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject

STDMETHODIMP PropPageControl::GetWindow(HWND* window) noexcept {
    if (!window) return E_POINTER;
    *window = window_.get();
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP PropPageControl::InPlaceDeactivate() noexcept {
    (void)UIDeactivate();
    destroyWindow();
    if (!inPlaceSite_) return S_OK;
    com::ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    frame_ = nullptr;
    uiWindow_ = nullptr;
    (void)site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP PropPageControl::UIDeactivate() noexcept {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (uiWindow_) (void)uiWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_) (void)frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) (void)inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP PropPageControl::SetObjectRects(LPCRECT pos, LPCRECT) noexcept {
    if (!pos) return E_POINTER;
    if (window_)
        SetWindowPos(window_.get(), nullptr, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

STDMETHODIMP PropPageControl::TranslateAccelerator(LPMSG msg) noexcept {
    // Only Tab and Shift+Tab between the page's own controls are the page's. Everything else, and
    // Tab past its last control (Shift+Tab before its first), is the container's: its OK and Cancel
    // take Enter and Escape, its dialog manager moves the focus out of the page.
    if (!msg || !window_ || msg->message != WM_KEYDOWN || msg->wParam != VK_TAB) return S_FALSE;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return S_FALSE;
    HWND page = window_.get();
    HWND focus = GetFocus();
    while (focus && GetParent(focus) != page) focus = IsChild(page, focus) ? GetParent(focus) : nullptr;
    if (!focus) return S_FALSE;
    const bool backwards = GetKeyState(VK_SHIFT) < 0;
    HWND next = GetNextDlgTabItem(page, focus, backwards ? TRUE : FALSE);
    if (!next || next == focus) return S_FALSE;
    // The dialog manager wraps around at either end; the page does not, it hands over instead.
    for (HWND w = focus; w; w = ::GetWindow(w, backwards ? GW_HWNDPREV : GW_HWNDNEXT))
        if (w == next) {
            SetFocus(next);
            return S_OK;
        }
    return S_FALSE;
}

// ---- IOleControl

STDMETHODIMP PropPageControl::GetControlInfo(CONTROLINFO* info) noexcept {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// ---- IViewObject2

STDMETHODIMP PropPageControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                                   LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) noexcept {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    const RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    if (window_) {
        // The live page, drawn into the container's rectangle.
        POINT old{};
        SetViewportOrgEx(dc, area.left, area.top, &old);
        SendMessageW(window_.get(), WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CHILDREN | PRF_CLIENT | PRF_ERASEBKGND);
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
    }
    return S_OK;
}

STDMETHODIMP PropPageControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) noexcept {
    if (out) *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP PropPageControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) noexcept {
    viewAspects_ = aspects;
    viewFlags_ = flags;
    viewSink_ = com::ComPtr<IAdviseSink>(sink);
    return S_OK;
}

STDMETHODIMP PropPageControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) noexcept {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) *sink = com::ComPtr<IAdviseSink>(viewSink_).detach();
    return S_OK;
}

STDMETHODIMP PropPageControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) noexcept {
    return GetExtent(aspect, size);
}

// ---- IPersist*

STDMETHODIMP PropPageControl::GetClassID(CLSID* clsid) noexcept {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_PropPage;
    return S_OK;
}

STDMETHODIMP PropPageControl::GetSizeMax(ULARGE_INTEGER* size) noexcept {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

// ---- IQuickActivate

STDMETHODIMP PropPageControl::QuickActivate(QACONTAINER* container, QACONTROL* control) noexcept {
    if (!container || !control) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) return E_INVALIDARG;
    HRESULT hr = SetClientSite(container->pClientSite);
    if (FAILED(hr)) return hr;
    if (container->pAdviseSink) (void)SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    control->dwMiscStatus = MiscStatus;
    control->dwViewStatus = VIEWSTATUS_OPAQUE;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

STDMETHODIMP PropPageControl::SetContentExtent(LPSIZEL size) noexcept { return SetExtent(DVASPECT_CONTENT, size); }

STDMETHODIMP PropPageControl::GetContentExtent(LPSIZEL size) noexcept { return GetExtent(DVASPECT_CONTENT, size); }

// ---- IProvideClassInfo2

STDMETHODIMP PropPageControl::GetClassInfo(ITypeInfo** info) noexcept {
    return com::moduleTypeInfo(CLSID_PropPage, false, info);
}

STDMETHODIMP PropPageControl::GetGUID(DWORD kind, GUID* guid) noexcept {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID___PropPage;
    return S_OK;
}

}  // namespace pagewin
