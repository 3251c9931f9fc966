#pragma once
// The add-in's contact with the host's user interface: events, the toolbar button, clean-up.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "addin/core/ActionManager.h"
#include "addin/core/HostVersion.h"
#include "addin/core/host/Application.h"
#include "addin/core/host/CommandBars.h"
#include "addin/core/host/Events.h"
#include "addin/core/host/Explorer.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Picture.h"
#include "addin/core/host/Ribbon.h"

namespace addin {

class Platform;

/// Subscribes to the host's events, places the add-in's button in every suitable inspector, keeps
/// its enabled state current, forwards clicks and sends to the action manager, adds the Options
/// page, and removes its buttons when the add-in is unloaded while the host runs.
///
/// Every handler keeps the event manager and what it uses alive until it returns: a click or a send
/// shows modal windows, and while one is up the host may run the clean-up (the last main window
/// closed, the add-in unloaded, the host shutting down). After the last main window closes with an
/// item window still open the host goes on running and so does the command; an unload or a
/// shut-down stops it after the attachment at hand. What the handler held is released when it
/// returns.
class EventManager : public std::enable_shared_from_this<EventManager>,
                     private host::ApplicationEvents,
                     private host::ExplorersEvents,
                     private host::InspectorsEvents,
                     private host::ButtonEvents {
public:
    /// Always held by a shared pointer, which the handlers share while they run.
    static std::shared_ptr<EventManager> Create(Platform& platform);
    EventManager(const EventManager&) = delete;
    EventManager& operator=(const EventManager&) = delete;
    ~EventManager() override;

    /// Connects to the host. No failure is handled: the first one is thrown, and what the earlier
    /// steps set stays set.
    void InitHandler(const std::shared_ptr<host::Application>& application, const std::u16string& progId,
                     const std::shared_ptr<ActionManager>& actions);
    /// The host's major version as InitHandler read it (-1 before, or when it could not be read).
    int16_t HostMajorVersion() const noexcept { return hostVersion_.Major(); }
    /// The host is shutting down: a command in progress stops after the attachment at hand; the
    /// preference is saved and every host object, subscription and picture let go. Each step runs
    /// even when an earlier one fails; never fails.
    void UnInitHandler() noexcept;
    /// While the add-in is connected to a button: deletes the add-in's buttons in the open item
    /// windows (found by tag) and the bars they leave empty. Failures for one window are ignored and
    /// the next is tried. From then on until the next InitHandler the host's events are ignored: no
    /// button is made again for an add-in going away.
    void CleanUpHandler();

    // The ribbon of hosts of version 12 and later, which calls these through the connection object.
    // Each gives the toolbar's answer for the control's window (Context): the command, its rule for
    // being enabled, its presence. A control outside an item window fails (HostError).

    /// The markup for the ribbon `ribbonId` (Ribbon::CustomUI); empty while not connected.
    std::u16string GetCustomUI(const std::u16string& ribbonId) const;
    /// Keeps `ribbon` while connected: each refresh of a toolbar button invalidates the ribbon's
    /// button too, so that the ribbon asks again and both agree.
    /// `explorer`: the main window's ribbon (its own onLoad).
    void OnRibbonLoad(const std::shared_ptr<host::RibbonUI>& ribbon, bool explorer = false);
    /// Runs the command on the control's window, then refreshes that window's button, as a click
    /// on the toolbar button does.
    void OnRibbonAction(const std::shared_ptr<host::RibbonControl>& control);
    /// The toolbar button's rule (ActionManager::IsEnabled) for the item of the control's window.
    bool GetRibbonEnabled(const std::shared_ptr<host::RibbonControl>& control);
    /// Whether the control's window gets the toolbar: not a note, not edited in the word processor.
    bool GetRibbonVisible(const std::shared_ptr<host::RibbonControl>& control);
    /// The button's 32 by 32 picture with transparency.
    std::shared_ptr<host::Picture> GetRibbonImage(const std::shared_ptr<host::RibbonControl>& control);

private:
    explicit EventManager(Platform& platform);

    // Application events.
    void ItemSend(const std::shared_ptr<host::Item>& item, bool& cancel) override;
    void OptionsPagesAdd(const std::shared_ptr<host::PropertyPages>& pages) override;
    // Explorers events.
    void NewExplorer(const std::shared_ptr<host::Explorer>& explorer) override;
    // Inspectors events.
    void NewInspector(const std::shared_ptr<host::Inspector>& inspector) override;
    // Button events.
    void Click(const std::shared_ptr<host::CommandBarButton>& ctrl, bool& cancelDefault) override;

    /// The clicks of the "Save All Attachments" button: a subscription of its own, as the host
    /// raises a button's Click for the buttons of its tag only.
    class SaveAllClicks final : public host::ButtonEvents {
    public:
        explicit SaveAllClicks(EventManager& owner) : owner_(owner) {}
        void Click(const std::shared_ptr<host::CommandBarButton>& ctrl, bool& cancelDefault) override;

    private:
        EventManager& owner_;
    };
    /// One main window followed: its selection refreshes the buttons, and it is let go when it closes.
    class MainWindow final : public host::ExplorerEvents {
    public:
        explicit MainWindow(EventManager& owner) : owner_(owner) {}
        void Follow(std::shared_ptr<host::Explorer> explorer) { explorer_.Assign(std::move(explorer), *this); }
        void LetGo() noexcept { explorer_.Reset(); }
        void Close() override;
        void SelectionChange() override;

    private:
        EventManager& owner_;
        host::Subscribed<host::Explorer> explorer_;
    };
    /// Follows `explorer` (nothing when empty) for as long as it is open.
    void Follow(const std::shared_ptr<host::Explorer>& explorer);
    /// `window` closed: it is let go, and with the last main window the host too. Returns the
    /// window, which its own handler holds until it returns.
    std::shared_ptr<MainWindow> Closed(const MainWindow& window);
    /// A main window's selection changed.
    void SelectionChange();

    using Command = void (ActionManager::*)(const std::shared_ptr<host::Inspector>&);
    /// Where a command ran: in an item window, or (no inspector) on the main window's selection.
    struct Ran {
        std::shared_ptr<host::Inspector> inspector;
    };
    /// Every click, from a toolbar button or a ribbon control: `command` acts through the action
    /// manager, which is held while it runs, and says where it ran; then the buttons that may have
    /// changed are refreshed, unless a clean-up came meanwhile.
    void RunCommand(const std::function<Ran(ActionManager&)>& command);
    /// A toolbar button's click: `command` on the active item window.
    void RunInActiveInspector(Command command);

    /// Saves the preference and lets go of the host; with `stopCommand` a command in progress stops
    /// after the attachment at hand, otherwise it finishes with what it holds.
    void LetGo(bool stopCommand) noexcept;
    void InitializeInspector(const std::shared_ptr<host::Inspector>& ins);
    /// The window's two buttons, found by their tags or made: both on a new bar, or the second
    /// added beside the first where a bar kept from before has only the first.
    std::pair<std::shared_ptr<host::CommandBarButton>, std::shared_ptr<host::CommandBarButton>> GetInspectorButtons(
        const std::shared_ptr<host::Inspector>& ins);
    /// A new bar with the first button and, `withSaveAll`, the second; the bar goes again when
    /// anything fails.
    std::pair<std::shared_ptr<host::CommandBarButton>, std::shared_ptr<host::CommandBarButton>> MakeBar(
        host::CommandBars& bars, const ActionManager& actions, bool withSaveAll);
    /// Appends one of the add-in's buttons to `bar`; a button left half made is deleted again.
    std::shared_ptr<host::CommandBarButton> AddButton(host::CommandBar& bar, const std::u16string& caption,
                                                      const std::u16string& tag);
    static void DeleteButtons(host::CommandBars& bars, const std::u16string& tag);
    static bool IsNotNoteItem(host::Inspector& ins);
    /// Whether the inspector gets the add-in's toolbar (steps 1 and 2 of InitializeInspector).
    static bool GetsButton(host::Inspector& ins);
    /// What a control outside an item window acts on: the attachments selected (`attachments`, or
    /// a context that is an attachment selection) or the items selected.
    static std::vector<ActionManager::Target> Selected(const host::RibbonContext& context, bool attachments);
    /// Invalidates the add-in's buttons that follow an item in the item windows' ribbons, or
    /// (`explorer`) those that follow the selection in the main window's; each failure tolerated.
    void InvalidateRibbons(bool explorer) noexcept;

    Platform& platform_;
    HostVersion hostVersion_;
    host::Subscribed<host::Application> application_;
    host::Subscribed<host::Explorers> explorers_;
    std::vector<std::shared_ptr<MainWindow>> mainWindows_;
    host::Subscribed<host::Inspectors> inspectors_;
    host::Subscribed<host::CommandBarButton> button_;
    SaveAllClicks saveAllClicks_{*this};
    host::Subscribed<host::CommandBarButton> saveAllButton_;
    std::u16string progId_;
    std::shared_ptr<ActionManager> actionManager_;
    std::shared_ptr<host::Picture> picture_;
    std::shared_ptr<host::Picture> mask_;
    struct LoadedRibbon {
        std::shared_ptr<host::RibbonUI> ui;
        bool explorer;
    };
    std::vector<LoadedRibbon> ribbons_;
    bool cleanedUp_ = false;
};

}  // namespace addin
