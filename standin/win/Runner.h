#pragma once
// Runs a script against the stand-in host: loads the add-ins listed in the registry, performs the
// user's and the host's actions, and writes what it observed to the transcript (README.md).
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Script.h"
#include "Transcript.h"

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
};

/// Exit codes of a run.
enum RunResult : int { kRunOk = 0, kRunFailed = 1, kRunScriptError = 2 };

/// Runs `lines` on the calling thread, which must be in a single-threaded apartment (it is the
/// host's user-interface thread: add-ins are called on it and show their message boxes on it).
int RunScript(const std::vector<ScriptLine>& lines, Transcript& transcript, const RunOptions& options);

}  // namespace standin::win
