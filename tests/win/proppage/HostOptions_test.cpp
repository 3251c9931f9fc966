// The options page in the stand-in host's Options dialog, with both DLLs registered by regsvr32 and
// the add-in loaded from the host's add-in list. Each scenario script under scenarios/ states its
// expectations as "#>" and "#!" comments (ScenarioSupport.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/win/ScenarioSupport.h"

namespace {

using testing_support::checkTranscript;
using testing_support::expectationsOf;
using testing_support::linesOf;
using testing_support::runProcess;
using testing_support::windowsPath;

DWORD regsvr32(const wchar_t* dll, bool unregister) { return testing_support::regsvr32(windowsPath(dll), unregister); }

void clearSettings() {
    (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Quenmark Save Attachments");
    // A policy scenario stopped half-way must not leave its policies to the next.
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        (void)RegDeleteTreeW(hive, L"Software\\Policies\\Quenmark\\Save Attachments");
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
    const DWORD code = runProcess(L"\"" + windowsPath(STANDIN_HOST_PATH) + L"\" --deadline 30 --transcript \"" + transcript_ +
                           L"\" \"" + script + L"\"");
    const auto lines = linesOf(transcript_);
    std::ostringstream whole;
    for (const auto& line : lines) whole << line << '\n';
    SCOPED_TRACE("transcript:\n" + whole.str());
    EXPECT_EQ(code, 0u) << "the host observed a failure or could not run the script";
    checkTranscript(lines, expectationsOf(linesOf(script)));
}

INSTANTIATE_TEST_SUITE_P(Page, HostOptions,
                         ::testing::Values("apply-one-click.script", "apply-two-clicks.script", "two-pages.script",
                                           "no-bridge.script", "about.script", "apply-reaches-save-as.script",
                                           "keys.script", "exit-fast.script", "exit-fast-no-close.script",
                                           "shortcuts-refused.script", "policy-replace.script",
                                           "policy-no-replace.script", "policy-ignored.script"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string n;
                             for (const char* c = p.param; *c && *c != '.'; ++c)
                                 if (*c != '-') n += *c;
                             return n;
                         });

}  // namespace
