#pragma once
// The host's Options dialog window with one options page sited in it as an ActiveX control: a client
// site that is also the host's PropertyPageSite, an in-place site and frame, a control site whose
// extender offers Parent, a tab under the page's title, and OK, Cancel and Apply buttons. Shared by
// the host program and the page's tests.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <optional>
#include <string>

#include "com/ComObject.h"
#include "com/Handles.h"

namespace standin::win {

/// The host's PropertyPage: derived from IDispatch but not dual, so its three members follow
/// IDispatch's in the vtable (member ids 0x2100-0x2102 through Invoke).
struct HostPropertyPage : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetPageInfo(BSTR* helpFile, long* helpContext) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Dirty(VARIANT_BOOL* dirty) = 0;
    virtual HRESULT STDMETHODCALLTYPE Apply() = 0;
};
inline constexpr IID IID_HostPropertyPage = {0x0006307E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
/// The host's PropertyPageSite, an IDispatch whose OnStatusChange has member id 0x2100.
inline constexpr IID IID_HostPropertyPageSite = {0x0006307F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr DISPID kDispidOnStatusChange = 0x2100;
/// The host dialog's Apply button.
inline constexpr int kApplyButton = 0x3021;

/// How the page can find the host's PropertyPageSite.
enum class SiteRoute {
    Both,            // the client site answers for it, and the extender's Parent is it (the host)
    ClientSite,      // only the client site answers QueryInterface for it
    ExtenderParent,  // only the control site's extender, through its Parent property
    None,            // nowhere
};

class ClientSite;

class PageContainer {
public:
    explicit PageContainer(SiteRoute route = SiteRoute::Both, std::u16string title = u"Options page");
    ~PageContainer();
    PageContainer(const PageContainer&) = delete;
    PageContainer& operator=(const PageContainer&) = delete;

    /// Sites `control` and in-place activates it in the page area, as the host does.
    [[nodiscard]] HRESULT Site(IUnknown* control);
    /// Deactivates, closes and lets go of the control, as the host does when its dialog closes.
    void LetGo();

    /// The dialog window (its class is not a dialog box's: the host's robot leaves it alone).
    HWND window() const noexcept { return window_.get(); }
    /// The control's own window, from IOleInPlaceObject::GetWindow.
    HWND PageWindow() const;
    HWND ApplyButton() const noexcept { return GetDlgItem(window_.get(), kApplyButton); }
    int StatusChanges() const noexcept;
    /// The Apply button: enabled exactly when Dirty was true after the last status change or Apply.
    bool ApplyEnabled() const noexcept;
    bool InPlaceActive() const noexcept;

    /// The page's Dirty through the vtable; nothing when the control is not a PropertyPage or fails.
    std::optional<bool> Dirty() const;
    /// Calls the page's Apply, then sets the Apply button from Dirty.
    [[nodiscard]] HRESULT Apply();

    /// The host's keyboard routing for one queued message: a key while the focus is in the page goes
    /// first to the page's IOleInPlaceActiveObject::TranslateAccelerator; what the page leaves goes
    /// to the dialog's own dialog manager (Tab between the controls, Enter for OK, Escape for
    /// Cancel). True when the message was used and must not be dispatched.
    bool PreTranslateMessage(MSG& msg);
    /// Pumps this thread's messages through PreTranslateMessage without waiting.
    void PumpMessages();

    /// Called after each OnStatusChange has set the Apply button.
    std::function<void()> onStatusChange;
    /// Called when the user presses OK (true) or Cancel (false); the owner decides what follows.
    std::function<void(bool ok)> onClose;
    /// Called after the user's Apply button called Apply.
    std::function<void(HRESULT)> onApply;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id);

    com::Window window_;
    com::Window siteWindow_;  // holds the control in the page area
    com::GdiObject<HFONT> font_;
    RECT pageArea_{};
    com::ComPtr<ClientSite> site_;
    com::ComPtr<IOleObject> object_;
    com::ComPtr<IOleInPlaceActiveObject> activeObject_;
};

/// Pumps this thread's messages without waiting.
void PumpMessages();

}  // namespace standin::win
