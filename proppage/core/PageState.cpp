#include "proppage/core/PageState.h"

namespace proppage {

void PageState::Initialize(std::optional<bool> preference) noexcept {
    mDirty = false;
    mHasBridge = preference.has_value();
    mChecked = preference.value_or(false);
}

void PageState::UserClicked(bool checked) noexcept {
    mChecked = checked;
    mDirty = true;
}

}  // namespace proppage
