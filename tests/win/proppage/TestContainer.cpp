#include "TestContainer.h"

#include <oleauto.h>

#include "PropPageControl.h"
#include "Ui.h"
#include "proppage/core/Layout.h"

namespace testpage {

namespace L = proppage::PageLayout;

// The host's PropertyPageSite: OnStatusChange (0x2100) counts, then reads the page's Dirty.
class PageSite final : public com::ComObject<IDispatch> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* n) noexcept override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        if (id != pagewin::DispidOnStatusChange || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        ++statusChanges;
        VARIANT_BOOL dirty = VARIANT_FALSE;
        if (page && SUCCEEDED(page->get_Dirty(&dirty))) applyEnabled = dirty != VARIANT_FALSE;
        return S_OK;
    }
    int statusChanges = 0;
    bool applyEnabled = false;
    PropertyPage* page = nullptr;  // not owned: the container owns the control

protected:
    ~PageSite() override = default;
    void* queryOther(REFIID iid) noexcept override {
        return iid == pagewin::IID_PropertyPageSite ? static_cast<IDispatch*>(this) : nullptr;
    }
};

// The extender the control site hands out: Parent is the page site.
class Extender final : public com::ComObject<IDispatch> {
public:
    explicit Extender(IDispatch* parent) : parent_(parent) {}
    STDMETHODIMP GetTypeInfoCount(UINT* n) noexcept override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) noexcept override {
        if (id != pagewin::DispidParent || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
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

class ClientSite final
    : public com::ComObject<IOleClientSite, com::Derives<IOleInPlaceSite, IOleWindow>, IOleControlSite> {
public:
    ClientSite(SiteRoute route, HWND window) : route_(route), window_(window), pageSite_(com::make<PageSite>()) {}

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
        *frame = com::make<Frame>(window_).detach();
        *doc = nullptr;
        const int dpi = pagewin::ScreenDpi();
        *pos = {0, 0, proppage::Scale(L::ClientWidth, dpi), proppage::Scale(L::ClientHeight, dpi)};
        *clip = *pos;
        info->fMDIApp = FALSE;
        info->hwndFrame = window_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
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
        if (route_ != SiteRoute::ExtenderParent) return E_NOTIMPL;
        *out = com::make<Extender>(pageSite_.get()).detach();
        return S_OK;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG, DWORD) noexcept override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() noexcept override { return E_NOTIMPL; }

    PageSite& pageSite() noexcept { return *pageSite_; }
    bool active = false;

protected:
    ~ClientSite() override = default;
    void* queryOther(REFIID iid) noexcept override {
        // Only this route's client site is the host's PropertyPageSite.
        if (route_ != SiteRoute::ClientSite || iid != pagewin::IID_PropertyPageSite) return nullptr;
        return static_cast<IDispatch*>(pageSite_.get());
    }

private:
    SiteRoute route_;
    HWND window_;
    com::ComPtr<PageSite> pageSite_;
};

namespace {
INT_PTR CALLBACK HostProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
}  // namespace

TestContainer::TestContainer(SiteRoute route) {
    const pagewin::DialogTemplate t = pagewin::EmptyTemplate(
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPCHILDREN | DS_MODALFRAME, WS_EX_CONTROLPARENT);
    window_.reset(CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.get(), nullptr, &HostProc, 0));
    SetWindowTextW(window_.get(), L"Options");
    const int dpi = pagewin::ScreenDpi();
    pagewin::SetClientSize(window_.get(), L::ClientWidth, L::ClientHeight, dpi);
    SetWindowPos(window_.get(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    site_ = com::make<ClientSite>(route, window_.get());
}

TestContainer::~TestContainer() { LetGo(); }

HRESULT TestContainer::Site(IUnknown* control) {
    HRESULT hr = control->QueryInterface(IID_IOleObject, object_.put_void());
    if (FAILED(hr)) return hr;
    site_->pageSite().page = com::ComPtr<IUnknown>(control).try_query<PropertyPage>().get();
    // The control asks for its site first (SETCLIENTSITEFIRST), then is initialised and activated.
    hr = object_->SetClientSite(site_.get());
    if (FAILED(hr)) return hr;
    if (auto persist = com::ComPtr<IUnknown>(control).try_query<IPersistStreamInit>()) {
        hr = persist->InitNew();
        if (FAILED(hr)) return hr;
    }
    const int dpi = pagewin::ScreenDpi();
    SIZEL size{MulDiv(proppage::Scale(L::ClientWidth, dpi), 2540, dpi),
               MulDiv(proppage::Scale(L::ClientHeight, dpi), 2540, dpi)};
    hr = object_->SetExtent(DVASPECT_CONTENT, &size);
    if (FAILED(hr)) return hr;
    RECT pos{0, 0, proppage::Scale(L::ClientWidth, dpi), proppage::Scale(L::ClientHeight, dpi)};
    return object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, window_.get(), &pos);
}

void TestContainer::LetGo() {
    if (object_) {
        (void)object_->Close(OLECLOSE_NOSAVE);
        (void)object_->SetClientSite(nullptr);
        object_ = nullptr;
    }
    if (site_) site_->pageSite().page = nullptr;
}

HWND TestContainer::pageWindow() const {
    HWND page = nullptr;
    if (!object_) return nullptr;
    if (auto inPlace = object_.try_query<IOleInPlaceObject>()) (void)inPlace->GetWindow(&page);
    return page;
}

int TestContainer::statusChanges() const noexcept { return site_->pageSite().statusChanges; }
bool TestContainer::applyEnabled() const noexcept { return site_->pageSite().applyEnabled; }
bool TestContainer::inPlaceActive() const noexcept { return site_->active; }

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace testpage
