// The stand-in host program.
//   StandinHost [--state <file>] [--transcript <file>] [--deadline <seconds>] [--screenshots <folder>]
//               [--saveas-by-hand] <script>
// Runs <script> (README.md) and writes the transcript to <file> or the standard output.
// Exit code: 0 ok, 1 a failure was observed (FAILED lines), 2 the script or the command line is
// wrong, 3 an action hung past the deadline.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Runner.h"
#include "Script.h"
#include "Transcript.h"
#include "com/Strings.h"

using namespace standin::win;

namespace {

int usage(Transcript& t) {
    t.Line(u"usage: StandinHost [--state <file>] [--transcript <file>] [--deadline <seconds>] "
           u"[--screenshots <folder>] [--saveas-by-hand] <script>");
    return kRunScriptError;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Transcript console(GetStdHandle(STD_OUTPUT_HANDLE));
    RunOptions options;
    std::wstring scriptPath;
    std::wstring transcriptPath;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if ((arg == L"--state" || arg == L"--transcript" || arg == L"--deadline" || arg == L"--screenshots") &&
            i + 1 < argc) {
            const std::wstring value = argv[++i];
            if (arg == L"--state") options.statePath = value;
            else if (arg == L"--screenshots") options.screenshotDir = value;
            else if (arg == L"--transcript") transcriptPath = value;
            else options.deadlineMs = static_cast<DWORD>(_wtoi(value.c_str())) * 1000;
        } else if (arg == L"--saveas-by-hand") {
            options.saveAsByHand = true;
        } else if (scriptPath.empty() && arg.rfind(L"--", 0) != 0) {
            scriptPath = arg;
        } else {
            return usage(console);
        }
    }
    if (scriptPath.empty() || options.deadlineMs == 0) return usage(console);

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
    if (!in) {
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
