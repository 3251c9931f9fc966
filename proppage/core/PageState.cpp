#include "proppage/core/PageState.h"

namespace proppage {

void PageState::Initialize(std::optional<bool> preference, bool shortcutsRefused, bool setByAdministrator) noexcept {
    dirty_ = false;
    hasBridge_ = preference.has_value();
    shortcutsRefused_ = shortcutsRefused;
    // Only a bridge can tell the page of a policy.
    setByAdministrator_ = hasBridge_ && setByAdministrator;
    checked_ = preference.value_or(false);
}

void PageState::UserClicked(bool checked) noexcept {
    checked_ = checked;
    dirty_ = true;
}

}  // namespace proppage
