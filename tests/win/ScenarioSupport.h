#pragma once
// Helpers for Windows tests that run other programs (regsvr32, the stand-in host) and check the
// host's transcript against the expectations a scenario script states in its comments:
//   #> <line>    the transcript has this line, after the line of the previous "#>" match
//   #! <prefix>  no transcript line between the previous "#>" match and the next one (or the end)
//                starts with this text
// In both, "..." stands for any text; a trailing " ..." means "anything after the text before it".
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

/// A path as the build machine spells it, as Wine shows it (that file system is drive Z:).
inline std::wstring windowsPath(const wchar_t* unixPath) {
    std::wstring path = std::wstring(L"Z:") + unixPath;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}
inline std::wstring windowsPath(const char16_t* unixPath) {
    return windowsPath(reinterpret_cast<const wchar_t*>(unixPath));
}

inline std::string narrow(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                       out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

/// Runs `command` in `folder` (the current one when empty) and returns its exit code; ~0 when it
/// cannot start or outlives `deadlineMs` (it is then ended).
inline DWORD runProcess(std::wstring command, DWORD deadlineMs = 120000, const std::wstring& folder = {}) {
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

/// Registers (or with `unregister` removes) a DLL silently with regsvr32 /n /i:<scope>, through its
/// DllInstall alone ("user": the current user, "machine": every user); its exit code.
inline DWORD dllInstall(const std::wstring& dll, bool unregister, const wchar_t* scope) {
    return runProcess(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"/n /i:" + scope + L" \"" +
                          dll + L"\"",
                      60000);
}

/// Registers (or with `unregister` removes) a DLL silently with regsvr32: DllRegisterServer, or with
/// `perUser` for the current user alone (DllInstall "user"); its exit code.
inline DWORD regsvr32(const std::wstring& dll, bool unregister, bool perUser = false) {
    if (perUser) return dllInstall(dll, unregister, L"user");
    return runProcess(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + dll + L"\"", 60000);
}

/// The full path of `name` in the folder of the running test program.
inline std::wstring besideProgram(const wchar_t* name) {
    wchar_t program[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::wstring path(program, n);
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

/// The lines of a text file, without line ends.
inline std::vector<std::string> linesOf(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

/// True when `line` matches `expected`, where "..." stands for any text.
inline bool matches(const std::string& line, std::string expected) {
    if (expected.size() >= 4 && expected.compare(expected.size() - 4, 4, " ...") == 0)
        expected.replace(expected.size() - 4, 4, "...");
    std::vector<std::string> pieces;
    for (size_t from = 0;;) {
        const size_t dots = expected.find("...", from);
        pieces.push_back(expected.substr(from, dots - from));
        if (dots == std::string::npos) break;
        from = dots + 3;
    }
    if (pieces.size() == 1) return line == expected;
    if (line.compare(0, pieces.front().size(), pieces.front()) != 0) return false;
    size_t at = pieces.front().size();
    for (size_t i = 1; i + 1 < pieces.size(); ++i) {
        const size_t found = line.find(pieces[i], at);
        if (found == std::string::npos) return false;
        at = found + pieces[i].size();
    }
    const std::string& last = pieces.back();
    return line.size() >= at + last.size() && line.compare(line.size() - last.size(), last.size(), last) == 0;
}

/// One expectation of a scenario script.
struct Expectation {
    bool present;  // "#>" rather than "#!"
    std::string text;
    int scriptLine;
};

inline std::vector<Expectation> expectationsOf(const std::vector<std::string>& script) {
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

/// Checks a transcript against a script's expectations; each miss is reported with its script line.
inline void checkTranscript(const std::vector<std::string>& transcript, const std::vector<Expectation>& expectations) {
    size_t at = 0;  // the first transcript line not yet consumed by a "#>"
    std::vector<const Expectation*> forbidden;
    const auto checkForbidden = [&](size_t to) {
        for (const Expectation* e : forbidden)
            for (size_t i = at; i < to; ++i)
                if (matches(transcript[i], e->text + "..."))
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
        checkForbidden(i);
        at = i + 1;
    }
    checkForbidden(transcript.size());
}

/// The ribbon's part of a stand-in host's transcript. Before version 12 there is no ribbon: no line
/// mentions one. From version 12 on, at the end of every action each window's ribbon button says
/// what its toolbar button says: shown exactly where there is a toolbar button or the word processor
/// edits the item (no toolbar there), enabled exactly when the toolbar button is. The window state is rebuilt from the transcript's lines ("gone " lines remove, "show"
/// prints the whole state).
inline void checkRibbonAgreesWithToolbar(const std::vector<std::string>& transcript) {
    int major = 9;  // the stand-in host's default
    for (const std::string& line : transcript)
        if (line.rfind("host version=\"", 0) == 0) major = std::atoi(line.c_str() + 14);
    if (major < 12) {
        for (size_t i = 0; i < transcript.size(); ++i) {
            const std::string& line = transcript[i];
            if (line.rfind("ribbon", 0) == 0 || line.rfind("gone ribbon", 0) == 0 ||
                line.find("IRibbonExtensibility") != std::string::npos || line.find("RibbonUI=") != std::string::npos)
                ADD_FAILURE() << "transcript line " << i + 1 << " shows a ribbon on a version " << major
                              << " host: " << line;
        }
        return;
    }
    const auto field = [](const std::string& line, const std::string& name) -> std::string {
        const size_t at = line.find(" " + name + "=");
        if (at == std::string::npos) return {};
        const size_t start = at + name.size() + 2;
        return line.substr(start, line.find(' ', start) - start);
    };
    std::multiset<std::string> state;
    const auto compare = [&](size_t lineNumber) {
        std::map<std::string, std::string> buttons, ribbons;  // window -> enabled, or visible/enabled
        std::set<std::string> wordWindows;
        for (const std::string& line : state) {
            if (line.rfind("button ", 0) == 0) buttons[field(line, "window")] = field(line, "enabled");
            // The main window has no toolbar of the add-in's: its buttons follow the selection.
            if (line.rfind("ribbon ", 0) == 0 && field(line, "window").rfind("explorer:", 0) != 0)
                ribbons[field(line, "window")] = field(line, "visible") + "/" + field(line, "enabled");
            if (line.rfind("ribbon ", 0) == 0 && field(line, "editor") == "word") wordWindows.insert(field(line, "window"));
        }
        for (const auto& [window, ribbon] : ribbons) {
            const auto button = buttons.find(window);
            std::string expected = button == buttons.end() ? "false/" : "true/" + button->second;
            // Shown, with an answer to enabled (the toolbar's rule, checked where the scenario states it).
            const bool shownWithState = ribbon == "true/true" || ribbon == "true/false";
            if (wordWindows.count(window)) expected = button == buttons.end() && shownWithState ? ribbon : "true/<state>";
            if (ribbon != expected)
                ADD_FAILURE() << "before transcript line " << lineNumber << ", " << window << ": the ribbon shows "
                              << ribbon << " (visible/enabled), the toolbar " << expected;
        }
        for (const auto& [window, enabled] : buttons)
            if (!ribbons.count(window))
                ADD_FAILURE() << "before transcript line " << lineNumber << ", " << window
                              << " has a toolbar button and no ribbon button";
    };
    bool listing = false;  // the lines after "> show bars|items" list the whole state
    for (size_t i = 0; i < transcript.size(); ++i) {
        const std::string& line = transcript[i];
        if (line.rfind("> ", 0) == 0) {
            compare(i + 1);
            listing = line == "> show bars" || line == "> show items";
            if (listing) state.clear();
            continue;
        }
        if (line.rfind("gone ", 0) == 0) {
            const auto it = state.find(line.substr(5));
            if (it != state.end()) state.erase(it);
        } else if (line.rfind("button window=", 0) == 0 || line.rfind("ribbon window=", 0) == 0) {
            state.insert(line);
        }
    }
    compare(transcript.size() + 1);
}

}  // namespace testing_support
