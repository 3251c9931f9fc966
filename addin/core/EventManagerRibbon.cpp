// EventManager's answers to the ribbon of hosts of version 12 and later. The ribbon shows the
// toolbar's command with the toolbar's rules, per window; nothing here runs on older hosts, which
// never load the markup.
#include <algorithm>

#include "core/ActionManager.h"
#include "core/EventManager.h"
#include "base/HostError.h"
#include "core/Platform.h"
#include "core/Ribbon.h"
#include "core/host/Inspector.h"

std::u16string EventManager::GetCustomUI(const std::u16string& ribbonId) const {
    if (!actionManager_) return {};
    return Ribbon::CustomUI(ribbonId, actionManager_->GetCaption(), actionManager_->GetSaveAllCaption());
}

void EventManager::OnRibbonLoad(const std::shared_ptr<host::RibbonUI>& ribbon) {
    Require(ribbon);
    // Once the add-in has let go of the host it keeps nothing of it.
    if (!application_) return;
    const bool known = std::any_of(ribbons_.begin(), ribbons_.end(),
                                   [&](const auto& r) { return r->SameObject(*ribbon); });
    if (!known) ribbons_.push_back(ribbon);
}

void EventManager::OnRibbonAction(const std::shared_ptr<host::RibbonControl>& control) {
    if (cleanedUp_) return;
    // As a click on the toolbar's button: kept alive, and nothing refreshed after a clean-up.
    const auto self = shared_from_this();
    const auto ins = RibbonWindow(control);
    // One callback for both buttons, told apart by the control's id.
    RunCommand(control->Id() == Ribbon::SaveAllButtonId ? &ActionManager::SaveAll : &ActionManager::Action, ins);
}

bool EventManager::GetRibbonEnabled(const std::shared_ptr<host::RibbonControl>& control) {
    const auto ins = RibbonWindow(control);
    return Require(actionManager_)->IsEnabled(ins->CurrentItem());
}

bool EventManager::GetRibbonVisible(const std::shared_ptr<host::RibbonControl>& control) {
    // Not the toolbar's word-processor test: that keeps the add-in's bar out of the word processor's
    // own command bars, which a ribbon does not share; and from version 12 on the word processor
    // edits every mail window, so that test would hide the command from all of them.
    return IsNotNoteItem(*RibbonWindow(control));
}

std::shared_ptr<host::Picture> EventManager::GetRibbonImage(const std::shared_ptr<host::RibbonControl>&) {
    // Loaded for each call: the ribbon copies the picture, and nothing is kept between calls.
    return platform_.LoadPicture(Require(actionManager_)->GetLargeImageResourceId());
}

std::shared_ptr<host::Inspector> EventManager::RibbonWindow(const std::shared_ptr<host::RibbonControl>& control) const {
    auto ins = Require(control)->Context().inspector;
    if (!ins) throw HostError(HostStatus::InvalidArg, u"The ribbon control is not in an item window");
    return ins;
}

void EventManager::InvalidateRibbons() noexcept {
    for (const auto& ribbon : ribbons_) {
        for (const char16_t* id : {Ribbon::ButtonId, Ribbon::SaveAllButtonId}) {
            try {
                ribbon->InvalidateControl(id);
            } catch (...) {
            }
        }
    }
}
