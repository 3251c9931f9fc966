#include "standin/win/PageContainer.h"

#include <commctrl.h>
#include <oleauto.h>

#include "com/Guard.h"

namespace standin::win {

namespace {

constexpr wchar_t kClassName[] = L"StandinOptionsDialog";
constexpr wchar_t kSiteClassName[] = L"StandinPageSite";
constexpr DISPID kDispidParent = -803;  // DISPID_PARENT of the extender

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The host's page area and buttons, in pixels at 96 dots per inch.
constexpr int kPageWidth = 415, kPageHeight = 389, kMargin = 7, kButtonWidth = 75, kButtonHeight = 23, kGap = 6;

class DispatchOnly : public com::ComObject<IDispatch> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* n) noexcept override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }

protected:
    ~DispatchOnly() override = default;
};

}  // namespace

// The host's PropertyPageSite: OnStatusChange counts, reads Dirty and sets the Apply button.
class PageSite final : public DispatchOnly {
public:
    explicit PageSite(PageContainer& owner) : owner_(owner) {}
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        if (id != kDispidOnStatusChange || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        return com::guard([&] {
            ++statusChanges;
            applyEnabled = owner_.Dirty().value_or(false);
            EnableWindow(owner_.ApplyButton(), applyEnabled);
            if (owner_.onStatusChange) owner_.onStatusChange();
        });
    }
    int statusChanges = 0;
    bool applyEnabled = false;

protected:
    ~PageSite() override = default;
    void* queryOther(REFIID iid) noexcept override {
        return iid == IID_HostPropertyPageSite ? static_cast<IDispatch*>(this) : nullptr;
    }

private:
    PageContainer& owner_;
};

namespace {

// The extender the control site hands out: Parent is the page site.
class Extender final : public DispatchOnly {
public:
    explicit Extender(IDispatch* parent) : parent_(parent) {}
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) noexcept override {
        if (id != kDispidParent || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = com::ComPtr<IDispatch>(parent_).detach();
        return S_OK;
    }

protected:
    ~Extender() override = default;

private:
    com::ComPtr<IDispatch> parent_;
};

class Frame final : public com::ComObject<com::Derives<IOleInPlaceFrame, IOleInPlaceUIWindow, IOleWindow>> {
public:
    explicit Frame(HWND window) : window_(window) {}
    STDMETHODIMP GetWindow(HWND* w) noexcept override { return *w = window_, S_OK; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) noexcept override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) noexcept override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) noexcept override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) noexcept override {
        active_ = com::ComPtr<IOleInPlaceActiveObject>(object);
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) noexcept override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) noexcept override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) noexcept override { return S_FALSE; }

protected:
    ~Frame() override = default;

private:
    HWND window_;
    com::ComPtr<IOleInPlaceActiveObject> active_;
};

}  // namespace

class ClientSite final
    : public com::ComObject<IOleClientSite, com::Derives<IOleInPlaceSite, IOleWindow>, IOleControlSite> {
public:
    ClientSite(SiteRoute route, HWND window, RECT area, PageContainer& owner)
        : route_(route), window_(window), area_(area), pageSite_(com::make<PageSite>(owner)) {}

    // IOleClientSite
    STDMETHODIMP SaveObject() noexcept override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) noexcept override { return *m = nullptr, E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** c) noexcept override { return *c = nullptr, E_NOINTERFACE; }
    STDMETHODIMP ShowObject() noexcept override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() noexcept override { return E_NOTIMPL; }
    // IOleWindow, IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* w) noexcept override { return *w = window_, S_OK; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() noexcept override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() noexcept override { return active = true, S_OK; }
    STDMETHODIMP OnUIActivate() noexcept override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) noexcept override {
        return com::guard([&] {
            *frame = com::make<Frame>(window_).detach();
            *doc = nullptr;
            *pos = area_;
            *clip = area_;
            info->fMDIApp = FALSE;
            info->hwndFrame = window_;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        });
    }
    STDMETHODIMP Scroll(SIZE) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() noexcept override { return active = false, S_OK; }
    STDMETHODIMP DiscardUndoState() noexcept override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() noexcept override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) noexcept override { return S_OK; }
    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() noexcept override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** out) noexcept override {
        *out = nullptr;
        if (route_ != SiteRoute::ExtenderParent && route_ != SiteRoute::Both) return E_NOTIMPL;
        return com::guard([&] { *out = com::make<Extender>(pageSite_.get()).detach(); });
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG, DWORD) noexcept override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() noexcept override { return E_NOTIMPL; }

    PageSite& PropertyPageSite() noexcept { return *pageSite_; }
    bool active = false;
    com::ComPtr<HostPropertyPage> page;

protected:
    ~ClientSite() override = default;
    void* queryOther(REFIID iid) noexcept override {
        if ((route_ != SiteRoute::ClientSite && route_ != SiteRoute::Both) || iid != IID_HostPropertyPageSite)
            return nullptr;
        return static_cast<IDispatch*>(pageSite_.get());
    }

private:
    SiteRoute route_;
    HWND window_;
    RECT area_;
    com::ComPtr<PageSite> pageSite_;
};

PageContainer::PageContainer(SiteRoute route, std::u16string title) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // A dialog's behaviour under a class of its own, so the host's robot does not take it for a
    // dialog the add-in opened.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &PageContainer::WindowProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
    // The window that holds the control in the page area, as the host's own page window does: no
    // dialog, so the control's dialog manager stops at it; the dialog's reaches into it.
    WNDCLASSEXW site{};
    site.cbSize = sizeof site;
    site.lpfnWndProc = &DefWindowProcW;
    site.hInstance = instance;
    site.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    site.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    site.lpszClassName = kSiteClassName;
    RegisterClassExW(&site);

    const int dpi = ScreenDpi();
    const auto px = [dpi](int v) { return MulDiv(v, dpi, 96); };
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(8, dpi, 72);
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
    font_.reset(CreateFontIndirectW(&lf));

    window_.reset(CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClassName, L"Options",
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, px(40), px(40), 100, 100,
                                  nullptr, nullptr, instance, nullptr));
    if (!window_) return;
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    // The tab under the page's title; its display area is the page area.
    RECT area{px(kMargin), px(kMargin), px(kMargin) + px(kPageWidth), px(kMargin) + px(kPageHeight)};
    HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 10, 10,
                               window_.get(), nullptr, instance, nullptr);
    SendMessageW(tab, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    std::wstring caption(title.begin(), title.end());
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    RECT tabRect = area;
    SendMessageW(tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
    // Keep the tab's frame inside the margin: shift everything so the tab starts there.
    const int dx = px(kMargin) - tabRect.left, dy = px(kMargin) - tabRect.top;
    OffsetRect(&tabRect, dx, dy);
    OffsetRect(&area, dx, dy);
    MoveWindow(tab, tabRect.left, tabRect.top, tabRect.right - tabRect.left, tabRect.bottom - tabRect.top, FALSE);
    pageArea_ = area;

    // OK, Cancel and Apply, right-aligned under the tab.
    const int top = tabRect.bottom + px(kGap);
    const int width = tabRect.right + px(kMargin);
    const std::pair<int, const wchar_t*> buttons[] = {{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}, {kApplyButton, L"&Apply"}};
    int left = width - px(kMargin) - 3 * px(kButtonWidth) - 2 * px(kGap);
    for (const auto& [id, text] : buttons) {
        HWND b = CreateWindowExW(0, L"BUTTON", text,
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | (id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                                 left, top, px(kButtonWidth), px(kButtonHeight), window_.get(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        left += px(kButtonWidth) + px(kGap);
    }
    EnableWindow(ApplyButton(), FALSE);  // nothing to apply until the page says it is dirty

    RECT frame{0, 0, width, top + px(kButtonHeight) + px(kMargin)};
    AdjustWindowRectEx(&frame, GetWindowLongW(window_.get(), GWL_STYLE), FALSE,
                       GetWindowLongW(window_.get(), GWL_EXSTYLE));
    SetWindowPos(window_.get(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_.get(), SW_SHOW);
    siteWindow_.reset(CreateWindowExW(WS_EX_CONTROLPARENT, kSiteClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                      pageArea_.left, pageArea_.top, pageArea_.right - pageArea_.left,
                                      pageArea_.bottom - pageArea_.top, window_.get(), nullptr, instance, nullptr));
    SetWindowPos(siteWindow_.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const RECT inSite{0, 0, pageArea_.right - pageArea_.left, pageArea_.bottom - pageArea_.top};
    site_ = com::make<ClientSite>(route, siteWindow_.get(), inSite, *this);
}

PageContainer::~PageContainer() {
    LetGo();
    if (window_ && IsWindow(window_.get())) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

HRESULT PageContainer::Site(IUnknown* control) {
    if (!site_) return E_UNEXPECTED;
    HRESULT hr = control->QueryInterface(IID_IOleObject, object_.putVoid());
    if (FAILED(hr)) return hr;
    (void)control->QueryInterface(IID_HostPropertyPage, site_->page.putVoid());
    // The control asks for its site first (SETCLIENTSITEFIRST), then is initialised and activated.
    hr = object_->SetClientSite(site_.get());
    if (FAILED(hr)) return hr;
    com::ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, persist.putVoid()))) {
        hr = persist->InitNew();
        if (FAILED(hr)) return hr;
    }
    const int dpi = ScreenDpi();
    SIZEL size{MulDiv(pageArea_.right - pageArea_.left, 2540, dpi), MulDiv(pageArea_.bottom - pageArea_.top, 2540, dpi)};
    hr = object_->SetExtent(DVASPECT_CONTENT, &size);
    if (FAILED(hr)) return hr;
    RECT pos{0, 0, pageArea_.right - pageArea_.left, pageArea_.bottom - pageArea_.top};
    hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, siteWindow_.get(), &pos);
    (void)control->QueryInterface(IID_IOleInPlaceActiveObject, activeObject_.putVoid());
    if (HWND page = PageWindow()) {
        // As the host's dialog opens on a page: the focus on the page's first control.
        if (HWND first = GetNextDlgTabItem(page, nullptr, FALSE)) SetFocus(first);
    }
    return hr;
}

void PageContainer::LetGo() {
    activeObject_ = nullptr;
    if (object_) {
        (void)object_->Close(OLECLOSE_NOSAVE);
        (void)object_->SetClientSite(nullptr);
        object_ = nullptr;
    }
    if (site_) site_->page = nullptr;
}

HWND PageContainer::PageWindow() const {
    HWND page = nullptr;
    if (!object_) return nullptr;
    com::ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, inPlace.putVoid()))) (void)inPlace->GetWindow(&page);
    return page;
}

std::optional<bool> PageContainer::Dirty() const {
    VARIANT_BOOL dirty = VARIANT_FALSE;
    if (!site_ || !site_->page || FAILED(site_->page->get_Dirty(&dirty))) return std::nullopt;
    return dirty != VARIANT_FALSE;
}

HRESULT PageContainer::Apply() {
    if (!site_ || !site_->page) return E_NOINTERFACE;
    const HRESULT hr = site_->page->Apply();
    site_->PropertyPageSite().applyEnabled = Dirty().value_or(false);
    EnableWindow(ApplyButton(), site_->PropertyPageSite().applyEnabled);
    return hr;
}

int PageContainer::StatusChanges() const noexcept { return site_ ? site_->PropertyPageSite().statusChanges : 0; }
bool PageContainer::ApplyEnabled() const noexcept { return site_ && site_->PropertyPageSite().applyEnabled; }
bool PageContainer::InPlaceActive() const noexcept { return site_ && site_->active; }

void PageContainer::Command(int id) {
    if (id == kApplyButton) {
        const HRESULT hr = Apply();
        if (onApply) onApply(hr);
    } else if ((id == IDOK || id == IDCANCEL) && onClose) {
        onClose(id == IDOK);
    }
}

LRESULT CALLBACK PageContainer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return com::guardOr<LRESULT>(0, [&]() -> LRESULT {
        auto* self = reinterpret_cast<PageContainer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_COMMAND && self && HIWORD(wParam) == BN_CLICKED) {
            self->Command(LOWORD(wParam));
            return 0;
        }
        return DefDlgProcW(window, message, wParam, lParam);
    });
}

bool PageContainer::PreTranslateMessage(MSG& msg) {
    if (!window_ || (msg.hwnd != window_.get() && !IsChild(window_.get(), msg.hwnd))) return false;
    const bool key = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
    HWND page = PageWindow();
    if (key && activeObject_ && page && IsChild(page, GetFocus()) && activeObject_->TranslateAccelerator(&msg) == S_OK)
        return true;
    return IsDialogMessageW(window_.get(), &msg) != FALSE;
}

void PageContainer::PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace standin::win
