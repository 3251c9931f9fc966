#pragma once
// The host's published lists of the names it defines (standin/host-lists), as the stand-in host
// checks an add-in's markup against them.
#include <string_view>
#include <vector>

namespace standin {

/// The built-in tabs (idMso) of windows of the ribbon `ribbonId`, first tab first; empty for a
/// ribbon the lists do not name.
std::vector<std::u16string_view> PublishedTabs(std::u16string_view ribbonId);
/// Every item window's ribbon id the lists name, in their order.
std::vector<std::u16string_view> PublishedRibbonIds();
/// Whether `idMso` names a tab, tab set, context menu or group of the main window's ribbon.
bool IsPublishedExplorerControl(std::u16string_view idMso);

}  // namespace standin
