#include "standin/win/Sweep.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "standin/win/AddIns.h"
#include "standin/win/Script.h"

namespace standin::win {

namespace {

struct Event {
    std::u16string name;
    std::u16string line;
};

std::vector<ScriptLine> ReadScript(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) throw ScriptError(0, u"cannot read " + std::u16string(path.begin(), path.end()));
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    return ParseScript(FromUtf8(bytes));
}

// `event "<name>" <command...>` lines.
std::vector<Event> ReadEvents(const std::wstring& path) {
    std::vector<Event> events;
    for (const ScriptLine& line : ReadScript(path)) {
        if (line.words.size() < 3 || line.words[0] != u"event")
            throw ScriptError(line.number, u"event \"<name>\" <command...> expected");
        const size_t at = line.text.find(line.words[2], line.text.find(line.words[1]) + line.words[1].size());
        events.push_back({line.words[1], line.text.substr(at)});
    }
    return events;
}

std::u16string Stem(const std::wstring& path) {
    const std::wstring stem = std::filesystem::path(path).stem().wstring();
    return {stem.begin(), stem.end()};
}

// One case: a run of the script spoiled as `options` says, with its transcript where asked. Each
// starts from the add-in list the sweep began with: a case whose OnConnection fails has the host
// mark the add-in not loaded, and the next case must load it again.
RunFacts RunCase(const std::vector<ScriptLine>& lines, RunOptions options, const SweepOptions& sweep,
                 const std::vector<AddInEntry>& list) {
    RestoreLoadBehaviors(list);
    options.sweep = true;
    options.deadlineMs = sweep.deadlineMs;
    HANDLE out = sweep.caseTranscripts.empty()
                     ? CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                     : CreateFileW(sweep.caseTranscripts.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    RunFacts facts;
    {
        Transcript transcript(out);
        transcript.Line(u"== case");
        (void)RunScript(lines, transcript, options, &facts);
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    RestoreLoadBehaviors(list);
    return facts;
}

std::u16string Joined(const std::vector<std::string>& items) {
    std::u16string text;
    for (const auto& i : items) text += FromUtf8(i) + u"; ";
    return text;
}

}  // namespace

int RunSweep(const SweepOptions& sweep, const std::vector<std::wstring>& scripts, Transcript& report) {
    std::vector<Event> events;
    try {
        if (sweep.kind == SweepKind::Reentrancy) events = ReadEvents(sweep.eventsPath);
    } catch (const ScriptError& e) {
        report.Line(u"error events line " + Num(e.line) + u": " + e.message);
        return kRunScriptError;
    }
    const std::vector<AddInEntry> list = ReadAddInList();
    int index = 0;
    const auto record = [&](const std::u16string& scenario, const std::u16string& name, const RunFacts& f) {
        const HostAudit& a = f.audit;
        const int inconsistent = static_cast<int>(a.inconsistent.size()) + f.dialogsAfterCleanUp;
        std::u16string detail = Joined(a.exceptions) + Joined(a.lost) + Joined(a.inconsistent);
        if (a.held) detail += u"held " + Num(a.held) + u"; ";
        if (f.dllsHeld) detail += u"the add-in's DLL cannot unload; ";
        if (f.dialogsAfterCleanUp) detail += Num(f.dialogsAfterCleanUp) + u" Save As dialog(s) after the clean-up; ";
        report.Line(u"case " + Num(index) + u" " + Transcript::Quote(scenario) + u" " + Transcript::Quote(name) +
                    u" exceptions=" + Num(static_cast<long long>(a.exceptions.size())) + u" held=" + Num(a.held) +
                    u" lost=" + Num(static_cast<long long>(a.lost.size())) + u" inconsistent=" + Num(inconsistent) +
                    u" leaks=" + Num(f.dllsHeld) + u" detail=" + Transcript::Quote(detail));
    };
    for (const std::wstring& path : scripts) {
        std::vector<ScriptLine> lines;
        try {
            lines = ReadScript(path);
        } catch (const ScriptError& e) {
            report.Line(u"error " + Stem(path) + u" line " + Num(e.line) + u": " + e.message);
            return kRunScriptError;
        }
        const std::u16string scenario = Stem(path);
        // As written first: its facts tell the cases (run again when skipped, but not reported).
        if (index >= sweep.skip)
            report.Line(u"begin " + Num(index) + u" " + Transcript::Quote(scenario) + u" \"as written\"");
        const RunFacts written = RunCase(lines, {}, sweep, list);
        if (index >= sweep.skip) record(scenario, u"as written", written);
        ++index;
        const auto run = [&](const std::u16string& name, const RunOptions& options) {
            if (index >= sweep.skip) {
                // Written first: a case that ends the process is known by it.
                report.Line(u"begin " + Num(index) + u" " + Transcript::Quote(scenario) + u" " + Transcript::Quote(name));
                record(scenario, name, RunCase(lines, options, sweep, list));
            }
            ++index;
        };
        RunOptions options;
        switch (sweep.kind) {
            case SweepKind::Failure:
                for (long long n = 1; n <= written.calls; ++n) {
                    options.failCall = n;
                    run(u"call " + Num(n), options);
                }
                break;
            case SweepKind::Nothing:
                for (const auto& member : written.objectMembers) {
                    options.nothingMember = member;
                    run(FromUtf8(member), options);
                }
                break;
            case SweepKind::Reentrancy:
                for (size_t m = 0; m < written.modalPoints.size(); ++m) {
                    for (const Event& e : events) {
                        options.eventAt = static_cast<int>(m + 1);
                        options.eventLine = e.line;
                        run(e.name + u" during " + written.modalPoints[m], options);
                    }
                }
                break;
        }
    }
    report.Line(u"sweep done cases=" + Num(index));
    return kRunOk;
}

}  // namespace standin::win
