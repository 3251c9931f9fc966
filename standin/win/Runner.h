#pragma once
// Runs a script against the stand-in host: loads the add-ins listed in the registry, performs the
// user's and the host's actions, and writes what it observed to the transcript (README.md).
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "standin/model/Audit.h"
#include "standin/win/Script.h"
#include "standin/win/Transcript.h"

namespace standin::win {

struct RunOptions {
    /// The command-bar state file, read at the start and written at shut-down; empty for none.
    std::wstring statePath;
    /// A folder for a picture of each Save As dialog as it is answered; empty for none.
    std::wstring screenshotDir;
    /// Save As dialogs are left to a person at the screen: recorded, not answered.
    bool saveAsByHand = false;
    /// How long one action may take before the run is stopped as hung.
    DWORD deadlineMs = 30000;
    /// Each add-in's OnConnection and each SelectionChange raised are timed, and the times written
    /// to the transcript (`timing ...` lines, milliseconds from the performance counter).
    bool timings = false;

    /// A sweep's case: message boxes are answered by their titles, a line the host's state no
    /// longer allows (a click in a window that is gone) is skipped, and the host is spoiled as
    /// asked. A sweep reads the run's facts back through `facts`.
    bool sweep = false;
    /// The n-th host call fails (0: none).
    long long failCall = 0;
    /// The n-th call of a member that returns an object answers Nothing (0: none).
    long long nothingCall = 0;
    /// Every call of this member answers Nothing (empty: none).
    std::string nothingMember;
    /// While the n-th modal point is up (a dialog, or a `mark` line), this line runs (0: none).
    int eventAt = 0;
    std::u16string eventLine;
};

/// What a run showed, for a sweep.
struct RunFacts {
    long long calls = 0;
    long long objectCalls = 0;
    std::vector<std::string> objectMembers;
    /// Dialogs the robot saw and `mark` lines, in order.
    std::vector<std::u16string> modalPoints;
    /// The host's checks after the run (and, for an add-in unloaded while the host ran, right
    /// after that action).
    HostAudit audit;
    /// Add-in DLLs whose DllCanUnloadNow did not answer S_OK once everything was released.
    int dllsHeld = 0;
    /// Dialogs of the add-in that came after it was told to let go of the host.
    int dialogsAfterCleanUp = 0;
};

/// Exit codes of a run.
enum RunResult : int { kRunOk = 0, kRunFailed = 1, kRunScriptError = 2 };

/// Runs `lines` on the calling thread, which must be in a single-threaded apartment (it is the
/// host's user-interface thread: add-ins are called on it and show their message boxes on it).
int RunScript(const std::vector<ScriptLine>& lines, Transcript& transcript, const RunOptions& options,
              RunFacts* facts = nullptr);

/// `lines` with every `loop <n>` ... `end loop` block written out n times, `%i` in its words
/// replaced by the turn (1 to n), and `every <k>[+<r>] <command...>` kept as <command...> in the
/// turns whose remainder by k is r (0 when left out). Throws ScriptError for a block not closed.
std::vector<ScriptLine> ExpandLoops(const std::vector<ScriptLine>& lines);

}  // namespace standin::win
