#include "core/EventManager.h"

#include <algorithm>

#include "core/ActionManager.h"
#include "core/HostError.h"
#include "core/OfficeVer.h"
#include "core/Platform.h"
#include "core/Preferences.h"
#include "core/host/Item.h"
#include "core/host/PropertyPages.h"

namespace {

// Using an empty reference fails as the host's late binding does.
template <class T>
T& Require(const std::shared_ptr<T>& object) {
    if (!object) throw HostError(HostStatus::Pointer, u"Object variable not set");
    return *object;
}

}  // namespace

EventManager::EventManager(Platform& platform) : platform_(platform) {}

EventManager::~EventManager() = default;

void EventManager::InitHandler(const std::shared_ptr<host::Application>& oApp, const std::u16string& sProgID,
                               const std::shared_ptr<ActionManager>& acmgr) {
    Preferences::LoadPreferences(platform_);
    mOutlookApplication.Assign(oApp, static_cast<host::ApplicationEvents&>(*this));
    OfficeVer::ReadOfficeVersion(Require(oApp));
    mActiveExplorer.Assign(oApp->ActiveExplorer(), static_cast<host::ExplorerEvents&>(*this));
    mInspectors.Assign(oApp->Inspectors(), static_cast<host::InspectorsEvents&>(*this));
    mButtons.clear();
    mProgId = sProgID;
    mActionManager = acmgr;
    mPicture = platform_.LoadPicture(Require(acmgr).GetImageResourceId());
    mMask = platform_.LoadPicture(acmgr->GetImageMaskResourceId());

    // The inspectors already open at connection.
    const auto inspectors = oApp->Inspectors();
    const int32_t count = inspectors->Count();
    for (int32_t i = 1; i <= count; ++i) InitializeInspector(inspectors->Item(i));
}

void EventManager::UnInitHandler() noexcept {
    try {
        Preferences::SavePreferences(platform_);
    } catch (const std::exception&) {
    }
    // Emptying a member ends its subscription and never fails.
    mOutlookApplication.Reset();
    mActiveExplorer.Reset();
    mInspectors.Reset();
    mButtons.clear();
    mButton.Reset();
    mActionManager.reset();
    mPicture.reset();
    mMask.reset();
    mRibbons.clear();
}

void EventManager::CleanUpHandler() {
    // Without a button the add-in was never connected to one, or has already let go of the host.
    if (!mButton) return;
    for (const auto& button : mButtons) {
        std::shared_ptr<host::CommandBar> bar;
        try {
            bar = button->Parent();
        } catch (const HostError&) {
            continue;  // deleted already, e.g. by the user
        }
        try {
            button->Delete();
        } catch (const HostError&) {
        }
        bool empty = true;  // a bar whose count cannot be read is deleted too
        try {
            empty = bar->Controls()->Count() == 0;
        } catch (const HostError&) {
        }
        if (!empty) continue;
        try {
            bar->Delete();
        } catch (const HostError&) {
        }
    }
}

void EventManager::ItemSend(const std::shared_ptr<host::Item>& item, bool& cancel) {
    Require(mActionManager).CheckItemSend(item, cancel);
}

void EventManager::OptionsPagesAdd(const std::shared_ptr<host::PropertyPages>& pages) {
    Require(pages).Add(u"TallowbyPage.PropPage", u"Save Attachments");
}

void EventManager::Close() {
    // Every failure is ignored; a count that cannot be read lets go of the host as well.
    bool last = true;
    try {
        last = Require(mOutlookApplication.get()).Explorers()->Count() <= 1;
    } catch (const HostError&) {
    }
    if (last) UnInitHandler();
}

void EventManager::SelectionChange() {
    const auto ins = Require(mOutlookApplication.get()).ActiveInspector();
    if (ins) InitializeInspector(ins);
}

void EventManager::NewInspector(const std::shared_ptr<host::Inspector>& inspector) { InitializeInspector(inspector); }

void EventManager::Click(const std::shared_ptr<host::CommandBarButton>&, bool&) {
    // The click acts on the active inspector, whichever button raised it.
    const auto ins = Require(mOutlookApplication.get()).ActiveInspector();
    Require(mActionManager).Action(ins);
    InitializeInspector(ins);
}

void EventManager::InitializeInspector(const std::shared_ptr<host::Inspector>& ins) {
    if (!GetsButton(Require(ins))) return;
    const auto button = GetInspectorButton(ins);
    const bool enabled = Require(mActionManager).IsEnabled(ins->CurrentItem());
    button->SetEnabled(enabled);
    InvalidateRibbons();
}

std::shared_ptr<host::CommandBarButton> EventManager::GetInspectorButton(const std::shared_ptr<host::Inspector>& ins) {
    ActionManager& actions = Require(mActionManager);
    const auto bars = ins->CommandBars();
    const auto control = bars->FindControl({}, {}, actions.GetTag(), {});
    std::shared_ptr<host::CommandBarButton> found = control ? control->AsButton() : nullptr;
    if (!found) {
        const auto bar = bars->Add(u"Quenmark Toolbar", host::msoBarTop, {}, false);
        bar->SetVisible(true);
        found = bar->Controls()->Add(host::msoControlButton, {}, {}, {}, false)->AsButton();
        found->SetCaption(actions.GetCaption());
        found->SetOnAction(u"!<" + mProgId + u">");
        found->SetStyle(host::msoButtonIconAndCaption);
        found->SetTag(actions.GetTag());
        if (!mPicture || OfficeVer::OfficeMajorVersion < 11) {
            found->SetFaceId(3);
        } else {
            found->SetPicture(mPicture);
            found->SetMask(mMask);
        }
        bar->SetProtection(host::msoBarNoCustomize);
    }
    if (!mButton) mButton.Assign(found, static_cast<host::ButtonEvents&>(*this));
    const bool known = std::any_of(mButtons.begin(), mButtons.end(),
                                   [&](const auto& b) { return b->SameObject(*found); });
    if (!known) mButtons.push_back(found);
    return found;
}

bool EventManager::IsNotNoteItem(host::Inspector& ins) {
    const auto item = ins.CurrentItem();
    return !item || item->TypeName() != u"NoteItem";
}

bool EventManager::GetsButton(host::Inspector& ins) { return IsNotNoteItem(ins) && !ins.IsWordMail(); }
