// The add-in's ribbon markup per ribbon id, its callback names, and the checks the stand-in ribbon
// makes of any markup (so that its verdict on the add-in's markup means something).
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "addin/core/Ribbon.h"
#include "standin/model/Markup.h"
#include "standin/model/PublishedLists.h"
#include "tests/core/RibbonSupport.h"

using namespace addin;

using standin::XmlElement;

namespace {

constexpr char16_t kCaption[] = u"Save Attachments";

// The ribbons of the item windows, each with the tab it shows first: from the host's published
// lists, never from a second copy of the add-in's own table.
std::vector<std::pair<std::u16string, std::u16string>> ItemRibbons() {
    std::vector<std::pair<std::u16string, std::u16string>> ribbons;
    for (const auto id : standin::PublishedRibbonIds())
        ribbons.emplace_back(std::u16string(id), std::u16string(standin::PublishedTabs(id).at(0)));
    EXPECT_EQ(ribbons.size(), 19u) << "the item windows' ribbons of the published lists";
    return ribbons;
}

const XmlElement& OnlyChild(const XmlElement& e, const char16_t* name) {
    EXPECT_EQ(e.children.size(), 1u) << "children of the element";
    EXPECT_EQ(e.children.at(0).name, name);
    return e.children.at(0);
}

void ExpectCallback(const XmlElement& e, const char16_t* attribute, Ribbon::Callback callback) {
    SCOPED_TRACE(std::string(attribute, attribute + std::char_traits<char16_t>::length(attribute)));
    const std::u16string* name = e.Attribute(attribute);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(Ribbon::CallbackNamed(*name), callback);
}

/// An add-in that hands the ribbon fixed markup and answers the given callback names.
class MarkupAddIn : public standin::RibbonAddIn {
public:
    std::u16string markup;
    std::vector<std::u16string> known = {u"Load", u"Action", u"Enabled", u"Visible", u"Image"};
    int loads = 0;

    std::u16string GetCustomUI(const std::u16string&) override { return markup; }
    bool HasCallback(const std::u16string& name) override {
        return std::find(known.begin(), known.end(), name) != known.end();
    }
    void OnLoad(const std::u16string&, const std::shared_ptr<host::RibbonUI>&) override { ++loads; }
    void OnAction(const std::u16string&, const std::shared_ptr<host::RibbonControl>&) override {}
    bool GetBool(const std::u16string&, const std::shared_ptr<host::RibbonControl>&) override { return true; }
    std::u16string GetImage(const std::u16string&, const std::shared_ptr<host::RibbonControl>&) override { return u"p"; }
};

std::u16string Document(std::u16string ns, std::u16string button, std::u16string more = {}) {
    return u"<customUI xmlns=\"" + ns + u"\" onLoad=\"Load\"><ribbon><tabs><tab idMso=\"TabReadMessage\">"
           u"<group id=\"G\" label=\"g\">" + button + u"</group>" + more + u"</tab></tabs></ribbon></customUI>";
}

constexpr char16_t k2006[] = u"http://schemas.microsoft.com/office/2006/01/customui";
constexpr char16_t k2009[] = u"http://schemas.microsoft.com/office/2009/07/customui";

/// The ribbon of a host of `version` loading `markup` for a received message's window.
struct MarkupRun {
    MarkupRun(int version, std::u16string markup, std::vector<std::u16string> callbacks = {}) {
        addIn.markup = std::move(markup);
        if (!callbacks.empty()) addIn.known = std::move(callbacks);
        standin::RibbonHost ribbon(host, addIn, version, log);
        ribbon.Load(u"Microsoft.Outlook.Mail.Read");
    }
    standin::Host host;
    MarkupAddIn addIn;
    KeptRibbonLog log;
};

}  // namespace

TEST(RibbonMarkup, EveryItemWindowsRibbonGetsOneLargeButtonInAGroupOfItsOwnOnItsFirstTab) {
    for (const auto& [ribbonId, tab] : ItemRibbons()) {
        SCOPED_TRACE(std::string(ribbonId.begin(), ribbonId.end()));
        EXPECT_EQ(Ribbon::FirstTab(ribbonId), tab);
        const XmlElement root = standin::ParseXml(Ribbon::CustomUI(ribbonId, kCaption));
        EXPECT_EQ(root.name, u"customUI");
        EXPECT_EQ(root.ns, k2006);  // read by every version from 12 on
        ExpectCallback(root, u"onLoad", Ribbon::Callback::OnLoad);
        const XmlElement& tabElement = OnlyChild(OnlyChild(OnlyChild(root, u"ribbon"), u"tabs"), u"tab");
        ASSERT_NE(tabElement.Attribute(u"idMso"), nullptr);
        EXPECT_EQ(*tabElement.Attribute(u"idMso"), tab);
        const XmlElement& group = OnlyChild(tabElement, u"group");
        EXPECT_EQ(*group.Attribute(u"id"), Ribbon::GroupId);
        ExpectCallback(group, u"getVisible", Ribbon::Callback::GetVisible);
        const XmlElement& button = OnlyChild(group, u"button");
        EXPECT_EQ(*button.Attribute(u"id"), Ribbon::ButtonId);
        EXPECT_EQ(*button.Attribute(u"label"), kCaption);
        EXPECT_EQ(*button.Attribute(u"size"), u"large");
        ExpectCallback(button, u"onAction", Ribbon::Callback::OnAction);
        ExpectCallback(button, u"getEnabled", Ribbon::Callback::GetEnabled);
        ExpectCallback(button, u"getImage", Ribbon::Callback::GetImage);
        EXPECT_TRUE(button.children.empty());
    }
}

TEST(RibbonMarkup, EveryOtherRibbonGetsNothing) {
    for (const char16_t* ribbonId :
         {u"", u"Microsoft.Outlook.Explorer", u"Microsoft.Outlook.Note", u"microsoft.outlook.mail.read",
          u"Microsoft.Outlook.Mail.Read ", u"Microsoft.Outlook.Mail", u"Microsoft.OMS.SMS.Read",
          u"Microsoft.OMS.MMS.Compose", u"Microsoft.Word.Document"}) {
        EXPECT_TRUE(Ribbon::FirstTab(ribbonId).empty());
        EXPECT_TRUE(Ribbon::CustomUI(ribbonId, kCaption).empty());
    }
}

TEST(RibbonMarkup, TheReadMessageWindowsMarkupInFull) {
    EXPECT_EQ(Ribbon::CustomUI(u"Microsoft.Outlook.Mail.Read", kCaption),
              u"<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\" onLoad=\"OnRibbonLoad\">\r\n"
              u"  <ribbon>\r\n"
              u"    <tabs>\r\n"
              u"      <tab idMso=\"TabReadMessage\">\r\n"
              u"        <group id=\"TallowbyGroup\" label=\"Quenmark\" getVisible=\"GetRibbonVisible\">\r\n"
              u"          <button id=\"TallowbySaveAttachments\" label=\"Save Attachments\" size=\"large\" "
              u"onAction=\"OnRibbonAction\" getEnabled=\"GetRibbonEnabled\" getImage=\"GetRibbonImage\"/>\r\n"
              u"        </group>\r\n"
              u"      </tab>\r\n"
              u"    </tabs>\r\n"
              u"  </ribbon>\r\n"
              u"</customUI>\r\n");
}

TEST(RibbonCallbacks, EachNameFindsItsCallbackInAnyLetterCaseAndNothingElseDoes) {
    for (auto c : {Ribbon::Callback::OnLoad, Ribbon::Callback::OnAction, Ribbon::Callback::GetEnabled,
                   Ribbon::Callback::GetVisible, Ribbon::Callback::GetImage}) {
        std::u16string name(Ribbon::NameOf(c));
        EXPECT_EQ(Ribbon::CallbackNamed(name), c);
        for (char16_t& ch : name) ch = ch >= u'a' && ch <= u'z' ? static_cast<char16_t>(ch - 32) : ch;
        EXPECT_EQ(Ribbon::CallbackNamed(name), c);
    }
    for (const char16_t* name : {u"", u"OnConnection", u"GetRibbonEnable", u"GetRibbonEnabledX", u"OnRibbon"})
        EXPECT_EQ(Ribbon::CallbackNamed(name), std::nullopt);
}

// ---- the stand-in ribbon's checks

TEST(RibbonHostChecks, TheAddInsMarkupPassesOnEveryVersionForEveryItemRibbon) {
    std::vector<std::u16string> callbacks;
    for (auto c : {Ribbon::Callback::OnLoad, Ribbon::Callback::OnAction, Ribbon::Callback::GetEnabled,
                   Ribbon::Callback::GetVisible, Ribbon::Callback::GetImage})
        callbacks.emplace_back(Ribbon::NameOf(c));
    for (int version : {12, 14, 16}) {
        for (const auto& [ribbonId, tab] : ItemRibbons()) {
            MarkupRun run(version, Ribbon::CustomUI(ribbonId, kCaption), callbacks);
            EXPECT_EQ(run.log.failures, std::vector<std::u16string>{}) << version;
            EXPECT_EQ(run.addIn.loads, 1);
        }
    }
}

TEST(RibbonHostChecks, AButtonOnATabTheWindowLacksIsNotShown) {
    // The window of a received message has TabReadMessage, not TabMeeting; a tab of the add-in's
    // own (id) is shown in any window.
    for (const auto& [tab, shown] : std::vector<std::pair<std::u16string, bool>>{
             {u"idMso=\"TabReadMessage\"", true}, {u"idMso=\"TabMeeting\"", false}, {u"idMso=\"TabPost\"", false},
             {u"idMso=\"TabNewMailMessage\"", false}, {u"id=\"OwnTab\" label=\"Own\"", true}}) {
        SCOPED_TRACE(std::string(tab.begin(), tab.end()));
        standin::Host host(std::make_shared<standin::CommandBarStore>(), standin::HostOptions{u"14.0.7015.1000", true});
        MarkupAddIn addIn;
        addIn.markup = u"<customUI xmlns=\"" + std::u16string(k2006) + u"\"><ribbon><tabs><tab " + tab +
                       u"><group id=\"G\" label=\"g\"><button id=\"B\" label=\"b\" onAction=\"Action\"/></group></tab>"
                       u"</tabs></ribbon></customUI>";
        KeptRibbonLog log;
        standin::RibbonHost ribbon(host, addIn, 14, log);
        auto mail = std::make_shared<standin::ItemNode>(standin::ItemKind::Mail);
        mail->sent = true;
        const auto ins = host.OpenInspector(mail);
        ribbon.Show(ins);
        EXPECT_EQ(ribbon.Buttons(ins).size(), shown ? 1u : 0u);
        EXPECT_EQ(log.Count(u"not shown: the window has no such tab"), shown ? 0 : 1);
        EXPECT_EQ(ribbon.Click(ins, u"b"), shown);
        EXPECT_TRUE(log.failures.empty());
    }
}

TEST(RibbonHostChecks, MarkupTheHostRefusesIsReportedAndNotLoaded) {
    const std::u16string ok = u"<button id=\"B\" label=\"b\" onAction=\"Action\"/>";
    const struct {
        const char* why;
        int version;
        std::u16string markup;
        const char16_t* reason;
    } cases[] = {
        {"not well-formed", 14, Document(k2006, u"<button id=\"B\">"), u"not well-formed"},
        {"the 2009 namespace on version 12", 12, Document(k2009, ok), u"namespace"},
        {"another namespace", 14, Document(u"urn:other", ok), u"namespace"},
        {"another root", 14, u"<ribbon xmlns=\"" + std::u16string(k2006) + u"\"/>", u"root element"},
        {"an id used twice", 14, Document(k2006, ok + ok), u"used twice"},
        {"the group's id again on a button", 14, Document(k2006, u"<button id=\"G\" label=\"b\"/>"), u"used twice"},
        {"an unknown callback", 14, Document(k2006, u"<button id=\"B\" getEnabled=\"Nowhere\"/>"), u"not found"},
        {"an empty callback", 14, Document(k2006, u"<button id=\"B\" onAction=\"\"/>"), u"has no name"},
        {"an unknown attribute", 14, Document(k2006, u"<button id=\"B\" getEnable=\"Enabled\"/>"), u"not known"},
        {"an element the host does not know", 14, Document(k2006, u"<gallery id=\"B\"/>"), u"cannot stand in group"},
        {"a button outside a group", 14, Document(k2006, ok, u"<button id=\"C\"/>"), u"cannot stand in tab"},
        {"a property and its callback", 14, Document(k2006, u"<button id=\"B\" enabled=\"true\" getEnabled=\"Enabled\"/>"),
         u"both enabled and getEnabled"},
        {"not a Boolean", 14, Document(k2006, u"<button id=\"B\" visible=\"yes\"/>"), u"not a Boolean"},
        {"a size that does not exist", 14, Document(k2006, u"<button id=\"B\" size=\"huge\"/>"), u"normal or large"},
        {"no id", 14, Document(k2006, u"<button label=\"b\"/>"), u"exactly one of id and idMso"},
        {"an id that is no name", 14, Document(k2006, u"<button id=\"1B\"/>"), u"is not an id"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        MarkupRun run(c.version, c.markup);
        ASSERT_EQ(run.log.failures.size(), 1u);
        EXPECT_NE(run.log.failures[0].find(c.reason), std::u16string::npos);
        EXPECT_EQ(run.addIn.loads, 0);  // refused markup is not loaded: no onLoad
    }
}

TEST(RibbonHostChecks, GoodMarkupInEitherNamespaceIsLoadedOnceWithItsOnLoad) {
    const std::u16string button = u"<button id=\"B\" label=\"b\" onAction=\"Action\" getImage=\"Image\"/>";
    MarkupRun later(14, Document(k2009, button));
    EXPECT_TRUE(later.log.failures.empty());
    EXPECT_EQ(later.addIn.loads, 1);
    MarkupRun first(12, Document(k2006, button));
    EXPECT_TRUE(first.log.failures.empty());
    EXPECT_EQ(first.addIn.loads, 1);
}
