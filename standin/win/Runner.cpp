#include "Runner.h"

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include "AddIns.h"
#include "Face.h"
#include "Host.h"
#include "MessageBoxRobot.h"
#include "OptionsDialog.h"
#include "Resources.h"
#include "RibbonClient.h"
#include "RibbonHost.h"
#include "SaveAsAnswers.h"
#include "StandinHost.h"
#include "StateFile.h"
#include "com/Handles.h"
#include "com/Strings.h"
#include "base/HostError.h"

namespace standin::win {

namespace {

using com::ComPtr;

struct LoadedAddIn {
    std::u16string progId;
    ComPtr<_IDTExtensibility2> ext;
    std::wstring dll;
    // Hosts of version 12 and later: the add-in's ribbon interface and the ribbon showing its markup.
    std::unique_ptr<RibbonClient> ribbonClient;
    std::unique_ptr<RibbonHost> ribbon;
};

std::u16string Status(HRESULT hr) { return hr == S_OK ? u"ok" : Hex(hr); }

std::u16string Bool(bool b) { return b ? u"true" : u"false"; }

std::string Ascii(const std::u16string& s) { return ToUtf8(s); }

int32_t ToInt(const std::u16string& text, int line) {
    try {
        size_t used = 0;
        const std::string s = Ascii(text);
        const long long v = std::stoll(s, &used, 0);
        if (used != s.size()) throw 0;
        return static_cast<int32_t>(v);
    } catch (...) {
        throw ScriptError(line, u"a number was expected: " + text);
    }
}

bool Same(std::u16string_view a, std::u16string_view b) {
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                                reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

std::optional<ItemKind> KindNamed(const std::u16string& w) {
    static const std::pair<const char16_t*, ItemKind> kinds[] = {
        {u"mail", ItemKind::Mail},       {u"post", ItemKind::Post},       {u"note", ItemKind::Note},
        {u"appointment", ItemKind::Appointment}, {u"contact", ItemKind::Contact}, {u"task", ItemKind::Task},
        {u"meeting", ItemKind::Meeting}, {u"report", ItemKind::Report}};
    for (const auto& [name, kind] : kinds)
        if (Same(w, name)) return kind;
    return std::nullopt;
}

std::string ReadFileBytes(const std::u16string& path, int line) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) throw ScriptError(line, u"cannot read " + path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// How a sweep answers message boxes: the add-in's question Yes, anything else OK.
std::u16string AnswerByTitle(const DialogSeen& seen) {
    if (seen.buttons == u"YesNo" || seen.buttons == u"YesNoCancel") return u"Yes";
    return seen.buttons == u"none" ? u"Cancel" : u"OK";
}

class Runner : private RibbonLog {
public:
    Runner(Transcript& t, const RunOptions& o, RunFacts* facts)
        : t_(t), options_(o), robot_(t, o.deadlineMs), saveAs_(t, o.screenshotDir, o.saveAsByHand), facts_(facts) {
        const DWORD hostThread = GetCurrentThreadId();
        robot_.SetDialogHandler([this, hostThread](HWND dialog) { return saveAs_.Handle(dialog, hostThread); });
        robot_.SetWhileUp([this](HWND dialog) { return WhileUp(dialog); });
        if (o.sweep) robot_.AnswerByRule(AnswerByTitle);
    }

    int Run(const std::vector<ScriptLine>& lines) {
        const bool explicitStart =
            std::any_of(lines.begin(), lines.end(), [](const ScriptLine& l) { return l.words[0] == u"start"; });
        try {
            LoadStore();
            for (const ScriptLine& line : lines) {
                line_ = line.number;
                const std::u16string& command = line.words[0];
                const Command* known = FindCommand(command);
                const bool setting = known && known->runs != Runs::Action;
                if (!setting && !started_ && !explicitStart && command != u"start") {
                    t_.Line(u"> start (before the first action)");
                    Start();
                }
                t_.Line(u"> " + Trim(line.text));
                if (known && known->runs == Runs::Immediate) {
                    Execute(line);
                    continue;
                }
                robot_.BeginAction(line.text);
                ExecuteLine(line);
                Finish();
            }
            if (started_ && !shutDown_) {
                t_.Line(u"> shutdown (end of script)");
                robot_.BeginAction(u"shutdown");
                Shutdown();
                Finish();
            }
        } catch (const ScriptError& e) {
            t_.Line(u"error line " + Num(e.line) + u": " + e.message);
            robot_.EndAction();
            return kRunScriptError;
        } catch (const HostError& e) {
            t_.Failure(u"line " + Num(line_) + u": " + Hex(e.status) + u" " + e.text);
            robot_.EndAction();
        }
        Final();
        t_.Line(t_.Failed() ? u"end failed" : u"end ok");
        return t_.Failed() ? kRunFailed : kRunOk;
    }

private:
    static std::u16string Trim(const std::u16string& s) {
        const size_t a = s.find_first_not_of(u" \t");
        const size_t b = s.find_last_not_of(u" \t");
        return a == std::u16string::npos ? u"" : s.substr(a, b - a + 1);
    }

    void Finish() {
        // The ribbon asks again what the add-ins invalidated, as it does when it next paints.
        for (auto& addIn : addIns_)
            if (addIn.ribbon) addIn.ribbon->Refresh();
        for (const auto& unused : robot_.EndAction())
            if (!options_.sweep) t_.Failure(u"robot: the answer " + unused + u" was not used by any dialog");
        saveAs_.WaitUntilIdle(options_.deadlineMs);
        for (const auto& unused : saveAs_.TakeUnused())
            if (!options_.sweep) t_.Failure(u"robot: " + unused.command + u" was not used by any Save As dialog");
        if (pendingDuring_ && !options_.sweep) t_.Failure(u"during: no such dialog came up");
        pendingDuring_.reset();
        Snapshot(false);
        if (host_) host_->ledger().ClearCalls();  // the log would only grow: a run counts, it does not keep calls
        // An add-in unloaded during the action (perhaps while one of its windows was up) has left no
        // button in an open window once the action is over.
        if (std::exchange(unloadedInAction_, false) && host_ && facts_ && !Spoiled()) {
            for (const auto& finding : host_->Audit(marks_, true).inconsistent) unloadFindings_.push_back(finding);
        }
    }

    bool Spoiled() const { return options_.failCall || options_.nothingCall || !options_.nothingMember.empty(); }

    // A line of the script. In a sweep a line the host's state no longer allows (a click in a window
    // an injected failure or event has closed) is skipped, as a user could not do it either.
    void ExecuteLine(const ScriptLine& line) {
        if (!options_.sweep) return Execute(line);
        try {
            Execute(line);
        } catch (const ScriptError& e) {
            t_.Line(u"skipped line " + Num(e.line) + u": " + e.message);
        }
    }

    // ---- modal points: the add-in's dialogs and the script's `mark` lines

    // On the robot's thread, for each dialog as it comes up: what to run on the host's thread while
    // it is up, if anything.
    std::function<void()> WhileUp(HWND dialog) {
        const DialogSeen seen = ReadDialog(dialog);
        const bool saveAs = GetDlgItem(dialog, 1148) != nullptr;
        if (saveAs && cleanedUp_) ++dialogsAfterCleanUp_;
        return ModalPoint(u"dialog " + Transcript::Quote(seen.title));
    }

    // Counts a modal point; returns the line to run while it is up (the sweep's event, or a
    // `during` line), or nothing.
    std::function<void()> ModalPoint(const std::u16string& what) {
        std::optional<ScriptLine> run;
        {
            std::lock_guard lock(pointsMutex_);
            points_.push_back(what);
            const int number = static_cast<int>(points_.size());
            if (number == options_.eventAt) {
                ScriptLine line;
                line.number = line_;
                line.words = SplitWords(options_.eventLine, line_);
                line.text = options_.eventLine;
                run = std::move(line);
            } else if (pendingDuring_ && number == pendingDuring_->first) {
                run = std::move(pendingDuring_->second);
                pendingDuring_.reset();
            }
        }
        if (!run) return nullptr;
        return [this, line = std::move(*run)] {
            t_.Line(u"> while up: " + Trim(line.text));
            try {
                Execute(line);
            } catch (const ScriptError& e) {
                t_.Line(u"skipped line " + Num(e.line) + u": " + e.message);
            } catch (const HostError& e) {
                t_.Failure(u"while up: " + Hex(e.status) + u" " + e.text);
            }
        };
    }

    // ---- the end of the run

    // Everything is released by now (the last action has returned): what the add-ins still hold,
    // and whether their DLLs can go.
    void Final() {
        if (!host_) return;
        int dllsHeld = 0;
        for (const auto& dll : releasedDlls_) {
            const UnloadResult r = TryUnload(dll);
            if (r.answer && *r.answer != S_OK) ++dllsHeld;
        }
        const auto live = host_->ledger().Live();
        std::u16string line = u"final held";
        for (const auto& [kind, count] : live) line += u" " + FromUtf8(kind) + u"=" + Num(count);
        if (live.empty()) line += u" none";
        t_.Line(line + u" dlls-held=" + Num(dllsHeld));
        if (!facts_) return;
        facts_->calls = host_->ledger().CallCount();
        facts_->objectCalls = host_->ledger().ObjectCallCount();
        facts_->objectMembers = host_->ledger().ObjectMembers();
        {
            std::lock_guard lock(pointsMutex_);
            facts_->modalPoints = points_;
        }
        facts_->audit = host_->Audit(marks_, false);
        for (const auto& f : unloadFindings_) facts_->audit.inconsistent.push_back(f);
        facts_->dllsHeld = dllsHeld;
        facts_->dialogsAfterCleanUp = dialogsAfterCleanUp_;
    }

    // Elapsed time by the performance counter, the finest clock the system has.
    class Stopwatch {
    public:
        Stopwatch() noexcept { QueryPerformanceCounter(&start_); }
        double Milliseconds() const noexcept {
            LARGE_INTEGER now{}, frequency{};
            QueryPerformanceCounter(&now);
            QueryPerformanceFrequency(&frequency);
            return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
        }

    private:
        LARGE_INTEGER start_{};
    };

    void Timing(const std::u16string& what, const Stopwatch& watch) {
        if (!options_.timings) return;
        const double ms = watch.Milliseconds();
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", ms);
        t_.Line(u"timing " + what + u" ms=" + std::u16string(text, text + std::strlen(text)));
    }

    [[noreturn]] void Error(std::u16string message) const { throw ScriptError(line_, std::move(message)); }

    void Need(const ScriptLine& line, size_t least, size_t most) const {
        const size_t args = line.words.size() - 1;
        if (args < least || args > most)
            Error(line.words[0] + u": " + Num(static_cast<long long>(least)) +
                  (least == most ? u"" : u" to " + Num(static_cast<long long>(most))) + u" arguments expected");
    }

    // ---- the commands

    // How a command runs in a script: an action starts the host first if nothing has, and the robot
    // watches it; a setting does not start the host; an immediate one is neither started for nor watched.
    enum class Runs { Action, Setting, Immediate };
    struct Command {
        std::u16string_view name;
        Runs runs;
        void (Runner::*run)(const ScriptLine&);
    };

    static const Command* FindCommand(std::u16string_view name) {
        static const Command commands[] = {
            {u"version", Runs::Immediate, &Runner::DoVersion},
            {u"note", Runs::Immediate, &Runner::DoNote},
            {u"answer", Runs::Immediate, &Runner::DoAnswer},
            {u"saveas", Runs::Immediate, &Runner::DoSaveas},
            {u"file", Runs::Action, &Runner::DoFile},
            {u"files", Runs::Action, &Runner::DoFiles},
            {u"folder", Runs::Action, &Runner::DoFolder},
            {u"registry", Runs::Setting, &Runner::Registry},
            {u"fail", Runs::Setting, &Runner::Fail},
            {u"during", Runs::Immediate, &Runner::DoDuring},
            {u"mark", Runs::Action, &Runner::DoMark},
            {u"audit", Runs::Action, &Runner::DoAudit},
            {u"sample", Runs::Action, &Runner::DoSample},
            {u"explorer", Runs::Action, &Runner::DoExplorer},
            {u"start", Runs::Action, &Runner::DoStart},
            {u"open", Runs::Action, &Runner::Open},
            {u"select", Runs::Action, &Runner::DoSelect},
            {u"activate", Runs::Action, &Runner::DoActivate},
            {u"edit", Runs::Action, &Runner::DoEdit},
            {u"click", Runs::Action, &Runner::Click},
            {u"ribbon", Runs::Action, &Runner::RibbonClick},
            {u"send", Runs::Action, &Runner::DoSend},
            {u"options", Runs::Action, &Runner::DoOptions},
            {u"page", Runs::Action, &Runner::DoPage},
            {u"close", Runs::Action, &Runner::DoClose},
            {u"unload", Runs::Action, &Runner::DoUnload},
            {u"shutdown", Runs::Action, &Runner::DoShutdown},
            {u"show", Runs::Action, &Runner::DoShow},
        };
        for (const Command& command : commands)
            if (command.name == name) return &command;
        return nullptr;
    }

    void Execute(const ScriptLine& line) {
        const Command* command = FindCommand(line.words[0]);
        if (!command) Error(u"unknown command: " + line.words[0]);
        (this->*command->run)(line);
    }

    void DoVersion(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 1, 1);
        if (host_) Error(u"version must come before the host starts");
        hostOptions_.version = w[1];
        major_ = std::atoi(Ascii(w[1]).c_str());
        hostOptions_.buttonPictures = major_ >= 10;
    }

    void DoNote(const ScriptLine& line) {
        t_.Line(u"note " + Trim(line.text.substr(line.text.find(u"note") + 4)));
    }

    void DoAnswer(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 1, 16);
        for (size_t i = 1; i < w.size(); ++i) {
            if (ButtonId(w[i]) == 0) Error(u"answer: not a button: " + w[i]);
            robot_.Queue(w[i]);
        }
    }

    void DoSaveas(const ScriptLine& line) {
        saveAs_.Queue(ParseSaveAsStep(line));
    }

    void DoFile(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 1, 1);
        t_.Line(FileReport(w[1]));
    }

    void DoFiles(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 1, 1);
        for (const std::u16string& entry : FolderReport(w[1])) t_.Line(entry);
    }

    void DoFolder(const ScriptLine& line) {
        const auto& w = line.words;
        // folder clear "<folder>": the folder exists and holds no files.
        Need(line, 2, 2);
        if (w[1] != u"clear") Error(u"folder: clear expected");
        const std::filesystem::path folder(FullPath(w[2]));
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
            if (entry.is_regular_file()) std::filesystem::remove(entry.path(), ignored);
        t_.Line(u"folder cleared " + Transcript::Quote(FullPath(w[2])));
    }

    void DoDuring(const ScriptLine& line) {
        const auto& w = line.words;
        // during <n> <command...>: while the n-th dialog from now is up, <command> runs.
        if (w.size() < 3) Error(u"during: a number and a command expected");
        ScriptLine run;
        run.number = line.number;
        run.words.assign(w.begin() + 2, w.end());
        run.text = line.text.substr(std::min(line.text.find(w[2]), line.text.size()));
        std::lock_guard lock(pointsMutex_);
        pendingDuring_.emplace(static_cast<int>(points_.size()) + ToInt(w[1], line_), std::move(run));
    }

    void DoMark(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 1, 1);
        t_.Line(u"mark " + Transcript::Quote(w[1]));
        if (const auto action = ModalPoint(u"mark " + Transcript::Quote(w[1]))) action();
    }

    void DoAudit(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 3, 3);
        marks_ = {w[1], w[2], w[3]};
    }

    void DoSample(const ScriptLine& line) {
        Need(line, 0, 0);
        // With the process's resources, the host objects the add-ins hold (the ledger).
        t_.Line(u"resources " + SampleResources() + u" held=" + Num(RequireHost().ledger().LiveCount()));
    }

    void DoExplorer(const ScriptLine& line) {
        Need(line, 0, 0);
        auto explorer = RequireHost().OpenExplorer();
        t_.Line(u"window " + Name(explorer) + u" open");
    }

    void DoStart(const ScriptLine& line) {
        Need(line, 0, 0);
        if (started_) Error(u"the host has already started");
        Start();
    }

    void DoSelect(const ScriptLine& line) {
        Need(line, 0, 0);
        auto explorer = RequireHost().ActiveExplorer();
        if (!explorer) Error(u"select: no main window is open");
        const Stopwatch watch;
        host_->ChangeSelection(explorer);
        Timing(u"SelectionChange", watch);
    }

    void DoActivate(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 1, 1);
        auto inspector = FindInspector(w[1]);
        host_->Activate(inspector);
        t_.Line(u"window " + Name(inspector) + u" active");
    }

    void DoEdit(const ScriptLine& line) {
        Need(line, 0, 0);
        ActiveInspector()->item->Edit();
    }

    void DoSend(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 0, 1);
        auto inspector = w.size() == 2 ? FindInspector(w[1]) : ActiveInspector();
        const bool sent = host_->Send(inspector->item);
        t_.Line(u"send subject=" + Transcript::Quote(inspector->item->subject) + u" result=" +
                (sent ? u"sent" : u"cancelled"));
        if (sent) Close(inspector);  // the host closes the window of a message it sent
    }

    void DoOptions(const ScriptLine& line) {
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

    void DoPage(const ScriptLine& line) {
        const auto& w = line.words;
        optionsDialog_.Command(w, line_);
    }

    void DoClose(const ScriptLine& line) {
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

    void DoUnload(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 1, 1);
        Unload(w[1]);
    }

    void DoShutdown(const ScriptLine& line) {
        Need(line, 0, 0);
        if (!started_ || shutDown_) Error(u"shutdown: the host is not running");
        Shutdown();
    }

    void DoShow(const ScriptLine& line) {
        const auto& w = line.words;
        Need(line, 1, 1);
        if (w[1] == u"bars" || w[1] == u"items") {
            Snapshot(true);
        } else if (w[1] == u"held") {
            Held();
        } else {
            Error(u"show: bars, items or held expected");
        }
    }

    // ---- the host and its add-ins

    void LoadStore() {
        store_ = std::make_shared<CommandBarStore>();
        if (options_.statePath.empty()) return;
        try {
            LoadState(options_.statePath, *store_);
        } catch (const ScriptError& e) {
            throw ScriptError(0, u"state file line " + Num(e.line) + u": " + e.message);
        }
        t_.Line(u"state loaded inspector-bars=" + Num(static_cast<long long>(store_->inspector.bars.size())) +
                u" explorer-bars=" + Num(static_cast<long long>(store_->explorer.bars.size())));
    }

    Host& RequireHost() {
        if (!host_) {
            host_ = std::make_shared<Host>(store_, hostOptions_);
            Ledger& ledger = host_->ledger();
            if (options_.failCall) ledger.FailCall(options_.failCall, E_FAIL);
            if (options_.nothingCall) ledger.NothingAtCall(options_.nothingCall);
            if (!options_.nothingMember.empty()) ledger.NothingFrom(options_.nothingMember);
            face_ = std::make_unique<Face>(host_, hostOptions_);
            face_->OnEvent([this](const std::u16string& e) { t_.Line(u"event " + e); });
            t_.Line(u"host version=" + Transcript::Quote(hostOptions_.version) + u" pictures=" +
                    (hostOptions_.buttonPictures ? u"yes" : u"no"));
            if (major_ >= 12)
                t_.Line(u"host ribbon reads=" +
                        Transcript::Quote(major_ >= 14 ? u"2006/01/customui 2009/07/customui" : u"2006/01/customui"));
        }
        return *host_;
    }

    void Start() {
        RequireHost();
        started_ = true;
        if (host_->Explorers().empty()) {
            auto explorer = host_->OpenExplorer();
            t_.Line(u"window " + Name(explorer) + u" open");
        }
        const auto list = ReadAddInList();
        t_.Line(u"addins listed=" + Num(static_cast<long long>(list.size())));
        for (const auto& entry : list) {
            const auto text = [](const std::optional<std::u16string>& s) {
                return s ? Transcript::Quote(*s) : std::u16string(u"none");
            };
            t_.Line(u"addin key=" + Transcript::Quote(entry.progId) + u" friendlyname=" + text(entry.friendlyName) +
                    u" description=" + text(entry.description) + u" loadbehavior=" +
                    (entry.loadBehavior ? Num(*entry.loadBehavior) : u"none"));
        }
        for (const auto& entry : list)
            if (entry.loadBehavior == 3u) Load(entry.progId);
        for (auto& addIn : addIns_) {
            auto custom = EmptyArray();
            SAFEARRAY* raw = custom.get();
            t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" OnStartupComplete " +
                    Status(addIn.ext->OnStartupComplete(&raw)));
        }
    }

    static com::SafeArray EmptyArray() {
        com::SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, 0));
        if (!array) throw HostError(E_OUTOFMEMORY, {});
        return array;
    }

    void Load(const std::u16string& progId) {
        const std::u16string name = u"addin " + Transcript::Quote(progId);
        ClassLookup found = CreateClass(progId);
        if (found.perUser) t_.Line(PerUserNote(progId, found));
        if (found.status == REGDB_E_CLASSNOTREG || found.status == CO_E_CLASSSTRING) {
            t_.Line(name + u" not-registered " + Hex(found.status));
            return;
        }
        if (FAILED(found.status)) {
            t_.Line(name + u" create-failed " + Hex(found.status));
            return;
        }
        ComPtr<IUnknown> object = std::move(found.object);
        auto ext = object.try_query<_IDTExtensibility2>();
        if (!ext) {
            t_.Line(name + u" not-an-addin (no _IDTExtensibility2)");
            return;
        }
        object.reset();
        auto app = face_->Application();
        auto instance = face_->AddIn(progId);
        auto custom = EmptyArray();
        SAFEARRAY* raw = custom.get();
        const Stopwatch watch;
        const HRESULT hr = ext->OnConnection(app.get(), ext_cm_Startup, instance.get(), &raw);
        Timing(u"OnConnection addin=" + Transcript::Quote(progId), watch);
        if (FAILED(hr)) {
            t_.Line(name + u" OnConnection " + Hex(hr) + u" not-loaded");
            return;
        }
        t_.Line(name + u" OnConnection ok");
        LoadedAddIn loaded{progId, std::move(ext), found.server, nullptr, nullptr};
        if (major_ >= 12) ConnectRibbon(loaded);
        addIns_.push_back(std::move(loaded));
    }

    // A ribbon host asks the connection object for the ribbon's interface after OnConnection, then
    // (version 14 on) for the main window's markup, and for the markup of each item window open.
    void ConnectRibbon(LoadedAddIn& addIn) {
        auto ribbon = addIn.ext.try_query<IRibbonExtensibility>();
        t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" IRibbonExtensibility " + (ribbon ? u"yes" : u"no"));
        if (!ribbon) return;
        addIn.ribbonClient = std::make_unique<RibbonClient>(std::move(ribbon), *face_);
        addIn.ribbon = std::make_unique<RibbonHost>(*host_, *addIn.ribbonClient, major_, static_cast<RibbonLog&>(*this));
        if (major_ >= 14) addIn.ribbon->Load(u"Microsoft.Outlook.Explorer");
        for (const auto& inspector : host_->Inspectors()) addIn.ribbon->Show(inspector);
    }

    static void DropRibbon(LoadedAddIn& addIn) {
        addIn.ribbon.reset();
        addIn.ribbonClient.reset();
    }

    void Unload(const std::u16string& progId) {
        const auto it = std::find_if(addIns_.begin(), addIns_.end(),
                                     [&](const LoadedAddIn& a) { return Same(a.progId, progId); });
        if (it == addIns_.end()) Error(u"unload: " + progId + u" is not loaded");
        optionsDialog_.Close(false);  // the add-in's pages go before the add-in
        LoadedAddIn addIn = std::move(*it);
        addIns_.erase(it);
        cleanedUp_ = true;
        unloadedInAction_ = true;
        releasedDlls_.push_back(addIn.dll);
        auto custom = EmptyArray();
        SAFEARRAY* raw = custom.get();
        t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" OnDisconnection user-closed " +
                Status(addIn.ext->OnDisconnection(ext_dm_UserClosed, &raw)));
        DropRibbon(addIn);  // its markup leaves the windows with it
        addIn.ext.reset();
        Snapshot(false);
        Held();
        ReportUnload(addIn);
    }

    void Shutdown() {
        shutDown_ = true;
        cleanedUp_ = true;
        optionsDialog_.Close(false);
        // The host closes its windows; the last main window's Close comes last.
        while (!host_->Inspectors().empty()) Close(host_->Inspectors().front());
        while (!host_->Explorers().empty()) CloseExplorer(host_->Explorers().front());
        for (auto& addIn : addIns_) {
            auto custom = EmptyArray();
            SAFEARRAY* raw = custom.get();
            t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" OnBeginShutdown " +
                    Status(addIn.ext->OnBeginShutdown(&raw)));
        }
        for (auto& addIn : addIns_) {
            auto custom = EmptyArray();
            SAFEARRAY* raw = custom.get();
            t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" OnDisconnection host-shutdown " +
                    Status(addIn.ext->OnDisconnection(ext_dm_HostShutdown, &raw)));
        }
        std::vector<LoadedAddIn> released = std::move(addIns_);
        addIns_.clear();
        for (auto& addIn : released) {
            DropRibbon(addIn);
            addIn.ext.reset();
            releasedDlls_.push_back(addIn.dll);
        }
        Held();
        for (const auto& addIn : released) ReportUnload(addIn);
        if (!options_.statePath.empty()) {
            SaveState(options_.statePath, *store_, [this](const void* p) { return PictureText(p); });
            t_.Line(u"state saved inspector-bars=" + Num(static_cast<long long>(store_->inspector.bars.size())) +
                    u" explorer-bars=" + Num(static_cast<long long>(store_->explorer.bars.size())));
        }
    }

    void ReportUnload(const LoadedAddIn& addIn) {
        const UnloadResult r = TryUnload(addIn.dll);
        t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" DllCanUnloadNow " +
                (r.answer ? (*r.answer == S_OK ? u"S_OK" : *r.answer == S_FALSE ? u"S_FALSE" : Hex(*r.answer))
                          : u"not-loaded") +
                u" unloaded=" + (r.unloaded ? u"yes" : u"no"));
    }

    void Held() {
        const auto live = host_->ledger().Live();
        std::u16string line = u"held";
        for (const auto& [kind, count] : live) line += u" " + FromUtf8(kind) + u"=" + Num(count);
        if (live.empty()) line += u" none";
        t_.Line(line);
    }

    // ---- windows and items

    // Windows are numbered in the order they open; a window keeps its number (and its node is
    // kept, so no other window can take its address) until it closes.
    std::u16string Name(const std::shared_ptr<InspectorNode>& i) { return NameOf(i, u"inspector:", inspectorsNamed_); }
    std::u16string Name(const std::shared_ptr<ExplorerNode>& e) { return NameOf(e, u"explorer:", explorersNamed_); }

    template <class Node>
    std::u16string NameOf(const std::shared_ptr<Node>& node, const char16_t* kind, int& counter) {
        auto [it, added] = names_.try_emplace(node.get(), Named{0, node});
        if (added) it->second.number = ++counter;
        return kind + Num(it->second.number);
    }

    std::shared_ptr<ExplorerNode> FindExplorer(const std::u16string& which) {
        for (const auto& e : RequireHost().Explorers())
            if (Name(e) == u"explorer:" + which) return e;
        Error(u"no open main window " + which);
    }

    void CloseExplorer(const std::shared_ptr<ExplorerNode>& explorer) {
        const std::u16string name = Name(explorer);
        // The last main window's Close lets the add-ins go, if they listen to it (they hold it).
        if (host_->Explorers().size() == 1 && host_->ledger().Live().count("Explorer")) cleanedUp_ = true;
        host_->CloseExplorer(explorer);
        t_.Line(u"window " + name + u" closed");
        names_.erase(explorer.get());
    }

    std::shared_ptr<InspectorNode> ActiveInspector() {
        auto inspector = RequireHost().ActiveInspector();
        if (!inspector) Error(u"no item window is open");
        return inspector;
    }

    std::shared_ptr<InspectorNode> FindInspector(const std::u16string& which) {
        for (const auto& i : RequireHost().Inspectors())
            if (Name(i) == u"inspector:" + which || i->item->subject == which) return i;
        Error(u"no open item window " + which);
    }

    void Close(const std::shared_ptr<InspectorNode>& inspector) {
        const std::u16string name = Name(inspector);
        host_->CloseInspector(inspector);
        t_.Line(u"window " + name + u" closed");
        names_.erase(inspector.get());
    }

    // open <kind> ["subject"] [sent|unsent] [from "sender"] [on <yyyy-mm-dd> [<hh:mm[:ss]>]] [wordmail]
    //      [edited] [attach <byvalue|byref|embedded|ole> <name> [<file>|text "<content>"]]...
    void Open(const ScriptLine& line) {
        const auto& w = line.words;
        if (w.size() < 2) Error(u"open: an item kind expected");
        const auto kind = KindNamed(w[1]);
        if (!kind) Error(u"open: unknown item kind " + w[1]);
        auto item = std::make_shared<ItemNode>(*kind);
        bool wordMail = false;
        bool edited = false;
        size_t i = 2;
        const auto next = [&](const char16_t* what) -> const std::u16string& {
            if (i >= w.size()) Error(u"open: " + std::u16string(what) + u" expected");
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
                wordMail = true;
            } else if (word == u"edited") {
                edited = true;
            } else if (word == u"attach") {
                const std::u16string type = next(u"an attachment type");
                const std::u16string name = next(u"an attachment name");
                int32_t code = 0;
                if (type == u"byvalue") code = 1;
                else if (type == u"byref") code = 4;
                else if (type == u"embedded") code = 5;
                else if (type == u"ole") code = 6;
                else Error(u"attach: byvalue, byref, embedded or ole expected");
                std::string content = "Content of " + Ascii(name) + "\r\n";
                if (code != 4 && i < w.size() && w[i] == u"text") {
                    ++i;
                    content = Ascii(next(u"the content"));
                } else if (code != 4 && i < w.size() && !IsOpenKeyword(w[i])) {
                    content = ReadFileBytes(w[i++], line_);
                }
                item->Attach(code, name, std::move(content));
            } else {
                Error(u"open: unknown word " + word);
            }
        }
        if (edited) item->Edit();
        auto inspector = RequireHost().OpenInspector(item, wordMail);
        t_.Line(u"window " + Name(inspector) + u" open item=" + item->TypeName() + u" subject=" +
                Transcript::Quote(item->subject));
        for (auto& addIn : addIns_)
            if (addIn.ribbon) addIn.ribbon->Show(inspector);
    }

    static bool IsOpenKeyword(const std::u16string& w) {
        for (const char16_t* k : {u"sent", u"received", u"unsent", u"draft", u"from", u"on", u"wordmail", u"edited",
                                  u"attach"})
            if (w == k) return true;
        return false;
    }

    host::DateTime ParseDate(const std::u16string& date, const std::optional<std::u16string>& time) {
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

    // click ["caption"] | click tag "<tag>": a button of the active item window.
    void Click(const ScriptLine& line) {
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

    // ribbon click "<label>": a button of the add-ins' markup in the active item window.
    void RibbonClick(const ScriptLine& line) {
        Need(line, 2, 2);
        if (line.words[1] != u"click") Error(u"ribbon: click expected");
        if (major_ < 12) Error(u"ribbon: a host of version " + Num(major_) + u" has no ribbon");
        auto inspector = ActiveInspector();
        for (auto& addIn : addIns_)
            if (addIn.ribbon && addIn.ribbon->Click(inspector, line.words[2])) return;
        Error(u"ribbon click: no button " + Transcript::Quote(line.words[2]) + u" in " + Name(inspector));
    }

    template <class Pages>
    void OpenOptionsDialog(const Pages& pages) {
        std::vector<AddedPage> added;
        for (const auto& p : pages) added.push_back({p.page, p.title});
        optionsDialog_.Open(added, line_);
    }

    // ---- settings

    void Registry(const ScriptLine& line) {
        const auto& w = line.words;
        if (w.size() < 3) Error(u"registry: set, dword, delete or show and a key expected");
        HKEY root = nullptr;
        std::wstring path;
        if (!SplitRegistryPath(w[2], root, path)) Error(u"registry: HKCU, HKLM or HKCR expected: " + w[2]);
        const std::wstring name = w.size() > 3 ? com::toWide(w[3]) : L"";
        if (w[1] == u"set" || w[1] == u"dword") {
            Need(line, 4, 4);
            com::RegKey key;
            if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
                Error(u"registry: cannot create " + w[2]);
            LONG rc = 0;
            if (w[1] == u"set") {
                const std::wstring value = com::toWide(w[4]);
                rc = RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
            } else {
                const DWORD value = static_cast<DWORD>(ToInt(w[4], line_));
                rc = RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                    sizeof value);
            }
            if (rc != ERROR_SUCCESS) Error(u"registry: cannot write " + w[3]);
        } else if (w[1] == u"delete") {
            Need(line, 2, 3);
            if (w.size() == 4) {
                com::RegKey key;
                if (RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE, key.put()) == ERROR_SUCCESS)
                    RegDeleteValueW(key.get(), name.c_str());
            } else {
                RegDeleteTreeW(root, path.c_str());
                RegDeleteKeyW(root, path.c_str());
            }
        } else if (w[1] == u"show") {
            Need(line, 2, 3);
            ShowRegistry(w[2], root, path, w.size() == 4 ? std::optional<std::wstring>(name) : std::nullopt);
        } else {
            Error(u"registry: set, dword, delete or show expected");
        }
    }

    void ShowRegistry(const std::u16string& shown, HKEY root, const std::wstring& path,
                      const std::optional<std::wstring>& name) {
        std::vector<std::wstring> names;
        if (name) {
            names.push_back(*name);
        } else {
            com::RegKey key;
            if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
                for (DWORD i = 0;; ++i) {
                    wchar_t value[256];
                    DWORD length = 256;
                    if (RegEnumValueW(key.get(), i, value, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                        break;
                    names.emplace_back(value, length);
                }
            } else {
                t_.Line(u"registry " + Transcript::Quote(shown) + u" missing");
                return;
            }
        }
        for (const auto& n : names) {
            const auto value = RegistryValueText(root, path, n);
            t_.Line(u"registry " + Transcript::Quote(shown) + u" " + Transcript::Quote(com::fromWide(n)) + u"=" +
                    value.value_or(u"missing"));
        }
    }

    // fail <Interface.Member> [hresult] | fail <Interface.Member> at <n> | fail call <n> [hresult] | fail none
    void Fail(const ScriptLine& line) {
        Need(line, 1, 3);
        const auto& w = line.words;
        Ledger& ledger = RequireHost().ledger();
        if (w[1] == u"none") {
            ledger.ClearFailures();
        } else if (w[1] == u"call") {
            Need(line, 2, 3);
            ledger.FailCall(ToInt(w[2], line_), w.size() == 4 ? ToInt(w[3], line_) : E_FAIL);
        } else if (w.size() == 4 && w[2] == u"at") {
            ledger.FailMember(Ascii(w[1]), E_FAIL, ToInt(w[3], line_));
        } else {
            Need(line, 1, 2);
            ledger.FailMember(Ascii(w[1]), w.size() == 3 ? ToInt(w[2], line_) : E_FAIL);
        }
    }

    // ---- what the host shows

    std::u16string PictureText(const void* p) const {
        if (!p) return u"none";
        std::u16string text = face_ ? face_->PictureText(p) : u"";
        if (text.empty()) text = LoadedPictureText(p);
        return text.empty() ? u"picture" : text;
    }

    std::vector<std::u16string> State() {
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
                                (a.type == 4 ? u" source=" + Transcript::Quote(a.source) : u""));
            }
            bars(window, *i->bars);
            for (auto& addIn : addIns_)
                if (addIn.ribbon)
                    for (auto& l : addIn.ribbon->State(i)) lines.push_back(std::move(l));
        }
        return lines;
    }

    /// Writes the lines of the state that are new since the last snapshot, and "gone <line>" for
    /// those no longer there; with `all`, the whole state.
    void Snapshot(bool all) {
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

    // RibbonLog: the ribbon's observations go to the transcript.
    void Line(const std::u16string& text) override { t_.Line(text); }
    void Failure(const std::u16string& text) override { t_.Failure(text); }
    std::u16string Quote(std::u16string_view text) override { return Transcript::Quote(text); }
    std::u16string WindowName(const std::shared_ptr<InspectorNode>& window) override { return Name(window); }
    std::u16string Code(int32_t status) override { return Hex(status); }

    Transcript& t_;
    RunOptions options_;
    int major_ = 9;
    MessageBoxRobot robot_;
    OptionsDialog optionsDialog_{t_};
    SaveAsAnswers saveAs_;
    HostOptions hostOptions_;
    std::shared_ptr<CommandBarStore> store_;
    std::shared_ptr<Host> host_;
    std::unique_ptr<Face> face_;
    std::vector<LoadedAddIn> addIns_;
    struct Named {
        int number;
        std::shared_ptr<void> node;
    };
    std::map<const void*, Named> names_;
    int inspectorsNamed_ = 0;
    int explorersNamed_ = 0;
    RunFacts* facts_;
    AddInMarks marks_;
    std::mutex pointsMutex_;
    std::vector<std::u16string> points_;
    std::optional<std::pair<int, ScriptLine>> pendingDuring_;
    std::atomic<bool> cleanedUp_ = false;
    std::atomic<int> dialogsAfterCleanUp_ = 0;
    bool unloadedInAction_ = false;
    std::vector<std::string> unloadFindings_;
    std::vector<std::wstring> releasedDlls_;
    std::vector<std::u16string> last_;
    bool started_ = false;
    bool shutDown_ = false;
    int line_ = 0;
};

}  // namespace

int RunScript(const std::vector<ScriptLine>& lines, Transcript& transcript, const RunOptions& options,
              RunFacts* facts) {
    Runner runner(transcript, options, facts);
    return runner.Run(ExpandLoops(lines));
}

std::vector<ScriptLine> ExpandLoops(const std::vector<ScriptLine>& lines) {
    std::vector<ScriptLine> out;
    for (size_t i = 0; i < lines.size(); ++i) {
        const ScriptLine& line = lines[i];
        if (line.words[0] == u"end" && line.words.size() == 2 && line.words[1] == u"loop")
            throw ScriptError(line.number, u"end loop without loop");
        if (line.words[0] != u"loop") {
            out.push_back(line);
            continue;
        }
        if (line.words.size() != 2) throw ScriptError(line.number, u"loop: a count expected");
        const int count = ToInt(line.words[1], line.number);
        size_t end = i + 1;
        while (end < lines.size() && !(lines[end].words[0] == u"end" && lines[end].words.size() == 2 &&
                                       lines[end].words[1] == u"loop"))
            ++end;
        if (end == lines.size()) throw ScriptError(line.number, u"loop without end loop");
        for (int turn = 1; turn <= count; ++turn) {
            const std::u16string number = Num(turn);
            for (size_t k = i + 1; k < end; ++k) {
                ScriptLine copy = lines[k];
                if (copy.words[0] == u"every") {
                    // every <k>[+<r>] <command...>: in the turns whose remainder by k is r (0 when left out).
                    if (copy.words.size() < 3) throw ScriptError(copy.number, u"every: a number and a command expected");
                    const std::u16string& spec = copy.words[1];
                    const size_t plus = spec.find(u'+');
                    const int period = ToInt(spec.substr(0, plus), copy.number);
                    const int r = plus == std::u16string::npos ? 0 : ToInt(spec.substr(plus + 1), copy.number);
                    if (period < 1 || turn % period != r % period) continue;
                    copy.words.erase(copy.words.begin(), copy.words.begin() + 2);
                }
                for (auto& word : copy.words)
                    for (size_t at = word.find(u"%i"); at != std::u16string::npos; at = word.find(u"%i", at))
                        word.replace(at, 2, number);
                copy.text = copy.words[0];
                for (size_t n = 1; n < copy.words.size(); ++n) {
                    const std::u16string& word = copy.words[n];
                    const bool plain = !word.empty() && word.find_first_of(u" \t\"#") == std::u16string::npos;
                    copy.text += u" " + (plain ? word : Transcript::Quote(word));
                }
                out.push_back(std::move(copy));
            }
        }
        i = end;
    }
    return out;
}

}  // namespace standin::win
