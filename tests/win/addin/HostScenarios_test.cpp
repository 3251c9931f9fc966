// Tallowby.dll loaded and driven by the stand-in host program, as the host loads it: registered by
// regsvr32, listed in the host's add-in list, created by ProgID. Each scenario is one or more script
// files under scenarios/ (run in order, sharing the host's kept command bars); the expectations
// stand in the scripts themselves as "#>" and "#!" comments (ScenarioSupport.h). Every run must end
// with exit code 0: no failure observed, every scripted answer used.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/win/ScenarioSupport.h"
#include "tests/win/TestSupport.h"

namespace {

using testing_support::checkRibbonAgreesWithToolbar;
using testing_support::checkTranscript;
using testing_support::expectationsOf;
using testing_support::linesOf;
using testing_support::runProcess;
using testing_support::windowsPath;

DWORD regsvr32(bool unregister, bool perUser) {
    return testing_support::regsvr32(windowsPath(TALLOWBY_DLL_PATH), unregister, perUser);
}

struct Scenario {
    const char* name;
    std::vector<const char*> scripts;
    bool perUser = false;  // registered for the current user alone (regsvr32 /n /i:user)
    // A file that must be there for the scenario to run: small-disk.sh leaves one for each thing it
    // could make (where the machine allows no mount, nothing; the scenario is then skipped).
    const wchar_t* needs = nullptr;
};

void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

class HostScenario : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        if (const wchar_t* needs = GetParam().needs; needs && GetFileAttributesW(needs) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "not on this machine (small-disk.sh could not make it): " << testing_support::narrow(needs);
        // A fixed folder, so that the scripts state the paths of the files they save exactly (the
        // scenarios hold the registry lock: one at a time).
        testing_support::removeTree(folder_);
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        clearSettings();
        // The system's Save As dialog opens where the program last saved (Wine keeps that per
        // program): a demo run in this prefix would move the scenarios' first dialog elsewhere.
        testing_support::forgetLastSaveAsFolders();
        ASSERT_EQ(regsvr32(false, GetParam().perUser), 0u) << "regsvr32 registers the add-in";
    }

    void TearDown() override {
        if (IsSkipped()) return;
        EXPECT_EQ(regsvr32(true, GetParam().perUser), 0u);
        // What scenarios write into the registry themselves.
        (void)RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Tallowby.Alias");
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\Outlook\\Addins\\Tallowby.Alias");
        clearSettings();
        testing_support::removeTree(folder_);
    }

    static void clearSettings() {
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Quenmark Save Attachments");
        // A policy scenario stopped half-way must not leave its policies to the next.
        for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            (void)RegDeleteTreeW(hive, L"Software\\Policies\\Quenmark\\Save Attachments");
    }

    std::wstring state() const { return folder_ + L"\\state.txt"; }
    std::wstring transcript() const { return folder_ + L"\\transcript.txt"; }

    const std::wstring folder_ = L"C:\\tallowby-scenario";
};

TEST_P(HostScenario, TranscriptShowsWhatTheScriptExpects) {
    for (const char* script : GetParam().scripts) {
        SCOPED_TRACE(script);
        const std::wstring path = windowsPath(TALLOWBY_SCENARIO_DIR) + L"\\" + std::wstring(script, script + std::strlen(script));
        const DWORD code = runProcess(L"\"" + windowsPath(STANDIN_HOST_PATH) + L"\" --deadline 30 --state \"" + state() +
                                   L"\" --transcript \"" + transcript() + L"\" \"" + path + L"\"",
                               120000, folder_);
        const auto lines = linesOf(transcript());
        std::ostringstream whole;
        for (const auto& line : lines) whole << line << '\n';
        SCOPED_TRACE("transcript:\n" + whole.str());
        EXPECT_EQ(code, 0u) << "the host observed a failure or could not run the script";
        checkTranscript(lines, expectationsOf(linesOf(path)));
        checkRibbonAgreesWithToolbar(lines);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Host, HostScenario,
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
                      Scenario{"EveryMainWindowIsFollowed", {"every-main-window.script"}},
                      Scenario{"SaveAttachmentsFilesAndShortcuts", {"save-attachments.script"}},
                      Scenario{"SaveAttachmentsQuestionsAndErrors", {"save-questions.script"}},
                      Scenario{"OpenAfterSavingWithoutAProgram", {"open-after-saving.script"}},
                      Scenario{"FailedWritesKeepTheUsersFileAndLeaveNothing", {"save-faults.script"}},
                      Scenario{"ADiskThatFillsKeepsTheUsersFile", {"small-disk-full.script"}, false,
                               L"C:\\tallowby-small-disk\\mounted"},
                      Scenario{"AFolderRefusingNewFilesHasNoFileWrittenInPlace", {"small-disk-refusing.script"}, false,
                               L"C:\\tallowby-small-disk\\refusing"},
                      Scenario{"RibbonAtStartUp", {"ribbon-startup.script"}},
                      Scenario{"RibbonFollowsSelection", {"ribbon-selection.script"}},
                      Scenario{"RibbonWhenSending", {"ribbon-send.script"}},
                      Scenario{"RibbonClickSavesTheAttachments", {"ribbon-click.script"}},
                      Scenario{"HostileNamesLandInTheFolderUnderSoundNames", {"hostile-names.script"}},
                      Scenario{"LastMainWindowClosedWhileADialogIsUp", {"cleanup-while-up.script"}},
                      Scenario{"ShutDownWhileADialogIsUp", {"shutdown-while-up.script"}},
                      Scenario{"Version14ExitTellsAnAddInThatAsks", {"exit-notified.script"}},
                      Scenario{"StartUpSurvivesAWindowThatFails", {"startup-failures.script"}},
                      Scenario{"FailedConnectionMarksTheAddInNotLoaded", {"not-loaded.script"}},
                      Scenario{"GuardRefusingTheSenderCostsOnlyItsNames", {"guard-refuses.script"}},
                      Scenario{"Version11ShortcutsReportedAsOleUntilSaved", {"shortcuts-11.script"}},
                      Scenario{"Version14LinkingHostReplacesAndWarns", {"shortcuts-14-link.script"}},
                      Scenario{"Version14CopyingHostKeepsTheOriginals", {"shortcuts-14-copy.script"}},
                      Scenario{"Version14RefusingHostKeepsTheOriginals", {"shortcuts-14-refuse.script"}},
                      Scenario{"Version14HidesInlinePictures", {"inline-pictures-14.script"}},
                      Scenario{"Version11OffersInlinePictures", {"inline-pictures-11.script"}},
                      Scenario{"RegisteredForTheUserAlone", {"per-user.script"}, true},
                      Scenario{"SaveAllCollisionsGetTheDropDownsNames", {"save-all-collisions.script"}},
                      Scenario{"MainWindowSelectionAndReadingPane", {"main-window-14.script"}},
                      Scenario{"MainWindowBeforeVersion14ChangesNothing", {"main-window-11.script"}},
                      Scenario{"SaveAllCancelUnsavedAndAFailedWrite", {"save-all-cancel.script"}},
                      Scenario{"SaveAllVersion14LinkingHostReplaces", {"save-all-14-link.script"}},
                      Scenario{"SaveAllVersion14CopyingHostKeepsTheOriginals", {"save-all-14-copy.script"}},
                      Scenario{"SaveAllVersion14PoliciesSetOrWithdrawTheBox", {"save-all-14-policy.script"}},
                      Scenario{"SaveAllUnloadedWhileTheFolderDialogIsUp", {"save-all-unload-while-up.script"}},
                      Scenario{"SaveAllHostileNamesLandUnderSoundNames", {"save-all-hostile.script"}},
                      Scenario{"SaveAllCancelInTheProgressWindow", {"save-all-progress.script"}},
                      Scenario{"SaveAllUnloadedWhileTheProgressWindowIsUp", {"save-all-unload-during-progress.script"}}),
    [](const ::testing::TestParamInfo<Scenario>& p) { return std::string(p.param.name); });

}  // namespace
