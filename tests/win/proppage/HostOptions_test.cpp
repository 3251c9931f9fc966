// The options page in the stand-in host's Options dialog, with both DLLs registered by regsvr32 and
// the add-in loaded from the host's add-in list. Each scenario script under scenarios/ states its
// expectations as comments: "#> <line>" the transcript has this line after the previous match ("..."
// matches any text); "#! <prefix>" no line starting so until the next match.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring windowsPath(const wchar_t* unixPath) {
    std::wstring path = std::wstring(L"Z:") + unixPath;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

DWORD run(std::wstring command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start a process: " << GetLastError();
        return ~0u;
    }
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        ADD_FAILURE() << "a process did not finish in time";
        TerminateProcess(process.hProcess, ~0u);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD regsvr32(const wchar_t* dll, bool unregister) {
    return run(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + windowsPath(dll) + L"\"");
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

// "..." in an expectation stands for any text (e.g. a folder that depends on the machine).
bool matches(const std::string& line, const std::string& expected) {
    size_t at = 0, from = 0;
    for (size_t dots; (dots = expected.find("...", from)) != std::string::npos; from = dots + 3) {
        const std::string piece = expected.substr(from, dots - from);
        if (from == 0 ? !line.starts_with(piece) : (at = line.find(piece, at)) == std::string::npos) return false;
        at += piece.size();
    }
    const std::string last = expected.substr(from);
    if (from == 0) return line == expected;
    return line.size() >= at + last.size() && line.ends_with(last);
}

void check(const std::vector<std::string>& transcript, const std::vector<std::string>& script) {
    size_t at = 0;
    std::vector<std::pair<std::string, size_t>> forbidden;
    const auto checkForbidden = [&](size_t to) {
        for (const auto& [prefix, scriptLine] : forbidden)
            for (size_t i = at; i < to; ++i)
                if (transcript[i].starts_with(prefix))
                    ADD_FAILURE() << "script line " << scriptLine << ": unexpected: " << transcript[i];
        forbidden.clear();
    };
    for (size_t n = 0; n < script.size(); ++n) {
        const std::string& line = script[n];
        if (line.starts_with("#! ")) forbidden.emplace_back(line.substr(3), n + 1);
        if (!line.starts_with("#> ")) continue;
        const std::string expected = line.substr(3);
        size_t i = at;
        while (i < transcript.size() && !matches(transcript[i], expected)) ++i;
        if (i == transcript.size()) {
            ADD_FAILURE() << "script line " << n + 1 << ": not found after transcript line " << at << ": " << expected;
            continue;
        }
        checkForbidden(i);
        at = i + 1;
    }
    checkForbidden(transcript.size());
}

void clearSettings() {
    (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Quenmark Save Attachments");
}

class HostOptions : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        transcript_ = std::wstring(temp) + L"tallowby-options-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        clearSettings();
        ASSERT_EQ(regsvr32(TALLOWBY_DLL_PATH, false), 0u);
        ASSERT_EQ(regsvr32(TALLOWBY_PAGE_DLL_PATH, false), 0u);
    }
    void TearDown() override {
        // A scenario may have removed part of a registration: register again, then unregister.
        for (const wchar_t* dll : {TALLOWBY_DLL_PATH, TALLOWBY_PAGE_DLL_PATH}) {
            EXPECT_EQ(regsvr32(dll, false), 0u);
            EXPECT_EQ(regsvr32(dll, true), 0u);
        }
        clearSettings();
        DeleteFileW(transcript_.c_str());
    }
    std::wstring transcript_;
};

TEST_P(HostOptions, TranscriptShowsWhatTheScriptExpects) {
    const std::string name = GetParam();
    const std::wstring script = windowsPath(SCENARIO_DIR) + L"\\" + std::wstring(name.begin(), name.end());
    const DWORD code = run(L"\"" + windowsPath(STANDIN_HOST_PATH) + L"\" --deadline 30 --transcript \"" + transcript_ +
                           L"\" \"" + script + L"\"");
    const auto lines = linesOf(transcript_);
    std::ostringstream whole;
    for (const auto& line : lines) whole << line << '\n';
    SCOPED_TRACE("transcript:\n" + whole.str());
    EXPECT_EQ(code, 0u) << "the host observed a failure or could not run the script";
    check(lines, linesOf(script));
}

INSTANTIATE_TEST_SUITE_P(Page, HostOptions,
                         ::testing::Values("apply-one-click.script", "apply-two-clicks.script", "two-pages.script",
                                           "no-bridge.script", "about.script", "apply-reaches-save-as.script"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string n;
                             for (const char* c = p.param; *c && *c != '.'; ++c)
                                 if (*c != '-') n += *c;
                             return n;
                         });

}  // namespace
