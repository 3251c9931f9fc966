#pragma once
// The add-in's ribbon markup (hosts of version 12 and later) and the names of its callbacks.
#include <optional>
#include <string>
#include <string_view>

namespace Ribbon {

/// The callbacks the markup names; the host finds each on the add-in's connection object by name.
enum class Callback { OnLoad, OnAction, GetEnabled, GetVisible, GetImage };

/// The name of `callback` in the markup ("OnRibbonLoad", "OnRibbonAction", "GetRibbonEnabled",
/// "GetRibbonVisible", "GetRibbonImage").
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

/// The built-in tab (its idMso) that windows of the ribbon `ribbonId` show first, for the item
/// windows that get the add-in's toolbar; empty for every other ribbon.
std::u16string_view FirstTab(std::u16string_view ribbonId);

/// The markup for the ribbon `ribbonId`: one large button labelled `caption`, in a group of its
/// own on FirstTab; empty where FirstTab is empty ("nothing for this window"). With
/// `saveAllCaption`, a second large button of that label (SaveAllButtonId) after it, with the same
/// callbacks: the ribbon tells them apart by the control's id.
std::u16string CustomUI(std::u16string_view ribbonId, std::u16string_view caption,
                        std::u16string_view saveAllCaption = {});

}  // namespace Ribbon
