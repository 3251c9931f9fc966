// The script runner: its run, the commands of the run itself, modal points, the end of the run.
#include "standin/win/RunnerImpl.h"

namespace standin::win {

int Runner::Run(const std::vector<ScriptLine>& lines) {
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

void Runner::Finish() {
    droppedRibbons_.clear();
    droppedClients_.clear();
    // The ribbon asks again what the add-ins invalidated, as it does when it next paints.
    for (auto& addIn : addIns_)
        if (addIn.ribbon) addIn.ribbon->Refresh();
    for (const auto& unused : robot_.EndAction())
        if (!options_.sweep) t_.Failure(u"robot: the answer " + unused + u" was not used by any dialog");
    saveAs_.WaitUntilIdle(options_.deadlineMs);
    for (const auto& unused : saveAs_.TakeUnused())
        if (!options_.sweep) t_.Failure(u"robot: " + unused.command + u" was not used by any Save As dialog");
    for (const auto& unused : robot_.TakeUnusedProgress())
        if (!options_.sweep) t_.Failure(u"robot: progress " + unused + u" was not used by any progress window");
    for (const auto& unused : folders_.TakeUnused())
        if (!options_.sweep) t_.Failure(u"robot: " + unused.command + u" was not used by any folder dialog");
    if (pendingDuring_ && !options_.sweep) t_.Failure(u"during: no such dialog came up");
    pendingDuring_.reset();
    if (host_)
        for (const auto& member : host_->ledger().TakeUnusedBeforeCalls())
            if (!options_.sweep) t_.Failure(u"during: the add-in did not call " + FromUtf8(member));
    Snapshot(false);
    if (host_) host_->ledger().ClearCalls();  // the log would only grow: a run counts, it does not keep calls
    // An add-in unloaded during the action (perhaps while one of its windows was up) has left no
    // button in an open window once the action is over.
    if (std::exchange(unloadedInAction_, false) && host_ && facts_ && !Spoiled()) {
        for (const auto& path : saveAs_.TakeChosenPaths()) host_->FileChosen(path);
        for (const auto& finding : host_->Audit(marks_, true).inconsistent) unloadFindings_.push_back(finding);
    }
}

void Runner::ExecuteLine(const ScriptLine& line) {
    if (!options_.sweep) return Execute(line);
    try {
        Execute(line);
    } catch (const ScriptError& e) {
        t_.Line(u"skipped line " + Num(e.line) + u": " + e.message);
    }
}

std::function<void()> Runner::WhileUp(HWND dialog) {
    const DialogSeen seen = ReadDialog(dialog);
    const bool saveAs = GetDlgItem(dialog, 1148) != nullptr;
    if (saveAs && cleanedUp_) ++dialogsAfterCleanUp_;
    return ModalPoint((IsProgressWindow(dialog) ? u"progress " : u"dialog ") + Transcript::Quote(seen.title));
}

std::function<void()> Runner::ModalPoint(const std::u16string& what) {
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
        ++whileUp_;
        const struct Down {
            int& depth;
            ~Down() { --depth; }
        } down{whileUp_};
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

void Runner::Final() {
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
    for (const auto& path : saveAs_.TakeChosenPaths()) host_->FileChosen(path);
    facts_->audit = host_->Audit(marks_, false);
    for (const auto& f : unloadFindings_) facts_->audit.inconsistent.push_back(f);
    facts_->dllsHeld = dllsHeld;
    facts_->dialogsAfterCleanUp = dialogsAfterCleanUp_;
}

void Runner::Need(const ScriptLine& line, size_t least, size_t most) const {
    const size_t args = line.words.size() - 1;
    if (args < least || args > most)
        Error(line.words[0] + u": " + Num(static_cast<long long>(least)) +
              (least == most ? u"" : u" to " + Num(static_cast<long long>(most))) + u" arguments expected");
}

const Runner::Command* Runner::FindCommand(std::u16string_view name) {
    static const Command commands[] = {
        {u"version", Runs::Immediate, &Runner::DoVersion},
        {u"note", Runs::Immediate, &Runner::DoNote},
        {u"answer", Runs::Immediate, &Runner::DoAnswer},
        {u"saveas", Runs::Immediate, &Runner::DoSaveas},
        {u"pickfolder", Runs::Immediate, &Runner::DoPickfolder},
        {u"progress", Runs::Immediate, &Runner::DoProgress},
        {u"file", Runs::Action, &Runner::DoFile},
        {u"files", Runs::Action, &Runner::DoFiles},
        {u"folder", Runs::Action, &Runner::DoFolder},
        {u"registry", Runs::Setting, &Runner::DoRegistry},
        {u"fail", Runs::Setting, &Runner::DoFail},
        {u"play", Runs::Setting, &Runner::DoPlay},
        {u"during", Runs::Immediate, &Runner::DoDuring},
        {u"mark", Runs::Action, &Runner::DoMark},
        {u"audit", Runs::Action, &Runner::DoAudit},
        {u"sample", Runs::Action, &Runner::DoSample},
        {u"explorer", Runs::Action, &Runner::DoExplorer},
        {u"start", Runs::Action, &Runner::DoStart},
        {u"open", Runs::Action, &Runner::DoOpen},
        {u"list", Runs::Action, &Runner::DoList},
        {u"select", Runs::Action, &Runner::DoSelect},
        {u"activate", Runs::Action, &Runner::DoActivate},
        {u"edit", Runs::Action, &Runner::DoEdit},
        {u"click", Runs::Action, &Runner::DoClick},
        {u"ribbon", Runs::Action, &Runner::DoRibbon},
        {u"menu", Runs::Action, &Runner::DoMenu},
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

void Runner::Execute(const ScriptLine& line) {
    const Command* command = FindCommand(line.words[0]);
    if (!command) Error(u"unknown command: " + line.words[0]);
    (this->*command->run)(line);
}

void Runner::DoNote(const ScriptLine& line) {
    t_.Line(u"note " + Trim(line.text.substr(line.text.find(u"note") + 4)));
}

void Runner::DoAnswer(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 1, 16);
    for (size_t i = 1; i < w.size(); ++i) {
        if (ButtonId(w[i]) == 0) Error(u"answer: not a button: " + w[i]);
        robot_.Queue(w[i]);
    }
}

void Runner::DoSaveas(const ScriptLine& line) {
    saveAs_.Queue(ParseSaveAsStep(line));
}

void Runner::DoPickfolder(const ScriptLine& line) { folders_.Queue(ParseFolderStep(line)); }

void Runner::DoProgress(const ScriptLine& line) {
    Need(line, 1, 1);
    if (line.words[1] != u"cancel") Error(u"progress cancel expected");
    robot_.QueueProgress(line.words[1]);
}

void Runner::DoDuring(const ScriptLine& line) {
    const auto& w = line.words;
    // during <n> <command...>: while the n-th dialog from now is up, <command> runs.
    // during <Interface.Member> <command...>: when the add-in next calls that member, <command>
    // runs first.
    if (w.size() < 3) Error(u"during: a number or a member, and a command expected");
    ScriptLine run;
    run.number = line.number;
    run.words.assign(w.begin() + 2, w.end());
    run.text = line.text.substr(std::min(line.text.find(w[2]), line.text.size()));
    if (w[1].find(u'.') != std::u16string::npos) {
        RequireHost().ledger().BeforeNextCall(Ascii(w[1]), [this, member = w[1], run] {
            t_.Line(u"> before " + member + u": " + Trim(run.text));
            try {
                Execute(run);
            } catch (const ScriptError& e) {
                t_.Line(u"skipped line " + Num(e.line) + u": " + e.message);
            } catch (const HostError& e) {
                t_.Failure(u"before " + member + u": " + Hex(e.status) + u" " + e.text);
            }
        });
        return;
    }
    std::lock_guard lock(pointsMutex_);
    pendingDuring_.emplace(static_cast<int>(points_.size()) + ToInt(w[1], line_), std::move(run));
}

void Runner::DoMark(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 1, 1);
    t_.Line(u"mark " + Transcript::Quote(w[1]));
    if (const auto action = ModalPoint(u"mark " + Transcript::Quote(w[1]))) action();
}

void Runner::DoAudit(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 3, 7);
    if (w.size() % 2 != 0) Error(u"audit: a further button needs its tag and its caption");
    marks_ = {w[1], w[2], w[3]};
    for (size_t i = 4; i + 1 < w.size(); i += 2) marks_.others.emplace_back(w[i], w[i + 1]);
}

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
