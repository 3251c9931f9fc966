#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <utility>

#include "addin/core/EventManager.h"
#include "tests/core/Session.h"

using namespace addin;

using standin::ItemKind;

namespace {

void ExpectIsTheAddInsButton(const standin::ControlNode& button, const std::u16string& progId) {
    SCOPED_TRACE("button properties");
    EXPECT_EQ(button.caption, u"Save Attachments");
    EXPECT_EQ(button.onAction, u"!<" + progId + u">");
    EXPECT_EQ(button.style, 3);
    EXPECT_EQ(button.type, 1);
    EXPECT_FALSE(button.temporary);
}

}  // namespace

// ---- start-up

TEST(EventManagerStartUp, MailAndNoteInspectorsOpenGiveOneToolbarWithBothButtonsEnabled) {
    Session s;
    s.host.OpenExplorer();
    const auto mail = s.host.OpenInspector(Session::Mail(true, {1}));
    const auto note = s.host.OpenInspector(Session::Item(ItemKind::Note));
    s.Connect();

    ASSERT_EQ(s.Toolbars().size(), 1u);
    const auto& bar = *s.Toolbars()[0];
    EXPECT_TRUE(bar.visible);
    EXPECT_EQ(bar.protection, 1);
    EXPECT_EQ(bar.position, 1);
    EXPECT_FALSE(bar.temporary);
    ASSERT_EQ(bar.controls.size(), 2u);
    ExpectIsTheAddInsButton(*bar.controls[0], u"Tallowby.Connect");
    EXPECT_EQ(bar.controls[0]->tag, kTag);
    EXPECT_TRUE(bar.controls[0]->enabled);
    // The second command beside the first: its own tag and caption, the same route and face.
    EXPECT_EQ(bar.controls[1]->tag, kSaveAllTag);
    EXPECT_EQ(bar.controls[1]->caption, u"Save All Attachments");
    EXPECT_EQ(bar.controls[1]->onAction, u"!<Tallowby.Connect>");
    EXPECT_EQ(bar.controls[1]->style, 3);
    EXPECT_TRUE(bar.controls[1]->enabled);
    EXPECT_EQ(Session::ButtonsIn(*mail).size(), 1u);
    EXPECT_EQ(Session::ButtonsIn(*mail, kSaveAllTag).size(), 1u);
    EXPECT_TRUE(note->bars->bars.empty());
}

TEST(EventManagerStartUp, ButtonPropertiesAreSetInOrderAndTheBarProtectedLast) {
    Session s;
    s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    std::vector<std::string> made;
    for (const auto& call : s.host.ledger().Calls())
        if (call.find('=') != std::string::npos) made.push_back(call);
    EXPECT_EQ(made, (std::vector<std::string>{"CommandBar.Visible=", "CommandBarControl.Caption=",
                                              "CommandBarControl.OnAction=", "CommandBarButton.Style=",
                                              "CommandBarControl.Tag=", "CommandBarButton.FaceId=",
                                              "CommandBarControl.Caption=", "CommandBarControl.OnAction=",
                                              "CommandBarButton.Style=", "CommandBarControl.Tag=",
                                              "CommandBarButton.FaceId=", "CommandBar.Protection=",
                                              "CommandBarControl.Enabled=", "CommandBarControl.Enabled="}));
}

TEST(EventManagerStartUp, InitHandlerStepsRunInTheirOrder) {
    Session s;
    s.host.OpenExplorer();
    s.Connect();
    std::vector<std::string> calls = s.host.ledger().Calls();
    std::erase(calls, "AddInInstance.ProgId");
    EXPECT_EQ(calls, (std::vector<std::string>{"Application.Subscribe", "Application.Version",
                                               "Application.Explorers", "Explorers.Subscribe", "Explorers.Count",
                                               "Explorers.Item", "Explorer.Subscribe",
                                               "Application.Inspectors", "Inspectors.Subscribe",
                                               "Application.Inspectors", "Inspectors.Count"}));
    EXPECT_EQ(s.platform.reads, 1);
    EXPECT_EQ(s.platform.loaded, (std::vector<int16_t>{106, 110}));
}

TEST(EventManagerStartUp, WithoutAnExplorerInspectorsStillGetButtons) {
    Session s;
    const auto ins = s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    EXPECT_EQ(s.CallsOf("Explorer.Subscribe"), 0);
    EXPECT_EQ(Session::ButtonsIn(*ins).size(), 1u);
    const auto later = s.host.OpenInspector(Session::Item(ItemKind::Post, {1}));
    EXPECT_EQ(Session::ButtonsIn(*later).size(), 1u);
}

TEST(EventManagerStartUp, InspectorEditingInTheWordProcessorGetsNoToolbar) {
    Session s;
    const auto ins = s.host.OpenInspector(Session::Mail(true, {1}), true);
    s.Connect();
    EXPECT_TRUE(ins->bars->bars.empty());
}

// The host marks an add-in whose OnConnection fails as not loaded, for good: the connection
// succeeds whenever the add-in can work at all, and what it could not do is reported.
TEST(EventManagerStartUp, ConnectsWheneverTheAddInCanWork) {
    const struct {
        const char* what;
        std::function<void(Session&)> spoil;
        std::vector<int32_t> reported;
        std::function<void(Session&, const standin::InspectorNode& spoiled, const standin::InspectorNode& other)> check;
    } cases[] = {
        {"a stored preference that is no Boolean: the default", [](Session& s) { s.platform.Store(u"yes"); },
         {HostStatus::TypeMismatch},
         [](Session&, const standin::InspectorNode&, const standin::InspectorNode&) {
             EXPECT_TRUE(Preferences::ReplaceWithLinks());
         }},
        {"no picture: the built-in face", [](Session& s) { s.platform.failLoadPicture = true; },
         {HostStatus::Fail, HostStatus::Fail},
         [](Session&, const standin::InspectorNode& spoiled, const standin::InspectorNode&) {
             ASSERT_EQ(Session::ButtonsIn(spoiled).size(), 1u);
             EXPECT_EQ(Session::ButtonsIn(spoiled)[0]->faceId, 3);
         }},
        {"one window's toolbar cannot be made: that window goes without",
         [](Session& s) { s.host.ledger().FailMember("CommandBars.Add", HostStatus::Fail, 1); }, {HostStatus::Fail},
         [](Session&, const standin::InspectorNode& spoiled, const standin::InspectorNode& other) {
             EXPECT_TRUE(spoiled.bars->bars.empty());
             EXPECT_EQ(Session::ButtonsIn(other).size(), 1u);
         }},
        {"no main windows to listen to",
         [](Session& s) { s.host.ledger().FailMember("Application.Explorers", HostStatus::Fail); },
         {HostStatus::Fail},
         [](Session& s, const standin::InspectorNode& spoiled, const standin::InspectorNode&) {
             EXPECT_EQ(s.CallsOf("Explorer.Subscribe"), 0);
             EXPECT_EQ(Session::ButtonsIn(spoiled).size(), 1u);
         }},
        {"one main window cannot be followed: the others are",
         [](Session& s) {
             s.host.OpenExplorer();
             s.host.ledger().FailMember("Explorers.Item", HostStatus::Fail, 1);
         },
         {HostStatus::Fail},
         [](Session& s, const standin::InspectorNode& spoiled, const standin::InspectorNode&) {
             EXPECT_EQ(s.CallsOf("Explorer.Subscribe"), 1);
             EXPECT_EQ(Session::ButtonsIn(spoiled).size(), 1u);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Session s(standin::HostOptions{u"11.0.5510", true});
        s.host.OpenExplorer();
        const auto spoiled = s.host.OpenInspector(Session::Mail(true, {1}));
        const auto other = s.host.OpenInspector(Session::Mail(true, {1}));
        c.spoil(s);
        EXPECT_NO_THROW(s.Connect());
        EXPECT_EQ(Tolerated::Statuses(), c.reported);
        EXPECT_EQ(s.CallsOf("Inspectors.Subscribe"), 1);
        c.check(s, *spoiled, *other);
        // Later windows get the command as usual.
        s.host.ledger().ClearFailures();
        EXPECT_EQ(Session::ButtonsIn(*s.host.OpenInspector(Session::Mail(true, {1}))).size(), 1u);
    }
}

TEST(EventManagerStartUp, WithoutTheItemWindowsTheConnectionFails) {
    Session s;
    s.host.ledger().FailMember("Application.Inspectors", HostStatus::Fail);
    EXPECT_THROW(s.Connect(), HostError);
}

// ---- the button's face and the host's version

struct FaceCase {
    const char* name;
    const char16_t* version;
    bool buttonPictures;
    int16_t major;
    bool picture;
};

class EventManagerFace : public testing::TestWithParam<FaceCase> {};

TEST_P(EventManagerFace, FollowsTheMajorVersion) {
    const FaceCase c = GetParam();
    Session s(standin::HostOptions{c.version, c.buttonPictures});
    s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    EXPECT_EQ(s.addIn->Events()->HostMajorVersion(), c.major);
    ASSERT_EQ(s.Buttons().size(), 1u);
    const auto& button = *s.Buttons()[0];
    if (c.picture) {
        EXPECT_EQ(button.faceId, 0);
        ASSERT_EQ(s.platform.pictures.size(), 2u);
        EXPECT_EQ(button.picture, s.platform.pictures[0].lock().get());
        EXPECT_EQ(button.mask, s.platform.pictures[1].lock().get());
        const auto& calls = s.host.ledger().Calls();
        EXPECT_LT(std::find(calls.begin(), calls.end(), "CommandBarButton.Picture="),
                  std::find(calls.begin(), calls.end(), "CommandBarButton.Mask="));
    } else {
        EXPECT_EQ(button.faceId, 3);
        EXPECT_EQ(button.picture, nullptr);
        EXPECT_EQ(s.CallsOf("CommandBarButton.Picture="), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, EventManagerFace,
                         testing::Values(FaceCase{"Nine", u"9.0.0.2711", true, 9, false},
                                         FaceCase{"Ten", u"10.0.2627", true, 10, false},
                                         FaceCase{"Eleven", u"11.0.5510", true, 11, true},
                                         FaceCase{"NoDot", u"abc", true, -1, false}),
                         [](const testing::TestParamInfo<FaceCase>& p) { return std::string(p.param.name); });

TEST(EventManagerFaceOverflow, VersionOutOfRangeFailsTheConnection) {
    Session s(standin::HostOptions{u"99999.5"});
    try {
        s.Connect();
        FAIL() << "connected";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::Overflow);
    }
    EXPECT_EQ(s.addIn->Events()->HostMajorVersion(), -1);
}

// ---- while the host runs

TEST(EventManagerRunning, NewInspectorOnAnUnsentMessageHasItsButtonDisabled) {
    Session s;
    s.host.OpenExplorer();
    s.Connect();
    const auto ins = s.host.OpenInspector(Session::Mail(false, {1}));
    const auto buttons = Session::ButtonsIn(*ins);
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_FALSE(buttons[0]->enabled);
}

TEST(EventManagerRunning, SelectionChangeRefreshesTheActiveInspectorsButton) {
    Session s;
    const auto explorer = s.host.OpenExplorer();
    s.Connect();
    const auto item = Session::Item(ItemKind::Post);
    const auto ins = s.host.OpenInspector(item);
    ASSERT_FALSE(Session::ButtonsIn(*ins)[0]->enabled);
    item->Attach(1, u"new.txt", "x");
    s.host.ChangeSelection(explorer);
    EXPECT_TRUE(Session::ButtonsIn(*ins)[0]->enabled);
}

TEST(EventManagerRunning, EveryMainWindowsSelectionRefreshesTheButtonsUntilItCloses) {
    // Which windows are open when the add-in connects, which open and close after, and the window
    // whose selection then changes.
    const struct {
        const char* what;
        int openBefore;
        int openAfter;
        std::vector<int> closed;  // by order of opening, from 0
        int selecting;
    } cases[] = {
        {"the one open at start-up", 1, 0, {}, 0},
        {"one opened later", 1, 1, {}, 1},
        {"one opened later, after the first closed", 1, 1, {0}, 1},
        {"the second of two open at start-up, after the active one closed", 2, 0, {1}, 0},
        {"the third, after the other two closed", 1, 2, {0, 1}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Session s;
        std::vector<std::shared_ptr<standin::ExplorerNode>> windows;
        for (int i = 0; i < c.openBefore; ++i) windows.push_back(s.host.OpenExplorer());
        const auto item = Session::Item(ItemKind::Post);
        const auto ins = s.host.OpenInspector(item);  // keeps the host running while main windows close
        s.Connect();
        for (int i = 0; i < c.openAfter; ++i) windows.push_back(s.host.OpenExplorer());
        for (int i : c.closed) s.host.CloseExplorer(windows[static_cast<size_t>(i)]);
        ASSERT_FALSE(Session::ButtonsIn(*ins)[0]->enabled);
        item->Attach(1, u"new.txt", "x");
        s.host.ChangeSelection(windows[static_cast<size_t>(c.selecting)]);
        EXPECT_TRUE(Session::ButtonsIn(*ins)[0]->enabled);
        auto live = s.host.ledger().Live();
        EXPECT_EQ(static_cast<size_t>(live["Explorer"]), windows.size() - c.closed.size())
            << "only the windows still open are held";
        EXPECT_TRUE(s.host.EventFailures().empty());
    }
}

TEST(EventManagerRunning, AClosedMainWindowIsLetGoAndTheNextOneFollowed) {
    Session s;
    s.host.OpenExplorer();
    s.Connect();
    const auto held = s.host.ledger().Live();
    for (int i = 0; i < 20; ++i) {
        const auto second = s.host.OpenExplorer();
        s.host.CloseExplorer(second);
    }
    EXPECT_EQ(s.host.ledger().Live(), held) << "a reference kept for every main window";
    EXPECT_EQ(s.host.OpenOptionsDialog().size(), 1u) << "still connected";
}

TEST(EventManagerRunning, ClickOnAnyInspectorsButtonReachesTheCommand) {
    Session s;
    s.host.OpenExplorer();
    s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    const auto second = s.host.OpenInspector(Session::Mail(true, {1}));
    s.platform.prompt = std::make_shared<ScriptedSaveAsPrompt>();
    s.platform.prompt->script = {PromptAnswer{}};
    s.host.Click(Session::ButtonsIn(*second)[0]);
    // The command runs on the clicked window's item: its one attachment reaches the dialog.
    EXPECT_TRUE(s.host.EventFailures().empty());
    ASSERT_EQ(s.platform.prompt->calls.size(), 1u);
    EXPECT_TRUE(s.platform.prompt->calls[0].manglerItem->SameObject(*s.host.ItemObject(second->item)));
}

TEST(EventManagerRunning, ItemWindowsOpenedAndClosedLeaveNothingHeld) {
    Session s;
    const auto explorer = s.host.OpenExplorer();
    s.Connect();
    s.host.CloseInspector(s.host.OpenInspector(Session::Mail(true, {1})));
    const auto held = s.host.ledger().Live();
    for (int i = 0; i < 50; ++i) {
        const auto ins = s.host.OpenInspector(Session::Item(ItemKind::Post, {1}));
        s.host.ChangeSelection(explorer);
        s.host.CloseInspector(ins);
    }
    EXPECT_EQ(s.host.ledger().Live(), held) << "a reference kept for every window";
}

TEST(EventManagerRunning, OptionsDialogGetsThePage) {
    Session s;
    s.Connect();
    const auto pages = s.host.OpenOptionsDialog();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].page, u"TallowbyPage.PropPage");
    EXPECT_EQ(pages[0].title, u"Save Attachments");
}

TEST(EventManagerRunning, SendWithShortcutsAsksOnceAndOkSends) {
    Session s;
    s.Connect();
    const auto mail = Session::Mail(false, {1, 4, 4});
    s.platform.answers = {MessageBoxResult::Ok};
    EXPECT_TRUE(s.host.Send(mail));
    ASSERT_EQ(s.platform.shown.size(), 1u);
    EXPECT_EQ(s.platform.shown[0].title, u"Send email");
    EXPECT_EQ(s.platform.shown[0].flags, 65537);
}

TEST(EventManagerRunning, SendWithShortcutsCancelledStopsTheSend) {
    Session s;
    s.Connect();
    const auto mail = Session::Mail(false, {4});
    s.platform.answers = {MessageBoxResult::Cancel};
    EXPECT_FALSE(s.host.Send(mail));
    EXPECT_FALSE(mail->sent);
    EXPECT_EQ(mail->attachments.size(), 1u);
}

TEST(EventManagerRunning, SendWithoutShortcutsShowsNothing) {
    Session s;
    s.Connect();
    EXPECT_TRUE(s.host.Send(Session::Mail(false, {1, 5, 6})));
    EXPECT_TRUE(s.platform.shown.empty());
}

// ---- shut-down and the next start

TEST(EventManagerShutDown, OrdinaryExitSavesTwiceDeletesNothingAndHoldsNothing) {
    Session s;
    s.host.OpenExplorer();
    s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    s.Quit();

    EXPECT_EQ(s.platform.saved, (std::vector<std::u16string>{u"True", u"True"}));
    EXPECT_EQ(s.CallsOf("CommandBarControl.Delete"), 0);
    EXPECT_EQ(s.CallsOf("CommandBar.Delete"), 0);
    EXPECT_EQ(s.host.ledger().Live(), (std::map<std::string, int>{}));
    EXPECT_EQ(s.platform.LivePictures(), 0);
    ASSERT_EQ(s.store->inspector.bars.size(), 1u);
    EXPECT_EQ(s.store->inspector.bars[0]->controls.size(), 2u);
}

TEST(EventManagerShutDown, NextStartFindsTheKeptButtonByTag) {
    auto kept = std::make_shared<standin::CommandBarStore>();
    {
        Session first({}, kept);
        first.host.OpenExplorer();
        first.host.OpenInspector(Session::Mail(true, {1}));
        first.Connect();
        first.Quit();
    }
    Session next({}, kept);
    next.host.OpenExplorer();
    const auto before = next.host.OpenInspector(Session::Mail(true, {1}));
    next.Connect();
    const auto after = next.host.OpenInspector(Session::Mail(false, {1}));

    EXPECT_EQ(next.CallsOf("CommandBars.Add"), 0);
    EXPECT_EQ(Session::ButtonsIn(*before).size(), 1u);
    EXPECT_EQ(Session::ButtonsIn(*after).size(), 1u);
    EXPECT_EQ(next.Toolbars().size(), 2u);  // one per window, none made again
    EXPECT_TRUE(Session::ButtonsIn(*before)[0]->enabled);
    EXPECT_FALSE(Session::ButtonsIn(*after)[0]->enabled);
}

TEST(EventManagerShutDown, ClosingOneOfTwoExplorersKeepsTheAddInConnected) {
    Session s;
    s.host.OpenExplorer();
    const auto second = s.host.OpenExplorer();
    s.Connect();
    s.host.CloseExplorer(second);
    EXPECT_TRUE(s.platform.saved.empty());
    EXPECT_EQ(s.host.OpenOptionsDialog().size(), 1u);
}

TEST(EventManagerShutDown, UnreadableExplorerCountLetsGoOfTheHost) {
    Session s;
    s.host.OpenExplorer();
    const auto active = s.host.OpenExplorer();
    s.Connect();
    s.host.ledger().FailMember("Explorers.Count", HostStatus::Fail);
    s.host.CloseExplorer(active);
    EXPECT_EQ(s.platform.saved.size(), 1u);
    EXPECT_TRUE(s.host.EventFailures().empty());
    EXPECT_TRUE(s.host.OpenOptionsDialog().empty());
}

TEST(EventManagerShutDown, FailingSaveStillReleasesEverything) {
    Session s;
    s.host.OpenExplorer();
    s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    s.platform.failSave = true;
    s.Quit();
    EXPECT_TRUE(s.platform.saved.empty());
    EXPECT_EQ(s.host.ledger().LiveCount(), 0);
}

// ---- unload while the host runs

TEST(EventManagerUnload, DeletesEveryButtonAndTheBarsLeftEmptySkippingOneDeletedByHand) {
    Session s;
    s.host.OpenExplorer();
    const auto a = s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    const auto b = s.host.OpenInspector(Session::Mail(true, {1}));
    const auto c = s.host.OpenInspector(Session::Mail(true, {1}));
    // The user put a control of their own on b's toolbar and deleted c's buttons by hand.
    auto own = std::make_shared<standin::ControlNode>();
    own->parent = b->bars->bars[0];
    b->bars->bars[0]->controls.push_back(own);
    s.host.DeleteByHand(Session::ButtonsIn(*c)[0]);
    s.host.DeleteByHand(Session::ButtonsIn(*c, kSaveAllTag)[0]);

    s.addIn->OnDisconnection(1);

    EXPECT_TRUE(s.Buttons().empty());
    EXPECT_TRUE(s.SaveAllButtons().empty());
    EXPECT_TRUE(a->bars->bars.empty());
    ASSERT_EQ(b->bars->bars.size(), 1u);
    EXPECT_EQ(b->bars->bars[0]->controls.size(), 1u);
    EXPECT_EQ(c->bars->bars.size(), 1u);  // left as the user left it
    EXPECT_TRUE(s.platform.saved.empty());
}

TEST(EventManagerUnload, BarWhoseCountCannotBeReadIsDeleted) {
    Session s;
    const auto a = s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    auto own = std::make_shared<standin::ControlNode>();
    own->parent = a->bars->bars[0];
    a->bars->bars[0]->controls.push_back(own);
    s.host.ledger().FailMember("CommandBarControls.Count", HostStatus::Fail);
    s.addIn->OnDisconnection(1);
    EXPECT_TRUE(a->bars->bars.empty());
}

TEST(EventManagerUnload, SameInspectorSetUpAgainIsCleanedOnce) {
    Session s;
    const auto explorer = s.host.OpenExplorer();
    s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    s.host.ChangeSelection(explorer);
    s.host.ChangeSelection(explorer);
    s.host.ledger().ClearCalls();
    s.addIn->OnDisconnection(1);
    EXPECT_EQ(s.CallsOf("CommandBarControl.Parent"), 2) << "one for each of the two buttons";
}

TEST(EventManagerUnload, AfterTheLastExplorerClosedNothingIsDeleted) {
    Session s;
    const auto explorer = s.host.OpenExplorer();
    const auto ins = s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    s.host.CloseExplorer(explorer);
    s.addIn->OnDisconnection(1);
    EXPECT_EQ(Session::ButtonsIn(*ins).size(), 1u);
}

TEST(EventManagerUnload, SubscriptionsEndWhenTheAddInIsReleased) {
    Session s;
    s.host.OpenExplorer();
    s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    s.addIn->OnDisconnection(1);
    EXPECT_GT(s.host.ledger().LiveCount(), 0);
    s.addIn.reset();
    EXPECT_EQ(s.host.ledger().LiveCount(), 0);
    EXPECT_TRUE(s.host.OpenOptionsDialog().empty());
}

// ---- the host's clean-up while a window of ours is up

namespace {

// A message with three files, the first Save As dialog up when the host cleans up: the command
// stops after that dialog's attachment, and finishes what it did for it.
struct CleanUpCase {
    const char* name;
    std::function<void(Session&, const std::shared_ptr<standin::ExplorerNode>&)> cleanUp;
    bool unloaded;
    bool stops;
};

class EventManagerCleanUpWhileUp : public testing::TestWithParam<CleanUpCase> {};

}  // namespace

// While a Save As dialog is up the host may close the last main window (an item window keeps it
// running: the command goes on), unload the add-in or shut down (the command stops after the
// attachment at hand, and says which attachments were not saved). Either way what was done stays
// done and nothing is held after the command returns.
TEST_P(EventManagerCleanUpWhileUp, TheCommandGoesOnOrStopsAndEverythingIsReleased) {
    const CleanUpCase& c = GetParam();
    const std::filesystem::path folder = std::filesystem::current_path() / "cleanup-while-up" / c.name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    Session s;
    s.platform.filesOnDisk = true;
    const auto explorer = s.host.OpenExplorer();
    const auto item = Session::Mail(true, {1, 1, 1});
    const auto ins = s.host.OpenInspector(item);
    s.Connect();
    s.platform.prompt = std::make_shared<ScriptedSaveAsPrompt>();
    s.platform.prompt->script = {{(folder / "first.txt").u16string(), true},
                                 {(folder / "second.txt").u16string(), false},
                                 {(folder / "third.txt").u16string(), false}};
    bool once = false;
    s.platform.prompt->whileUp = [&](const PromptCall&) {
        if (!std::exchange(once, true)) c.cleanUp(s, explorer);
    };
    if (c.stops) s.platform.answers = {MessageBoxResult::Ok};

    s.host.Click(Session::ButtonsIn(*ins)[0]);

    EXPECT_EQ(*s.platform.promptsDestroyedWhileUp, 0) << "the dialog's object was freed while it was up";
    ASSERT_EQ(item->attachments.size(), 3u);
    EXPECT_EQ(item->attachments[0]->fileName, u"file2.txt");
    EXPECT_EQ(item->attachments[2]->type, host::AttachmentType::ByReference);
    EXPECT_EQ(item->attachments[2]->displayName, u"file1.txt");
    EXPECT_EQ(item->saveCount, 1);
    if (c.stops) {
        EXPECT_EQ(s.platform.prompt->calls.size(), 1u) << "no dialog after the command was stopped";
        ASSERT_EQ(s.platform.shown.size(), 1u) << "the user is told once";
        EXPECT_EQ(s.platform.shown[0].title, u"Save Attachments");
        EXPECT_NE(s.platform.shown[0].text.find(u"not saved:\r\n\r\nfile2.txt\r\nfile3.txt"), std::u16string::npos);
        EXPECT_FALSE(std::filesystem::exists(folder / "second.txt"));
    } else {
        EXPECT_EQ(s.platform.prompt->calls.size(), 3u) << "the command finishes";
        EXPECT_TRUE(s.platform.shown.empty());
        EXPECT_TRUE(std::filesystem::exists(folder / "third.txt"));
    }
    EXPECT_TRUE(s.host.EventFailures().empty());
    s.platform.prompt->calls.clear();  // the record holds the item the dialog was lent
    EXPECT_EQ(s.host.ledger().Live(), (std::map<std::string, int>{}));
    if (c.unloaded) {
        EXPECT_TRUE(Session::ButtonsIn(*ins).empty()) << "a button made again for an unloaded add-in";
    }
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    CleanUps, EventManagerCleanUpWhileUp,
    testing::Values(
        CleanUpCase{"LastMainWindowClosed",
                    [](Session& s, const std::shared_ptr<standin::ExplorerNode>& e) { s.host.CloseExplorer(e); },
                    false, false},
        CleanUpCase{"AddInUnloaded",
                    [](Session& s, const std::shared_ptr<standin::ExplorerNode>&) {
                        s.addIn->OnDisconnection(1);
                        s.addIn.reset();
                    },
                    true, true},
        CleanUpCase{"HostShutDown", [](Session& s, const std::shared_ptr<standin::ExplorerNode>&) { s.Quit(); },
                    false, true},
        // From version 14 the host may exit without a word (fast shutdown): its windows close, the
        // last main window's Close (if it comes) finds no item window keeping the host running.
        CleanUpCase{"FastShutdownClosesTheWindows",
                    [](Session& s, const std::shared_ptr<standin::ExplorerNode>&) { s.host.CloseAllWindows(); },
                    false, true}),
    [](const testing::TestParamInfo<CleanUpCase>& p) { return std::string(p.param.name); });

TEST(EventManagerCleanUpWhileUpSend, TheWarningIsAnsweredAndNothingIsHeldAfterIt) {
    Session s;
    s.host.OpenExplorer();
    s.Connect();
    s.platform.answers = {MessageBoxResult::Cancel};
    s.platform.whileUp = [&](const ShownMessage&) { s.Quit(); };
    EXPECT_FALSE(s.host.Send(Session::Mail(false, {4})));
    EXPECT_EQ(s.host.ledger().LiveCount(), 0);
}

// ---- Nothing where the host promises an object

namespace {

struct NothingCase {
    const char* name;
    const char* member;
    std::function<void(Session&)> run;
};

class EventManagerNothing : public testing::TestWithParam<NothingCase> {};

// The case's own folder: ctest runs cases side by side, and one case's clean-up must not take the
// file another case's shortcut points to.
std::filesystem::path CaseFolder() {
    // The name is "<test>/<case>": a folder per case.
    const char* name = testing::UnitTest::GetInstance()->current_test_info()->name();
    return std::filesystem::current_path() / "nothing" / name;
}

// Start-up with one message window, then a click that saves its one file as a shortcut.
void StartAndSave(Session& s) {
    const std::filesystem::path folder = CaseFolder();
    std::filesystem::create_directories(folder);
    s.platform.filesOnDisk = true;
    s.host.OpenExplorer();
    const auto ins = s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    s.platform.prompt = std::make_shared<ScriptedSaveAsPrompt>();
    s.platform.prompt->script = {{(folder / "saved.txt").u16string(), true}};
    // A window whose toolbar could not be made has no button to click.
    const auto buttons = Session::ButtonsIn(*ins);
    if (!buttons.empty()) s.host.Click(buttons[0]);
}

}  // namespace

TEST_P(EventManagerNothing, IsAHostFailureEndingWhatThePartsSay) {
    const NothingCase& c = GetParam();
    Session s;
    s.host.ledger().NothingFrom(c.member);
    try {
        c.run(s);
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::Pointer);
    }
    if (s.addIn) s.Quit();
    s.addIn.reset();
    if (s.platform.prompt) s.platform.prompt->calls.clear();  // the record holds the item the dialog was lent
    EXPECT_EQ(s.host.ledger().LiveCount(), 0);
    EXPECT_TRUE(s.host.Audit({kTag, kToolbar, u"Save Attachments", {{kSaveAllTag, u"Save All Attachments"}}}, false).Sound());
    std::filesystem::remove_all(CaseFolder());
}

INSTANTIATE_TEST_SUITE_P(
    Members, EventManagerNothing,
    testing::Values(NothingCase{"InspectorsAtConnection", "Application.Inspectors", StartAndSave},
                    NothingCase{"ExplorersAtTheLastClose", "Application.Explorers", StartAndSave},
                    NothingCase{"CommandBars", "Inspector.CommandBars", StartAndSave},
                    NothingCase{"NewBar", "CommandBars.Add", StartAndSave},
                    NothingCase{"BarControls", "CommandBar.Controls", StartAndSave},
                    NothingCase{"NewButton", "CommandBarControls.Add", StartAndSave},
                    NothingCase{"ItemAttachments", "Item.Attachments", StartAndSave},
                    NothingCase{"AttachmentAtIndex", "Attachments.Item", StartAndSave},
                    NothingCase{"NewShortcut", "Attachments.Add", StartAndSave},
                    NothingCase{"ButtonsBarAtUnload", "CommandBarControl.Parent",
                                [](Session& s) {
                                    s.host.OpenInspector(Session::Mail(true, {1}));
                                    s.Connect();
                                    s.addIn->OnDisconnection(1);
                                }}),
    [](const testing::TestParamInfo<NothingCase>& p) { return std::string(p.param.name); });
