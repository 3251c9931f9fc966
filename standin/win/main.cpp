// The stand-in host program.
//   StandinHost [--state <file>] [--transcript <file>] [--deadline <seconds>] [--screenshots <folder>]
//               [--saveas-by-hand] [--timings] <script>
//   StandinHost --sweep failure|nothing|reentrancy [--skip <n>] [--events <file>]
//               [--case-transcripts <file>] [--transcript <file>] [--deadline <seconds>] <script>...
// Runs <script> (README.md) and writes the transcript to <file> or the standard output; or sweeps
// the scripts, one case line each.
// Exit code: 0 ok, 1 a failure was observed (FAILED lines), 2 the script or the command line is
// wrong, 3 an action hung past the deadline.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "com/Strings.h"
#include "standin/win/Runner.h"
#include "standin/win/Script.h"
#include "standin/win/Sweep.h"
#include "standin/win/Transcript.h"

using namespace standin::win;

namespace {

int usage(Transcript& t) {
    t.Line(u"usage: StandinHost [--state <file>] [--transcript <file>] [--deadline <seconds>] "
           u"[--screenshots <folder>] [--saveas-by-hand] [--timings] <script>");
    t.Line(u"       StandinHost --sweep failure|nothing|reentrancy [--skip <n>] [--events <file>] "
           u"[--case-transcripts <file>] [--transcript <file>] [--deadline <seconds>] <script>...");
    return kRunScriptError;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Transcript console(GetStdHandle(STD_OUTPUT_HANDLE));
    RunOptions options;
    std::vector<std::wstring> scripts;
    std::wstring transcriptPath;
    bool sweeping = false;
    SweepOptions sweep;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if ((arg == L"--state" || arg == L"--transcript" || arg == L"--deadline" || arg == L"--screenshots" ||
             arg == L"--sweep" || arg == L"--skip" || arg == L"--events" || arg == L"--case-transcripts") &&
            i + 1 < argc) {
            const std::wstring value = argv[++i];
            if (arg == L"--state") options.statePath = value;
            else if (arg == L"--screenshots") options.screenshotDir = value;
            else if (arg == L"--transcript") transcriptPath = value;
            else if (arg == L"--skip") sweep.skip = _wtoi(value.c_str());
            else if (arg == L"--events") sweep.eventsPath = value;
            else if (arg == L"--case-transcripts") sweep.caseTranscripts = value;
            else if (arg == L"--sweep") {
                sweeping = true;
                if (value == L"failure") sweep.kind = SweepKind::Failure;
                else if (value == L"nothing") sweep.kind = SweepKind::Nothing;
                else if (value == L"reentrancy") sweep.kind = SweepKind::Reentrancy;
                else return usage(console);
            } else {
                options.deadlineMs = static_cast<DWORD>(_wtoi(value.c_str())) * 1000;
            }
        } else if (arg == L"--saveas-by-hand") {
            options.saveAsByHand = true;
        } else if (arg == L"--timings") {
            options.timings = true;
        } else if (arg.rfind(L"--", 0) != 0 && (sweeping || scripts.empty())) {
            scripts.push_back(arg);
        } else {
            return usage(console);
        }
    }
    if (scripts.empty() || options.deadlineMs == 0 || (!sweeping && scripts.size() != 1)) return usage(console);
    const std::wstring scriptPath = scripts.front();
    sweep.deadlineMs = options.deadlineMs;

    HANDLE file = INVALID_HANDLE_VALUE;
    if (!transcriptPath.empty()) {
        file = CreateFileW(transcriptPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            console.Line(u"cannot write the transcript " + com::fromWide(transcriptPath));
            return kRunScriptError;
        }
    }
    Transcript transcript(file != INVALID_HANDLE_VALUE ? file : GetStdHandle(STD_OUTPUT_HANDLE));

    int result = kRunScriptError;
    std::ifstream in(std::filesystem::path(scriptPath), std::ios::binary);
    if (sweeping) {
        // The host's user-interface thread: a single-threaded apartment with OLE.
        if (SUCCEEDED(OleInitialize(nullptr))) {
            try {
                result = RunSweep(sweep, scripts, transcript);
            } catch (const ScriptError& e) {
                transcript.Line(u"error line " + Num(e.line) + u": " + e.message);
            } catch (...) {
                transcript.Line(u"error: unexpected failure");
                result = kRunFailed;
            }
            OleUninitialize();
        } else {
            transcript.Line(u"error: OleInitialize failed");
        }
    } else if (!in) {
        transcript.Line(u"error: cannot read the script " + com::fromWide(scriptPath));
    } else {
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        try {
            const auto lines = ParseScript(FromUtf8(bytes));
            // The host's user-interface thread: a single-threaded apartment with OLE.
            if (SUCCEEDED(OleInitialize(nullptr))) {
                result = RunScript(lines, transcript, options);
                OleUninitialize();
            } else {
                transcript.Line(u"error: OleInitialize failed");
            }
        } catch (const ScriptError& e) {
            transcript.Line(u"error line " + Num(e.line) + u": " + e.message);
        } catch (...) {
            transcript.Line(u"error: unexpected failure");
            result = kRunFailed;
        }
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return result;
}
