// The command where users read their mail (version 14 on): the main window's tab, the reading
// pane's attachments tab and the context menus, acting on the main window's selection.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "addin/core/EventManager.h"
#include "addin/core/Ribbon.h"
#include "standin/model/Markup.h"
#include "standin/model/PublishedLists.h"
#include "tests/core/RibbonSupport.h"
#include "tests/core/Session.h"

using namespace addin;

namespace fs = std::filesystem;
using standin::ItemKind;
using standin::RibbonPlace;

namespace {

std::string Narrow(const std::u16string& s) { return {s.begin(), s.end()}; }

bool Has(const std::u16string& text, const std::u16string& part) { return text.find(part) != std::u16string::npos; }

// Every element of the markup, depth first, with the names of the elements it stands in.
void Walk(const standin::XmlElement& e, std::vector<std::u16string>& path,
          const std::function<void(const standin::XmlElement&, const std::vector<std::u16string>&)>& visit) {
    visit(e, path);
    path.push_back(e.name);
    for (const auto& child : e.children) Walk(child, path, visit);
    path.pop_back();
}

}  // namespace

TEST(MainWindowMarkup, NamesOnlyPublishedPlacesGivesEveryButtonARoleAndExistsFromVersion14) {
    for (int major : {9, 12, 13}) EXPECT_TRUE(Ribbon::CustomUI(Ribbon::ExplorerRibbonId, u"S", u"A", major).empty()) << major;
    const std::u16string xml = Ribbon::CustomUI(Ribbon::ExplorerRibbonId, u"Save Attachments", u"Save All Attachments", 14);
    const standin::XmlElement root = standin::ParseXml(xml);
    EXPECT_EQ(root.ns, Ribbon::Namespace2009);
    std::set<std::u16string> ids, places, enabledByCallback;
    int buttons = 0;
    std::vector<std::u16string> path;
    Walk(root, path, [&](const standin::XmlElement& e, const std::vector<std::u16string>& above) {
        if (const auto* idMso = e.Attribute(u"idMso")) {
            places.insert(*idMso);
            EXPECT_TRUE(standin::IsPublishedExplorerControl(*idMso)) << Narrow(*idMso);
        }
        if (const auto* id = e.Attribute(u"id")) {
            EXPECT_TRUE(ids.insert(*id).second) << "twice: " << Narrow(*id);
        }
        if (e.name != u"button") return;
        ++buttons;
        const std::u16string id = *e.Attribute(u"id");
        const auto role = Ribbon::RoleOf(id);
        ASSERT_TRUE(role.has_value()) << Narrow(id);
        const bool inMenu = above.back() == u"contextMenu";
        EXPECT_EQ(e.Attribute(u"size") != nullptr, !inMenu) << "a menu's button has no size: " << Narrow(id);
        const bool saveAll = role->command == Ribbon::Command::SaveAll;
        EXPECT_EQ(*e.Attribute(u"label"), saveAll ? u"Save All Attachments" : u"Save Attachments");
        if (e.Attribute(u"getEnabled")) enabledByCallback.insert(id);
        EXPECT_NE(role->place, Ribbon::Place::ItemWindow) << Narrow(id);
    });
    EXPECT_EQ(buttons, 10);
    EXPECT_EQ(places, (std::set<std::u16string>{u"TabMail", u"TabSetAttachments", u"TabAttachments",
                                                u"ContextMenuMailItem", u"ContextMenuMultipleItems",
                                                u"ContextMenuAttachments"}));
    // What the add-in invalidates at a selection change is exactly what asks getEnabled.
    const auto invalidated = Ribbon::ControlIds(true);
    EXPECT_EQ(std::set<std::u16string>(invalidated.begin(), invalidated.end()), enabledByCallback);
}

namespace {

/// A version-14 host with one main window and the add-in connected, files written to a folder of
/// the test's own.
struct MainWindowTest : testing::Test {
    MainWindowTest() : s(standin::HostOptions{u"14.0.7015.1000", true}) {
        s.platform.filesOnDisk = true;
        s.platform.listFolders = true;
        s.platform.folderPrompt = folderPrompt;
        s.platform.prompt = savePrompt;
        explorer = s.host.OpenExplorer();
        s.Connect();
        Preferences::SetReplaceWithLinks(false);  // the stored preference, read at connection, is true
        folder = fs::current_path() / "main-window" / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~MainWindowTest() override {
        if (!HasFailure()) fs::remove_all(folder);
    }

    static std::shared_ptr<standin::ItemNode> Message(std::u16string subject, const std::vector<std::u16string>& names,
                                                      bool sent = true) {
        auto item = std::make_shared<standin::ItemNode>(ItemKind::Mail);
        item->sent = sent;
        item->subject = std::move(subject);
        int n = 0;
        for (const auto& name : names) item->Attach(1, name, "content " + std::to_string(++n));
        return item;
    }
    std::shared_ptr<host::RibbonControl> Control(const char16_t* id, RibbonPlace place) {
        return s.host.RibbonControlObject(
            std::make_shared<standin::RibbonControlNode>(standin::RibbonControlNode{id, u"", {}, explorer, place}));
    }
    bool Enabled(const char16_t* id, RibbonPlace place) { return s.addIn->Events()->GetRibbonEnabled(Control(id, place)); }
    void Click(const char16_t* id, RibbonPlace place) { s.addIn->Events()->OnRibbonAction(Control(id, place)); }
    void Choose() { folderPrompt->script.push_back(FolderChoice{folder.u16string(), false, false}); }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    int CallsOf(const std::string& member) {
        const auto& calls = s.host.ledger().Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), member));
    }

    Session s;
    std::shared_ptr<standin::ExplorerNode> explorer;
    std::shared_ptr<ScriptedFolderPrompt> folderPrompt = std::make_shared<ScriptedFolderPrompt>();
    std::shared_ptr<ScriptedSaveAsPrompt> savePrompt = std::make_shared<ScriptedSaveAsPrompt>();
    fs::path folder;
};

}  // namespace

TEST_F(MainWindowTest, OneSelectedItemGetsTheItemWindowsCommandFromTheTabAndFromItsMenu) {
    for (const RibbonPlace place : {RibbonPlace::MainWindow, RibbonPlace::ItemMenu}) {
        SCOPED_TRACE(static_cast<int>(place));
        savePrompt->calls.clear();
        s.host.Select(explorer, {Message(u"Report", {u"a.txt", u"b.txt"})});
        EXPECT_TRUE(Enabled(u"TallowbyMailSave", place));
        savePrompt->script.push_back({(folder / "a.txt").u16string(), std::nullopt, false});
        savePrompt->script.push_back({(folder / "b.txt").u16string(), std::nullopt, false});
        Click(place == RibbonPlace::MainWindow ? u"TallowbyMailSave" : u"TallowbyItemMenuSave", place);
        ASSERT_EQ(savePrompt->calls.size(), 2u) << "one Save As dialog per attachment";
        EXPECT_EQ(savePrompt->calls[0].ordinal, 1);
        EXPECT_EQ(savePrompt->calls[1].saveableCount, 2);
        EXPECT_EQ(Files(), (std::vector<std::string>{"a.txt", "b.txt"}));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
}

TEST_F(MainWindowTest, SeveralItemsGoToOneFolderUnderNamesUniqueAcrossThemAndOneSummaryNamesEach) {
    s.host.Select(explorer, {Message(u"Quarter", {u"report.txt", u"notes.txt"}), Message(u"Holiday", {u"report.txt"}),
                             Message(u"Nothing attached", {})});
    for (const char16_t* id : {u"TallowbyMailSave", u"TallowbyItemsMenuSaveAll"}) {
        SCOPED_TRACE(Narrow(id));
        fs::remove_all(folder);
        fs::create_directories(folder);
        Choose();
        s.platform.answers.push_back(MessageBoxResult::Ok);
        Click(id, id[8] == u'M' ? RibbonPlace::MainWindow : RibbonPlace::ItemMenu);
        EXPECT_TRUE(savePrompt->calls.empty()) << "several items: no Save As dialog";
        EXPECT_EQ(Files(), (std::vector<std::string>{"notes.txt", "report -- 1.txt", "report.txt"}));
        ASSERT_FALSE(s.platform.shown.empty());
        const std::u16string summary = s.platform.shown.back().text;
        EXPECT_TRUE(Has(summary, u"3 of 3 attachments saved in ")) << Narrow(summary);
        EXPECT_TRUE(Has(summary, u"From 2 items:\r\nQuarter: 2 of 2 saved\r\nHoliday: 1 of 1 saved")) << Narrow(summary);
        EXPECT_TRUE(Has(summary, u"report.txt (Holiday) -> report -- 1.txt")) << Narrow(summary);
        EXPECT_FALSE(Has(summary, u"Nothing attached")) << "an item with nothing to save is skipped";
    }
    EXPECT_EQ(folderPrompt->calls.size(), 2u);
}

TEST_F(MainWindowTest, TheAttachmentsTabAndMenuSaveOnlyTheSelectedAttachments) {
    const auto item = Message(u"Pictures", {u"a.jpg", u"b.jpg", u"c.jpg"});
    s.host.Select(explorer, {item});
    s.host.SelectAttachments(explorer, {item->attachments[2], item->attachments[0]});
    // The tab's context is the main window, the menu's the attachment selection itself.
    Choose();
    s.platform.answers.push_back(MessageBoxResult::Ok);
    Click(u"TallowbyPaneSaveAll", RibbonPlace::MainWindow);
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.jpg", "c.jpg"}));
    EXPECT_TRUE(Has(s.platform.shown.back().text, u"2 of 2 attachments saved")) << Narrow(s.platform.shown.back().text);

    fs::remove_all(folder);
    fs::create_directories(folder);
    savePrompt->script.push_back({(folder / "b.jpg").u16string(), std::nullopt, false});
    s.host.SelectAttachments(explorer, {item->attachments[1]});
    Click(u"TallowbyAttachmentMenuSave", RibbonPlace::AttachmentMenu);
    ASSERT_EQ(savePrompt->calls.size(), 1u);
    EXPECT_EQ(savePrompt->calls[0].fileName, u"b.jpg");
    EXPECT_EQ(savePrompt->calls[0].saveableCount, 1) << "the dialog counts the selected attachments only";
    EXPECT_EQ(Files(), (std::vector<std::string>{"b.jpg"}));
}

TEST_F(MainWindowTest, ASelectionWithNothingToSaveIsDisabledAndAClickSaysSo) {
    auto note = std::make_shared<standin::ItemNode>(ItemKind::Note);
    const struct {
        const char* what;
        std::vector<std::shared_ptr<standin::ItemNode>> items;
    } cases[] = {
        {"nothing selected", {}},
        {"no attachments", {Message(u"a", {}), Message(u"b", {})}},
        {"a note", {note}},
        {"a message still being written", {Message(u"draft", {u"x.txt"}, false)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s.host.Select(explorer, c.items);
        for (const RibbonPlace place : {RibbonPlace::MainWindow, RibbonPlace::ItemMenu}) {
            EXPECT_FALSE(Enabled(u"TallowbyMailSave", place));
            EXPECT_FALSE(Enabled(u"TallowbyItemsMenuSaveAll", place));
        }
        s.platform.answers.push_back(MessageBoxResult::Ok);
        Click(u"TallowbyMailSaveAll", RibbonPlace::MainWindow);
        ASSERT_FALSE(s.platform.shown.empty());
        EXPECT_EQ(s.platform.shown.back().text, u"The selected items have no attachments to save.");
    }
    EXPECT_TRUE(folderPrompt->calls.empty());
    EXPECT_TRUE(savePrompt->calls.empty());
}

TEST_F(MainWindowTest, TheEnabledRuleReadsAFewItemsAtAnySizeOfSelection) {
    // `empty` items with nothing to save, then one with an attachment; the rule reads the first
    // kSelectionChecked and, past them, takes the selection to have something.
    const struct {
        const char* what;
        size_t empty;
        bool withLast;
        bool firstFails;  // Selection.Item(1) fails
        bool enabled;
    } cases[] = {
        {"one with nothing", 1, false, false, false},
        {"eight with nothing", 8, false, false, false},
        {"only the 8th of 8 has something", 7, true, false, true},
        {"nine with nothing", 9, false, false, true},
        {"the 9th of 9 has something", 8, true, false, true},
        {"1001, the last has something", 1000, true, false, true},
        {"the first cannot be read, the 2nd has something", 1, true, true, true},
        {"the first cannot be read, nothing else", 1, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::shared_ptr<standin::ItemNode>> items;
        for (size_t i = 0; i < c.empty; ++i) items.push_back(Message(u"m", {}));
        if (c.withLast) items.push_back(Message(u"last", {u"x.txt"}));
        s.host.Select(explorer, items);
        if (c.firstFails) s.host.ledger().FailMember("Selection.Item", HostStatus::Fail, 1);
        const int before = CallsOf("Item.Attachments");
        EXPECT_EQ(Enabled(u"TallowbyMailSave", RibbonPlace::MainWindow), c.enabled);
        EXPECT_LE(CallsOf("Item.Attachments") - before, ActionManager::kSelectionChecked);
        s.host.ledger().ClearFailures();
    }
    // A big selection is checked in full when clicked: only the one item with an attachment.
    std::vector<std::shared_ptr<standin::ItemNode>> items;
    for (int i = 0; i < 1000; ++i) items.push_back(Message(u"m", {}));
    items.push_back(Message(u"last", {u"x.txt"}));
    s.host.Select(explorer, items);
    savePrompt->script.push_back({(folder / "x.txt").u16string(), std::nullopt, false});
    Click(u"TallowbyMailSave", RibbonPlace::MainWindow);
    EXPECT_EQ(Files(), (std::vector<std::string>{"x.txt"}));
}

TEST_F(MainWindowTest, ASelectionChangeInvalidatesTheMainWindowsButtonsOnly) {
    const auto ui = std::make_shared<standin::RibbonNode>();
    s.addIn->Events()->OnRibbonLoad(s.host.RibbonUIObject(ui), true);
    s.host.Select(explorer, {Message(u"a", {u"a.txt"})});
    const auto ids = Ribbon::ControlIds(true);
    EXPECT_EQ(ui->invalid, std::vector<std::u16string>(ids.begin(), ids.end()));
}

TEST_F(MainWindowTest, AnItemOpenInItsOwnWindowWithUnsavedChangesIsAskedAboutAndLeftUnsaved) {
    const auto item = Message(u"Open twice", {u"a.txt"});
    const auto ins = s.host.OpenInspector(item);
    item->Edit();
    // The open window's ribbon, as the host shows it: its buttons asked when shown, and again only
    // where the add-in invalidates them.
    KeptRibbonLog log;
    CoreRibbonAddIn core(*s.addIn);
    standin::RibbonHost ribbon(s.host, core, 14, log);
    ribbon.Show(ins);
    const auto windowShows = [&] {
        ribbon.Refresh();
        std::vector<std::string> shown;
        for (const auto& b : ribbon.Buttons(ins)) shown.push_back(Narrow(b.label) + "=" + (b.enabled.value_or(false) ? "on" : "off"));
        return shown;
    };
    const std::vector<std::string> on{"Save Attachments=on", "Save All Attachments=on"};
    ASSERT_EQ(windowShows(), on);
    s.host.Select(explorer, {item, Message(u"Other", {u"b.txt"})});
    // No: nothing happens.
    s.platform.answers.push_back(MessageBoxResult::No);
    Click(u"TallowbyMailSaveAll", RibbonPlace::MainWindow);
    EXPECT_TRUE(folderPrompt->calls.empty());
    EXPECT_EQ(windowShows(), on);
    // Yes: both saved, the edited item left for the user to save.
    Preferences::SetReplaceWithLinks(true);
    s.platform.answers.push_back(MessageBoxResult::Yes);
    folderPrompt->script.push_back(FolderChoice{folder.u16string(), true, false});
    s.platform.answers.push_back(MessageBoxResult::Ok);
    s.platform.answers.push_back(MessageBoxResult::Ok);
    const size_t before = s.platform.shown.size();
    Click(u"TallowbyMailSaveAll", RibbonPlace::MainWindow);
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_FALSE(item->saved) << "the user's unsaved changes are not saved for them";
    // This host copies rather than links: one message for both items' kept attachments, then the summary.
    ASSERT_EQ(s.platform.shown.size(), before + 3);
    EXPECT_TRUE(Has(s.platform.shown[before + 1].text, u"still in the item:\r\n\r\na.txt\r\nb.txt"))
        << Narrow(s.platform.shown[before + 1].text);
    EXPECT_EQ(item->attachments.size(), 1u);
    EXPECT_TRUE(ins->open);

    // A host that links: the item in the window then holds only its shortcut, and the window's
    // buttons follow.
    s.host.options().byReference = standin::ByReference::Link;
    Preferences::SetShortcutsRefused(false);
    fs::remove_all(folder);
    fs::create_directories(folder);
    s.platform.answers.push_back(MessageBoxResult::Yes);
    folderPrompt->script.push_back(FolderChoice{folder.u16string(), true, false});
    s.platform.answers.push_back(MessageBoxResult::Ok);
    Click(u"TallowbyMailSaveAll", RibbonPlace::MainWindow);
    ASSERT_EQ(item->attachments.size(), 1u);
    EXPECT_EQ(item->attachments[0]->type, host::AttachmentType::ByReference);
    EXPECT_FALSE(item->saved);
    EXPECT_EQ(windowShows(), (std::vector<std::string>{"Save Attachments=off", "Save All Attachments=off"}))
        << "the open window's buttons follow its item";
    EXPECT_TRUE(log.failures.empty()) << (log.failures.empty() ? "" : Narrow(log.failures.front()));
}

namespace {

/// The add-in as the stand-in's ribbon loads it, with a main window, under either answer to when the
/// host asks a context menu's callbacks.
struct MainWindowRibbonTest : MainWindowTest, testing::WithParamInterface<standin::MenuAsking> {
    MainWindowRibbonTest() {
        core = std::make_unique<CoreRibbonAddIn>(*s.addIn);
        ribbon = std::make_unique<standin::RibbonHost>(s.host, *core, 14, log);
        ribbon->SetMenuAsking(GetParam());
        ribbon->ShowExplorer(explorer);
    }
    /// The main window's buttons now, "label=enabled" (contextual ones while shown).
    std::vector<std::string> Shown() {
        std::vector<std::string> shown;
        for (const auto& b : ribbon->Buttons(explorer))
            shown.push_back(Narrow(b.label) + "=" + (b.enabled.value_or(false) ? "on" : "off"));
        return shown;
    }
    void Select(std::vector<std::shared_ptr<standin::ItemNode>> items) {
        s.host.Select(explorer, std::move(items));
        ribbon->Refresh();
    }

    KeptRibbonLog log;
    std::unique_ptr<CoreRibbonAddIn> core;
    std::unique_ptr<standin::RibbonHost> ribbon;
};

}  // namespace

TEST_P(MainWindowRibbonTest, TheHostAcceptsTheMarkupAndItsButtonsFollowTheSelection) {
    EXPECT_TRUE(log.failures.empty()) << (log.failures.empty() ? "" : Narrow(log.failures.front()));
    EXPECT_EQ(log.Count(u"not shown"), 0) << "every place is one the host has";
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Save Attachments=off", "Save All Attachments=off"}));

    const auto item = Message(u"Report", {u"a.txt", u"b.txt"});
    Select({item});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Save Attachments=on", "Save All Attachments=on"}));
    const auto menu = ribbon->OpenMenu(explorer, u"ContextMenuMailItem");
    ASSERT_TRUE(menu.has_value());
    ASSERT_EQ(menu->size(), 2u);
    EXPECT_TRUE((*menu)[0].enabled.value_or(false));

    // The reading pane's attachments tab comes with a selected attachment, and saves only it.
    s.host.SelectAttachments(explorer, {item->attachments[1]});
    ribbon->Refresh();
    EXPECT_EQ(Shown().size(), 4u);
    Choose();
    s.platform.answers.push_back(MessageBoxResult::Ok);
    EXPECT_TRUE(ribbon->ClickMenu(explorer, u"ContextMenuAttachments", u"Save All Attachments"));
    EXPECT_EQ(Files(), (std::vector<std::string>{"b.txt"}));

    // Nothing to save: every place that asks says so, whenever the host asks.
    Select({Message(u"Plain", {})});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Save Attachments=off", "Save All Attachments=off"}));
    const auto plain = ribbon->OpenMenu(explorer, u"ContextMenuMailItem");
    ASSERT_TRUE(plain.has_value());
    ASSERT_EQ(plain->size(), 2u);
    EXPECT_FALSE((*plain)[1].enabled.value_or(true));
    EXPECT_TRUE(log.failures.empty());
}

INSTANTIATE_TEST_SUITE_P(MenuAsking, MainWindowRibbonTest,
                         testing::Values(standin::MenuAsking::EachOpening, standin::MenuAsking::UntilInvalidated));
