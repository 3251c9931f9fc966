#include "proppage/core/PageState.h"

namespace proppage {

void PageState::Initialize(std::optional<bool> preference, bool shortcutsRefused) noexcept {
    dirty_ = false;
    hasBridge_ = preference.has_value();
    shortcutsRefused_ = shortcutsRefused;
    checked_ = preference.value_or(false);
}

void PageState::UserClicked(bool checked) noexcept {
    checked_ = checked;
    dirty_ = true;
}

}  // namespace proppage
