// The add-in's ribbon button driven by the in-memory ribbon of a version-14 host: the same command,
// rule and presence as the toolbar button of each window, kept in step by invalidation.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "standin/model/PublishedLists.h"
#include "tests/core/RibbonSupport.h"
#include "tests/core/Session.h"

using namespace addin;

namespace fs = std::filesystem;
using standin::ItemKind;

namespace {

constexpr char16_t kCaption[] = u"Save Attachments";

/// A host of version 14 whose ribbon loads the add-in after it connects, as the host program does.
struct RibbonSession : Session {
    RibbonSession() : Session(standin::HostOptions{u"14.0.7015.1000", true}) {}

    void Connect() {
        Session::Connect();
        core = std::make_unique<CoreRibbonAddIn>(*addIn);
        ribbon = std::make_unique<standin::RibbonHost>(host, *core, 14, log);
        for (const auto& ins : host.Inspectors()) ribbon->Show(ins);
    }
    std::shared_ptr<standin::InspectorNode> Open(std::shared_ptr<standin::ItemNode> item, bool wordMail = false) {
        auto ins = host.OpenInspector(std::move(item), wordMail);
        if (ribbon) ribbon->Show(ins);
        return ins;
    }
    /// The window's first ribbon button, "Save Attachments"; fails the test unless the window
    /// shows the add-in's two buttons.
    standin::RibbonHost::ButtonState Button(const std::shared_ptr<standin::InspectorNode>& ins) {
        const auto buttons = ribbon->Buttons(ins);
        EXPECT_EQ(buttons.size(), 2u);
        return buttons.empty() ? standin::RibbonHost::ButtonState{} : buttons[0];
    }
    /// The window's second ribbon button, "Save All Attachments".
    standin::RibbonHost::ButtonState SaveAllButton(const std::shared_ptr<standin::InspectorNode>& ins) {
        const auto buttons = ribbon->Buttons(ins);
        EXPECT_EQ(buttons.size(), 2u);
        return buttons.size() < 2 ? standin::RibbonHost::ButtonState{} : buttons[1];
    }
    /// Fails the test unless the window's ribbon button says what its toolbar button says. A window
    /// of the word processor has no toolbar, and its ribbon shows the button all the same.
    void ExpectAgreement(const std::shared_ptr<standin::InspectorNode>& ins) {
        const auto toolbar = Session::ButtonsIn(*ins);
        const auto ribbonButton = Button(ins);
        const auto saveAll = SaveAllButton(ins);
        EXPECT_EQ(ribbonButton.visible, !toolbar.empty() || ins->wordMail);
        EXPECT_EQ(saveAll.visible, ribbonButton.visible);
        EXPECT_EQ(saveAll.enabled, ribbonButton.enabled) << "one rule for both commands";
        EXPECT_EQ(saveAll.label, u"Save All Attachments");
        if (ins->wordMail) {
            EXPECT_TRUE(toolbar.empty());
        }
        if (toolbar.empty()) return;
        EXPECT_EQ(ribbonButton.enabled, toolbar[0]->enabled);
        EXPECT_EQ(ribbonButton.label, kCaption);
        EXPECT_EQ(ribbonButton.image, u"resource 107");
    }
    int Live(const std::string& kind) {
        const auto live = host.ledger().Live();
        const auto it = live.find(kind);
        return it == live.end() ? 0 : it->second;
    }

    KeptRibbonLog log;
    std::unique_ptr<CoreRibbonAddIn> core;
    std::unique_ptr<standin::RibbonHost> ribbon;
};

std::shared_ptr<standin::ItemNode> Kind(ItemKind kind, bool sent, std::initializer_list<int32_t> types) {
    auto item = Session::Item(kind, types);
    item->sent = sent;
    return item;
}

}  // namespace

// The same windows on a host of version 11 (toolbars, no ribbon) and of version 14 (the ribbon; the
// word processor edits every window, so no toolbar): the ribbon's button says what the toolbar's
// button says, window by window.
TEST(RibbonButton, SaysWhatTheToolbarButtonSaysInEveryKindOfWindow) {
    const struct {
        const char* what;
        std::shared_ptr<standin::ItemNode> item;
        bool wordMail;
        bool enabled;
    } windows[] = {
        {"received message with a file", Kind(ItemKind::Mail, true, {1}), false, true},
        {"draft with a file", Kind(ItemKind::Mail, false, {1}), false, false},
        {"received message with a shortcut only", Kind(ItemKind::Mail, true, {4}), false, false},
        {"received message with an embedded item", Kind(ItemKind::Mail, true, {5, 6}), false, false},
        {"received message in the word processor", Kind(ItemKind::Mail, true, {1}), true, true},
        {"draft in the word processor", Kind(ItemKind::Mail, false, {1}), true, false},
        {"posted post with a file", Kind(ItemKind::Post, true, {1}), false, true},
        {"new post with a file", Kind(ItemKind::Post, false, {4, 1}), false, true},
        {"appointment", Kind(ItemKind::Appointment, false, {5, 1}), false, true},
        {"contact without files", Kind(ItemKind::Contact, false, {}), false, false},
        {"task", Kind(ItemKind::Task, false, {1}), false, true},
        {"meeting request received", Kind(ItemKind::Meeting, true, {1}), false, true},
        {"meeting request being sent (not a MailItem)", Kind(ItemKind::Meeting, false, {1}), false, true},
        {"report", Kind(ItemKind::Report, false, {1}), false, true},
    };
    // Half the windows are open when the add-in loads, half open later.
    RibbonSession s;
    s.host.OpenExplorer();
    std::vector<std::shared_ptr<standin::InspectorNode>> open;
    for (size_t i = 0; i < std::size(windows); ++i) {
        if (i == std::size(windows) / 2) s.Connect();
        open.push_back(s.Open(windows[i].item, windows[i].wordMail));
    }
    const auto note = s.Open(Session::Item(ItemKind::Note, {1}));
    for (size_t i = 0; i < std::size(windows); ++i) {
        SCOPED_TRACE(windows[i].what);
        s.ExpectAgreement(open[i]);
        EXPECT_EQ(s.Button(open[i]).enabled.value_or(false), windows[i].enabled);
    }
    // A note's window has no ribbon and no toolbar; a word-processor window has the ribbon's button
    // with the toolbar's enabled rule, and no toolbar.
    EXPECT_TRUE(s.ribbon->Buttons(note).empty());
    EXPECT_TRUE(Session::ButtonsIn(*note).empty());
    for (const size_t word : {4, 5}) {
        EXPECT_TRUE(s.Button(open[word]).visible);
        EXPECT_TRUE(Session::ButtonsIn(*open[word]).empty());
    }
    EXPECT_TRUE(s.log.failures.empty());
    // One markup per ribbon id.
    EXPECT_EQ(s.log.Count(u"ribbon markup id=\"Microsoft.Outlook.Mail.Read\" namespace="), 1);
    EXPECT_EQ(s.log.Count(u"ribbon OnRibbonLoad"), 10);
    for (const auto& ins : open) {
        EXPECT_TRUE(Session::ButtonsIn(*ins).empty()) << "a toolbar on version 14";
    }

    Session eleven(standin::HostOptions{u"11.0.5510", true});
    eleven.host.OpenExplorer();
    eleven.Connect();
    for (const auto& w : windows) {
        SCOPED_TRACE(w.what);
        const auto ins = eleven.host.OpenInspector(w.item, w.wordMail);
        const auto toolbar = Session::ButtonsIn(*ins);
        ASSERT_EQ(toolbar.size(), w.wordMail ? 0u : 1u);
        if (!w.wordMail) {
            EXPECT_EQ(toolbar[0]->enabled, w.enabled);
        }
    }
}

// Every kind of item window the host's published lists name shows the button, on the tab that
// window shows first: a tab the window lacks would show nothing at all.
TEST(RibbonButton, ShowsInEveryPublishedKindOfItemWindowOnItsFirstTab) {
    RibbonSession s;
    s.host.OpenExplorer();
    s.Connect();
    const auto ids = standin::PublishedRibbonIds();
    ASSERT_EQ(ids.size(), 19u);
    for (const auto id : ids) {
        const std::u16string ribbonId(id);
        SCOPED_TRACE(std::string(ribbonId.begin(), ribbonId.end()));
        auto item = Kind(ItemKind::Mail, true, {1});
        item->window = ribbonId.substr(std::u16string(u"Microsoft.Outlook.").size());
        const auto ins = s.Open(item);
        const auto button = s.Button(ins);
        EXPECT_TRUE(button.visible);
        EXPECT_EQ(button.label, kCaption);
        const auto state = s.ribbon->State(ins);
        ASSERT_EQ(state.size(), 2u) << "both commands";
        for (const auto& line : state)
            EXPECT_NE(line.find(u"tab=\"" + std::u16string(standin::PublishedTabs(id).at(0)) + u"\""),
                      std::u16string::npos);
    }
    EXPECT_EQ(s.log.Count(u"not shown"), 0);
    EXPECT_TRUE(s.log.failures.empty());
}

// From version 12 the word processor edits every window, and no window has a toolbar: the ribbon's
// button is refreshed all the same, wherever the toolbar's would be.
TEST(RibbonButton, TheRibbonAsksAgainOnlyAfterTheAddInRefreshedItsButton) {
    RibbonSession s;
    const auto explorer = s.host.OpenExplorer();
    s.Connect();
    const auto item = Session::Item(ItemKind::Post);
    const auto ins = s.Open(item);
    ASSERT_FALSE(s.Button(ins).enabled.value_or(true));
    const int asked = s.log.Count(u"ribbon asked");
    s.ribbon->Refresh();
    EXPECT_EQ(s.log.Count(u"ribbon asked"), asked);  // nothing invalidated, nothing asked

    // A file arrives; neither button knows until the selection changes and the add-in refreshes.
    item->Attach(1, u"new.txt", "x");
    s.ribbon->Refresh();
    EXPECT_FALSE(s.Button(ins).enabled.value_or(true));
    s.host.ChangeSelection(explorer);
    EXPECT_TRUE(Session::ButtonsIn(*ins).empty()) << "a toolbar in a word-processor window";
    s.ribbon->Refresh();
    EXPECT_EQ(s.log.Count(u"ribbon invalidated id=\"Microsoft.Outlook.Post.Compose\" control=\"TallowbySaveAttachments\""), 1);
    EXPECT_TRUE(s.Button(ins).enabled.value_or(false));
    s.ExpectAgreement(ins);
}

TEST(RibbonButton, AClickRunsTheCommandOnItsOwnWindowAndBothButtonsFollow) {
    RibbonSession s;
    s.host.options().byReference = standin::ByReference::Link;  // one of the answers of version 12 on
    s.host.OpenExplorer();
    s.Connect();
    const fs::path folder = fs::current_path() / "ribbon-click";
    fs::remove_all(folder);
    fs::create_directories(folder);
    s.platform.filesOnDisk = true;
    s.platform.prompt = std::make_shared<ScriptedSaveAsPrompt>();
    s.platform.prompt->script = {PromptAnswer{(folder / "file1.txt").u16string(), true}};

    const auto clicked = s.Open(Session::Mail(true, {1}));
    const auto other = s.Open(Session::Item(ItemKind::Task, {1}));  // the active window
    ASSERT_TRUE(s.ribbon->Click(clicked, kCaption));
    ASSERT_EQ(s.platform.prompt->calls.size(), 1u);
    EXPECT_TRUE(s.platform.prompt->calls[0].manglerItem->SameObject(*s.host.ItemObject(clicked->item)));
    EXPECT_TRUE(fs::exists(folder / "file1.txt"));
    ASSERT_EQ(clicked->item->attachments.size(), 1u);
    EXPECT_EQ(clicked->item->attachments[0]->type, host::AttachmentType::ByReference);

    // The clicked window's button is invalidated, and asked again.
    s.ribbon->Refresh();
    s.ExpectAgreement(clicked);
    s.ExpectAgreement(other);
    EXPECT_FALSE(s.Button(clicked).enabled.value_or(true));
    EXPECT_TRUE(s.Button(other).enabled.value_or(false));

    // Now disabled: a click does nothing.
    EXPECT_TRUE(s.ribbon->Click(clicked, kCaption));
    EXPECT_EQ(s.platform.prompt->calls.size(), 1u);
    EXPECT_FALSE(s.ribbon->Click(clicked, u"Other"));
    fs::remove_all(folder);
}

TEST(RibbonButton, TheAddInUnloadedWhileItsDialogIsUpStopsTheCommandAndHoldsNothingAfter) {
    RibbonSession s;
    s.host.OpenExplorer();
    s.Connect();
    const fs::path folder = fs::current_path() / "ribbon-unload";
    fs::remove_all(folder);
    fs::create_directories(folder);
    s.platform.filesOnDisk = true;
    s.platform.prompt = std::make_shared<ScriptedSaveAsPrompt>();
    s.platform.prompt->script = {PromptAnswer{(folder / "file1.txt").u16string(), false}};
    s.platform.prompt->whileUp = [&](const PromptCall&) {
        s.addIn->OnDisconnection(1);
        s.addIn.reset();  // the host lets go of the connection object the callback runs on
    };
    const auto clicked = s.Open(Session::Mail(true, {1, 1}));
    s.platform.answers = {MessageBoxResult::Ok};  // which attachment was not saved
    ASSERT_TRUE(s.ribbon->Click(clicked, kCaption));
    EXPECT_EQ(*s.platform.promptsDestroyedWhileUp, 0);
    EXPECT_EQ(s.platform.prompt->calls.size(), 1u) << "no dialog after the add-in was unloaded";
    ASSERT_EQ(s.platform.shown.size(), 1u);
    EXPECT_NE(s.platform.shown[0].text.find(u"file2.txt"), std::u16string::npos);
    EXPECT_TRUE(fs::exists(folder / "file1.txt"));
    EXPECT_TRUE(Session::ButtonsIn(*clicked).empty()) << "a button made again for an unloaded add-in";
    s.platform.prompt->calls.clear();  // the record holds the item the dialog was lent
    EXPECT_EQ(s.host.ledger().Live(), (std::map<std::string, int>{}));
    fs::remove_all(folder);
}

TEST(RibbonButton, EachRibbonIsKeptOnceAndLetGoWithTheHost) {
    RibbonSession s;
    s.host.OpenExplorer();
    s.Connect();
    const auto read = s.Open(Session::Mail(true, {1}));
    s.Open(Session::Mail(false, {1}));
    EXPECT_EQ(s.Live("RibbonUI"), 2);  // one per ribbon id loaded
    EXPECT_EQ(s.Live("RibbonControl"), 0);

    // The same ribbon handed again is not kept twice: one refresh, one invalidation of each button each.
    auto again = std::make_shared<standin::RibbonNode>();
    s.addIn->Events()->OnRibbonLoad(s.host.RibbonUIObject(again));
    s.addIn->Events()->OnRibbonLoad(s.host.RibbonUIObject(again));
    EXPECT_EQ(s.Live("RibbonUI"), 3);
    s.host.ledger().ClearCalls();
    s.host.Activate(read);
    s.host.ChangeSelection(s.host.ActiveExplorer());
    EXPECT_EQ(s.CallsOf("RibbonUI.InvalidateControl"), 6);
    EXPECT_EQ(again->invalid, (std::vector<std::u16string>{u"TallowbySaveAttachments", u"TallowbySaveAllAttachments"}));

    // Once the add-in lets go of the host it keeps no ribbon, and takes none.
    s.Quit();
    EXPECT_EQ(s.Live("RibbonUI"), 0);
    s.addIn->Events()->OnRibbonLoad(s.host.RibbonUIObject(again));
    EXPECT_EQ(s.Live("RibbonUI"), 0);
    EXPECT_EQ(s.host.ledger().LiveCount(), 0);
    EXPECT_TRUE(s.addIn->Events()->GetCustomUI(u"Microsoft.Outlook.Mail.Read").empty());
}

TEST(RibbonButton, AFailingInvalidationCostsThatRibbonOnly) {
    RibbonSession s;
    const auto explorer = s.host.OpenExplorer();
    s.Connect();
    const auto compose = s.Open(Session::Mail(false, {1}));  // the first ribbon kept
    const auto item = Session::Mail(true, {4});
    const auto read = s.Open(item);
    s.ribbon->Refresh();
    ASSERT_FALSE(s.Button(read).enabled.value_or(true));
    item->Attach(1, u"new.txt", "x");
    s.host.ledger().FailMember("RibbonUI.InvalidateControl", HostStatus::Fail, 1);
    s.host.Activate(read);
    s.host.ChangeSelection(explorer);
    EXPECT_TRUE(s.host.EventFailures().empty());
    s.ribbon->Refresh();
    EXPECT_TRUE(s.Button(read).enabled.value_or(false)) << "the other ribbon was not invalidated";
    s.ExpectAgreement(compose);
}

TEST(RibbonButton, CallbacksNeedAControlInAnItemWindowAndAConnectedAddIn) {
    RibbonSession s;
    s.host.OpenExplorer();
    addin::Connect unconnected(s.platform);
    EXPECT_TRUE(unconnected.Events()->GetCustomUI(u"Microsoft.Outlook.Mail.Read").empty());
    s.Connect();
    EXPECT_FALSE(s.addIn->Events()->GetCustomUI(u"Microsoft.Outlook.Mail.Read").empty());
    const auto nowhere = s.host.RibbonControlObject(std::make_shared<standin::RibbonControlNode>(
        standin::RibbonControlNode{u"TallowbySaveAttachments", u"", {}, {}, standin::RibbonPlace::ItemWindow}));
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { s.addIn->Events()->GetRibbonEnabled(nowhere); },
             [&] { s.addIn->Events()->GetRibbonVisible(nowhere); },
             [&] { s.addIn->Events()->OnRibbonAction(nowhere); },
             [&] { s.addIn->Events()->OnRibbonAction(nullptr); },
             [&] { s.addIn->Events()->OnRibbonLoad(nullptr); }}) {
        try {
            call();
            ADD_FAILURE() << "accepted";
        } catch (const HostError& e) {
            EXPECT_TRUE(e.status == HostStatus::InvalidArg || e.status == HostStatus::Pointer);
        }
    }
    // A picture is one for each call, from the 32 by 32 resource.
    s.platform.loaded.clear();
    (void)s.addIn->Events()->GetRibbonImage(nowhere);
    EXPECT_EQ(s.platform.loaded, std::vector<int16_t>{107});
}
