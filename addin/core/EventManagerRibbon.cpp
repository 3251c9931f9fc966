// EventManager's answers to the ribbon of hosts of version 12 and later. In item windows the ribbon
// shows the toolbar's command with the toolbar's rules, per window; from version 14 the main
// window's ribbon and context menus run it on what is selected there. Nothing here runs on older
// hosts, which never load the markup.
#include <algorithm>

#include "addin/core/ActionManager.h"
#include "addin/core/EventManager.h"
#include "addin/core/Platform.h"
#include "addin/core/Ribbon.h"
#include "addin/core/host/Application.h"
#include "addin/core/host/Explorer.h"
#include "addin/core/host/Inspector.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

std::u16string EventManager::GetCustomUI(const std::u16string& ribbonId) const {
    if (!actionManager_) return {};
    return Ribbon::CustomUI(ribbonId, actionManager_->GetCaption(), actionManager_->GetSaveAllCaption(),
                            hostVersion_.Major());
}

void EventManager::OnRibbonLoad(const std::shared_ptr<host::RibbonUI>& ribbon, bool explorer) {
    Require(ribbon);
    // Once the add-in has let go of the host it keeps nothing of it.
    if (!application_) return;
    const bool known = std::any_of(ribbons_.begin(), ribbons_.end(),
                                   [&](const auto& r) { return r.ui->SameObject(*ribbon); });
    if (!known) ribbons_.push_back({ribbon, explorer});
}

void EventManager::OnRibbonAction(const std::shared_ptr<host::RibbonControl>& control) {
    RunCommand([&](ActionManager& actions) {
        const host::RibbonContext context = Require(control)->Context();
        // One callback for every control, told apart by the control's id.
        const auto role = Ribbon::RoleOf(control->Id());
        const bool saveAll = role && role->command == Ribbon::Command::SaveAll;
        if (context.inspector) {
            saveAll ? actions.SaveAll(context.inspector) : actions.Action(context.inspector);
            return Ran{context.inspector};
        }
        actions.SaveSelected(Selected(context, role && role->place == Ribbon::Place::AttachmentPane), saveAll);
        return Ran{};
    });
}

bool EventManager::GetRibbonEnabled(const std::shared_ptr<host::RibbonControl>& control) {
    const host::RibbonContext context = Require(control)->Context();
    if (context.inspector) return Require(actionManager_)->IsEnabled(context.inspector->CurrentItem());
    if (context.attachments) return context.attachments->Count() > 0;
    const auto selection = context.selection ? context.selection : context.explorer ? context.explorer->Selection() : nullptr;
    if (!selection) throw HostError(HostStatus::InvalidArg, u"The ribbon control is in no window the add-in knows");
    return Require(actionManager_)->IsSelectionEnabled(*selection);
}

bool EventManager::GetRibbonVisible(const std::shared_ptr<host::RibbonControl>& control) {
    // Not the toolbar's word-processor test: that keeps the add-in's bar out of the word processor's
    // own command bars, which a ribbon does not share; and from version 12 on the word processor
    // edits every mail window, so that test would hide the command from all of them.
    const host::RibbonContext context = Require(control)->Context();
    if (context.inspector) return IsNotNoteItem(*context.inspector);
    if (!context.explorer && !context.selection && !context.attachments)
        throw HostError(HostStatus::InvalidArg, u"The ribbon control is in no window the add-in knows");
    return true;
}

std::vector<ActionManager::Target> EventManager::Selected(const host::RibbonContext& context, bool attachments) {
    if (context.attachments) return ActionManager::TargetsOf(*context.attachments);
    if (context.selection) return ActionManager::TargetsOf(*context.selection);
    if (!context.explorer) throw HostError(HostStatus::InvalidArg, u"The ribbon control is in no window the add-in knows");
    // The main window's own tab acts on its selected items; the reading pane's attachments tab on
    // the attachments selected there.
    if (attachments) return ActionManager::TargetsOf(*Require(context.explorer->AttachmentSelection()));
    return ActionManager::TargetsOf(*Require(context.explorer->Selection()));
}

std::shared_ptr<host::Picture> EventManager::GetRibbonImage(const std::shared_ptr<host::RibbonControl>&) {
    // Loaded for each call: the ribbon copies the picture, and nothing is kept between calls.
    return platform_.LoadPicture(Require(actionManager_)->GetLargeImageResourceId());
}

void EventManager::InvalidateRibbons(bool explorer) noexcept {
    for (const auto& ribbon : ribbons_) {
        if (ribbon.explorer != explorer) continue;
        for (const std::u16string_view id : Ribbon::ControlIds(ribbon.explorer))
            base::TolerateAll([&] { ribbon.ui->InvalidateControl(std::u16string(id)); });
    }
}

}  // namespace addin
