#pragma once
// The add-in's contact with the host's user interface: events, the toolbar button, clean-up.
#include <memory>
#include <string>
#include <vector>

#include "core/host/Application.h"
#include "core/host/CommandBars.h"
#include "core/host/Events.h"
#include "core/host/Explorer.h"
#include "core/host/Inspector.h"
#include "core/host/Picture.h"

class ActionManager;
class Platform;

/// Subscribes to the host's events, places the add-in's button in every suitable inspector, keeps
/// its enabled state current, forwards clicks and sends to the action manager, adds the Options
/// page, and removes its buttons when the add-in is unloaded while the host runs.
class EventManager : private host::ApplicationEvents,
                     private host::ExplorerEvents,
                     private host::InspectorsEvents,
                     private host::ButtonEvents {
public:
    explicit EventManager(Platform& platform);
    EventManager(const EventManager&) = delete;
    EventManager& operator=(const EventManager&) = delete;
    ~EventManager() override;

    /// Connects to the host. No failure is handled: the first one is thrown, and what the earlier
    /// steps set stays set.
    void InitHandler(const std::shared_ptr<host::Application>& oApp, const std::u16string& sProgID,
                     const std::shared_ptr<ActionManager>& acmgr);
    /// Saves the preference and lets go of every host object, subscription and picture. Each step
    /// runs even when an earlier one fails; never fails.
    void UnInitHandler() noexcept;
    /// While a button is held: deletes every button found or made and the bars they leave empty.
    /// Failures for one button are ignored and the next is tried.
    void CleanUpHandler();

private:
    // Application events.
    void ItemSend(const std::shared_ptr<host::Item>& item, bool& cancel) override;
    void OptionsPagesAdd(const std::shared_ptr<host::PropertyPages>& pages) override;
    // Active explorer events.
    void Close() override;
    void SelectionChange() override;
    // Inspectors events.
    void NewInspector(const std::shared_ptr<host::Inspector>& inspector) override;
    // Button events.
    void Click(const std::shared_ptr<host::CommandBarButton>& ctrl, bool& cancelDefault) override;

    void InitializeInspector(const std::shared_ptr<host::Inspector>& ins);
    std::shared_ptr<host::CommandBarButton> GetInspectorButton(const std::shared_ptr<host::Inspector>& ins);
    static bool IsNotNoteItem(host::Inspector& ins);

    Platform& platform_;
    host::Subscribed<host::Application> mOutlookApplication;
    host::Subscribed<host::Explorer> mActiveExplorer;
    host::Subscribed<host::Inspectors> mInspectors;
    host::Subscribed<host::CommandBarButton> mButton;
    std::vector<std::shared_ptr<host::CommandBarButton>> mButtons;
    std::u16string mProgId;
    std::shared_ptr<ActionManager> mActionManager;
    std::shared_ptr<host::Picture> mPicture;
    std::shared_ptr<host::Picture> mMask;
};
