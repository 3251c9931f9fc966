#pragma once
// The host program's sweeps: one scenario script run again and again in one process, each time
// with the host spoiled in another way, and the host's checks after each run written as a case
// line (README.md, Sweeps).
#include <string>
#include <vector>

#include "standin/win/Runner.h"
#include "standin/win/Transcript.h"

namespace standin::win {

enum class SweepKind { Failure, Nothing, Reentrancy };

struct SweepOptions {
    SweepKind kind = SweepKind::Failure;
    /// Cases before this one (counted from 0 over all scripts, each script's run as written first)
    /// are not run again: a sweep that ended in a crash goes on after the case that crashed.
    int skip = 0;
    /// `event "<name>" <command...>` lines: what the re-entrancy sweep raises while a window is up.
    std::wstring eventsPath;
    /// Where each case's whole transcript is appended; none when empty.
    std::wstring caseTranscripts;
    DWORD deadlineMs = 30000;
};

/// Runs the sweep over `scripts`, writing one `case` line per case to `report` and a last line
/// `sweep done cases=<n>`. Returns the program's exit code (2 for a script that cannot be read).
int RunSweep(const SweepOptions& options, const std::vector<std::wstring>& scripts, Transcript& report);

}  // namespace standin::win
