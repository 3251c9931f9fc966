#include "addin/core/Ribbon.h"

#include <algorithm>
#include <array>
#include <utility>
#include "base/Ascii.h"

namespace addin {

namespace Ribbon {
namespace {

constexpr std::array<std::pair<Callback, std::u16string_view>, 6> kCallbacks{{
    {Callback::OnLoad, u"OnRibbonLoad"},
    {Callback::OnAction, u"OnRibbonAction"},
    {Callback::GetEnabled, u"GetRibbonEnabled"},
    {Callback::GetVisible, u"GetRibbonVisible"},
    {Callback::GetImage, u"GetRibbonImage"},
    {Callback::OnExplorerLoad, u"OnExplorerRibbonLoad"},
}};

// The item windows' ribbons and the tab each shows first, from the host's published lists of
// control identifiers (one list per ribbon; a tab the window lacks shows nothing, so a name not in
// the window's own list loses the command there). Notes have no ribbon; the main window's ribbon
// (Microsoft.Outlook.Explorer) has a markup of its own (ExplorerUI). A ribbon not named here (the
// text and multimedia message windows of version 14, whose lists are not published with the
// others) gets no markup rather than a guess.
constexpr std::array<std::pair<std::u16string_view, std::u16string_view>, 19> kFirstTabs{{
    {u"Microsoft.Outlook.Mail.Read", u"TabReadMessage"},
    {u"Microsoft.Outlook.Mail.Compose", u"TabNewMailMessage"},
    {u"Microsoft.Outlook.MeetingRequest.Read", u"TabReadMessage"},
    {u"Microsoft.Outlook.MeetingRequest.Send", u"TabNewMailMessage"},
    {u"Microsoft.Outlook.Appointment", u"TabAppointment"},
    {u"Microsoft.Outlook.Contact", u"TabContact"},
    {u"Microsoft.Outlook.Journal", u"TabJournal"},
    {u"Microsoft.Outlook.Task", u"TabTask"},
    {u"Microsoft.Outlook.DistributionList", u"TabDistributionList"},
    {u"Microsoft.Outlook.Report", u"TabReadMessage"},
    {u"Microsoft.Outlook.Resend", u"TabNewMailMessage"},
    {u"Microsoft.Outlook.Response.Read", u"TabReadMessage"},
    {u"Microsoft.Outlook.Response.Compose", u"TabNewMailMessage"},
    {u"Microsoft.Outlook.Response.CounterPropose", u"TabReadMessage"},
    {u"Microsoft.Outlook.RSS", u"TabReadMessage"},
    {u"Microsoft.Outlook.Post.Read", u"TabReadMessage"},
    {u"Microsoft.Outlook.Post.Compose", u"TabNewMailMessage"},
    {u"Microsoft.Outlook.Sharing.Read", u"TabNewMailMessage"},
    {u"Microsoft.Outlook.Sharing.Compose", u"TabNewMailMessage"},
}};

bool sameName(std::u16string_view a, std::u16string_view b) { return base::EqualsIgnoringAsciiCase(a, b); }

}  // namespace

std::u16string_view NameOf(Callback callback) {
    for (const auto& [c, name] : kCallbacks)
        if (c == callback) return name;
    return {};
}

std::optional<Callback> CallbackNamed(std::u16string_view name) {
    for (const auto& [c, known] : kCallbacks)
        if (sameName(name, known)) return c;
    return std::nullopt;
}

std::u16string_view FirstTab(std::u16string_view ribbonId) {
    // Ribbon ids are matched exactly, as the host hands them out.
    for (const auto& [id, tab] : kFirstTabs)
        if (id == ribbonId) return tab;
    return {};
}

namespace {

// Every control of the add-in's markups, with what it runs and where it is. Ids are unique within
// each markup, as the schema requires; the item windows' two keep the ids they always had.
struct Control {
    std::u16string_view id;
    ControlRole role;
};

constexpr std::array<Control, 12> kControls{{
    {ButtonId, {Command::SaveAttachments, Place::ItemWindow}},
    {SaveAllButtonId, {Command::SaveAll, Place::ItemWindow}},
    {u"TallowbyMailSave", {Command::SaveAttachments, Place::MainWindow}},
    {u"TallowbyMailSaveAll", {Command::SaveAll, Place::MainWindow}},
    {u"TallowbyPaneSave", {Command::SaveAttachments, Place::AttachmentPane}},
    {u"TallowbyPaneSaveAll", {Command::SaveAll, Place::AttachmentPane}},
    {u"TallowbyItemMenuSave", {Command::SaveAttachments, Place::MainWindow}},
    {u"TallowbyItemMenuSaveAll", {Command::SaveAll, Place::MainWindow}},
    {u"TallowbyItemsMenuSave", {Command::SaveAttachments, Place::MainWindow}},
    {u"TallowbyItemsMenuSaveAll", {Command::SaveAll, Place::MainWindow}},
    {u"TallowbyAttachmentMenuSave", {Command::SaveAttachments, Place::AttachmentPane}},
    {u"TallowbyAttachmentMenuSaveAll", {Command::SaveAll, Place::AttachmentPane}},
}};

// The main window's pairs of controls, in kControls: its tab, the attachments tab, and the menus.
enum : size_t { kMailTab = 2, kPaneTab = 4, kItemMenu = 6, kItemsMenu = 8, kAttachmentMenu = 10 };

constexpr std::array<std::u16string_view, 2> kItemWindowIds{kControls[0].id, kControls[1].id};
// Those with getEnabled: the attachments tab and menu have none (ExplorerUI).
constexpr std::array<std::u16string_view, 6> kExplorerIds{kControls[kMailTab].id,   kControls[kMailTab + 1].id,
                                                          kControls[kItemMenu].id,  kControls[kItemMenu + 1].id,
                                                          kControls[kItemsMenu].id, kControls[kItemsMenu + 1].id};

void Attribute(std::u16string& xml, std::u16string_view name, std::u16string_view value) {
    xml += u" ";
    xml += name;
    xml += u"=\"";
    xml += value;
    xml += u"\"";
}

// `large`: a ribbon button (a menu's button has no size); `enabledByCallback`: getEnabled asked,
// otherwise the button is enabled while shown and the command checks when clicked.
void AppendButton(std::u16string& xml, std::u16string_view indent, std::u16string_view id, std::u16string_view label,
                  bool large = true, bool enabledByCallback = true) {
    xml += indent;
    xml += u"<button";
    Attribute(xml, u"id", id);
    Attribute(xml, u"label", label);
    if (large) Attribute(xml, u"size", u"large");
    Attribute(xml, u"onAction", NameOf(Callback::OnAction));
    if (enabledByCallback) Attribute(xml, u"getEnabled", NameOf(Callback::GetEnabled));
    Attribute(xml, u"getImage", NameOf(Callback::GetImage));
    xml += u"/>\r\n";
}

// The main window's markup (version 14 on). The reading pane's attachment selection raises no
// event the add-in follows, and no source says when the host asks again the callbacks of its tab
// or menu: their buttons are enabled while shown, and the command says when nothing is saveable.
std::u16string ExplorerUI(std::u16string_view caption, std::u16string_view saveAllCaption) {
    const auto id = [](size_t n) { return kControls[n].id; };
    std::u16string xml = u"<customUI";
    Attribute(xml, u"xmlns", Namespace2009);
    Attribute(xml, u"onLoad", NameOf(Callback::OnExplorerLoad));
    xml += u">\r\n  <ribbon>\r\n    <tabs>\r\n      <tab idMso=\"TabMail\">\r\n        <group id=\"";
    xml += GroupId;
    xml += u"\" label=\"Quenmark\">\r\n";
    AppendButton(xml, u"          ", id(kMailTab), caption);
    AppendButton(xml, u"          ", id(kMailTab + 1), saveAllCaption);
    xml += u"        </group>\r\n      </tab>\r\n    </tabs>\r\n    <contextualTabs>\r\n"
           u"      <tabSet idMso=\"TabSetAttachments\">\r\n        <tab idMso=\"TabAttachments\">\r\n"
           u"          <group id=\"TallowbyPaneGroup\" label=\"Quenmark\">\r\n";
    AppendButton(xml, u"            ", id(kPaneTab), caption, true, false);
    AppendButton(xml, u"            ", id(kPaneTab + 1), saveAllCaption, true, false);
    xml += u"          </group>\r\n        </tab>\r\n      </tabSet>\r\n    </contextualTabs>\r\n  </ribbon>\r\n"
           u"  <contextMenus>\r\n";
    const std::pair<std::u16string_view, size_t> menus[] = {
        {u"ContextMenuMailItem", kItemMenu}, {u"ContextMenuMultipleItems", kItemsMenu},
        {u"ContextMenuAttachments", kAttachmentMenu}};
    for (const auto& [menu, first] : menus) {
        xml += u"    <contextMenu idMso=\"";
        xml += menu;
        xml += u"\">\r\n";
        const bool attachments = first == kAttachmentMenu;
        AppendButton(xml, u"      ", id(first), caption, false, !attachments);
        AppendButton(xml, u"      ", id(first + 1), saveAllCaption, false, !attachments);
        xml += u"    </contextMenu>\r\n";
    }
    xml += u"  </contextMenus>\r\n</customUI>\r\n";
    return xml;
}

}  // namespace

std::optional<ControlRole> RoleOf(std::u16string_view controlId) {
    for (const Control& c : kControls)
        if (c.id == controlId) return c.role;
    return std::nullopt;
}

std::span<const std::u16string_view> ControlIds(bool explorer) {
    if (explorer) return kExplorerIds;
    return kItemWindowIds;
}

std::u16string CustomUI(std::u16string_view ribbonId, std::u16string_view caption, std::u16string_view saveAllCaption,
                        int hostMajor) {
    if (ribbonId == ExplorerRibbonId) return hostMajor >= 14 ? ExplorerUI(caption, saveAllCaption) : std::u16string();
    const std::u16string_view tab = FirstTab(ribbonId);
    if (tab.empty()) return {};
    // The captions are the add-in's own fixed texts; they need no escaping.
    // The group's visibility carries the toolbar's rule for the window, so a window that gets no
    // toolbar shows no empty group either.
    std::u16string xml;
    xml += u"<customUI xmlns=\"";
    xml += Namespace;
    xml += u"\" onLoad=\"";
    xml += NameOf(Callback::OnLoad);
    xml += u"\">\r\n  <ribbon>\r\n    <tabs>\r\n      <tab idMso=\"";
    xml += tab;
    xml += u"\">\r\n        <group id=\"";
    xml += GroupId;
    xml += u"\" label=\"Quenmark\" getVisible=\"";
    xml += NameOf(Callback::GetVisible);
    xml += u"\">\r\n";
    AppendButton(xml, u"          ", ButtonId, caption);
    if (!saveAllCaption.empty()) AppendButton(xml, u"          ", SaveAllButtonId, saveAllCaption);
    xml += u"        </group>\r\n      </tab>\r\n    </tabs>\r\n  </ribbon>\r\n</customUI>\r\n";
    return xml;
}

}  // namespace Ribbon

}  // namespace addin
