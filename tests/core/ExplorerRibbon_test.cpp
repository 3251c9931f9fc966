// The main window's ribbon and context menus as the stand-in ribbon plays them (version 14 on): the
// markup it accepts, the host's names it shows, the context each place hands a callback, the
// contextual tab of selected attachments, and when a context menu's callbacks are asked.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "addin/core/host/Explorer.h"
#include "addin/core/host/Inspector.h"
#include "tests/core/RibbonSupport.h"

using namespace addin;

namespace {

using standin::ExplorerNode;
using standin::ItemKind;
using standin::ItemNode;
using standin::RibbonHost;

constexpr char16_t k2006[] = u"http://schemas.microsoft.com/office/2006/01/customui";
constexpr char16_t k2009[] = u"http://schemas.microsoft.com/office/2009/07/customui";

std::string Narrow(const std::u16string& s) { return {s.begin(), s.end()}; }

/// What a callback's control was handed as its Context: "inspector", "explorer", "selection <n>",
/// "attachments <n>" (with the selection's Count), or "none".
std::string ContextOf(const std::shared_ptr<host::RibbonControl>& control) {
    const host::RibbonContext context = control->Context();
    if (context.inspector) return "inspector";
    if (context.explorer) return "explorer";
    if (context.selection) return "selection " + std::to_string(context.selection->Count());
    if (context.attachments) return "attachments " + std::to_string(context.attachments->Count());
    return "none";
}

/// An add-in with fixed markup for the main window that records each callback: its name, the
/// control's id and the control's context.
class ExplorerAddIn : public standin::RibbonAddIn {
public:
    std::u16string markup;
    std::vector<std::u16string> askedFor;  // the ribbon ids GetCustomUI was called with
    std::vector<std::string> calls;        // "<callback> <control id> <context>"
    std::shared_ptr<host::RibbonUI> ribbon;

    std::u16string GetCustomUI(const std::u16string& ribbonId) override {
        askedFor.push_back(ribbonId);
        return ribbonId == RibbonHost::kExplorerRibbonId ? markup : u"";
    }
    bool HasCallback(const std::u16string& name) override {
        return name == u"Load" || name == u"Action" || name == u"Enabled" || name == u"Visible";
    }
    void OnLoad(const std::u16string&, const std::shared_ptr<host::RibbonUI>& ui) override { ribbon = ui; }
    void OnAction(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) override {
        Record(name, control);
    }
    bool GetBool(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) override {
        Record(name, control);
        return true;
    }
    std::u16string GetImage(const std::u16string&, const std::shared_ptr<host::RibbonControl>&) override { return u"p"; }

    /// How many calls were made for the control `id`.
    int CallsFor(const std::string& id) const {
        int n = 0;
        for (const auto& c : calls) n += c.find(" " + id + " ") != std::string::npos ? 1 : 0;
        return n;
    }

private:
    void Record(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) {
        calls.push_back(Narrow(name) + " " + Narrow(control->Id()) + " " + ContextOf(control));
    }
};

std::u16string MenuButton(const std::u16string& id, const std::u16string& more = {}) {
    return u"<button id=\"" + id + u"\" label=\"" + id + u"\" onAction=\"Action\" getEnabled=\"Enabled\"" + more + u"/>";
}

/// Markup with a button on the main window's first tab, one on the contextual tab of attachments,
/// and one in each of the three context menus, in `ns`; `ribbonMore` and `menusMore` add to the
/// ribbon and the context menus.
std::u16string ExplorerMarkup(std::u16string ns = k2009, std::u16string ribbonMore = {}, std::u16string menusMore = {}) {
    return u"<customUI xmlns=\"" + ns + u"\" onLoad=\"Load\"><ribbon>"
           u"<tabs><tab idMso=\"TabMail\"><group id=\"G\" label=\"g\">"
           u"<button id=\"Main\" label=\"Main\" size=\"large\" onAction=\"Action\" getEnabled=\"Enabled\"/></group></tab></tabs>"
           u"<contextualTabs><tabSet idMso=\"TabSetAttachments\"><tab idMso=\"TabAttachments\">"
           u"<group id=\"GA\" label=\"ga\">" + MenuButton(u"Pane") + u"</group></tab></tabSet></contextualTabs>" +
           ribbonMore + u"</ribbon><contextMenus>"
           u"<contextMenu idMso=\"ContextMenuMailItem\">" + MenuButton(u"One", u" getVisible=\"Visible\"") + u"</contextMenu>"
           u"<contextMenu idMso=\"ContextMenuMultipleItems\">" + MenuButton(u"Many") + u"</contextMenu>"
           u"<contextMenu idMso=\"ContextMenuAttachments\">" + MenuButton(u"Atts") + u"</contextMenu>" +
           menusMore + u"</contextMenus></customUI>";
}

/// A host of `version` with one main window listing two messages, the first with two attachments,
/// and the ribbon of an add-in with `markup`.
struct ExplorerRun {
    explicit ExplorerRun(std::u16string markup = ExplorerMarkup(), int version = 14)
        : host(std::make_shared<standin::CommandBarStore>(), Options(version)),
          ribbon(host, addIn, version, log) {
        addIn.markup = std::move(markup);
        first->Attach(1, u"a.txt", "a");
        first->Attach(1, u"b.txt", "b");
        explorer = host.OpenExplorer();
    }
    static standin::HostOptions Options(int version) {
        standin::HostOptions options;
        options.version = Narrow16(std::to_string(version) + ".0.0.0");
        return options;
    }
    static std::u16string Narrow16(const std::string& s) { return {s.begin(), s.end()}; }

    void SelectFirst() { host.Select(explorer, {first}); }
    void SelectBoth() { host.Select(explorer, {first, second}); }
    void SelectAttachments() { host.SelectAttachments(explorer, {first->attachments[0], first->attachments[1]}); }
    std::vector<std::u16string> Labels() const {
        std::vector<std::u16string> labels;
        for (const auto& b : ribbon.Buttons(explorer)) labels.push_back(b.label);
        return labels;
    }

    standin::Host host;
    ExplorerAddIn addIn;
    KeptRibbonLog log;
    RibbonHost ribbon;
    std::shared_ptr<ItemNode> first = std::make_shared<ItemNode>(ItemKind::Mail);
    std::shared_ptr<ItemNode> second = std::make_shared<ItemNode>(ItemKind::Mail);
    std::shared_ptr<ExplorerNode> explorer;
};

}  // namespace

TEST(ExplorerRibbon, MarkupIsAcceptedOrRefusedAsTheSchemaSays) {
    const std::u16string menuWith = u"<contextMenu idMso=\"ContextMenuFolder\">";
    const struct {
        const char* why;
        int version;
        std::u16string markup;
        const char16_t* reason;  // null: accepted
    } cases[] = {
        {"ribbon, contextual tabs and context menus", 14, ExplorerMarkup(), nullptr},
        {"a tab set in the 2006 namespace", 14,
         u"<customUI xmlns=\"" + std::u16string(k2006) + u"\" onLoad=\"Load\"><ribbon><contextualTabs><tabSet idMso=\"TabSetAttachments\">"
         u"<tab id=\"T\" label=\"t\"><group id=\"G\" label=\"g\">" + MenuButton(u"B") +
         u"</group></tab></tabSet></contextualTabs></ribbon></customUI>", nullptr},
        {"context menus in the 2006 namespace", 14, ExplorerMarkup(k2006), u"contextMenus is not in the 2006/01 schema"},
        {"the 2009 namespace on version 12", 12, ExplorerMarkup(), u"namespace"},
        {"the 2009 namespace on version 13", 13, ExplorerMarkup(), u"namespace"},
        {"a size on a menu's button", 14, ExplorerMarkup(k2009, {}, menuWith + MenuButton(u"S", u" size=\"large\"") + u"</contextMenu>"),
         u"size is not allowed"},
        {"a context menu by id", 14, ExplorerMarkup(k2009, {}, u"<contextMenu id=\"Mine\">" + MenuButton(u"S") + u"</contextMenu>"),
         u"contextMenu names one of the host's own by idMso, not by id"},
        {"a context menu with no name", 14, ExplorerMarkup(k2009, {}, u"<contextMenu>" + MenuButton(u"S") + u"</contextMenu>"),
         u"idMso, which is missing"},
        {"a tab set by id", 14,
         u"<customUI xmlns=\"" + std::u16string(k2009) + u"\"><ribbon><contextualTabs><tabSet id=\"Mine\"/>"
         u"</contextualTabs></ribbon></customUI>",
         u"tabSet names one of the host's own by idMso, not by id"},
        {"contextual tabs twice in the ribbon", 14,
         ExplorerMarkup(k2009, u"<contextualTabs><tabSet idMso=\"TabSetSearch\"/></contextualTabs>"),
         u"contextualTabs appears twice in ribbon"},
        {"no tab set in contextual tabs", 14,
         u"<customUI xmlns=\"" + std::u16string(k2009) + u"\"><ribbon><contextualTabs/></ribbon></customUI>",
         u"contextualTabs needs at least one tabSet"},
        {"no menu in context menus", 14, u"<customUI xmlns=\"" + std::u16string(k2009) + u"\"><contextMenus/></customUI>",
         u"contextMenus needs at least one contextMenu"},
        {"context menus before the ribbon", 14,
         u"<customUI xmlns=\"" + std::u16string(k2009) + u"\"><contextMenus>" + menuWith + MenuButton(u"S") +
         u"</contextMenu></contextMenus><ribbon/></customUI>",
         u"ribbon cannot follow contextMenus in customUI"},
        {"a group in a context menu", 14,
         ExplorerMarkup(k2009, {}, menuWith + u"<group id=\"X\" label=\"x\"/></contextMenu>"), u"group cannot stand in contextMenu"},
        {"a tab set outside contextual tabs", 14,
         ExplorerMarkup(k2009, u"<tabSet idMso=\"TabSetAttachments\"/>"), u"tabSet cannot stand in ribbon"},
        {"a visible callback on a context menu", 14,
         ExplorerMarkup(k2009, {}, u"<contextMenu idMso=\"ContextMenuFolder\" getVisible=\"Visible\"/>"),
         u"getVisible of contextMenu is not known"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ExplorerRun run(c.markup, c.version);
        run.ribbon.Load(std::u16string(RibbonHost::kExplorerRibbonId));
        if (!c.reason) {
            EXPECT_TRUE(run.log.failures.empty()) << (run.log.failures.empty() ? "" : Narrow(run.log.failures[0]));
            EXPECT_TRUE(run.addIn.ribbon) << "onLoad";
            continue;
        }
        ASSERT_EQ(run.log.failures.size(), 1u);
        EXPECT_NE(run.log.failures[0].find(c.reason), std::u16string::npos) << Narrow(run.log.failures[0]);
        EXPECT_FALSE(run.addIn.ribbon) << "refused markup is not loaded";
    }
}

TEST(ExplorerRibbon, OnlyTheMainWindowsPublishedTabsTabSetsAndMenusShowAnything) {
    const auto group = [](const std::u16string& id) {
        return u"<group id=\"G" + id + u"\" label=\"g\">" + MenuButton(id) + u"</group>";
    };
    const struct {
        const char* why;
        std::u16string ribbon;  // added to the ribbon
        std::u16string menus;   // added to the context menus
        const char16_t* notShown;  // the log's reason; null: shown
    } cases[] = {
        {"a custom tab", u"<tabs><tab id=\"Own\" label=\"own\">" + group(u"X") + u"</tab></tabs>", {}, nullptr},
        {"a built-in tab of the list", u"<tabs><tab idMso=\"TabFolder\">" + group(u"X") + u"</tab></tabs>", {}, nullptr},
        {"an item window's tab", u"<tabs><tab idMso=\"TabReadMessage\">" + group(u"X") + u"</tab></tabs>", {},
         u"tab=\"TabReadMessage\" control=\"X\" not shown: the window has no such tab"},
        {"a tab set the list lacks",
         u"<contextualTabs><tabSet idMso=\"TabSetPictureTools\"><tab id=\"Own\" label=\"o\">" + group(u"X") +
             u"</tab></tabSet></contextualTabs>",
         {}, u"tabSet=\"TabSetPictureTools\" control=\"X\" not shown: the window has no such tab set"},
        {"a tab of the attachments' set the list lacks",
         u"<contextualTabs><tabSet idMso=\"TabSetAttachments\"><tab idMso=\"TabReadMessage\">" + group(u"X") +
             u"</tab></tabSet></contextualTabs>",
         {}, u"tab=\"TabReadMessage\" control=\"X\" not shown: the window has no such tab"},
        {"a menu the list lacks", {}, u"<contextMenu idMso=\"ContextMenuNowhere\">" + MenuButton(u"X") + u"</contextMenu>",
         u"menu=\"ContextMenuNowhere\" control=\"X\" not shown: the window has no such menu"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // The added part replaces the standard ribbon's contextual tabs where it brings its own.
        std::u16string markup = ExplorerMarkup(k2009, {}, c.menus);
        if (!c.ribbon.empty()) {
            const auto from = markup.find(u"<tabs>");
            const auto to = markup.find(u"</ribbon>");
            markup.replace(from, to - from, c.ribbon);
        }
        ExplorerRun run(markup);
        run.SelectFirst();
        run.SelectAttachments();
        run.ribbon.ShowExplorer(run.explorer);
        ASSERT_TRUE(run.log.failures.empty()) << Narrow(run.log.failures[0]);
        const bool shownOnRibbon = run.ribbon.ClickExplorer(run.explorer, u"X");
        const bool shownInMenu = !c.menus.empty() && run.ribbon.ClickMenu(run.explorer, u"ContextMenuNowhere", u"X");
        EXPECT_EQ(shownOnRibbon || shownInMenu, c.notShown == nullptr);
        EXPECT_EQ(run.addIn.CallsFor("X") > 0, c.notShown == nullptr);
        EXPECT_EQ(run.log.Count(c.notShown ? c.notShown : u"not shown"), c.notShown ? 1 : 0);
    }
}

TEST(ExplorerRibbon, EachPlaceHandsItsCallbacksItsContext) {
    const struct {
        const char* why;
        bool both;                 // two items selected, else the first
        const char16_t* menu;      // null: the ribbon
        const char16_t* label;
        const char* context;
    } cases[] = {
        {"the main window's tab", false, nullptr, u"Main", "explorer"},
        {"the contextual tab of attachments", false, nullptr, u"Pane", "explorer"},
        {"the menu of one item", false, u"ContextMenuMailItem", u"One", "selection 1"},
        {"the menu of several items", true, u"ContextMenuMultipleItems", u"Many", "selection 2"},
        {"the menu of attachments", false, u"ContextMenuAttachments", u"Atts", "attachments 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ExplorerRun run;
        c.both ? run.SelectBoth() : run.SelectFirst();
        if (!c.both) run.SelectAttachments();
        run.ribbon.ShowExplorer(run.explorer);
        const bool clicked = c.menu ? run.ribbon.ClickMenu(run.explorer, c.menu, c.label)
                                    : run.ribbon.ClickExplorer(run.explorer, c.label);
        ASSERT_TRUE(clicked);
        const std::string id = Narrow(c.label);
        EXPECT_EQ(run.addIn.calls.back(), "Action " + id + " " + c.context);
        const std::string enabled = "Enabled " + id + " " + c.context;
        EXPECT_NE(std::find(run.addIn.calls.begin(), run.addIn.calls.end(), enabled), run.addIn.calls.end()) << enabled;
    }
}

TEST(ExplorerRibbon, TheContextualTabShowsOnlyWhileAttachmentsAreSelected) {
    ExplorerRun run;
    run.SelectFirst();
    run.ribbon.ShowExplorer(run.explorer);
    EXPECT_EQ(run.Labels(), std::vector<std::u16string>{u"Main"});
    EXPECT_EQ(run.addIn.CallsFor("Pane"), 0) << "a tab set that is not up is not asked";
    EXPECT_FALSE(run.ribbon.ClickExplorer(run.explorer, u"Pane"));

    run.SelectAttachments();
    run.ribbon.Refresh();
    EXPECT_EQ(run.Labels(), (std::vector<std::u16string>{u"Main", u"Pane"}));
    EXPECT_EQ(run.addIn.CallsFor("Pane"), 1);
    EXPECT_EQ(run.addIn.CallsFor("Main"), 1) << "the rest of the ribbon keeps its answers";
    const auto state = run.ribbon.State(run.explorer);
    ASSERT_EQ(state.size(), 2u);
    EXPECT_EQ(state[1], u"ribbon window=explorer id=\"Microsoft.Outlook.Explorer\" tabSet=\"TabSetAttachments\" "
                        u"tab=\"TabAttachments\" group=\"GA\" control=\"Pane\" label=\"Pane\" size=normal visible=true "
                        u"enabled=true image=\"none\"");

    run.SelectFirst();  // a new selection in the list leaves no attachment selected
    run.ribbon.Refresh();
    EXPECT_EQ(run.Labels(), std::vector<std::u16string>{u"Main"});
    EXPECT_FALSE(run.ribbon.ClickExplorer(run.explorer, u"Pane"));
    run.SelectAttachments();
    run.ribbon.Refresh();
    EXPECT_EQ(run.addIn.CallsFor("Pane"), 2) << "a tab set coming up again is asked again";
}

TEST(ExplorerRibbon, AMenusCallbacksAreAskedAtEachOpeningOrKeptUntilInvalidated) {
    const struct {
        const char* why;
        standin::MenuAsking asking;
        bool invalidate;  // the add-in invalidates the button after the second opening
        int asked;        // times the menu's getVisible was asked over three openings
    } cases[] = {
        {"asked at each opening", standin::MenuAsking::EachOpening, false, 3},
        {"kept", standin::MenuAsking::UntilInvalidated, false, 1},
        {"kept until invalidated", standin::MenuAsking::UntilInvalidated, true, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ExplorerRun run;
        run.ribbon.SetMenuAsking(c.asking);
        run.SelectFirst();
        run.ribbon.ShowExplorer(run.explorer);
        EXPECT_EQ(run.addIn.CallsFor("One"), 0) << "a menu is asked about when it opens";
        for (int opening = 1; opening <= 3; ++opening) {
            const auto buttons = run.ribbon.OpenMenu(run.explorer, u"ContextMenuMailItem");
            ASSERT_TRUE(buttons);
            ASSERT_EQ(buttons->size(), 1u);
            EXPECT_TRUE((*buttons)[0].visible && (*buttons)[0].enabled.value_or(false));
            if (opening == 2 && c.invalidate) {
                run.addIn.ribbon->InvalidateControl(u"One");
                run.ribbon.Refresh();
            }
        }
        const auto visible = std::count(run.addIn.calls.begin(), run.addIn.calls.end(), "Visible One selection 1");
        EXPECT_EQ(visible, c.asked);
    }
}

TEST(ExplorerRibbon, AMenuOpensOnlyOnTheSelectionThatBringsItUp) {
    const struct {
        const char* why;
        int items;         // selected in the list
        bool attachments;  // selected in the reading pane
        const char16_t* menu;
        bool opens;
    } cases[] = {
        {"one item", 1, false, u"ContextMenuMailItem", true},
        {"one item, the menu of several", 1, false, u"ContextMenuMultipleItems", false},
        {"two items, the menu of one", 2, false, u"ContextMenuMailItem", false},
        {"two items", 2, false, u"ContextMenuMultipleItems", true},
        {"no attachment selected", 1, false, u"ContextMenuAttachments", false},
        {"attachments selected", 1, true, u"ContextMenuAttachments", true},
        {"a menu the stand-in does not play", 1, false, u"ContextMenuFolder", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ExplorerRun run;
        c.items == 1 ? run.SelectFirst() : run.SelectBoth();
        if (c.attachments) run.SelectAttachments();
        run.ribbon.ShowExplorer(run.explorer);
        EXPECT_EQ(run.ribbon.OpenMenu(run.explorer, c.menu).has_value(), c.opens);
    }
}

TEST(ExplorerRibbon, BeforeVersion14TheMainWindowHasNoRibbonAndNoMenus) {
    for (const int version : {12, 14}) {
        SCOPED_TRACE(version);
        // The 2006 markup, which every version from 12 reads, has no context menus.
        std::u16string markup = ExplorerMarkup(k2006);
        const auto menus = markup.find(u"<contextMenus>");
        markup.erase(menus, markup.find(u"</customUI>") - menus);
        ExplorerRun run(markup, version);
        run.SelectFirst();
        run.ribbon.ShowExplorer(run.explorer);
        EXPECT_EQ(run.addIn.askedFor.size(), version >= 14 ? 1u : 0u);
        EXPECT_EQ(run.Labels().size(), version >= 14 ? 1u : 0u);
        EXPECT_EQ(run.ribbon.OpenMenu(run.explorer, u"ContextMenuMailItem").has_value(), version >= 14);
    }
}
