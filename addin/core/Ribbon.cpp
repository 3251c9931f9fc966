#include "core/Ribbon.h"

#include <algorithm>
#include <array>
#include <utility>
#include "base/Ascii.h"

namespace Ribbon {
namespace {

constexpr std::array<std::pair<Callback, std::u16string_view>, 5> kCallbacks{{
    {Callback::OnLoad, u"OnRibbonLoad"},
    {Callback::OnAction, u"OnRibbonAction"},
    {Callback::GetEnabled, u"GetRibbonEnabled"},
    {Callback::GetVisible, u"GetRibbonVisible"},
    {Callback::GetImage, u"GetRibbonImage"},
}};

// The item windows' ribbons and the tab each shows first, from the host's published lists of
// control identifiers (one list per ribbon; a tab the window lacks shows nothing, so a name not in
// the window's own list loses the command there). Notes have no ribbon; the main window's ribbon
// (Microsoft.Outlook.Explorer) gets nothing, as it gets no toolbar. A ribbon not named here (the
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

void AppendButton(std::u16string& xml, std::u16string_view id, std::u16string_view label) {
    xml += u"          <button id=\"";
    xml += id;
    xml += u"\" label=\"";
    xml += label;
    xml += u"\" size=\"large\" onAction=\"";
    xml += NameOf(Callback::OnAction);
    xml += u"\" getEnabled=\"";
    xml += NameOf(Callback::GetEnabled);
    xml += u"\" getImage=\"";
    xml += NameOf(Callback::GetImage);
    xml += u"\"/>\r\n";
}

}  // namespace

std::u16string CustomUI(std::u16string_view ribbonId, std::u16string_view caption, std::u16string_view saveAllCaption) {
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
    AppendButton(xml, ButtonId, caption);
    if (!saveAllCaption.empty()) AppendButton(xml, SaveAllButtonId, saveAllCaption);
    xml += u"        </group>\r\n      </tab>\r\n    </tabs>\r\n  </ribbon>\r\n</customUI>\r\n";
    return xml;
}

}  // namespace Ribbon
