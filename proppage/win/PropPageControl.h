#pragma once
// PropPage: the options page as an ActiveX control. The host creates it by ProgID, sites it, reads
// Dirty after each status change and calls Apply.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "TallowbyPage.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "com/Handles.h"
#include "proppage/core/PageState.h"

namespace pagewin {

/// Ids of the page's controls, so tests can find them.
enum PageId : int { PageReplaceWithLinks = 101, PageFrame = 102, PageAboutButton = 103 };

/// The host's member ids of PropertyPage, served through IDispatch::Invoke.
inline constexpr DISPID DispidGetPageInfo = 0x2100;
inline constexpr DISPID DispidDirty = 0x2101;
inline constexpr DISPID DispidApply = 0x2102;

/// The host's PropertyPageSite, reached through IDispatch; OnStatusChange has this member id.
inline constexpr IID IID_PropertyPageSite = {0x0006307F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr DISPID DispidOnStatusChange = 0x2100;
/// The extender's Parent property (DISPID_PARENT): the container object.
inline constexpr DISPID DispidParent = -803;

/// What the control tells containers about itself (also written to the registry as MiscStatus).
inline constexpr DWORD MiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE;

/// The options page control.
class PropPageControl final
    : public com::ComObject<com::DispatchImpl<_PropPage>, PropertyPage, IOleObject,
                            com::Derives<IOleInPlaceObject, IOleWindow>, IOleInPlaceActiveObject, IOleControl,
                            com::Derives<IViewObject2, IViewObject>, com::Derives<IPersistStreamInit, IPersist>,
                            IPersistPropertyBag, IQuickActivate,
                            com::Derives<IProvideClassInfo2, IProvideClassInfo>> {
public:
    /// Initialisation of a new instance: clean, bridge created into ThreadBridge, box from it.
    PropPageControl();

    // IDispatch: _PropPage has no members; PropertyPage's three answer by the host's ids.
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override;

    // PropertyPage
    STDMETHODIMP GetPageInfo(BSTR* HelpFile, LONG* HelpContext) noexcept override;
    STDMETHODIMP get_Dirty(VARIANT_BOOL* Dirty) noexcept override;
    STDMETHODIMP Apply() noexcept override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) noexcept override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) noexcept override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) noexcept override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) noexcept override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) noexcept override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** out) noexcept override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT posRect) noexcept override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** out) noexcept override;
    STDMETHODIMP Update() noexcept override { return S_OK; }
    STDMETHODIMP IsUpToDate() noexcept override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) noexcept override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) noexcept override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) noexcept override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) noexcept override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) noexcept override;
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** out) noexcept override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) noexcept override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) noexcept override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* window) noexcept override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() noexcept override;
    STDMETHODIMP UIDeactivate() noexcept override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) noexcept override;
    STDMETHODIMP ReactivateAndUndo() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG msg) noexcept override;
    STDMETHODIMP OnFrameWindowActivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) noexcept override { return S_OK; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) noexcept override;
    STDMETHODIMP OnMnemonic(MSG*) noexcept override { return S_OK; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) noexcept override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) noexcept override { return S_OK; }

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) noexcept override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) noexcept override;
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) noexcept override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) noexcept override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) noexcept override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag: the page has no saved properties.
    STDMETHODIMP GetClassID(CLSID* clsid) noexcept override;
    STDMETHODIMP IsDirty() noexcept override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) noexcept override { return S_OK; }
    STDMETHODIMP Save(LPSTREAM, BOOL) noexcept override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) noexcept override;
    STDMETHODIMP InitNew() noexcept override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag*, IErrorLog*) noexcept override { return S_OK; }
    STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) noexcept override { return S_OK; }

    // IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) noexcept override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) noexcept override;
    STDMETHODIMP GetContentExtent(LPSIZEL size) noexcept override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) noexcept override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) noexcept override;

    /// The page's window while in-place active, else null.
    HWND window() const noexcept { return window_.get(); }

protected:
    /// Termination of the instance: releases the shared bridge.
    ~PropPageControl() override;

private:
    static INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void createControls(HWND dialog);
    void onUserClick();
    void notifySite() noexcept;
    HRESULT activate(bool uiActivate, HWND parentHint, LPCRECT posHint);
    void destroyWindow() noexcept;
    HRESULT invokePropertyPage(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                               UINT* argError) noexcept;

    proppage::PageState state_;
    HRESULT bridgeStatus_ = S_OK;  // why initialisation found no bridge
    com::ComPtr<IOleClientSite> clientSite_;
    com::ComPtr<IOleInPlaceSite> inPlaceSite_;
    com::ComPtr<IOleInPlaceFrame> frame_;
    com::ComPtr<IOleInPlaceUIWindow> uiWindow_;
    com::ComPtr<IOleAdviseHolder> adviseHolder_;
    com::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    SIZEL extent_{};
    bool uiActive_ = false;
    com::Window window_;
    com::GdiObject<HFONT> font_;
    HWND box_ = nullptr;
};

}  // namespace pagewin
