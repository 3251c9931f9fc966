// The script runner: what the host shows (window state, files, folders).
#include "standin/win/RunnerImpl.h"

namespace standin::win {

std::u16string Runner::Trim(const std::u16string& s) {
    const size_t a = s.find_first_not_of(u" \t");
    const size_t b = s.find_last_not_of(u" \t");
    return a == std::u16string::npos ? u"" : s.substr(a, b - a + 1);
}

void Runner::DoFile(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 1, 4);
    if (w.size() == 2) return t_.Line(FileReport(w[1]));
    // file write|readonly|hold|release "<path>" ...: the user's files, and another program's hold on one.
    const std::u16string& verb = w[1];
    const std::u16string path = FullPath(w[2]);
    const std::wstring wide = com::toWide(path);
    if (verb == u"write") {
        // file write "<path>" "<text>" | file write "<path>" bytes <n>
        std::string bytes;
        if (w.size() == 4) {
            bytes = ToUtf8(w[3]);
        } else if (w.size() == 5 && w[3] == u"bytes") {
            const int32_t n = ToInt(w[4], line_);
            for (int32_t i = 0; i < n; ++i) bytes += static_cast<char>('0' + i % 10);
        } else {
            Error(u"file write: a path and \"<text>\" or bytes <n> expected");
        }
        std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) Error(u"file write: cannot write " + path);
        t_.Line(u"file written bytes=" + Num(static_cast<long long>(bytes.size())) + u" path=" + Transcript::Quote(path));
        return;
    }
    Need(line, 2, 2);
    if (verb == u"readonly") {
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_READONLY))
            Error(u"file readonly: cannot mark " + path);
        t_.Line(u"file read-only path=" + Transcript::Quote(path));
    } else if (verb == u"hold") {
        // As another program that opened it to write and shares it with no one.
        com::File file(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) Error(u"file hold: cannot open " + path);
        heldFiles_[path] = std::move(file);
        t_.Line(u"file held sharing=none path=" + Transcript::Quote(path));
    } else if (verb == u"release") {
        if (heldFiles_.erase(path) == 0) Error(u"file release: not held: " + path);
        t_.Line(u"file released path=" + Transcript::Quote(path));
    } else {
        Error(u"file: a path, or write, readonly, hold or release expected");
    }
}

void Runner::DoFiles(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 1, 1);
    for (const std::u16string& entry : FolderReport(w[1])) t_.Line(entry);
}

void Runner::DoFolder(const ScriptLine& line) {
    const auto& w = line.words;
    // folder clear|make|remove "<folder>": it exists and holds no files; it exists; it is gone, with
    // everything in it.
    Need(line, 2, 2);
    const std::filesystem::path folder(FullPath(w[2]));
    std::error_code ignored;
    if (w[1] == u"clear") {
        std::filesystem::create_directories(folder, ignored);
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
            if (entry.is_regular_file()) std::filesystem::remove(entry.path(), ignored);
        t_.Line(u"folder cleared " + Transcript::Quote(FullPath(w[2])));
    } else if (w[1] == u"make") {
        if (!std::filesystem::create_directories(folder, ignored) && !std::filesystem::is_directory(folder, ignored))
            Error(u"folder make: cannot make " + FullPath(w[2]));
        t_.Line(u"folder made " + Transcript::Quote(FullPath(w[2])));
    } else if (w[1] == u"remove") {
        std::filesystem::remove_all(folder, ignored);
        if (std::filesystem::exists(folder, ignored)) Error(u"folder remove: cannot remove " + FullPath(w[2]));
        t_.Line(u"folder removed " + Transcript::Quote(FullPath(w[2])));
    } else {
        Error(u"folder: clear, make or remove expected");
    }
}

void Runner::DoShow(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 1, w.size() > 1 && w[1] == u"body" ? 2 : 1);
    if (w[1] == u"body") {
        ShowBody(w.size() == 3 ? FindInspector(w[2]) : ActiveInspector());
    } else if (w[1] == u"bars" || w[1] == u"items") {
        Snapshot(true);
    } else if (w[1] == u"held") {
        Held();
    } else if (w[1] == u"explorer") {
        for (const auto& l : ExplorerRibbons()) t_.Line(l);
    } else {
        Error(u"show: bars, items, explorer, held or body expected");
    }
}

void Runner::ShowBody(const std::shared_ptr<InspectorNode>& inspector) {
    const ItemNode& item = *inspector->item;
    const char16_t* format = item.bodyFormat == host::BodyFormat::HTML       ? u"html"
                             : item.bodyFormat == host::BodyFormat::RichText ? u"rtf"
                                                                             : u"plain";
    t_.Line(u"body window=" + Name(inspector) + u" format=" + format + u" text=" + Transcript::Quote(item.body));
    if (item.bodyFormat == host::BodyFormat::HTML) t_.Line(u"body html=" + Transcript::Quote(item.htmlBody));
    if (item.bodyFormat == host::BodyFormat::RichText) t_.Line(u"body rtf=" + Transcript::Quote(FromUtf8(item.rtfBody)));
}

std::u16string Runner::PictureText(const void* p) const {
    if (!p) return u"none";
    std::u16string text = face_ ? face_->PictureText(p) : u"";
    if (text.empty()) text = LoadedPictureText(p);
    return text.empty() ? u"picture" : text;
}

std::vector<std::u16string> Runner::State() {
    std::vector<std::u16string> lines;
    if (!host_) return lines;
    const auto bars = [&](const std::u16string& window, const BarSet& set) {
        for (const auto& bar : set.bars) {
            lines.push_back(u"bar window=" + window + u" name=" + Transcript::Quote(bar->name) + u" visible=" +
                            Bool(bar->visible) + u" protection=" + Num(bar->protection) + u" controls=" +
                            Num(static_cast<long long>(bar->controls.size())));
            for (const auto& c : bar->controls) {
                lines.push_back(u"button window=" + window + u" bar=" + Transcript::Quote(bar->name) + u" caption=" +
                                Transcript::Quote(c->caption) + u" onaction=" + Transcript::Quote(c->onAction) +
                                u" style=" + Num(c->style) + u" tag=" + Transcript::Quote(c->tag) + u" enabled=" +
                                Bool(c->enabled) + u" faceid=" + Num(c->faceId) + u" picture=" +
                                Transcript::Quote(PictureText(c->picture)) + u" mask=" +
                                Transcript::Quote(PictureText(c->mask)));
            }
        }
    };
    for (const auto& e : host_->Explorers()) bars(Name(e), *e->bars);
    for (auto& l : ExplorerRibbons()) lines.push_back(std::move(l));
    for (const auto& i : host_->Inspectors()) {
        const std::u16string window = Name(i);
        const ItemNode& item = *i->item;
        lines.push_back(u"item window=" + window + u" class=" + item.TypeName() + u" subject=" +
                        Transcript::Quote(item.subject) + u" saved=" + Bool(item.saved) + u" sent=" + Bool(item.sent) +
                        u" saves=" + Num(item.saveCount) + u" attachments=" +
                        Num(static_cast<long long>(item.attachments.size())));
        for (size_t n = 0; n < item.attachments.size(); ++n) {
            const AttachmentNode& a = *item.attachments[n];
            lines.push_back(u"attachment window=" + window + u" index=" + Num(static_cast<long long>(n + 1)) +
                            u" type=" + Num(a.type) + u" filename=" + Transcript::Quote(a.fileName) +
                            u" displayname=" + Transcript::Quote(a.displayName) +
                            (a.type == 4 ? u" source=" + Transcript::Quote(a.source) : u"") +
                            (a.added ? u" reported=6" : u"") + (a.hidden.value_or(false) ? u" hidden" : u"") +
                            (a.contentId.empty() ? u"" : u" cid=" + Transcript::Quote(a.contentId)));
        }
        bars(window, *i->bars);
        for (auto& addIn : addIns_)
            if (addIn.ribbon)
                for (auto& l : addIn.ribbon->State(i)) lines.push_back(std::move(l));
    }
    return lines;
}

std::vector<std::u16string> Runner::ExplorerRibbons() {
    std::vector<std::u16string> lines;
    if (!host_) return lines;
    for (const auto& e : host_->Explorers())
        for (auto& addIn : addIns_)
            if (addIn.ribbon)
                for (auto& l : addIn.ribbon->State(e)) lines.push_back(std::move(l));
    return lines;
}

void Runner::Snapshot(bool all) {
    const auto now = State();
    if (all) {
        for (const auto& l : now) t_.Line(l);
    } else {
        const std::multiset<std::u16string> before(last_.begin(), last_.end());
        const std::multiset<std::u16string> after(now.begin(), now.end());
        for (const auto& l : last_)
            if (!after.count(l)) t_.Line(u"gone " + l);
        for (const auto& l : now)
            if (!before.count(l)) t_.Line(l);
    }
    last_ = now;
}

}  // namespace standin::win
