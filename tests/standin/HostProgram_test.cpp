// The host program end to end: it reads the add-in list, loads a test add-in by ProgID, runs a
// script, answers the add-in's message boxes, keeps the toolbar between runs, and reports what the
// add-in still holds and whether its DLL can unload.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "standin/win/Transcript.h"

using standin::win::FromUtf8;
using standin::win::ToUtf8;

namespace {

const wchar_t kAddInKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins\\StandinTest.FakeAddIn";

// Build paths are Unix paths; Wine shows the Unix root as drive Z:.
std::wstring windowsPath(const wchar_t* unixPath) {
    std::wstring path = std::wstring(L"Z:") + unixPath;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring tempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(1 << 20, '\0');
    DWORD n = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(file);
    bytes.resize(n);
    return bytes;
}

void callEntry(const char* name) {
    HMODULE dll = LoadLibraryW(windowsPath(STANDIN_FAKE_ADDIN_DLL).c_str());
    ASSERT_NE(dll, nullptr);
    auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(), S_OK) << name;
    FreeLibrary(dll);
}

struct HostRun {
    DWORD exitCode = ~0u;
    std::string transcript;

    bool has(const std::string& line) const { return transcript.find(line + "\n") != std::string::npos; }
    size_t count(const std::string& part) const {
        size_t n = 0;
        for (size_t at = transcript.find(part); at != std::string::npos; at = transcript.find(part, at + 1)) ++n;
        return n;
    }
    // Whether `first` comes before `second` (both present).
    bool order(const std::string& first, const std::string& second) const {
        const size_t a = transcript.find(first);
        const size_t b = transcript.find(second);
        return a != std::string::npos && b != std::string::npos && a < b;
    }
};

class HostProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        callEntry("DllRegisterServer");
        listAddIn(3);
        DeleteFileW(state.c_str());
    }
    void TearDown() override {
        RegDeleteKeyW(HKEY_CURRENT_USER, kAddInKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kAddInKey);
        callEntry("DllUnregisterServer");
        DeleteFileW(state.c_str());
        DeleteFileW(script.c_str());
        DeleteFileW(transcript.c_str());
    }

    // An entry in the user's list, or with `root` HKEY_LOCAL_MACHINE in the machine's.
    static void listAddIn(DWORD loadBehavior, HKEY root = HKEY_CURRENT_USER) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, kAddInKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
        const wchar_t name[] = L"Fake";
        const wchar_t description[] = L"Test add-in";
        RegSetValueExW(key, L"FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
        RegSetValueExW(key, L"Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(description), sizeof description);
        RegSetValueExW(key, L"LoadBehavior", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&loadBehavior),
                       sizeof loadBehavior);
        RegCloseKey(key);
    }

    HostRun run(const std::string& text, const std::wstring& extra = L"") {
        writeFile(script, text);
        std::wstring command = L"\"" + windowsPath(STANDIN_HOST_EXE) + L"\" --state \"" + state + L"\" --transcript \"" +
                               transcript + L"\" --deadline 30 " + extra + L"\"" + script + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        HostRun result;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            ADD_FAILURE() << "cannot start the host program: " << GetLastError();
            return result;
        }
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 90000), WAIT_OBJECT_0) << "the host program finished";
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        result.transcript = readFile(transcript);
        return result;
    }

    std::wstring script = tempPath(L"standin_program_script.txt");
    std::wstring transcript = tempPath(L"standin_program_transcript.txt");
    std::wstring state = tempPath(L"standin_program_state.txt");
};

const std::string kButton =
    "caption=\"Fake Button\" onaction=\"!<StandinTest.FakeAddIn>\" style=3 tag=\"Fake.Button\"";

TEST_F(HostProgramTest, LoadsTheAddInAndRunsAVersion9Session) {
    const HostRun r = run(
        "version 9.0.0.2711\n"
        "open mail \"Report\" sent from \"Ann\" attach byvalue report.doc\n"
        "open mail \"Empty\" sent\n"
        "start\n"
        "activate \"Report\"\n"
        "answer OK OK   # the host raises Click for both buttons with the tag\n"
        "click\n"
        "answer No\n"
        "send\n"
        "answer Yes\n"
        "send\n"
        "options\n"
        "shutdown\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.has("addin key=\"StandinTest.FakeAddIn\" friendlyname=\"Fake\" description=\"Test add-in\" loadbehavior=3"));
    EXPECT_TRUE(r.has("addin \"StandinTest.FakeAddIn\" OnConnection ok"));
    EXPECT_TRUE(r.has("bar window=inspector:1 name=\"Fake Toolbar\" visible=true protection=1 controls=1"));
    EXPECT_TRUE(r.has("button window=inspector:1 bar=\"Fake Toolbar\" " + kButton +
                      " enabled=true faceid=59 picture=\"none\" mask=\"none\""));
    EXPECT_TRUE(r.has("button window=inspector:2 bar=\"Fake Toolbar\" " + kButton +
                      " enabled=false faceid=59 picture=\"none\" mask=\"none\""));
    EXPECT_EQ(r.count("msgbox title=\"Fake\" text=\"Clicked Fake Button\" buttons=OK icon=none default=1 answer=OK\n"), 2u);
    EXPECT_EQ(r.count("event Click sinks=1 canceldefault=false\n"), 2u);
    EXPECT_TRUE(r.has("msgbox title=\"StandinTest.FakeAddIn\" text=\"Send Report?\" buttons=YesNo icon=question "
                      "default=1 answer=No"));
    EXPECT_TRUE(r.order("answer=No", "event ItemSend sinks=1 cancel=true"));
    EXPECT_TRUE(r.has("send subject=\"Report\" result=cancelled"));
    EXPECT_TRUE(r.has("send subject=\"Report\" result=sent"));
    EXPECT_TRUE(r.order("result=sent", "window inspector:1 closed"));
    EXPECT_TRUE(r.has("page progid=\"Fake.Page\" title=\"Fake Page\" registered=no"));
    // Shut-down: the last explorer's Close, then OnBeginShutdown, then OnDisconnection.
    EXPECT_TRUE(r.order("event Close sinks=1", "OnBeginShutdown ok"));
    EXPECT_TRUE(r.order("OnBeginShutdown ok", "OnDisconnection host-shutdown ok"));
    EXPECT_TRUE(r.has("held none"));
    EXPECT_TRUE(r.has("addin \"StandinTest.FakeAddIn\" DllCanUnloadNow S_OK unloaded=yes"));
    EXPECT_TRUE(r.has("state saved inspector-bars=1 explorer-bars=0"));
    EXPECT_TRUE(r.has("end ok"));
}

TEST_F(HostProgramTest, TheToolbarIsKeptForTheNextRunAndFoundByTag) {
    const HostRun first = run("open mail \"One\" sent attach byvalue a.txt\n");
    ASSERT_EQ(first.exitCode, 0u) << first.transcript;
    const HostRun second = run("open mail \"Two\" sent attach byvalue b.txt\n");
    SCOPED_TRACE(second.transcript);
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_TRUE(second.has("state loaded inspector-bars=1 explorer-bars=0"));
    EXPECT_EQ(second.count("\nbar window=inspector:1 "), 1u) << "no second toolbar";
    EXPECT_TRUE(second.has("button window=inspector:1 bar=\"Fake Toolbar\" " + kButton +
                           " enabled=true faceid=59 picture=\"none\" mask=\"none\""));
}

TEST_F(HostProgramTest, ALaterVersionGetsPictureAndMask) {
    const HostRun r = run("version 11.0.5510\nopen mail \"Report\" sent attach byvalue r.doc\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.has("host version=\"11.0.5510\" pictures=yes"));
    EXPECT_TRUE(r.has("button window=inspector:1 bar=\"Fake Toolbar\" " + kButton +
                      " enabled=true faceid=0 picture=\"bitmap 16x16\" mask=\"bitmap 16x16\""));
}

TEST_F(HostProgramTest, ItemsOpenWithTheirBodyClassAndRightsAndShowTheirBody) {
    const HostRun r = run(
        "version 14.0.0.1\n"
        "open mail \"Html\" sent body html \"<p>A &amp; B</p>line<br>two\"\n"
        "open appointment \"Rtf\" body rtf \"{\\rtf1 Caf\\'e9\\par end}\"\n"
        "open mail \"Plain\" body plain \"just text\" class \"IPM.Note.SMIME\" access read\n"
        "start\n"
        "show body 1\n"
        "show body \"Rtf\"\n"
        "show body\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.has("body window=inspector:1 format=html text=\"A & B\\r\\nline\\r\\ntwo\""));
    EXPECT_TRUE(r.has("body html=\"<p>A &amp; B</p>line<br>two\""));
    EXPECT_TRUE(r.has("body window=inspector:2 format=rtf text=\"Caf\xC3\xA9\\r\\nend\""));
    EXPECT_TRUE(r.has("body rtf=\"{\\rtf1 Caf\\'e9\\par end}\""));
    EXPECT_TRUE(r.has("body window=inspector:3 format=plain text=\"just text\""));
    EXPECT_EQ(r.count("body html="), 1u);
    EXPECT_EQ(r.count("body rtf="), 1u);
}

TEST_F(HostProgramTest, ABodyTheItemCannotHaveIsAScriptError) {
    const struct {
        const char* script;
        const char* error;
    } cases[] = {
        {"open note body html \"<p>x</p>\"\n", "error line 1: open: only mail and posts have an HTML body"},
        {"version 12.0.0.1\nopen mail body rtf \"{\\rtf1 x}\"\n",
         "error line 2: open: a host of version 12 has no RTF body (version 14 on)"},
        {"version 14.0.0.1\nopen journal body rtf \"{\\rtf1 x}\"\n",
         "error line 2: open: an item of kind journal has no RTF body"},
        {"open mail body word \"x\"\n", "error line 1: open: body html, rtf or plain expected"},
        {"open mail access write\n", "error line 1: open: access read expected"},
    };
    for (const auto& c : cases) {
        const HostRun r = run(c.script);
        SCOPED_TRACE(r.transcript);
        EXPECT_NE(r.exitCode, 0u);
        EXPECT_TRUE(r.has(c.error));
    }
}

TEST_F(HostProgramTest, UnloadingRemovesTheButtonsAndReleasesEverything) {
    const HostRun r = run("open mail \"Report\" sent attach byvalue r.doc\nunload StandinTest.FakeAddIn\nclose\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.has("addin \"StandinTest.FakeAddIn\" OnDisconnection user-closed ok"));
    EXPECT_TRUE(r.order("OnDisconnection user-closed ok", "gone button window=inspector:1"));
    EXPECT_TRUE(r.order("OnDisconnection user-closed ok", "gone bar window=inspector:1"));
    EXPECT_TRUE(r.order("gone bar window=inspector:1", "held none"));
    EXPECT_TRUE(r.has("addin \"StandinTest.FakeAddIn\" DllCanUnloadNow S_OK unloaded=yes"));
    EXPECT_EQ(r.count("OnBeginShutdown"), 0u) << "an unloaded add-in is not called at shut-down";
}

TEST_F(HostProgramTest, OnlyLoadBehavior3IsLoadedAtStartUp) {
    listAddIn(2);
    const HostRun r = run("start\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.has("addin key=\"StandinTest.FakeAddIn\" friendlyname=\"Fake\" description=\"Test add-in\" loadbehavior=2"));
    EXPECT_EQ(r.count("\"StandinTest.FakeAddIn\" OnConnection"), 0u);
}

// The machine's list (every user's) is read after the user's, and the user's key wins.
TEST_F(HostProgramTest, TheMachinesListLoadsAndTheUsersEntryWins) {
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kAddInKey), ERROR_SUCCESS);
    listAddIn(3, HKEY_LOCAL_MACHINE);
    const HostRun machine = run("start\n");
    SCOPED_TRACE(machine.transcript);
    EXPECT_EQ(machine.exitCode, 0u);
    EXPECT_TRUE(machine.has("addins listed=1"));
    EXPECT_TRUE(machine.has(
        "addin key=\"StandinTest.FakeAddIn\" friendlyname=\"Fake\" description=\"Test add-in\" loadbehavior=3 list=machine"));
    EXPECT_TRUE(machine.has("addin \"StandinTest.FakeAddIn\" OnConnection ok"));
    EXPECT_EQ(machine.count("class \"StandinTest.FakeAddIn\" machine-wide server=\""), 1u);
    EXPECT_TRUE(machine.order("machine-wide server=", "OnConnection ok"));

    listAddIn(2);
    const HostRun both = run("start\n");
    SCOPED_TRACE(both.transcript);
    EXPECT_EQ(both.exitCode, 0u);
    EXPECT_TRUE(both.has("addins listed=1"));
    EXPECT_TRUE(both.has("addin key=\"StandinTest.FakeAddIn\" friendlyname=\"Fake\" description=\"Test add-in\" loadbehavior=2"));
    EXPECT_EQ(both.count("list=machine"), 0u);
    EXPECT_EQ(both.count("\"StandinTest.FakeAddIn\" OnConnection"), 0u) << "the user's LoadBehavior 2 wins";
}

TEST_F(HostProgramTest, AnUnscriptedMessageBoxFailsTheRun) {
    const HostRun r = run("open mail \"Report\" sent\nsend\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(r.has("FAILED robot: no answer was scripted for this dialog"));
    EXPECT_TRUE(r.has("end failed"));
}

TEST_F(HostProgramTest, AnAnswerNoDialogUsedFailsTheRun) {
    const HostRun r = run("open mail \"Report\" sent\nanswer Yes\nselect\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(r.has("FAILED robot: the answer Yes was not used by any dialog"));
}

TEST_F(HostProgramTest, AScriptErrorStopsWithItsLine) {
    const HostRun r = run("open mail \"Report\"\njump\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_TRUE(r.has("error line 2: unknown command: jump"));
}

// `version` and `play` are read by the model's table of behaviours: its answers, its errors.
TEST_F(HostProgramTest, PlayAndVersionTakeTheAnswersOfTheTable) {
    const HostRun played = run("version 14.0.7015.1000\nplay slow-save 0 pump\nplay exit-close off\nstart\n");
    SCOPED_TRACE(played.transcript);
    EXPECT_EQ(played.exitCode, 0u);
    EXPECT_TRUE(played.has("host plays slow-save=0 pump"));
    EXPECT_TRUE(played.has("host plays exit-close=off"));
    EXPECT_TRUE(played.has("host fast shutdown without Close for the last main window"));
    const struct {
        const char* script;
        const char* error;
    } cases[] = {
        {"play\n", "error line 1: play: exit-close, guard, byref, menus or slow-save expected"},
        {"play slow-save 20000 pump\n", "error line 1: play slow-save: 20000 is not one of its answers (0 to 10000 ms)"},
        {"play slow-save 260\n", "error line 1: play slow-save <ms> still|pump expected"},
        {"play guard maybe\n", "error line 1: play guard: maybe is not one of its answers (allow|refuse)"},
        {"version\n", "error line 1: version <text> expected"},
    };
    for (const auto& c : cases) {
        const HostRun r = run(c.script);
        SCOPED_TRACE(r.transcript);
        EXPECT_EQ(r.exitCode, 2u);
        EXPECT_TRUE(r.has(c.error)) << c.error;
    }
}

TEST_F(HostProgramTest, ARibbonHostAsksForTheRibbonAndGoesOnWithoutIt) {
    const HostRun r = run("version 14.0.7015.1000\nopen mail \"Report\" sent attach byvalue r.doc\nstart\nshutdown\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.has("host ribbon reads=\"2006/01/customui 2009/07/customui\""));
    EXPECT_TRUE(r.order("OnConnection ok", "addin \"StandinTest.FakeAddIn\" IRibbonExtensibility no"));
    EXPECT_EQ(r.count("\nribbon "), 0u);
    EXPECT_TRUE(r.has("held none"));
    // Without a ribbon there is nothing to click; before version 12 there is no ribbon at all.
    EXPECT_EQ(run("version 14.0.7015.1000\nopen mail \"R\" sent\nribbon click \"Fake\"\n").exitCode, 2u);
    const HostRun old = run("version 11.0.5510\nopen mail \"R\" sent\nribbon click \"Fake\"\n");
    EXPECT_TRUE(old.has("error line 3: ribbon: a host of version 11 has no ribbon")) << old.transcript;
    EXPECT_EQ(old.count("IRibbonExtensibility"), 0u);
}

TEST_F(HostProgramTest, TheMainWindowsSelectionIsScriptedAndReported) {
    const std::string items = "version 14.0.7015.1000\nlist mail \"Report\" sent attach byvalue a.txt attach byvalue b.txt\n"
                              "list mail \"Other\" sent\nstart\n";
    const HostRun played = run(items + "select \"Report\" \"Other\"\nselect attachments \"Report\" b.txt a.txt\n"
                                       "play menus cached\nmenu ContextMenuAttachments open\nselect\nshow explorer\nshutdown\n");
    SCOPED_TRACE(played.transcript);
    EXPECT_EQ(played.exitCode, 0u);
    EXPECT_TRUE(played.has("listed item=MailItem subject=\"Report\""));
    EXPECT_TRUE(played.order("selection window=explorer:1 items=2 \"Report\" \"Other\"", "event SelectionChange"));
    // The reading pane shows the first item selected: its attachments are selected there at once.
    EXPECT_TRUE(played.has("selection window=explorer:1 item=\"Report\" attachments=2 \"b.txt\" \"a.txt\""));
    EXPECT_EQ(played.count("selection window=explorer:1 items="), 1u);
    EXPECT_TRUE(played.has("host plays menus=cached"));
    EXPECT_TRUE(played.has("held none"));
}

TEST_F(HostProgramTest, MainWindowRibbonWordsNeedAHostThatHasThem) {
    const struct {
        const char* script;
        const char* error;
    } cases[] = {
        {"version 11.0.5510\nstart\nmenu ContextMenuMailItem open\n",
         "error line 3: menu: a host of version 11 has no context menus for add-ins"},
        {"version 12.0.6606.1000\nstart\nexplorer click \"Save\"\n",
         "error line 3: explorer click: a host of version 12 has no ribbon in its main window"},
        {"version 14.0.7015.1000\nstart\nexplorer click \"Save\"\n",
         "error line 3: explorer click: no button \"Save\" in explorer:1"},
        {"version 14.0.7015.1000\nstart\nmenu ContextMenuMailItem click \"Save\"\n",
         "error line 3: menu click: no button \"Save\" in ContextMenuMailItem of explorer:1"},
        {"version 14.0.7015.1000\nstart\nselect \"Nowhere\"\n", "error line 3: no item Nowhere (of an open window, or listed)"},
        {"version 14.0.7015.1000\nlist mail \"Other\" sent\nstart\nselect attachments \"Other\"\n",
         "error line 4: select attachments: an item and a file name expected"},
        {"version 14.0.7015.1000\nlist mail \"Other\" sent\nstart\nselect attachments \"Other\" nothing.txt\n",
         "error line 4: select attachments: \"Other\" has no attachment nothing.txt"},
        {"version 14.0.7015.1000\nplay menus sometimes\n",
         "error line 2: play menus: sometimes is not one of its answers (ask-each-open|cached)"},
    };
    for (const auto& c : cases) {
        const HostRun r = run(c.script);
        SCOPED_TRACE(r.transcript);
        EXPECT_EQ(r.exitCode, 2u);
        EXPECT_TRUE(r.has(c.error)) << c.error;
    }
}

TEST_F(HostProgramTest, RegistryValuesAreShownAndSet) {
    const HostRun r = run(
        "registry set \"HKCU\\Software\\VB and VBA Program Settings\\Standin Test\\Preferences\" Flag True\n"
        "registry show \"HKCU\\Software\\VB and VBA Program Settings\\Standin Test\\Preferences\"\n"
        "registry delete \"HKCU\\Software\\VB and VBA Program Settings\\Standin Test\"\n"
        "registry show \"HKCU\\Software\\VB and VBA Program Settings\\Standin Test\\Preferences\" Flag\n");
    SCOPED_TRACE(r.transcript);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.has("registry \"HKCU\\Software\\VB and VBA Program Settings\\Standin Test\\Preferences\" \"Flag\"=\"True\""));
    EXPECT_TRUE(r.has("registry \"HKCU\\Software\\VB and VBA Program Settings\\Standin Test\\Preferences\" \"Flag\"=missing"));
}

}  // namespace
