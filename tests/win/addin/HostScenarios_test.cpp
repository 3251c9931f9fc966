// Tallowby.dll loaded and driven by the stand-in host program, as the host loads it: registered by
// regsvr32, listed in the host's add-in list, created by ProgID. Each scenario is one or more script
// files under scenarios/ (run in order, sharing the host's kept command bars); the expectations
// stand in the scripts themselves as comments:
//   #> <line>     the transcript has this line, after the line of the previous "#>"; a line ending
//                 in " ..." matches any transcript line that starts with the text before it
//   #! <prefix>   no transcript line between the previous "#>" match and the next one (or the end)
//                 starts with this text
// Every run must end with exit code 0: no failure observed, every scripted answer used.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "com/Strings.h"

namespace {

// Paths as the build machine spells them; Wine shows that file system as drive Z:.
std::wstring windowsPath(const char16_t* unixPath) {
    std::wstring path = L"Z:" + com::toWide(unixPath);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::string narrow(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                       out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

// Runs `command` in `folder` (the current one when empty) and returns its exit code; ~0 when it
// cannot start or outlives its deadline.
DWORD run(std::wstring command, DWORD deadlineMs, const std::wstring& folder = {}) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        ADD_FAILURE() << "cannot start " << narrow(command) << ": " << GetLastError();
        return ~0u;
    }
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, deadlineMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        ADD_FAILURE() << narrow(command) << " did not finish in time";
        TerminateProcess(process.hProcess, ~0u);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD regsvr32(bool unregister) {
    return run(L"regsvr32.exe /s " + std::wstring(unregister ? L"/u " : L"") + L"\"" + windowsPath(TALLOWBY_DLL_PATH) +
                   L"\"",
               60000);
}

std::vector<std::string> linesOf(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct Expectation {
    bool present;  // "#>" rather than "#!"
    std::string text;
    int scriptLine;
};

std::vector<Expectation> expectationsOf(const std::vector<std::string>& script) {
    std::vector<Expectation> found;
    for (size_t i = 0; i < script.size(); ++i) {
        const std::string& line = script[i];
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || (line.compare(start, 2, "#>") != 0 && line.compare(start, 2, "#!") != 0))
            continue;
        std::string text = line.substr(start + 2);
        if (!text.empty() && text.front() == ' ') text.erase(0, 1);
        found.push_back({line[start + 1] == '>', text, static_cast<int>(i + 1)});
    }
    return found;
}

bool matches(const std::string& line, const std::string& expected) {
    const std::string more = " ...";
    if (expected.size() >= more.size() && expected.compare(expected.size() - more.size(), more.size(), more) == 0)
        return line.compare(0, expected.size() - more.size(), expected, 0, expected.size() - more.size()) == 0;
    return line == expected;
}

// Checks the transcript against the script's expectations; every miss is reported with the line of
// the script that states it.
void check(const std::vector<std::string>& transcript, const std::vector<Expectation>& expectations) {
    size_t at = 0;  // the first transcript line not yet consumed by a "#>"
    std::vector<const Expectation*> forbidden;
    const auto checkForbidden = [&](size_t from, size_t to) {
        for (const Expectation* e : forbidden)
            for (size_t i = from; i < to; ++i)
                if (transcript[i].rfind(e->text, 0) == 0)
                    ADD_FAILURE() << "script line " << e->scriptLine << ": unexpected transcript line " << i + 1
                                  << ": " << transcript[i];
        forbidden.clear();
    };
    for (const Expectation& e : expectations) {
        if (!e.present) {
            forbidden.push_back(&e);
            continue;
        }
        size_t i = at;
        while (i < transcript.size() && !matches(transcript[i], e.text)) ++i;
        if (i == transcript.size()) {
            ADD_FAILURE() << "script line " << e.scriptLine << ": not found after transcript line " << at << ": "
                          << e.text;
            continue;
        }
        checkForbidden(at, i);
        at = i + 1;
    }
    checkForbidden(at, transcript.size());
}

struct Scenario {
    const char* name;
    std::vector<const char*> scripts;
};

void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

class HostScenario : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        // A fixed folder, so that the scripts state the paths of the files they save exactly (the
        // scenarios hold the registry lock: one at a time).
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(folder_), ignored);
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        clearSettings();
        ASSERT_EQ(regsvr32(false), 0u) << "regsvr32 registers the add-in";
    }

    void TearDown() override {
        EXPECT_EQ(regsvr32(true), 0u);
        // What scenarios write into the registry themselves.
        (void)RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Tallowby.Alias");
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\Outlook\\Addins\\Tallowby.Alias");
        clearSettings();
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(folder_), ignored);
    }

    static void clearSettings() {
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Quenmark Save Attachments");
    }

    std::wstring state() const { return folder_ + L"\\state.txt"; }
    std::wstring transcript() const { return folder_ + L"\\transcript.txt"; }

    const std::wstring folder_ = L"C:\\tallowby-scenario";
};

TEST_P(HostScenario, TranscriptShowsWhatTheScriptExpects) {
    for (const char* script : GetParam().scripts) {
        SCOPED_TRACE(script);
        const std::wstring path = windowsPath(TALLOWBY_SCENARIO_DIR) + L"\\" + std::wstring(script, script + std::strlen(script));
        const DWORD code = run(L"\"" + windowsPath(STANDIN_HOST_PATH) + L"\" --deadline 30 --state \"" + state() +
                                   L"\" --transcript \"" + transcript() + L"\" \"" + path + L"\"",
                               120000, folder_);
        const auto lines = linesOf(transcript());
        std::ostringstream whole;
        for (const auto& line : lines) whole << line << '\n';
        SCOPED_TRACE("transcript:\n" + whole.str());
        EXPECT_EQ(code, 0u) << "the host observed a failure or could not run the script";
        check(lines, expectationsOf(linesOf(path)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Issue, HostScenario,
    ::testing::Values(Scenario{"StartupWithOpenWindows", {"startup-open-windows.script"}},
                      Scenario{"PicturesFromVersion11", {"pictures-version-11.script"}},
                      Scenario{"OnActionFollowsTheHostsProgId", {"progid-alias.script"}},
                      Scenario{"ClickReachesTheCommand", {"click.script"}},
                      Scenario{"SendWithShortcuts", {"send-shortcuts.script"}},
                      Scenario{"OptionsPage", {"options-page.script"}},
                      Scenario{"PreferenceReadAndWrittenBack", {"preference.script"}},
                      Scenario{"PreferenceNotABoolean", {"preference-mismatch.script"}},
                      Scenario{"ToolbarKeptAcrossRuns", {"kept-toolbar-1.script", "kept-toolbar-2.script"}},
                      Scenario{"UnloadRemovesButtonsAndEmptyBars", {"unload.script"}},
                      Scenario{"LateWindowsAndSelection", {"late-windows.script"}},
                      Scenario{"SaveAttachmentsFilesAndShortcuts", {"save-attachments.script"}},
                      Scenario{"SaveAttachmentsQuestionsAndErrors", {"save-questions.script"}},
                      Scenario{"OpenAfterSavingWithoutAProgram", {"open-after-saving.script"}}),
    [](const ::testing::TestParamInfo<Scenario>& p) { return std::string(p.param.name); });

}  // namespace
