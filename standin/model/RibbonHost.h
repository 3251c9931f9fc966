#pragma once
// The ribbon of hosts of version 12 and later, as far as one add-in meets it. It asks the add-in for
// its markup once per ribbon id, when the first window of that kind opens, checks the markup (well
// formed, the namespaces the host version reads, elements and attributes it knows, ids unique,
// every callback found by name), calls its onLoad, and shows the markup's buttons in each window of
// that kind, asking their callbacks once and again only after the add-in invalidated them. From
// version 14 the main window has a ribbon too (its tabs, the contextual tab of selected
// attachments) and context menus, whose buttons the host asks about when the menu opens.
// Portable: the native tests drive the core through it, the host program the add-in's COM object.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addin/core/host/Ribbon.h"
#include "standin/model/Host.h"
#include "standin/model/Model.h"

namespace standin {

/// The add-in as the ribbon reaches it: its markup per ribbon id and its callbacks by name. Each
/// call may throw HostError.
class RibbonAddIn {
public:
    virtual ~RibbonAddIn() = default;
    virtual std::u16string GetCustomUI(const std::u16string& ribbonId) = 0;
    /// Whether the add-in answers to the callback `name` (the host asks before it loads the markup).
    virtual bool HasCallback(const std::u16string& name) = 0;
    virtual void OnLoad(const std::u16string& name, const std::shared_ptr<host::RibbonUI>& ribbon) = 0;
    virtual void OnAction(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) = 0;
    /// A callback answering true or false (getEnabled, getVisible).
    virtual bool GetBool(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) = 0;
    /// What the picture the callback returned looks like ("bitmap 32x32 ...").
    virtual std::u16string GetImage(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) = 0;
};

/// Where the ribbon reports what it did and what it found wrong, in the host's words.
class RibbonLog {
public:
    virtual ~RibbonLog() = default;
    virtual void Line(const std::u16string& text) = 0;
    /// A fault of the add-in's markup.
    virtual void Failure(const std::u16string& text) = 0;
    virtual std::u16string Quote(std::u16string_view text) = 0;
    virtual std::u16string WindowName(const std::shared_ptr<InspectorNode>& window) = 0;
    /// A main window's name; a log that meets only one main window may leave it.
    virtual std::u16string ExplorerName(const std::shared_ptr<ExplorerNode>& /*explorer*/) { return u"explorer"; }
    /// A status code as text.
    virtual std::u16string Code(int32_t status) = 0;
};

/// Whether the host asks a context menu's callbacks each time the menu opens, or keeps the answers
/// of the first opening until the add-in invalidates them. No source says which the host does.
enum class MenuAsking { EachOpening, UntilInvalidated };

/// A button shown in a window, as the ribbon last asked its callbacks. Enabled and image are unset
/// for a hidden button: the ribbon does not ask them.
struct RibbonButtonState {
    std::u16string label;
    bool visible = false;
    std::optional<bool> enabled;
    std::optional<std::u16string> image;
};

class RibbonHost {
public:
    /// The ribbon id of the main window's ribbon and context menus.
    static constexpr std::u16string_view kExplorerRibbonId = u"Microsoft.Outlook.Explorer";

    /// `majorVersion` is the host's (12 or later): 12 reads markup of the 2006 namespace only.
    RibbonHost(Host& host, RibbonAddIn& addIn, int majorVersion, RibbonLog& log);
    ~RibbonHost();
    RibbonHost(const RibbonHost&) = delete;
    RibbonHost& operator=(const RibbonHost&) = delete;

    /// Asks for the markup of `ribbonId` unless it was asked for before; checks it and calls its onLoad.
    void Load(const std::u16string& ribbonId);
    /// `window` opened (or was open when the add-in loaded): loads its ribbon and shows the markup's
    /// buttons in it, asking their callbacks.
    void Show(const std::shared_ptr<InspectorNode>& window);
    /// Asks again the callbacks of what the add-in invalidated since the last time, in the open
    /// windows, as the ribbon does when it next paints. Shows the main windows' contextual tab of
    /// attachments while attachments are selected in the reading pane, and hides it otherwise.
    void Refresh();

    /// The main window `explorer` shows (version 14 on; nothing before): loads its ribbon and shows
    /// the markup's ribbon buttons in it, asking their callbacks; a contextual tab's buttons only
    /// while its context holds.
    void ShowExplorer(const std::shared_ptr<ExplorerNode>& explorer);
    /// The user clicks the ribbon button labelled `label` in the main window. Returns false when
    /// the window shows no such button.
    bool ClickExplorer(const std::shared_ptr<ExplorerNode>& explorer, const std::u16string& label);
    /// The user opens the context menu `menu` (idMso) in the main window: the host asks the
    /// callbacks of the add-in's buttons in it (as `SetMenuAsking` says). Unset when the host does
    /// not open that menu on the window's selection.
    std::optional<std::vector<RibbonButtonState>> OpenMenu(const std::shared_ptr<ExplorerNode>& explorer,
                                                                   const std::u16string& menu);
    /// Opens the menu and clicks the button labelled `label` in it. Returns false when the menu
    /// does not open or has no such button.
    bool ClickMenu(const std::shared_ptr<ExplorerNode>& explorer, const std::u16string& menu, const std::u16string& label);
    void SetMenuAsking(MenuAsking asking) { menuAsking_ = asking; }
    /// The user clicks the button labelled `label` in `window`. Returns false when the window shows
    /// no such button; a disabled or hidden button is reported and not invoked.
    bool Click(const std::shared_ptr<InspectorNode>& window, const std::u16string& label);
    using ButtonState = RibbonButtonState;
    std::vector<ButtonState> Buttons(const std::shared_ptr<InspectorNode>& window) const;
    /// One line per button shown in `window`, with its state as last asked.
    std::vector<std::u16string> State(const std::shared_ptr<InspectorNode>& window);
    /// The ribbon buttons the main window shows now (contextual ones while shown).
    std::vector<ButtonState> Buttons(const std::shared_ptr<ExplorerNode>& explorer) const;
    /// One line per button the main window shows now, then one per context-menu button asked
    /// about at least once, with its state as last asked.
    std::vector<std::u16string> State(const std::shared_ptr<ExplorerNode>& explorer);

private:
    struct Markup;
    struct Shown;

    /// Shows in one window (an item window, or else a main window) the markup's buttons it does not
    /// show yet, asking their callbacks; a button whose place the window lacks shows nothing.
    void ShowButtons(const std::shared_ptr<Markup>& markup, const std::shared_ptr<InspectorNode>& window,
                     const std::shared_ptr<ExplorerNode>& explorer);
    /// Asks the callbacks of a shown button, and logs their answers on one line.
    void Ask(Shown& shown);
    std::u16string WhereName(const Shown& shown);
    /// Invokes the shown button's onAction, or says why nothing happens.
    void Press(Shown& shown, const std::u16string& name);
    /// Whether a main window's shown button is on screen now (a contextual tab while its context
    /// holds).
    static bool OnScreen(const Shown& shown);
    template <class T, class Call, class Text>
    T Ask(Shown& shown, int layer, const std::u16string& callback, T fallback, Call call, Text answer,
          std::u16string& asked);

    Host& host_;
    RibbonAddIn& addIn_;
    int version_;
    RibbonLog& log_;
    std::map<std::u16string, std::shared_ptr<Markup>> markups_;  // null: none, or rejected
    std::vector<std::unique_ptr<Shown>> shown_;
    MenuAsking menuAsking_ = MenuAsking::EachOpening;
};

}  // namespace standin
