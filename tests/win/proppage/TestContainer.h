#pragma once
// A small ActiveX container for the page tests: a top-level window, a client site that is also the
// host's PropertyPageSite (or not), an in-place site and frame, and a control site whose extender
// offers Parent. Like the host, it reads Dirty after each status change to set its Apply button.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "TallowbyPage.h"
#include "com/ComObject.h"
#include "com/Handles.h"

namespace testpage {

/// How the page can find the host's PropertyPageSite.
enum class SiteRoute {
    ClientSite,      // the client site answers QueryInterface for it
    ExtenderParent,  // only the control site's extender, through its Parent property
    None,            // nowhere
};

class ClientSite;
class PageSite;

class TestContainer {
public:
    explicit TestContainer(SiteRoute route);
    ~TestContainer();
    TestContainer(const TestContainer&) = delete;
    TestContainer& operator=(const TestContainer&) = delete;

    /// Sites `control` and in-place activates it at the page's size, as the host does.
    [[nodiscard]] HRESULT Site(IUnknown* control);
    /// Deactivates, closes and lets go of the control, as the host does when its dialog closes.
    void LetGo();

    HWND window() const noexcept { return window_.get(); }
    /// The control's own window, from IOleInPlaceObject::GetWindow.
    HWND pageWindow() const;
    int statusChanges() const noexcept;
    /// The host's Apply button: enabled exactly when Dirty was true after the last status change.
    bool applyEnabled() const noexcept;
    /// The in-place site's record of the control's calls.
    bool inPlaceActive() const noexcept;

private:
    com::Window window_;
    com::ComPtr<ClientSite> site_;
    com::ComPtr<IOleObject> object_;
};

/// Pumps this thread's messages without waiting.
void PumpMessages();

}  // namespace testpage
