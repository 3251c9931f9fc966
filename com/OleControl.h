#pragma once
// The control's side of the OLE control protocol, for a control whose face is one child window:
// how a container sites, activates, sizes, draws, persists (nothing) and closes it. A control
// derives from OleControl<its own interfaces...>, describes itself (class id, default source
// interface, MiscStatus) and makes its window; everything else here is the same for every control.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "com/DispatchImpl.h"
#include "com/Guard.h"
#include "com/Handles.h"

namespace com {

/// What a container learns of a control before it has a window.
struct OleControlDescription {
    CLSID classId;
    /// Answered by IProvideClassInfo2::GetGUID for the default source interface.
    IID defaultSource;
    /// OLEMISC_* flags, as the registry's MiscStatus has them.
    DWORD miscStatus;
};

template <class... Own>
class OleControl
    : public ComObject<Own..., IOleObject, Derives<IOleInPlaceObject, IOleWindow>, IOleInPlaceActiveObject,
                       IOleControl, Derives<IViewObject2, IViewObject>, Derives<IPersistStreamInit, IPersist>,
                       IPersistPropertyBag, IQuickActivate, Derives<IProvideClassInfo2, IProvideClassInfo>> {
public:
    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) noexcept override {
        if (!site) {
            // The container lets go: nothing of it may stay referenced.
            (void)InPlaceDeactivate();
            frame_ = nullptr;
            uiWindow_ = nullptr;
        }
        clientSite_ = ComPtr<IOleClientSite>(site);
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) noexcept override {
        if (!site) return E_POINTER;
        *site = ComPtr<IOleClientSite>(clientSite_).detach();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) noexcept override { return S_OK; }
    STDMETHODIMP Close(DWORD) noexcept override {
        (void)InPlaceDeactivate();
        if (adviseHolder_) (void)adviseHolder_->SendOnClose();
        adviseHolder_ = nullptr;
        viewSink_ = nullptr;
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                        LPCRECT posRect) noexcept override {
        return guard([&]() -> HRESULT {
            if (!clientSite_ && activeSite) clientSite_ = ComPtr<IOleClientSite>(activeSite);
            switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_UIACTIVATE:
                return Activate(true, parent, posRect);
            case OLEIVERB_INPLACEACTIVATE:
                return Activate(false, parent, posRect);
            case OLEIVERB_HIDE:
                (void)UIDeactivate();
                if (window_) ShowWindow(window_.get(), SW_HIDE);
                return S_OK;
            default:
                return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
            }
        });
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return OLEOBJ_E_NOVERBS;
    }
    STDMETHODIMP Update() noexcept override { return S_OK; }
    STDMETHODIMP IsUpToDate() noexcept override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) noexcept override { return GetClassID(clsid); }
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) noexcept override {
        return OleRegGetUserType(description_.classId, form, type);
    }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) noexcept override {
        if (aspect != DVASPECT_CONTENT) return E_NOTIMPL;
        if (!size) return E_POINTER;
        extent_ = *size;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) noexcept override {
        if (!size) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return E_FAIL;
        *size = extent_;
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) noexcept override {
        if (!adviseHolder_) {
            const HRESULT hr = CreateOleAdviseHolder(adviseHolder_.put());
            if (FAILED(hr)) return hr;
        }
        return adviseHolder_->Advise(sink, cookie);
    }
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override {
        return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
    }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return adviseHolder_ ? adviseHolder_->EnumAdvise(out) : E_FAIL;
    }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) noexcept override {
        if (!status) return E_POINTER;
        *status = description_.miscStatus;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) noexcept override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* window) noexcept override {
        if (!window) return E_POINTER;
        *window = window_.get();
        return window_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() noexcept override {
        (void)UIDeactivate();
        DestroyControlWindow();
        if (!inPlaceSite_) return S_OK;
        ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
        frame_ = nullptr;
        uiWindow_ = nullptr;
        (void)site->OnInPlaceDeactivate();
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() noexcept override {
        if (!uiActive_) return S_OK;
        uiActive_ = false;
        if (uiWindow_) (void)uiWindow_->SetActiveObject(nullptr, nullptr);
        if (frame_) (void)frame_->SetActiveObject(nullptr, nullptr);
        if (inPlaceSite_) (void)inPlaceSite_->OnUIDeactivate(FALSE);
        return S_OK;
    }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) noexcept override {
        if (!pos) return E_POINTER;
        if (window_)
            SetWindowPos(window_.get(), nullptr, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG msg) noexcept override {
        // Only Tab and Shift+Tab between the control's own children are the control's. Everything
        // else, and Tab past its last child (Shift+Tab before its first), is the container's: its OK
        // and Cancel take Enter and Escape, its dialog manager moves the focus out of the control.
        if (!msg || !window_ || msg->message != WM_KEYDOWN || msg->wParam != VK_TAB) return S_FALSE;
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return S_FALSE;
        HWND own = window_.get();
        HWND focus = GetFocus();
        while (focus && GetParent(focus) != own) focus = IsChild(own, focus) ? GetParent(focus) : nullptr;
        if (!focus) return S_FALSE;
        const bool backwards = GetKeyState(VK_SHIFT) < 0;
        HWND next = GetNextDlgTabItem(own, focus, backwards ? TRUE : FALSE);
        if (!next || next == focus) return S_FALSE;
        // The dialog manager wraps around at either end; the control does not, it hands over instead.
        for (HWND w = focus; w; w = ::GetWindow(w, backwards ? GW_HWNDPREV : GW_HWNDNEXT))
            if (w == next) {
                SetFocus(next);
                return S_OK;
            }
        return S_FALSE;
    }
    STDMETHODIMP OnFrameWindowActivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) noexcept override { return S_OK; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) noexcept override {
        if (!info) return E_POINTER;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    }
    STDMETHODIMP OnMnemonic(MSG*) noexcept override { return S_OK; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) noexcept override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) noexcept override { return S_OK; }

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) noexcept override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!dc || !bounds) return E_INVALIDARG;
        const RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        if (window_) {
            // The live window, drawn into the container's rectangle.
            POINT old{};
            SetViewportOrgEx(dc, area.left, area.top, &old);
            SendMessageW(window_.get(), WM_PRINT, reinterpret_cast<WPARAM>(dc),
                         PRF_CHILDREN | PRF_CLIENT | PRF_ERASEBKGND);
            SetViewportOrgEx(dc, old.x, old.y, nullptr);
        }
        return S_OK;
    }
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) noexcept override {
        if (out) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) noexcept override {
        viewAspects_ = aspects;
        viewFlags_ = flags;
        viewSink_ = ComPtr<IAdviseSink>(sink);
        return S_OK;
    }
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) noexcept override {
        if (aspects) *aspects = viewAspects_;
        if (flags) *flags = viewFlags_;
        if (sink) *sink = ComPtr<IAdviseSink>(viewSink_).detach();
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) noexcept override {
        return GetExtent(aspect, size);
    }

    // IPersist, IPersistStreamInit, IPersistPropertyBag: a control with no saved properties.
    STDMETHODIMP GetClassID(CLSID* clsid) noexcept override {
        if (!clsid) return E_POINTER;
        *clsid = description_.classId;
        return S_OK;
    }
    STDMETHODIMP IsDirty() noexcept override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) noexcept override { return S_OK; }
    STDMETHODIMP Save(LPSTREAM, BOOL) noexcept override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) noexcept override {
        if (!size) return E_POINTER;
        size->QuadPart = 0;
        return S_OK;
    }
    STDMETHODIMP InitNew() noexcept override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag*, IErrorLog*) noexcept override { return S_OK; }
    STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) noexcept override { return S_OK; }

    // IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) noexcept override {
        if (!container || !control) return E_POINTER;
        if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) return E_INVALIDARG;
        const HRESULT hr = SetClientSite(container->pClientSite);
        if (FAILED(hr)) return hr;
        if (container->pAdviseSink) (void)SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
        control->dwMiscStatus = description_.miscStatus;
        control->dwViewStatus = VIEWSTATUS_OPAQUE;
        control->dwEventCookie = 0;
        control->dwPropNotifyCookie = 0;
        control->dwPointerActivationPolicy = 0;
        return S_OK;
    }
    STDMETHODIMP SetContentExtent(LPSIZEL size) noexcept override { return SetExtent(DVASPECT_CONTENT, size); }
    STDMETHODIMP GetContentExtent(LPSIZEL size) noexcept override { return GetExtent(DVASPECT_CONTENT, size); }

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) noexcept override {
        return moduleTypeInfo(description_.classId, false, info);
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) noexcept override {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
            *guid = GUID_NULL;
            return E_INVALIDARG;
        }
        *guid = description_.defaultSource;
        return S_OK;
    }

    /// The control's window while in-place active, else null.
    HWND window() const noexcept { return window_.get(); }

protected:
    OleControl(const OleControlDescription& description, SIZEL extent) noexcept
        : description_(description), extent_(extent) {}

    /// Makes the control's window, a child of `parent` (hidden or not; it is placed and shown
    /// afterwards). Null with the thread's last error set when it cannot.
    virtual HWND CreateControlWindow(HWND parent) = 0;
    /// The control's window is gone (destroyed by the control, or with its parent): forget what
    /// pointed into it.
    virtual void ControlWindowGone() noexcept {}

    /// For the window procedure at WM_NCDESTROY: the window was destroyed with its parent, before
    /// the container deactivated the control.
    void ForgetControlWindow() noexcept {
        (void)window_.release();
        ControlWindowGone();
    }
    /// Destroys the control's window, if any. A derived class calls it from its destructor, while
    /// what the window procedure uses still lives.
    void DestroyControlWindow() noexcept {
        if (!window_) return;
        window_.reset();  // WM_NCDESTROY clears what the window procedure knew of it
        ControlWindowGone();
    }

    ComPtr<IOleClientSite> clientSite_;

private:
    HRESULT Activate(bool uiActivate, HWND parentHint, LPCRECT posHint) {
        if (!inPlaceSite_) {
            if (!clientSite_) return E_UNEXPECTED;
            ComPtr<IOleInPlaceSite> site = clientSite_.template tryQuery<IOleInPlaceSite>();
            if (!site) return E_NOINTERFACE;
            if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
            const HRESULT hr = site->OnInPlaceActivate();
            if (FAILED(hr)) return hr;
            inPlaceSite_ = std::move(site);
        }
        if (!window_) {
            HWND parent = nullptr;
            if (FAILED(inPlaceSite_->GetWindow(&parent)) || !parent) parent = parentHint;
            if (!parent) return E_FAIL;
            RECT pos{}, clip{};
            OLEINPLACEFRAMEINFO frameInfo{};
            frameInfo.cb = sizeof frameInfo;
            frame_ = nullptr;
            uiWindow_ = nullptr;
            if (FAILED(inPlaceSite_->GetWindowContext(frame_.put(), uiWindow_.put(), &pos, &clip, &frameInfo))) {
                if (posHint) pos = *posHint;
            }
            HWND own = CreateControlWindow(parent);
            if (!own) return HRESULT_FROM_WIN32(GetLastError());
            window_.reset(own);
            SetWindowPos(own, nullptr, pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
        ShowWindow(window_.get(), SW_SHOWNA);
        if (uiActivate && !uiActive_) {
            uiActive_ = true;
            (void)inPlaceSite_->OnUIActivate();
            auto active = static_cast<IOleInPlaceActiveObject*>(this);
            if (frame_) (void)frame_->SetActiveObject(active, nullptr);
            if (uiWindow_) (void)uiWindow_->SetActiveObject(active, nullptr);
            if (!IsChild(window_.get(), GetFocus())) SetFocus(GetNextDlgTabItem(window_.get(), nullptr, FALSE));
        }
        return S_OK;
    }

    OleControlDescription description_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> uiWindow_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    SIZEL extent_{};
    bool uiActive_ = false;
    Window window_;
};

}  // namespace com
