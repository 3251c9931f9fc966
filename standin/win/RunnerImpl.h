#pragma once
// Internal to the host program: the script runner's state and commands, one class whose members are
// defined by area: the run itself and its modal points (Runner.cpp), the host and its add-ins
// (RunnerHost.cpp), windows and items (RunnerWindows.cpp), what the host shows (RunnerReport.cpp).
#include "standin/win/Runner.h"

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
#include <mutex>
#include <set>

#include "standin/model/Behaviours.h"
#include "standin/win/AddIns.h"
#include "standin/win/Face.h"
#include "standin/model/Host.h"
#include "standin/win/MessageBoxRobot.h"
#include "standin/win/OptionsDialog.h"
#include "standin/win/Resources.h"
#include "standin/win/RibbonClient.h"
#include "standin/model/RibbonHost.h"
#include "standin/win/FolderAnswers.h"
#include "standin/win/SaveAsAnswers.h"
#include "StandinHost.h"
#include "standin/win/StateFile.h"
#include "com/Handles.h"
#include "com/Strings.h"
#include "base/HostError.h"

namespace standin::win {

using com::ComPtr;

struct LoadedAddIn {
    std::u16string progId;
    ComPtr<_IDTExtensibility2> ext;
    std::wstring dll;
    // Hosts of version 12 and later: the add-in's ribbon interface and the ribbon showing its markup.
    std::unique_ptr<RibbonClient> ribbonClient;
    std::unique_ptr<RibbonHost> ribbon;
    /// The add-in's key asks for OnBeginShutdown and OnDisconnection at a fast shutdown.
    bool shutdownNotification = false;
};

inline std::u16string Status(HRESULT hr) { return hr == S_OK ? u"ok" : Hex(hr); }

inline std::u16string Bool(bool b) { return b ? u"true" : u"false"; }

inline std::string Ascii(const std::u16string& s) { return ToUtf8(s); }

inline int32_t ToInt(const std::u16string& text, int line) {
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

inline bool Same(std::u16string_view a, std::u16string_view b) {
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                                reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

inline std::optional<ItemKind> KindNamed(const std::u16string& w) {
    static const std::pair<const char16_t*, ItemKind> kinds[] = {
        {u"mail", ItemKind::Mail},       {u"post", ItemKind::Post},       {u"note", ItemKind::Note},
        {u"appointment", ItemKind::Appointment}, {u"contact", ItemKind::Contact}, {u"task", ItemKind::Task},
        {u"meeting", ItemKind::Meeting}, {u"report", ItemKind::Report}, {u"journal", ItemKind::Journal},
        {u"distlist", ItemKind::DistList}};
    for (const auto& [name, kind] : kinds)
        if (Same(w, name)) return kind;
    return std::nullopt;
}

inline std::string ReadFileBytes(const std::u16string& path, int line) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) throw ScriptError(line, u"cannot read " + path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// How a sweep answers message boxes: the add-in's question Yes, anything else OK.
inline std::u16string AnswerByTitle(const DialogSeen& seen) {
    if (seen.buttons == u"YesNo" || seen.buttons == u"YesNoCancel") return u"Yes";
    return seen.buttons == u"none" ? u"Cancel" : u"OK";
}

class Runner : private RibbonLog {
public:
    Runner(Transcript& t, const RunOptions& o, RunFacts* facts)
        : t_(t), options_(o), robot_(t, o.deadlineMs), saveAs_(t, o.screenshotDir, o.saveAsByHand), facts_(facts) {
        const DWORD hostThread = GetCurrentThreadId();
        robot_.SetDialogHandler(
            [this, hostThread](HWND dialog) { return folders_.Handle(dialog) || saveAs_.Handle(dialog, hostThread); });
        robot_.SetWhileUp([this](HWND dialog) { return WhileUp(dialog); });
        if (o.sweep) robot_.AnswerByRule(AnswerByTitle);
    }

    int Run(const std::vector<ScriptLine>& lines);

private:
    static std::u16string Trim(const std::u16string& s);
    void Finish();

    /// The host's major version, as its Version text gives it.
    int Major() const { return hostOptions_.Major(); }

    bool Spoiled() const { return options_.failCall || options_.nothingCall || !options_.nothingMember.empty(); }

    // A line of the script. In a sweep a line the host's state no longer allows (a click in a window
    // an injected failure or event has closed) is skipped, as a user could not do it either.
    void ExecuteLine(const ScriptLine& line);

    // ---- modal points: the add-in's dialogs and the script's `mark` lines

    // On the robot's thread, for each dialog as it comes up: what to run on the host's thread while
    // it is up, if anything.
    std::function<void()> WhileUp(HWND dialog);

    // Counts a modal point; returns the line to run while it is up (the sweep's event, or a
    // `during` line), or nothing.
    std::function<void()> ModalPoint(const std::u16string& what);

    // ---- the end of the run

    // Everything is released by now (the last action has returned): what the add-ins still hold,
    // and whether their DLLs can go.
    void Final();

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

    /// The line's answer, by the table of behaviours (standin/model/Behaviours.h).
    BehaviourAnswer ReadAnswer(const ScriptLine& line) const;

    void Need(const ScriptLine& line, size_t least, size_t most) const;

    // ---- the commands

    // How a command runs in a script: an action starts the host first if nothing has, and the robot
    // watches it; a setting does not start the host; an immediate one is neither started for nor watched.
    enum class Runs { Action, Setting, Immediate };
    struct Command {
        std::u16string_view name;
        Runs runs;
        void (Runner::*run)(const ScriptLine&);
    };
    static const Command* FindCommand(std::u16string_view name);
    void Execute(const ScriptLine& line);
    void DoVersion(const ScriptLine& line);
    void DoNote(const ScriptLine& line);
    void DoAnswer(const ScriptLine& line);
    void DoSaveas(const ScriptLine& line);
    void DoPickfolder(const ScriptLine& line);
    void DoProgress(const ScriptLine& line);
    void DoFile(const ScriptLine& line);
    void DoFiles(const ScriptLine& line);
    void DoFolder(const ScriptLine& line);
    void DoDuring(const ScriptLine& line);
    void DoMark(const ScriptLine& line);
    void DoAudit(const ScriptLine& line);
    void DoSample(const ScriptLine& line);
    void DoExplorer(const ScriptLine& line);
    void DoStart(const ScriptLine& line);
    void DoSelect(const ScriptLine& line);
    void DoActivate(const ScriptLine& line);
    void DoEdit(const ScriptLine& line);
    void DoSend(const ScriptLine& line);
    void DoOptions(const ScriptLine& line);
    void DoPage(const ScriptLine& line);
    void DoClose(const ScriptLine& line);
    void DoUnload(const ScriptLine& line);
    void DoShutdown(const ScriptLine& line);
    void DoShow(const ScriptLine& line);

    // ---- the host and its add-ins

    void LoadStore();
    Host& RequireHost();
    void Start();
    static com::SafeArray EmptyArray();
    /// Creates and connects the add-in of `entry`; one of the machine's list has its class's server
    /// named in the transcript.
    void Load(const AddInEntry& entry);

    // A ribbon host asks the connection object for the ribbon's interface after OnConnection, then
    // (version 14 on) for the main window's markup, and for the markup of each item window open.
    void ConnectRibbon(LoadedAddIn& addIn);
    void DropRibbon(LoadedAddIn& addIn);
    void Unload(const std::u16string& progId);
    void Shutdown();
    void ReportUnload(const LoadedAddIn& addIn);
    void Held();

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

    std::shared_ptr<ExplorerNode> FindExplorer(const std::u16string& which);
    /// Closes a main window; `raiseClose` false plays a host that says nothing of it (at an exit).
    void CloseExplorer(const std::shared_ptr<ExplorerNode>& explorer, bool raiseClose = true);
    std::shared_ptr<InspectorNode> ActiveInspector();
    std::shared_ptr<InspectorNode> FindInspector(const std::u16string& which);
    void Close(const std::shared_ptr<InspectorNode>& inspector);

    // open <kind> ["subject"] [sent|unsent] [from "sender"] [on <yyyy-mm-dd> [<hh:mm[:ss]>]] [wordmail]
    //      [edited] [attach <byvalue|byref|embedded|ole> <name> [<file>|text "<content>"]]...
    //      [attach <inline|referenced> <name>]...: a picture of the HTML body (hidden, or not)
    void DoOpen(const ScriptLine& line);
    // list <kind> ["subject"] [options of open]: an item in the main window's folder, without a window.
    void DoList(const ScriptLine& line);
    /// The item `w` describes from its second word on (open's kind, subject and options); `wordMail`
    /// is set by the word `wordmail`.
    std::shared_ptr<ItemNode> MakeItem(const std::vector<std::u16string>& w, bool& wordMail);
    /// An item by its window (`inspector:<n>`) or its subject: of an open window, or listed.
    std::shared_ptr<ItemNode> FindItem(const std::u16string& which);
    // select | select <item>... | select attachments <item> <file name>...: the main window's
    // selection, and the attachments selected in its reading pane.
    void SelectItems(const std::shared_ptr<ExplorerNode>& explorer, std::vector<std::shared_ptr<ItemNode>> items);
    // menu <ContextMenu...> open | menu <ContextMenu...> click "<label>": a context menu of the
    // active main window.
    void DoMenu(const ScriptLine& line);
    static bool IsOpenKeyword(const std::u16string& w);
    host::DateTime ParseDate(const std::u16string& date, const std::optional<std::u16string>& time);

    // click ["caption"] | click tag "<tag>": a button of the active item window.
    void DoClick(const ScriptLine& line);

    // ribbon click "<label>": a button of the add-ins' markup in the active item window.
    void DoRibbon(const ScriptLine& line);

    template <class Pages>
    void OpenOptionsDialog(const Pages& pages) {
        std::vector<AddedPage> added;
        for (const auto& p : pages) added.push_back({p.page, p.title});
        optionsDialog_.Open(added, line_);
    }

    // ---- settings

    void DoRegistry(const ScriptLine& line);
    void ShowRegistry(const std::u16string& shown, HKEY root, const std::wstring& path, const std::optional<std::wstring>& name);

    // fail <Interface.Member> [hresult] | fail <Interface.Member> at <n> | fail call <n> [hresult] | fail none
    // | fail <Interface.Member> [at <n>] after <bytes> bytes [hresult]
    void DoFail(const ScriptLine& line);
    // play <behaviour> <answer>
    void DoPlay(const ScriptLine& line);
    // After each Attachment.SaveAsFile the host has written (`play slow-save`).
    void SlowWrite();

    // ---- what the host shows

    std::u16string PictureText(const void* p) const;
    // show body: the item's body as the window shows it, and its HTML or RTF.
    void ShowBody(const std::shared_ptr<InspectorNode>& inspector);
    std::vector<std::u16string> State();

    /// Writes the lines of the state that are new since the last snapshot, and "gone <line>" for
    /// those no longer there; with `all`, the whole state.
    void Snapshot(bool all);
    /// The add-ins' buttons on the main windows' ribbons and in their context menus, as last asked.
    std::vector<std::u16string> ExplorerRibbons();

    // RibbonLog: the ribbon's observations go to the transcript.
    void Line(const std::u16string& text) override { t_.Line(text); }
    void Failure(const std::u16string& text) override { t_.Failure(text); }
    std::u16string Quote(std::u16string_view text) override { return Transcript::Quote(text); }
    std::u16string WindowName(const std::shared_ptr<InspectorNode>& window) override { return Name(window); }
    std::u16string ExplorerName(const std::shared_ptr<ExplorerNode>& explorer) override { return Name(explorer); }
    std::u16string Code(int32_t status) override { return Hex(status); }

    Transcript& t_;
    RunOptions options_;
    MessageBoxRobot robot_;
    OptionsDialog optionsDialog_{t_};
    SaveAsAnswers saveAs_;
    FolderAnswers folders_{t_};
    HostOptions hostOptions_;
    /// The host program's own behaviours a script chose (`play`).
    Played play_;
    // Items of the main window's folder that have no window (list).
    std::vector<std::shared_ptr<ItemNode>> listed_;
    std::shared_ptr<CommandBarStore> store_;
    std::shared_ptr<Host> host_;
    std::unique_ptr<Face> face_;
    std::vector<LoadedAddIn> addIns_;
    // Ribbons of add-ins that went during the action, kept until it is over (DropRibbon); the
    // clients after the ribbons that call them.
    std::vector<std::unique_ptr<RibbonClient>> droppedClients_;
    std::vector<std::unique_ptr<RibbonHost>> droppedRibbons_;
    int whileUp_ = 0;  // lines running inside a modal window of an add-in
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
    // Files the script holds open as another program would (`file hold`), by full path.
    std::map<std::u16string, com::File> heldFiles_;
    bool started_ = false;
    bool shutDown_ = false;
    int line_ = 0;
};

}  // namespace standin::win
