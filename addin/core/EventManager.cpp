#include "addin/core/EventManager.h"

#include <algorithm>

#include "addin/core/ActionManager.h"
#include "addin/core/HostVersion.h"
#include "addin/core/Platform.h"
#include "addin/core/Preferences.h"
#include "addin/core/host/Item.h"
#include "addin/core/host/PropertyPages.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

EventManager::EventManager(Platform& platform) : platform_(platform) {}

std::shared_ptr<EventManager> EventManager::Create(Platform& platform) {
    return std::shared_ptr<EventManager>(new EventManager(platform));
}

EventManager::~EventManager() = default;

void EventManager::InitHandler(const std::shared_ptr<host::Application>& application, const std::u16string& progId,
                               const std::shared_ptr<ActionManager>& actions) {
    cleanedUp_ = false;
    // A stored text that is no Boolean, or a store that cannot be read, leaves the default: one bad
    // value must not keep the add-in from loading (the host would mark it not loaded for good).
    if (!base::Tolerate([&] { Preferences::LoadPreferences(platform_); }))
        Preferences::SetReplaceWithLinks(Preferences::kDefault);
    application_.Assign(application, static_cast<host::ApplicationEvents&>(*this));
    hostVersion_.Read(*Require(application));
    // Every main window open now, and each opened later (NewExplorer). Without them (or their
    // events) the item windows still get the command; a window that cannot be followed costs that
    // window.
    base::Tolerate([&] {
        const auto explorers = Require(application->Explorers());
        explorers_.Assign(explorers, static_cast<host::ExplorersEvents&>(*this));
        const int32_t count = explorers->Count();
        for (int32_t i = 1; i <= count; ++i) base::Tolerate([&] { Follow(explorers->Item(i)); });
    });
    inspectors_.Assign(Require(application->Inspectors()), static_cast<host::InspectorsEvents&>(*this));
    progId_ = progId;
    actionManager_ = actions;
    if (actions) actions->SetHostMajorVersion(hostVersion_.Major());
    Require(actions);
    // Without its picture the button takes a built-in face.
    base::Tolerate([&] { picture_ = platform_.LoadPicture(actions->GetImageResourceId()); });
    base::Tolerate([&] { mask_ = platform_.LoadPicture(actions->GetImageMaskResourceId()); });

    // The inspectors already open at connection; a window that cannot be set up costs that window.
    const auto inspectors = Require(application->Inspectors());
    const int32_t count = inspectors->Count();
    for (int32_t i = 1; i <= count; ++i) base::Tolerate([&] { InitializeInspector(inspectors->Item(i)); });
}

void EventManager::UnInitHandler() noexcept { LetGo(true); }

void EventManager::LetGo(bool stopCommand) noexcept {
    if (stopCommand && actionManager_) actionManager_->StopCommand();
    base::TolerateAll([&] { Preferences::SavePreferences(platform_); });
    // Emptying a member ends its subscription and never fails.
    application_.Reset();
    explorers_.Reset();
    mainWindows_.clear();
    inspectors_.Reset();
    button_.Reset();
    saveAllButton_.Reset();
    actionManager_.reset();
    picture_.reset();
    mask_.reset();
    ribbons_.clear();
}

void EventManager::CleanUpHandler() {
    cleanedUp_ = true;
    if (actionManager_) actionManager_->StopCommand();
    // Without a button the add-in was never connected to one, or has already let go of the host.
    if (!button_ && !saveAllButton_) return;
    // The add-in's buttons are found where they are, by tag in the open item windows: holding every
    // button ever made would hold one host object per item window for as long as the add-in runs.
    // Every failure is ignored; the next window is tried.
    const std::u16string tag = actionManager_ ? actionManager_->GetTag() : std::u16string();
    const std::u16string saveAllTag = actionManager_ ? actionManager_->GetSaveAllTag() : std::u16string();
    std::shared_ptr<host::Inspectors> inspectors;
    int32_t count = 0;
    base::Tolerate([&] {
        inspectors = Require(inspectors_.get());
        count = inspectors->Count();
    });
    for (int32_t i = 1; i <= count; ++i) {
        base::Tolerate([&] {
            const auto bars = Require(Require(inspectors->Item(i))->CommandBars());
            DeleteButtons(*bars, tag);
            // Only our tags: the bar goes once both buttons have gone and it is empty.
            if (!saveAllTag.empty()) DeleteButtons(*bars, saveAllTag);
        });
    }
}

void EventManager::DeleteButtons(host::CommandBars& bars, const std::u16string& tag) {
    // One button a window, as a rule; a window showing a kept toolbar beside a new one has two.
    for (int n = 0; n < 8; ++n) {
        const auto control = bars.FindControl({}, {}, tag, {});
        if (!control) return;
        std::shared_ptr<host::CommandBar> bar;
        if (!base::Tolerate([&] { bar = Require(control->Parent()); })) return;  // deleted already, e.g. by the user
        control->Delete();
        bool empty = true;  // a bar whose count cannot be read is deleted too
        base::Tolerate([&] { empty = Require(bar->Controls())->Count() == 0; });
        if (!empty) continue;
        base::Tolerate([&] { bar->Delete(); });
    }
}

void EventManager::ItemSend(const std::shared_ptr<host::Item>& item, bool& cancel) {
    if (cleanedUp_) return;
    const auto self = shared_from_this();
    // The send warning is modal: the action manager stays ours until it has answered.
    const auto actions = Require(actionManager_);
    actions->CheckItemSend(item, cancel);
}

void EventManager::OptionsPagesAdd(const std::shared_ptr<host::PropertyPages>& pages) {
    if (cleanedUp_) return;
    const auto self = shared_from_this();
    Require(pages)->Add(u"TallowbyPage.PropPage", u"Save Attachments");
}

void EventManager::NewExplorer(const std::shared_ptr<host::Explorer>& explorer) {
    if (cleanedUp_) return;
    const auto self = shared_from_this();
    Follow(explorer);
}

void EventManager::Follow(const std::shared_ptr<host::Explorer>& explorer) {
    if (!explorer) return;
    auto window = std::make_shared<MainWindow>(*this);
    window->Follow(explorer);
    mainWindows_.push_back(std::move(window));
}

void EventManager::MainWindow::Close() {
    // This window is let go here; it stays alive until its handler returns.
    const auto closed = owner_.Closed(*this);
}

void EventManager::MainWindow::SelectionChange() { owner_.SelectionChange(); }

std::shared_ptr<EventManager::MainWindow> EventManager::Closed(const MainWindow& window) {
    const auto self = shared_from_this();
    std::shared_ptr<MainWindow> closed;
    const auto it = std::find_if(mainWindows_.begin(), mainWindows_.end(),
                                 [&](const auto& followed) { return followed.get() == &window; });
    if (it != mainWindows_.end()) {
        closed = std::move(*it);
        mainWindows_.erase(it);
        closed->LetGo();
    }
    // Every failure is ignored; a count that cannot be read lets go of the host as well.
    bool last = true;
    bool exiting = true;
    base::Tolerate([&] {
        const auto app = Require(application_.get());
        last = Require(app->Explorers())->Count() <= 1;
        // An item window left open keeps the host running: a command in one of them goes on, and
        // what it holds is released when it returns. With none left the host is exiting (from
        // version 14 it may say nothing more): the command stops after the attachment at hand.
        exiting = Require(app->Inspectors())->Count() == 0;
    });
    if (last) LetGo(exiting);
    return closed;
}

void EventManager::SelectionChange() {
    if (cleanedUp_) return;
    const auto self = shared_from_this();
    // The main window's buttons follow its selection; an item window's follow its item.
    InvalidateRibbons(true);
    if (const auto ins = Require(application_.get())->ActiveInspector()) InitializeInspector(ins);
}

void EventManager::NewInspector(const std::shared_ptr<host::Inspector>& inspector) {
    if (cleanedUp_) return;
    const auto self = shared_from_this();
    InitializeInspector(inspector);
}

void EventManager::Click(const std::shared_ptr<host::CommandBarButton>&, bool&) {
    RunInActiveInspector(&ActionManager::Action);
}

void EventManager::SaveAllClicks::Click(const std::shared_ptr<host::CommandBarButton>&, bool&) {
    owner_.RunInActiveInspector(&ActionManager::SaveAll);
}

void EventManager::RunInActiveInspector(Command command) {
    RunCommand([&](ActionManager& actions) {
        // The click acts on the active inspector, whichever button raised it.
        const auto ins = Require(application_.get())->ActiveInspector();
        (actions.*command)(ins);
        return Ran{ins};
    });
}

void EventManager::RunCommand(const std::function<Ran(ActionManager&)>& command) {
    if (cleanedUp_) return;
    // The command's dialogs are modal, and the add-in may be told to let go meanwhile: it and the
    // action manager stay alive until the command returns.
    const auto self = shared_from_this();
    const auto actions = Require(actionManager_);
    const Ran ran = command(*actions);
    // A clean-up that came while the command's windows were up has let go of the host: nothing is
    // refreshed, and no button made again, after it.
    if (cleanedUp_ || actionManager_ != actions) return;
    // An item saved in its window may be selected in the main window too, and one saved from the
    // main window open in its own window: both show it anew.
    InvalidateRibbons(true);
    if (ran.inspector) return InitializeInspector(ran.inspector);
    if (const auto ins = Require(application_.get())->ActiveInspector()) InitializeInspector(ins);
}

void EventManager::InitializeInspector(const std::shared_ptr<host::Inspector>& ins) {
    // The ribbon asks again whenever the toolbar's button is refreshed, whether or not the window
    // has a toolbar: from version 12 the word processor edits every window, and none has one.
    InvalidateRibbons(false);
    if (!GetsButton(*Require(ins))) return;
    const auto [button, saveAll] = GetInspectorButtons(ins);
    // One rule for both commands.
    const bool enabled = Require(actionManager_)->IsEnabled(ins->CurrentItem());
    button->SetEnabled(enabled);
    saveAll->SetEnabled(enabled);
}

std::pair<std::shared_ptr<host::CommandBarButton>, std::shared_ptr<host::CommandBarButton>>
EventManager::GetInspectorButtons(const std::shared_ptr<host::Inspector>& ins) {
    const auto actions = Require(actionManager_);
    const auto bars = Require(ins->CommandBars());
    const auto control = bars->FindControl({}, {}, actions->GetTag(), {});
    const auto saveAllControl = bars->FindControl({}, {}, actions->GetSaveAllTag(), {});
    std::shared_ptr<host::CommandBarButton> found = control ? Require(control->AsButton()) : nullptr;
    std::shared_ptr<host::CommandBarButton> foundSaveAll = saveAllControl ? Require(saveAllControl->AsButton()) : nullptr;
    if (!found) {
        auto made = MakeBar(*bars, *actions, !foundSaveAll);
        found = std::move(made.first);
        if (!foundSaveAll) foundSaveAll = std::move(made.second);
    } else if (!foundSaveAll) {
        // A bar kept from a run before this command existed: the second button joins the first.
        foundSaveAll = AddButton(*Require(control->Parent()), actions->GetSaveAllCaption(), actions->GetSaveAllTag());
    }
    if (!button_) button_.Assign(found, static_cast<host::ButtonEvents&>(*this));
    if (!saveAllButton_) saveAllButton_.Assign(foundSaveAll, saveAllClicks_);
    return {Require(found), Require(foundSaveAll)};
}

std::pair<std::shared_ptr<host::CommandBarButton>, std::shared_ptr<host::CommandBarButton>> EventManager::MakeBar(
    host::CommandBars& bars, const ActionManager& actions, bool withSaveAll) {
    const auto bar = Require(bars.Add(u"Quenmark Toolbar", host::msoBarTop, {}, false));
    // The host keeps the bar between runs. A button left without its tag would never be found
    // again, and every window and every start would add one more bar with a dead button: if making
    // it fails, the new bar goes again, with what it holds.
    try {
        bar->SetVisible(true);
        auto first = AddButton(*bar, actions.GetCaption(), actions.GetTag());
        std::shared_ptr<host::CommandBarButton> saveAll;
        if (withSaveAll) saveAll = AddButton(*bar, actions.GetSaveAllCaption(), actions.GetSaveAllTag());
        bar->SetProtection(host::msoBarNoCustomize);
        return {std::move(first), std::move(saveAll)};
    } catch (...) {
        base::Tolerate([&] { bar->Delete(); });
        throw;
    }
}

std::shared_ptr<host::CommandBarButton> EventManager::AddButton(host::CommandBar& bar, const std::u16string& caption,
                                                                const std::u16string& tag) {
    const auto controls = Require(bar.Controls());
    const auto control = Require(controls->Add(host::msoControlButton, {}, {}, {}, false));
    try {
        const auto found = Require(control->AsButton());
        found->SetCaption(caption);
        found->SetOnAction(u"!<" + progId_ + u">");
        found->SetStyle(host::msoButtonIconAndCaption);
        found->SetTag(tag);
        if (!picture_ || hostVersion_.Major() < 11) {
            found->SetFaceId(3);
        } else {
            found->SetPicture(picture_);
            found->SetMask(mask_);
        }
        return found;
    } catch (...) {
        // A button without its tag would stay for good, found by nothing.
        base::Tolerate([&] { control->Delete(); });
        throw;
    }
}

bool EventManager::IsNotNoteItem(host::Inspector& ins) {
    const auto item = ins.CurrentItem();
    return !item || item->TypeName() != u"NoteItem";
}

bool EventManager::GetsButton(host::Inspector& ins) { return IsNotNoteItem(ins) && !ins.IsWordMail(); }

}  // namespace addin
