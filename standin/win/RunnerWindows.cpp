// The script runner: windows and items, the user's actions in them.
#include "standin/win/RunnerImpl.h"

namespace standin::win {

// explorer: opens a main window; explorer click "<label>": a button of the add-ins' markup on the
// active main window's ribbon (its contextual tab included while it is up).
void Runner::DoExplorer(const ScriptLine& line) {
    const auto& w = line.words;
    if (w.size() == 1) {
        auto explorer = RequireHost().OpenExplorer();
        t_.Line(u"window " + Name(explorer) + u" open");
        for (auto& addIn : addIns_)
            if (addIn.ribbon) addIn.ribbon->ShowExplorer(explorer);
        return;
    }
    Need(line, 2, 2);
    if (w[1] != u"click") Error(u"explorer: click expected");
    if (Major() < 14) Error(u"explorer click: a host of version " + Num(Major()) + u" has no ribbon in its main window");
    auto explorer = RequireHost().ActiveExplorer();
    if (!explorer) Error(u"explorer click: no main window is open");
    for (auto& addIn : addIns_)
        if (addIn.ribbon && addIn.ribbon->ClickExplorer(explorer, w[2])) return;
    Error(u"explorer click: no button " + Transcript::Quote(w[2]) + u" in " + Name(explorer));
}

void Runner::DoSelect(const ScriptLine& line) {
    const auto& w = line.words;
    auto explorer = RequireHost().ActiveExplorer();
    if (!explorer) Error(u"select: no main window is open");
    if (w.size() == 1) {  // something else, as far as the add-in can tell
        const Stopwatch watch;
        host_->ChangeSelection(explorer);
        Timing(u"SelectionChange", watch);
        return;
    }
    if (w[1] != u"attachments") {
        std::vector<std::shared_ptr<ItemNode>> items;
        for (size_t i = 1; i < w.size(); ++i) items.push_back(FindItem(w[i]));
        SelectItems(explorer, std::move(items));
        return;
    }
    if (w.size() < 4) Error(u"select attachments: an item and a file name expected");
    auto item = FindItem(w[2]);
    // The user clicks the item first when the reading pane shows another.
    if (explorer->pane != item) SelectItems(explorer, {item});
    std::vector<std::shared_ptr<AttachmentNode>> chosen;
    std::u16string names;
    for (size_t i = 3; i < w.size(); ++i) {
        const auto it = std::find_if(item->attachments.begin(), item->attachments.end(),
                                     [&](const auto& a) { return !a->deleted && a->fileName == w[i]; });
        if (it == item->attachments.end())
            Error(u"select attachments: " + Transcript::Quote(item->subject) + u" has no attachment " + w[i]);
        chosen.push_back(*it);
        names += u" " + Transcript::Quote(w[i]);
    }
    t_.Line(u"selection window=" + Name(explorer) + u" item=" + Transcript::Quote(item->subject) + u" attachments=" +
            Num(static_cast<long long>(chosen.size())) + names);
    host_->SelectAttachments(explorer, std::move(chosen));
}

void Runner::SelectItems(const std::shared_ptr<ExplorerNode>& explorer, std::vector<std::shared_ptr<ItemNode>> items) {
    std::u16string subjects;
    for (const auto& item : items) subjects += u" " + Transcript::Quote(item->subject);
    t_.Line(u"selection window=" + Name(explorer) + u" items=" + Num(static_cast<long long>(items.size())) + subjects);
    // Timed with the ribbon asking again what the add-in invalidated: what a selection change
    // costs before the user sees the buttons' new state.
    const Stopwatch watch;
    host_->Select(explorer, std::move(items));
    for (auto& addIn : addIns_)
        if (addIn.ribbon) addIn.ribbon->Refresh();
    Timing(u"SelectionChange", watch);
}

void Runner::DoMenu(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 2, 3);
    if (Major() < 14) Error(u"menu: a host of version " + Num(Major()) + u" has no context menus for add-ins");
    auto explorer = RequireHost().ActiveExplorer();
    if (!explorer) Error(u"menu: no main window is open");
    if (w[2] == u"open" && w.size() == 3) {
        for (auto& addIn : addIns_)
            if (addIn.ribbon) (void)addIn.ribbon->OpenMenu(explorer, w[1]);
        return;
    }
    if (w[2] != u"click" || w.size() != 4) Error(u"menu <ContextMenu...> open, or click \"<label>\", expected");
    for (auto& addIn : addIns_)
        if (addIn.ribbon && addIn.ribbon->ClickMenu(explorer, w[1], w[3])) return;
    Error(u"menu click: no button " + Transcript::Quote(w[3]) + u" in " + w[1] + u" of " + Name(explorer));
}

std::shared_ptr<ItemNode> Runner::FindItem(const std::u16string& which) {
    for (const auto& i : RequireHost().Inspectors())
        if (Name(i) == which || i->item->subject == which) return i->item;
    for (const auto& item : listed_)
        if (item->subject == which) return item;
    Error(u"no item " + which + u" (of an open window, or listed)");
}

void Runner::DoActivate(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 1, 1);
    auto inspector = FindInspector(w[1]);
    host_->Activate(inspector);
    t_.Line(u"window " + Name(inspector) + u" active");
}

void Runner::DoEdit(const ScriptLine& line) {
    Need(line, 0, 0);
    ActiveInspector()->item->Edit();
}

void Runner::DoSend(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 0, 1);
    auto inspector = w.size() == 2 ? FindInspector(w[1]) : ActiveInspector();
    const bool sent = host_->Send(inspector->item);
    t_.Line(u"send subject=" + Transcript::Quote(inspector->item->subject) + u" result=" +
            (sent ? u"sent" : u"cancelled"));
    if (sent) Close(inspector);  // the host closes the window of a message it sent
}

void Runner::DoOptions(const ScriptLine& line) {
    Need(line, 0, 0);
    const auto pages = RequireHost().OpenOptionsDialog();
    t_.Line(u"options pages=" + Num(static_cast<long long>(pages.size())));
    for (const auto& p : pages) {
        const bool registered = SUCCEEDED(FindClass(p.page).status);
        t_.Line(u"page progid=" + Transcript::Quote(p.page) + u" title=" +
                (p.title ? Transcript::Quote(*p.title) : u"none") + u" registered=" +
                (registered ? u"yes" : u"no"));
    }
    OpenOptionsDialog(pages);
}

void Runner::DoPage(const ScriptLine& line) {
    const auto& w = line.words;
    optionsDialog_.Command(w, line_);
}

void Runner::DoClose(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 0, 2);
    if (w.size() >= 2 && w[1] == u"explorer") {
        auto explorer = w.size() == 3 ? FindExplorer(w[2]) : RequireHost().ActiveExplorer();
        if (!explorer) Error(u"close: no main window is open");
        CloseExplorer(explorer);
    } else if (w.size() == 2 && w[1] == u"explorers") {
        // Every main window, the active one last.
        const auto active = RequireHost().ActiveExplorer();
        for (const auto& e : std::vector(host_->Explorers()))
            if (e != active) CloseExplorer(e);
        if (active) CloseExplorer(active);
    } else {
        Need(line, 0, 1);
        Close(w.size() == 2 ? FindInspector(w[1]) : ActiveInspector());
    }
}

std::shared_ptr<ExplorerNode> Runner::FindExplorer(const std::u16string& which) {
    for (const auto& e : RequireHost().Explorers())
        if (Name(e) == u"explorer:" + which) return e;
    Error(u"no open main window " + which);
}

void Runner::CloseExplorer(const std::shared_ptr<ExplorerNode>& explorer, bool raiseClose) {
    const std::u16string name = Name(explorer);
    // The last main window's Close, with no item window left to keep the host running, tells the
    // add-ins that hold it to let go and stop.
    if (raiseClose && host_->Explorers().size() == 1 && host_->Inspectors().empty() &&
        host_->ledger().Live().count("Explorer"))
        cleanedUp_ = true;
    host_->CloseExplorer(explorer, raiseClose);
    t_.Line(u"window " + name + u" closed");
    names_.erase(explorer.get());
}

std::shared_ptr<InspectorNode> Runner::ActiveInspector() {
    auto inspector = RequireHost().ActiveInspector();
    if (!inspector) Error(u"no item window is open");
    return inspector;
}

std::shared_ptr<InspectorNode> Runner::FindInspector(const std::u16string& which) {
    for (const auto& i : RequireHost().Inspectors())
        if (Name(i) == u"inspector:" + which || i->item->subject == which) return i;
    Error(u"no open item window " + which);
}

void Runner::Close(const std::shared_ptr<InspectorNode>& inspector) {
    const std::u16string name = Name(inspector);
    host_->CloseInspector(inspector);
    t_.Line(u"window " + name + u" closed");
    names_.erase(inspector.get());
}

void Runner::DoOpen(const ScriptLine& line) {
    bool wordMail = false;
    auto item = MakeItem(line.words, wordMail);
    auto inspector = RequireHost().OpenInspector(item, wordMail);
    t_.Line(u"window " + Name(inspector) + u" open item=" + item->TypeName() + u" subject=" +
            Transcript::Quote(item->subject));
    for (auto& addIn : addIns_)
        if (addIn.ribbon) addIn.ribbon->Show(inspector);
}

void Runner::DoList(const ScriptLine& line) {
    bool wordMail = false;
    auto item = MakeItem(line.words, wordMail);
    if (wordMail) Error(u"list: an item in a folder has no window to edit it in");
    listed_.push_back(item);
    t_.Line(u"listed item=" + item->TypeName() + u" subject=" + Transcript::Quote(item->subject));
}

std::shared_ptr<ItemNode> Runner::MakeItem(const std::vector<std::u16string>& w, bool& wordMail) {
    const std::u16string command = w[0];
    if (w.size() < 2) Error(command + u": an item kind expected");
    const auto kind = KindNamed(w[1]);
    if (!kind) Error(command + u": unknown item kind " + w[1]);
    auto item = std::make_shared<ItemNode>(*kind);
    bool edited = false;
    size_t i = 2;
    const auto next = [&](const char16_t* what) -> const std::u16string& {
        if (i >= w.size()) Error(command + u": " + std::u16string(what) + u" expected");
        return w[i++];
    };
    if (i < w.size() && !IsOpenKeyword(w[i])) item->subject = w[i++];
    while (i < w.size()) {
        const std::u16string& word = w[i++];
        if (word == u"sent" || word == u"received") {
            item->sent = true;
        } else if (word == u"unsent" || word == u"draft") {
            item->sent = false;
        } else if (word == u"from") {
            item->senderName = next(u"a sender's name");
        } else if (word == u"on") {
            const std::u16string date = next(u"a date");
            std::optional<std::u16string> time;
            if (i < w.size() && w[i].find(u':') != std::u16string::npos) time = w[i++];
            item->sentOn = ParseDate(date, time);
        } else if (word == u"wordmail") {
            if (hostOptions_.Major() >= 12) Error(command + u": from version 12 the word processor edits every window");
            wordMail = true;
        } else if (word == u"window") {
            item->window = next(u"the kind of window (the last part of its ribbon id)");
        } else if (word == u"edited") {
            edited = true;
        } else if (word == u"body") {
            // The item's own body: HTML source, RTF source (its bytes the text's UTF-8), or text.
            const std::u16string format = next(u"html, rtf or plain");
            const std::u16string text = next(u"the body's text");
            if (format == u"html") {
                if (!item->Has(u"HTMLBody")) Error(command + u": only mail and posts have an HTML body");
                item->SetHTMLBody(text);
            } else if (format == u"rtf") {
                if (!item->Has(u"RTFBody"))
                    Error(command + u": an item of kind " + w[1] + u" has no RTF body");
                if (!item->Has(u"RTFBody", Major()))
                    Error(command + u": a host of version " + Num(Major()) + u" has no RTF body (version 14 on)");
                item->SetRTFBody(ToUtf8(text));
            } else if (format == u"plain") {
                item->SetPlainBody(text);
            } else {
                Error(command + u": body html, rtf or plain expected");
            }
        } else if (word == u"class") {
            item->messageClass = next(u"a message class");
        } else if (word == u"access") {
            if (next(u"read") != u"read") Error(command + u": access read expected");
            item->access = MapiAccess::Read;
        } else if (word == u"attach") {
            const std::u16string type = next(u"an attachment type");
            const std::u16string name = next(u"an attachment name");
            int32_t code = 0;
            // A picture of the HTML body: hidden from the host's list (inline), or only referenced.
            if (type == u"inline" || type == u"referenced") {
                if (!item->Has(u"HTMLBody")) Error(u"attach: only mail and posts have an HTML body");
                item->AttachInline(name, name + u"@standin", type == u"inline", "Picture " + Ascii(name));
                continue;
            }
            if (type == u"byvalue") code = 1;
            else if (type == u"byref") code = 4;
            else if (type == u"embedded") code = 5;
            else if (type == u"ole") code = 6;
            else Error(u"attach: byvalue, byref, embedded, ole, inline or referenced expected");
            std::string content = "Content of " + Ascii(name) + "\r\n";
            if (code != 4 && i < w.size() && w[i] == u"text") {
                ++i;
                content = Ascii(next(u"the content"));
            } else if (code != 4 && i < w.size() && !IsOpenKeyword(w[i])) {
                content = ReadFileBytes(w[i++], line_);
            }
            item->Attach(code, name, std::move(content));
        } else {
            Error(command + u": unknown word " + word);
        }
    }
    if (edited) item->Edit();
    return item;
}

bool Runner::IsOpenKeyword(const std::u16string& w) {
    for (const char16_t* k : {u"sent", u"received", u"unsent", u"draft", u"from", u"on", u"wordmail", u"window",
                              u"edited", u"attach", u"body", u"class", u"access"})
        if (w == k) return true;
    return false;
}

host::DateTime Runner::ParseDate(const std::u16string& date, const std::optional<std::u16string>& time) {
    host::DateTime t;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(Ascii(date).c_str(), "%d-%d-%d", &y, &mo, &d) != 3) Error(u"a date yyyy-mm-dd expected: " + date);
    if (time && std::sscanf(Ascii(*time).c_str(), "%d:%d:%d", &h, &mi, &s) < 2)
        Error(u"a time hh:mm[:ss] expected: " + *time);
    t.year = static_cast<int16_t>(y);
    t.month = static_cast<int16_t>(mo);
    t.day = static_cast<int16_t>(d);
    t.hour = static_cast<int16_t>(h);
    t.minute = static_cast<int16_t>(mi);
    t.second = static_cast<int16_t>(s);
    return t;
}

void Runner::DoClick(const ScriptLine& line) {
    Need(line, 0, 2);
    const auto& w = line.words;
    auto inspector = ActiveInspector();
    std::shared_ptr<ControlNode> found;
    for (const auto& bar : inspector->bars->bars)
        for (const auto& c : bar->controls) {
            if (found) break;
            if (w.size() == 1 || (w.size() == 2 && c->caption == w[1]) ||
                (w.size() == 3 && w[1] == u"tag" && c->tag == w[2]))
                found = c;
        }
    if (!found) Error(u"click: no such button in " + Name(inspector));
    t_.Line(u"click window=" + Name(inspector) + u" caption=" + Transcript::Quote(found->caption) + u" tag=" +
            Transcript::Quote(found->tag) + u" enabled=" + Bool(found->enabled));
    host_->Click(found);
}

void Runner::DoRibbon(const ScriptLine& line) {
    Need(line, 2, 2);
    if (line.words[1] != u"click") Error(u"ribbon: click expected");
    if (Major() < 12) Error(u"ribbon: a host of version " + Num(Major()) + u" has no ribbon");
    auto inspector = ActiveInspector();
    for (auto& addIn : addIns_)
        if (addIn.ribbon && addIn.ribbon->Click(inspector, line.words[2])) return;
    Error(u"ribbon click: no button " + Transcript::Quote(line.words[2]) + u" in " + Name(inspector));
}

}  // namespace standin::win
