#include "standin/model/PublishedLists.h"

#include <algorithm>
#include <utility>

namespace standin {

namespace {

// Generated at configure time from standin/host-lists: kRibbonTabs (ribbon id, its tabs separated
// by blanks) and kExplorerControls.
#include "PublishedLists.inc"

std::vector<std::u16string_view> Words(std::u16string_view text) {
    std::vector<std::u16string_view> words;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(u' ', at), text.size());
        if (end > at) words.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

}  // namespace

std::vector<std::u16string_view> PublishedTabs(std::u16string_view ribbonId) {
    for (const auto& [id, tabs] : kRibbonTabs)
        if (id == ribbonId) return Words(tabs);
    return {};
}

std::vector<std::u16string_view> PublishedRibbonIds() {
    std::vector<std::u16string_view> ids;
    for (const auto& row : kRibbonTabs) ids.push_back(row.first);
    return ids;
}

bool IsPublishedExplorerControl(std::u16string_view idMso) {
    return std::find(std::begin(kExplorerControls), std::end(kExplorerControls), idMso) != std::end(kExplorerControls);
}

}  // namespace standin
