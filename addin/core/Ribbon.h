#pragma once
// The add-in's ribbon markup (hosts of version 12 and later) and the names of its callbacks.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace addin {

namespace Ribbon {

/// The callbacks the markup names; the host finds each on the add-in's connection object by name.
enum class Callback { OnLoad, OnAction, GetEnabled, GetVisible, GetImage, OnExplorerLoad };

/// The name of `callback` in the markup ("OnRibbonLoad", "OnRibbonAction", "GetRibbonEnabled",
/// "GetRibbonVisible", "GetRibbonImage", "OnExplorerRibbonLoad"). The main window's markup has an
/// onLoad of its own, so that the add-in knows which ribbon holds which controls.
std::u16string_view NameOf(Callback callback);
/// The callback named `name`, in any letter case (automation names are case-insensitive).
std::optional<Callback> CallbackNamed(std::u16string_view name);

/// The markup's namespace: the one read by every version from 12 on.
inline constexpr char16_t Namespace[] = u"http://schemas.microsoft.com/office/2006/01/customui";
/// The ids of the add-in's group and button in the markup.
inline constexpr char16_t GroupId[] = u"TallowbyGroup";
inline constexpr char16_t ButtonId[] = u"TallowbySaveAttachments";
/// The id of the second button, "Save All Attachments".
inline constexpr char16_t SaveAllButtonId[] = u"TallowbySaveAllAttachments";

/// The main window's ribbon (asked for from version 14), whose markup also carries the context menus.
inline constexpr char16_t ExplorerRibbonId[] = u"Microsoft.Outlook.Explorer";
/// The namespace of the main window's markup: context menus exist only in it (version 14 on).
inline constexpr char16_t Namespace2009[] = u"http://schemas.microsoft.com/office/2009/07/customui";

/// The two commands every control of the markup runs.
enum class Command { SaveAttachments, SaveAll };

/// Where a control of the add-in's markup is, which decides what it acts on.
enum class Place {
    ItemWindow,      // an item window's first tab: its item
    MainWindow,      // the main window's first tab, and the item context menus: the selected items
    AttachmentPane,  // the reading pane's attachments tab and the attachment context menu: those selected
};

/// What the control `controlId` of the add-in's markup runs, and where it is; nothing for an id
/// that is not one of the add-in's.
struct ControlRole {
    Command command;
    Place place;
};
std::optional<ControlRole> RoleOf(std::u16string_view controlId);
/// The ids of the controls whose callbacks follow the item or the selection: in the item windows'
/// ribbons, or (`explorer`) in the main window's.
std::span<const std::u16string_view> ControlIds(bool explorer);

/// The built-in tab (its idMso) that windows of the ribbon `ribbonId` show first, for the item
/// windows that get the add-in's toolbar; empty for every other ribbon.
std::u16string_view FirstTab(std::u16string_view ribbonId);

/// The markup for the ribbon `ribbonId`: one large button labelled `caption`, in a group of its
/// own on FirstTab; empty where FirstTab is empty ("nothing for this window"). With
/// `saveAllCaption`, a second large button of that label (SaveAllButtonId) after it, with the same
/// callbacks: the ribbon tells them apart by the control's id.
/// For ExplorerRibbonId with `hostMajor` 14 or later: both buttons in a group on the main window's
/// first tab (TabMail) and on the reading pane's attachments tab (TabAttachments of
/// TabSetAttachments), and in the context menus of one item, of several and of attachments, in
/// the 2009/07 namespace; empty for older hosts, which have no such ribbon.
std::u16string CustomUI(std::u16string_view ribbonId, std::u16string_view caption,
                        std::u16string_view saveAllCaption = {}, int hostMajor = 0);

}  // namespace Ribbon

}  // namespace addin
