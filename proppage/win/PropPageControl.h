#pragma once
// PropPage: the options page as an ActiveX control. The host creates it by ProgID, sites it, reads
// Dirty after each status change and calls Apply.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "TallowbyPage.h"
#include "com/DispatchImpl.h"
#include "com/Handles.h"
#include "com/OleControl.h"
#include "proppage/core/PageState.h"

namespace proppage::win {

/// Ids of the page's controls, so tests can find them.
enum PageId : int { PageReplaceWithLinks = 101, PageFrame = 102, PageAboutButton = 103, PageAdministratorNote = 104 };

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

/// The options page control: the OLE control protocol is com::OleControl's; the page adds the
/// host's PropertyPage members and its window.
class PropPageControl final : public com::OleControl<com::DispatchImpl<_PropPage>, PropertyPage> {
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

protected:
    /// Termination of the instance: releases the shared bridge.
    ~PropPageControl() override;

private:
    HWND CreateControlWindow(HWND parent) override;
    void ControlWindowGone() noexcept override;

    static INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls(HWND dialog);
    void OnUserClick();
    void NotifySite() noexcept;
    HRESULT InvokePropertyPage(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                               UINT* argError) noexcept;

    proppage::PageState state_;
    HRESULT bridgeStatus_ = S_OK;  // why initialisation found no bridge
    com::GdiObject<HFONT> font_;
    HWND box_ = nullptr;
};

}  // namespace proppage::win
