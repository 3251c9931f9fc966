// The sweeps over the in-memory host: every main scenario of the add-in, run again and again with
// every host call failing in turn, every host member that returns an object answering Nothing in
// turn, and each host event the user can cause raised while each modal window of ours is up. Each
// case runs in a process of its own, so a crash or a sanitizer's finding ends that case only; the
// host itself checks what the add-in left (standin::Host::Audit). Each sweep prints its table and
// writes it under reports/ in the build folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "addin/core/host/Inspector.h"
#include "tests/core/Session.h"
#include "tests/sweeps/Isolated.h"
#include "tests/sweeps/SweepTable.h"

using namespace addin;

namespace fs = std::filesystem;
using standin::ItemKind;
using sweeps::CaseOutcome;

namespace {

constexpr char16_t kCaption[] = u"Save Attachments";

// The events the user can cause while a window of ours is up.
enum class Event {
    ExplorerClose,
    LastExplorerClosed,
    ItemWindowClosed,
    AddInUnloaded,
    ItemSend,
    SelectionChange,
    NewInspector,
    HostShutDown
};
constexpr std::pair<Event, const char*> kEvents[] = {
    {Event::ExplorerClose, "explorer Close"},        {Event::LastExplorerClosed, "last explorer closed"},
    {Event::ItemWindowClosed, "item window closed"}, {Event::AddInUnloaded, "add-in unloaded"},
    {Event::ItemSend, "ItemSend"},                   {Event::SelectionChange, "SelectionChange"},
    {Event::NewInspector, "NewInspector"},           {Event::HostShutDown, "host shut down"}};

// How one case departs from the scenario as written.
struct Injection {
    enum Kind { None, FailCall, NothingAtCall, NothingFrom, EventWhileUp } kind = None;
    int64_t n = 0;  // FailCall, NothingAtCall: the call; EventWhileUp: the modal window, from 0
    std::string member;
    Event event = Event::ExplorerClose;
};

// One run of a scenario: the host with two main windows and several item windows, the add-in
// loaded from its list, and the user's answers to its windows.
class Run {
public:
    Run(fs::path folder, Injection injection) : folder_(std::move(folder)), injection_(std::move(injection)) {
        Session& s = session_;
        s.platform.filesOnDisk = true;
        s.platform.prompt = std::make_shared<ScriptedSaveAsPrompt>();
        s.platform.prompt->answerFor = [this](const PromptCall& call) {
            const PromptAnswer answer = SaveAsAnswer(call.fileName);
            if (!answer.path.empty()) session_.host.FileChosen(answer.path);
            return answer;
        };
        s.platform.prompt->whileUp = [this](const PromptCall& call) {
            WhileUp("Save As " + std::string(call.fileName.begin(), call.fileName.end()), true);
        };
        s.platform.answerFor = [](const ShownMessage& box) {
            return box.title == u"Save Attachments" ? MessageBoxResult::Yes : MessageBoxResult::Ok;
        };
        s.platform.whileUp = [this](const ShownMessage& box) {
            WhileUp(box.title == u"Save Attachments"   ? "question"
                    : box.title == u"Send email"       ? "send warning"
                    : box.title == u"Error saving attachment" ? "error box"
                                                       : "message box",
                    false);
        };
        auto& ledger = s.host.ledger();
        if (injection_.kind == Injection::FailCall) ledger.FailCall(injection_.n, HostStatus::Fail);
        if (injection_.kind == Injection::NothingAtCall) ledger.NothingAtCall(injection_.n);
        if (injection_.kind == Injection::NothingFrom) ledger.NothingFrom(injection_.member);
    }

    // ---- the scenarios' steps

    void StartUp() {
        Session& s = session_;
        std::ofstream(folder_ / "linked.txt") << "linked";
        // A file the user has, which x.txt replaces.
        std::ofstream(folder_ / "x.txt") << "the user's x.txt";
        const std::u16string link = (folder_ / "linked.txt").u16string();
        first_ = s.host.OpenExplorer();
        main_ = s.host.OpenExplorer();
        received_ = Open(ItemKind::Mail, u"received", true, {{1, u"a.txt"}, {5, u"item.msg"}, {1, u"b.txt"}});
        draft_ = Open(ItemKind::Mail, u"draft", false, {{1, u"d.txt"}, {4, link}});
        Open(ItemKind::Note, u"note", false, {});
        post_ = Open(ItemKind::Post, u"post", false, {{1, u"x.txt"}, {4, link}, {1, u"y.txt"}, {1, u"z.txt"}});
        post_->item->Edit();
        s.host.OpenInspector(Item(ItemKind::Mail, u"word", true, {{1, u"w.txt"}}), true);
        s.addIn = std::make_unique<addin::Connect>(s.platform);
        // A connection that fails: the host releases the add-in and treats it as not loaded.
        if (!Guarded([&] { s.addIn->OnConnection(s.host.Application(), 1, s.host.AddInInstance(u"Tallowby.Connect")); }))
            s.addIn.reset();
    }
    // The `nth` write from now breaks off after `bytes` bytes, as on a disk that fills.
    void WriteBreaksOff(int64_t nth, int64_t bytes) {
        session_.host.ledger().FailWriteAfter("Attachment.SaveAsFile", bytes, static_cast<int32_t>(0x80070070u), nth);
    }
    void Click(const std::shared_ptr<standin::InspectorNode>& ins) {
        const auto buttons = Session::ButtonsIn(*ins);
        if (!ins->open || buttons.empty()) return;
        session_.host.Activate(ins);
        Step([&] { session_.host.Click(buttons[0]); });
    }
    void Send(const std::shared_ptr<standin::InspectorNode>& ins) {
        if (!ins->open) return;
        Step([&] {
            if (session_.host.Send(ins->item)) session_.host.CloseInspector(ins);
        });
    }
    void NewWindowAndSelection() {
        Step([&] { session_.host.OpenInspector(Item(ItemKind::Post, u"later", false, {{1, u"later.txt"}})); });
        Step([&] { session_.host.ChangeSelection(main_); });
    }
    void OptionsDialog() {
        Step([&] { session_.host.OpenOptionsDialog(); });
    }
    void CloseMainWindows() {
        const bool heard = Listening();
        Step([&] {
            session_.host.CloseExplorer(first_);
            session_.host.CloseExplorer(main_);
        });
        // With an item window left the host keeps running, and so may a command of the add-in.
        cleanedUp_ = cleanedUp_ || (heard && session_.host.Inspectors().empty());
    }
    void Unload() {
        cleanedUp_ = true;
        unloaded_ = true;
        Step([&] {
            if (session_.addIn) Guarded([&] { session_.addIn->OnDisconnection(1); });
            session_.addIn.reset();
        });
    }
    // The host's ordinary exit: its windows close, then the add-in hears the shut-down.
    void Quit() {
        cleanedUp_ = true;
        Session& s = session_;
        Guarded([&] { s.host.CloseAllWindows(); });
        if (s.addIn) {
            Guarded([&] { s.addIn->OnBeginShutdown(); });
            Guarded([&] { s.addIn->OnDisconnection(0); });
        }
        s.addIn.reset();
    }

    const std::shared_ptr<standin::InspectorNode>& received() const { return received_; }
    const std::shared_ptr<standin::InspectorNode>& draft() const { return draft_; }
    const std::shared_ptr<standin::InspectorNode>& post() const { return post_; }

    // ---- the outcome

    // After the scenario: everything released, then the host's checks.
    CaseOutcome Finish(std::string& facts) {
        Quit();
        Session& s = session_;
        s.platform.prompt->calls.clear();  // the record holds the items the dialogs were lent
        const standin::HostAudit audit = s.host.Audit({kTag, kToolbar, kCaption, {{kSaveAllTag, u"Save All Attachments"}}}, false);
        CaseOutcome o;
        o.exceptions = exceptions_ + static_cast<int>(audit.exceptions.size());
        o.held = audit.held;
        o.lost = static_cast<int>(audit.lost.size());
        o.inconsistent = inconsistent_ + static_cast<int>(audit.inconsistent.size()) +
                         *s.platform.promptsDestroyedWhileUp + dialogsAfterCleanUp_;
        std::ostringstream detail;
        for (const auto& e : audit.exceptions) detail << "exception " << e << "; ";
        if (audit.held) detail << "held " << audit.held << "; ";
        for (const auto& l : audit.lost) detail << "lost " << l << "; ";
        for (const auto& i : audit.inconsistent) detail << i << "; ";
        for (const auto& i : findings_) detail << i << "; ";
        if (*s.platform.promptsDestroyedWhileUp) detail << "a dialog's object freed while it was up; ";
        if (dialogsAfterCleanUp_) detail << dialogsAfterCleanUp_ << " Save As dialog(s) after the clean-up; ";
        o.detail = detail.str();

        std::ostringstream f;
        f << "calls=" << s.host.ledger().CallCount() << "\n";
        f << "objectcalls=" << s.host.ledger().ObjectCallCount() << "\n";
        for (const auto& m : s.host.ledger().ObjectMembers()) f << "member=" << m << "\n";
        for (const auto& m : modals_) f << "modal=" << m << "\n";
        facts = f.str();
        return o;
    }

private:
    std::shared_ptr<standin::ItemNode> Item(ItemKind kind, const std::u16string& subject, bool sent,
                                            std::initializer_list<std::pair<int32_t, std::u16string>> files) {
        auto item = std::make_shared<standin::ItemNode>(kind);
        item->subject = subject;
        item->sent = sent;
        for (const auto& [type, name] : files)
            item->Attach(type, name, "content of " + std::string(name.begin(), name.end()));
        return item;
    }
    std::shared_ptr<standin::InspectorNode> Open(ItemKind kind, const std::u16string& subject, bool sent,
                                                 std::initializer_list<std::pair<int32_t, std::u16string>> files) {
        return session_.host.OpenInspector(Item(kind, subject, sent, files));
    }

    // The user's answer in the Save As dialog of each file: a.txt kept, b.txt, x.txt (over a file
    // there) and z.txt replaced by shortcuts, y.txt to a folder that does not exist (the error box);
    // others cancelled.
    PromptAnswer SaveAsAnswer(const std::u16string& fileName) const {
        const auto to = [&](const fs::path& p, bool replace) { return PromptAnswer{p.u16string(), replace, false}; };
        if (fileName == u"a.txt") return to(folder_ / "a.txt", false);
        if (fileName == u"b.txt" || fileName == u"x.txt" || fileName == u"z.txt")
            return to(folder_ / std::string(fileName.begin(), fileName.end()), true);
        if (fileName == u"y.txt") return to(folder_ / "missing" / "y.txt", true);
        return {};
    }

    // A host call into the add-in: a host failure is its answer; anything else crossed the boundary.
    template <class F>
    bool Guarded(F call) {
        try {
            call();
            return true;
        } catch (const HostError&) {
        } catch (const std::exception& e) {
            ++exceptions_;
            findings_.push_back(std::string("exception ") + e.what());
        }
        return false;
    }

    // One action of the user or the host; afterwards, an add-in unloaded meanwhile has left no
    // button in an open window.
    template <class F>
    void Step(F action) {
        Guarded(action);
        if (unloaded_ && !unloadChecked_) {
            unloadChecked_ = true;
            const bool spoiled = injection_.kind != Injection::None && injection_.kind != Injection::EventWhileUp;
            if (!spoiled) {
                for (const auto& i : session_.host.Audit({kTag, kToolbar, kCaption, {{kSaveAllTag, u"Save All Attachments"}}}, true).inconsistent) {
                    ++inconsistent_;
                    findings_.push_back(i);
                }
            }
        }
    }

    // Whether the add-in hears the main window close: it holds the explorer it subscribed to. A
    // host that answered Nothing for the active explorer at connection leaves it deaf to that.
    bool Listening() { return session_.host.ledger().Live().count("Explorer") > 0; }

    void WhileUp(const std::string& window, bool saveAs) {
        const int64_t index = static_cast<int64_t>(modals_.size());
        modals_.push_back(window);
        if (saveAs && cleanedUp_) ++dialogsAfterCleanUp_;
        if (injection_.kind != Injection::EventWhileUp || index != injection_.n || raised_) return;
        raised_ = true;
        Raise(injection_.event);
    }

    void Raise(Event event) {
        Session& s = session_;
        switch (event) {
            case Event::ExplorerClose:
                if (main_->open) Guarded([&] { s.host.CloseExplorer(main_); });
                break;
            case Event::LastExplorerClosed: {
                const bool heard = Listening();
                Guarded([&] {
                    s.host.CloseExplorer(first_);
                    s.host.CloseExplorer(main_);
                });
                // With an item window left the host keeps running, and so may the command in progress.
                cleanedUp_ = cleanedUp_ || (heard && s.host.Inspectors().empty());
                break;
            }
            case Event::ItemWindowClosed:
                if (auto active = s.host.ActiveInspector()) Guarded([&] { s.host.CloseInspector(active); });
                break;
            case Event::AddInUnloaded:
                cleanedUp_ = true;
                unloaded_ = true;
                if (s.addIn) Guarded([&] { s.addIn->OnDisconnection(1); });
                s.addIn.reset();
                break;
            case Event::ItemSend:
                if (draft_->open) Guarded([&] { s.host.Send(draft_->item); });
                break;
            case Event::SelectionChange:
                if (main_->open) Guarded([&] { s.host.ChangeSelection(main_); });
                break;
            case Event::NewInspector:
                Guarded([&] { s.host.OpenInspector(Item(ItemKind::Mail, u"new", true, {{1, u"new.txt"}})); });
                break;
            case Event::HostShutDown:
                Quit();
                break;
        }
    }

    fs::path folder_;
    Injection injection_;
    Session session_;
    std::shared_ptr<standin::ExplorerNode> first_, main_;
    std::shared_ptr<standin::InspectorNode> received_, draft_, post_;
    std::vector<std::string> modals_;
    std::vector<std::string> findings_;
    int exceptions_ = 0;
    int inconsistent_ = 0;
    int dialogsAfterCleanUp_ = 0;
    bool raised_ = false;
    bool cleanedUp_ = false;
    bool unloaded_ = false;
    bool unloadChecked_ = false;
};

// The main scenarios: start-up with several item windows, click with the dialog answered, save
// with replace, send with shortcuts, Options page, unload, shut-down.
struct Scenario {
    const char* name;
    void (*body)(Run&);
};
const Scenario kScenarios[] = {
    {"start-up", [](Run& r) { r.StartUp(); r.NewWindowAndSelection(); }},
    {"click", [](Run& r) { r.StartUp(); r.Click(r.received()); }},
    // x.txt over the user's file, y.txt where no folder is, z.txt's write breaking off.
    {"save-replace", [](Run& r) { r.StartUp(); r.WriteBreaksOff(2, 3); r.Click(r.post()); }},
    {"send", [](Run& r) { r.StartUp(); r.Send(r.draft()); }},
    {"options", [](Run& r) { r.StartUp(); r.OptionsDialog(); }},
    {"unload", [](Run& r) { r.StartUp(); r.Unload(); r.NewWindowAndSelection(); }},
    // The last main window closes first while item windows stay open; later events are ignored.
    {"shut-down", [](Run& r) { r.StartUp(); r.CloseMainWindows(); r.NewWindowAndSelection(); r.Click(r.received()); }},
};

// What a clean run of a scenario showed: the sweeps' ranges.
struct Facts {
    int64_t calls = 0;
    int64_t objectCalls = 0;
    std::vector<std::string> members;
    std::vector<std::string> modals;
};

// One case of a sweep: a scenario, and how it is spoiled.
struct CaseSpec {
    const Scenario* scenario;
    Injection injection;
    std::string name;
};

// Runs one case (in a child process) and reports its outcome and the facts of its run as text.
std::string RunBody(const CaseSpec& c) {
    const fs::path folder = fs::current_path() / "sweep-cases" / std::to_string(getpid());
    fs::remove_all(folder);
    fs::create_directories(folder);
    Preferences::SetReplaceWithLinks(false);
    std::string facts;
    CaseOutcome o;
    {
        Run run(folder, c.injection);
        c.scenario->body(run);
        o = run.Finish(facts);
    }
    fs::remove_all(folder);
    std::ostringstream out;
    out << o.exceptions << " " << o.held << " " << o.lost << " " << o.inconsistent << "\n"
        << facts << "detail=" << o.detail << "\n";
    return out.str();
}

CaseOutcome Parse(const sweeps::Isolated& r, Facts* facts) {
    CaseOutcome o;
    if (!r.completed) {
        o.crashed = true;
        // The sanitizer's one-line summary, else the first line that says what went wrong.
        std::string what = r.errors;
        for (const char* mark : {"SUMMARY: ", "ERROR: ", "runtime error: "}) {
            if (const size_t at = r.errors.find(mark); at != std::string::npos) {
                what = r.errors.substr(at);
                break;
            }
        }
        o.detail = "crashed: " + what.substr(0, what.find('\n'));
        return o;
    }
    o.leaks = r.leaked ? 1 : 0;
    if (r.leaked) o.detail = "memory never freed; ";
    std::istringstream in(r.report);
    in >> o.exceptions >> o.held >> o.lost >> o.inconsistent;
    for (std::string line; std::getline(in, line);) {
        const auto value = [&](const char* key) -> const char* {
            const size_t n = std::char_traits<char>::length(key);
            return line.compare(0, n, key) == 0 ? line.c_str() + n : nullptr;
        };
        if (const char* v = value("detail=")) o.detail += v;
        if (!facts) continue;
        if (const char* v = value("calls=")) facts->calls = std::stoll(v);
        if (const char* v = value("objectcalls=")) facts->objectCalls = std::stoll(v);
        if (const char* v = value("member=")) facts->members.emplace_back(v);
        if (const char* v = value("modal=")) facts->modals.emplace_back(v);
    }
    return o;
}

// Runs `specs`, many per child process; `facts`, when given, receives each case's facts.
std::vector<CaseOutcome> RunCases(const std::vector<CaseSpec>& specs, std::vector<Facts>* facts = nullptr) {
    const auto results = sweeps::RunIsolated(specs.size(), [&](size_t i) { return RunBody(specs[i]); });
    std::vector<CaseOutcome> outcomes;
    if (facts) facts->resize(specs.size());
    for (size_t i = 0; i < results.size(); ++i) outcomes.push_back(Parse(results[i], facts ? &(*facts)[i] : nullptr));
    return outcomes;
}

std::string ReportFile(const char* name) {
    fs::create_directories(TALLOWBY_REPORT_DIR);
    return std::string(TALLOWBY_REPORT_DIR) + "/" + name + ".txt";
}

// Every scenario as written first (which also tells each scenario's calls and windows), then the
// cases `enumerate` makes for each scenario from those facts; all of them into `table`.
template <class Enumerate>
void Sweep(sweeps::SweepTable& table, Enumerate enumerate) {
    std::vector<CaseSpec> written;
    for (const Scenario& scenario : kScenarios) written.push_back({&scenario, {}, "as written"});
    std::vector<Facts> facts;
    const auto first = RunCases(written, &facts);
    std::vector<CaseSpec> specs;
    for (size_t i = 0; i < written.size(); ++i) enumerate(*written[i].scenario, facts[i], specs);
    const auto rest = RunCases(specs);
    for (size_t i = 0; i < written.size(); ++i) table.Add(written[i].scenario->name, written[i].name, first[i]);
    for (size_t i = 0; i < specs.size(); ++i) table.Add(specs[i].scenario->name, specs[i].name, rest[i]);
}

}  // namespace

TEST(Sweeps, EveryHostCallFailsInTurn) {
    sweeps::SweepTable table("Failure sweep (native, ASan+UBSan): the n-th host call fails, n = 1 .. the scenario's calls");
    Sweep(table, [](const Scenario& scenario, const Facts& facts, std::vector<CaseSpec>& specs) {
        for (int64_t n = 1; n <= facts.calls; ++n)
            specs.push_back({&scenario, {Injection::FailCall, n, {}}, "call " + std::to_string(n)});
    });
    table.Publish(ReportFile("sweep-failure-native"));
    EXPECT_GT(table.Cases(), 7);
    EXPECT_EQ(table.Failures(), 0);
}

TEST(Sweeps, EveryObjectAnswerIsNothingInTurn) {
    sweeps::SweepTable table(
        "Nothing sweep (native, ASan+UBSan): each member that returns an object answers Nothing, one member at a "
        "time, then one call at a time");
    Sweep(table, [](const Scenario& scenario, const Facts& facts, std::vector<CaseSpec>& specs) {
        for (const auto& member : facts.members)
            specs.push_back({&scenario, {Injection::NothingFrom, 0, member}, member});
        for (int64_t n = 1; n <= facts.objectCalls; ++n)
            specs.push_back({&scenario, {Injection::NothingAtCall, n, {}}, "object call " + std::to_string(n)});
    });
    table.Publish(ReportFile("sweep-nothing-native"));
    EXPECT_GT(table.Cases(), 7);
    EXPECT_EQ(table.Failures(), 0);
}

TEST(Sweeps, EachEventWhileEachWindowOfOursIsUp) {
    sweeps::SweepTable table(
        "Re-entrancy sweep (native, ASan+UBSan): each event the user can cause while each modal window of ours is up");
    Sweep(table, [](const Scenario& scenario, const Facts& facts, std::vector<CaseSpec>& specs) {
        for (size_t m = 0; m < facts.modals.size(); ++m)
            for (const auto& [event, name] : kEvents)
                specs.push_back({&scenario, {Injection::EventWhileUp, static_cast<int64_t>(m), {}, event},
                                 std::string(name) + " during " + facts.modals[m]});
    });
    table.Publish(ReportFile("sweep-reentrancy-native"));
    EXPECT_GT(table.Cases(), 7 + 8 * 5);
    EXPECT_EQ(table.Failures(), 0);
}
