#include "standin/win/SaveAsAnswers.h"

#include <algorithm>
#include <utility>

#include "standin/win/SaveAsRobot.h"

namespace standin::win {

namespace {

constexpr int kReplaceBox = 1000;  // "Replace with shortcut" in the add-in's part of the dialog
constexpr int kOpenBox = 1001;     // "Open after saving"
constexpr int kFileNameBox = 1148;

std::u16string OnOff(bool b) { return b ? u"on" : u"off"; }

bool IsFullPath(const std::u16string& p) {
    return (p.size() > 2 && p[1] == u':') || p.rfind(u"\\\\", 0) == 0;
}


std::u16string CurrentFolder() {
    wchar_t folder[MAX_PATH * 2] = {};
    const DWORD n = GetCurrentDirectoryW(MAX_PATH * 2, folder);
    std::u16string text(reinterpret_cast<const char16_t*>(folder), n < MAX_PATH * 2 ? n : 0);
    if (!text.empty() && text.back() == u'\\') text.pop_back();
    return text;
}

// Read before main() runs any script, so before any dialog.
const std::u16string startFolder = CurrentFolder();

std::u16string QuotedList(const std::vector<std::u16string>& items) {
    if (items.empty()) return u"none";
    std::u16string text;
    for (const auto& i : items) text += (text.empty() ? u"" : u" ") + Transcript::Quote(i);
    return text;
}

std::string Utf8Of(const std::u16string& s) { return ToUtf8(s); }

}  // namespace

std::u16string StartFolder() { return startFolder; }

std::u16string FullPath(const std::u16string& path) {
    return IsFullPath(path) ? path : StartFolder() + u"\\" + path;
}

std::u16string FileReport(const std::u16string& path) {
    const std::u16string full = FullPath(path);
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(full.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return u"file missing path=" + Transcript::Quote(full);
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return u"file bytes=" + Num(static_cast<long long>(bytes.size())) + u" content=" +
           Transcript::Quote(FromUtf8(bytes)) + u" path=" + Transcript::Quote(full);
}

std::vector<std::u16string> FolderReport(const std::u16string& folder) {
    const std::u16string full = FullPath(folder);
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileW(reinterpret_cast<const wchar_t*>((full + u"\\*").c_str()), &found);
    if (find == INVALID_HANDLE_VALUE) return {u"files missing folder=" + Transcript::Quote(full)};
    std::vector<std::pair<std::u16string, unsigned long long>> files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        files.emplace_back(reinterpret_cast<const char16_t*>(found.cFileName),
                           (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(files.begin(), files.end());
    std::vector<std::u16string> lines{u"files folder=" + Transcript::Quote(full) + u" count=" +
                                      Num(static_cast<long long>(files.size()))};
    for (const auto& [name, bytes] : files)
        lines.push_back(u"files name=" + Transcript::Quote(name) + u" bytes=" + Num(static_cast<long long>(bytes)));
    return lines;
}

SaveAsStep ParseSaveAsStep(const ScriptLine& line) {
    const auto& w = line.words;
    const auto fail = [&](const std::u16string& m) -> SaveAsStep { throw ScriptError(line.number, u"saveas: " + m); };
    if (w.size() < 2) fail(u"save, pick, cancel, overwrite, folder, select or type expected");
    SaveAsStep step;
    step.command = line.text;
    const std::u16string& what = w[1];
    size_t i = 2;
    if (what == u"save") {
        step.kind = SaveAsStep::Save;
        if (i < w.size() && w[i] != u"replace" && w[i] != u"open") step.text = w[i++];
        if (!step.text.empty() && (step.text.find(u'\\') != std::u16string::npos || step.text.find(u'/') != std::u16string::npos))
            step.text = FullPath(step.text);
    } else if (what == u"pick") {
        step.kind = SaveAsStep::Pick;
        if (i >= w.size()) fail(u"pick: the number of a suggestion expected");
        step.index = std::atoi(Utf8Of(w[i++]).c_str());
        if (step.index < 1) fail(u"pick: 1 for the first suggestion");
    } else if (what == u"cancel") {
        step.kind = SaveAsStep::Cancel;
    } else if (what == u"overwrite") {
        step.kind = SaveAsStep::Overwrite;
        if (i >= w.size() || (w[i] != u"yes" && w[i] != u"no")) fail(u"overwrite: yes or no expected");
        step.yes = w[i++] == u"yes";
    } else if (what == u"folder" || what == u"select" || what == u"type") {
        step.kind = what == u"folder" ? SaveAsStep::Folder : what == u"select" ? SaveAsStep::Select : SaveAsStep::Type;
        if (i >= w.size()) fail(what + u": a name expected");
        step.text = what == u"folder" ? FullPath(w[i++]) : w[i++];
    } else {
        fail(u"unknown step " + what);
    }
    // Options of the steps that close the dialog.
    while (i < w.size() && (step.kind == SaveAsStep::Save || step.kind == SaveAsStep::Pick)) {
        const std::u16string& option = w[i++];
        if (option != u"replace" && option != u"open") fail(u"replace or open expected: " + option);
        if (i >= w.size() || (w[i] != u"on" && w[i] != u"off")) fail(option + u": on or off expected");
        (option == u"replace" ? step.replace : step.open) = w[i++] == u"on";
    }
    if (i != w.size()) fail(u"too many words");
    return step;
}

SaveAsAnswers::SaveAsAnswers(Transcript& transcript, std::wstring screenshots, bool byHand)
    : t_(transcript), screenshots_(std::move(screenshots)), byHand_(byHand), idle_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

SaveAsAnswers::~SaveAsAnswers() { CloseHandle(idle_); }

std::vector<std::u16string> SaveAsAnswers::TakeChosenPaths() {
    std::lock_guard lock(mutex_);
    return std::exchange(chosen_, {});
}

void SaveAsAnswers::WaitUntilIdle(DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        // Pumping: the robot may still be waiting for an answer from a window of this thread.
        if (MsgWaitForMultipleObjects(1, &idle_, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT) == WAIT_OBJECT_0)
            return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void SaveAsAnswers::Queue(SaveAsStep step) { steps_.Push(std::move(step)); }

std::vector<SaveAsStep> SaveAsAnswers::TakeUnused() { return steps_.TakeAll(); }

bool SaveAsAnswers::Handle(HWND dialog, DWORD hostThread) {
    if (!GetDlgItem(dialog, kFileNameBox)) {
        // A question a Save As dialog asks belongs to whoever answers that dialog.
        const HWND owner = GetWindow(dialog, GW_OWNER);
        if (owner && GetDlgItem(owner, kFileNameBox)) return byHand_;
        // Any other message box is the robot's to answer; a picture of it first, when asked for.
        if (!screenshots_.empty()) {
            const int number = ++messageBoxes_;
            try {
                SaveAsRobot::ForThread(hostThread).Screenshot(screenshots_ + L"\\msgbox-" + std::to_wstring(number) + L".png",
                                                              dialog);
            } catch (const RobotError& e) {
                t_.Failure(u"robot: picture of message box " + Num(number) + u": " + FromUtf8(e.what()));
            }
        }
        return false;
    }
    ResetEvent(idle_);
    struct Idle {
        HANDLE event;
        ~Idle() { SetEvent(event); }
    } idle{idle_};
    const int number = ++dialogs_;
    const std::u16string tag = u"saveas dialog=" + Num(number);
    SaveAsRobot robot = SaveAsRobot::ForThread(hostThread, std::chrono::seconds(10));
    int pictures = 0;
    const auto screenshot = [&] {
        if (screenshots_.empty()) return;
        std::wstring name = L"\\saveas-" + std::to_wstring(number);
        if (pictures++ > 0) name += L"-" + std::to_wstring(pictures);
        robot.Screenshot(screenshots_ + name + L".png");
    };
    try {
        robot.WaitForDialog();
        t_.Line(tag + u" title=" + Transcript::Quote(robot.Title()) + u" name=" + Transcript::Quote(robot.FileName()) +
                u" folder=" + Transcript::Quote(robot.Folder()) + u" replace=" +
                (robot.IsEnabled(kReplaceBox) ? OnOff(robot.IsChecked(kReplaceBox)) : u"unoffered") +
                u" open=" + OnOff(robot.IsChecked(kOpenBox)));
        t_.Line(tag + u" suggestions " + QuotedList(robot.Suggestions()));
        if (byHand_) {
            t_.Line(tag + u" left to the user");
            return true;
        }
        for (;;) {
            const auto step = steps_.Next();
            if (!step) {
                t_.Failure(u"robot: no saveas answer was scripted for this dialog; cancelled");
                robot.Cancel();
                robot.WaitUntilClosed();
                return true;
            }
            switch (step->kind) {
                case SaveAsStep::Folder:
                    robot.GoToFolder(step->text);
                    t_.Line(tag + u" folder " + Transcript::Quote(step->text));
                    continue;
                case SaveAsStep::Select:
                    robot.Select(step->text);
                    t_.Line(tag + u" select " + Transcript::Quote(step->text) + u" name=" +
                            Transcript::Quote(robot.FileName()));
                    t_.Line(tag + u" suggestions " + QuotedList(robot.Suggestions()));
                    continue;
                case SaveAsStep::Type:
                    robot.TypeFileName(step->text);
                    t_.Line(tag + u" type " + Transcript::Quote(step->text));
                    continue;
                case SaveAsStep::Overwrite:
                    t_.Failure(u"robot: " + step->command + u": the dialog asks nothing");
                    continue;
                case SaveAsStep::Cancel:
                    screenshot();
                    t_.Line(tag + u" answer=cancel");
                    robot.Cancel();
                    robot.WaitUntilClosed();
                    return true;
                case SaveAsStep::Save:
                case SaveAsStep::Pick:
                    break;
            }
            if (step->kind == SaveAsStep::Pick) {
                const auto suggestions = robot.Suggestions();
                if (static_cast<size_t>(step->index) > suggestions.size()) {
                    t_.Failure(u"robot: " + step->command + u": the drop-down has " +
                               Num(static_cast<long long>(suggestions.size())) + u" suggestions");
                    continue;
                }
                robot.TypeFileName(suggestions[static_cast<size_t>(step->index - 1)]);
            } else if (!step->text.empty()) {
                robot.TypeFileName(step->text);
            }
            if (step->replace && robot.IsChecked(kReplaceBox) != *step->replace) robot.Click(kReplaceBox);
            if (step->open && robot.IsChecked(kOpenBox) != *step->open) robot.Click(kOpenBox);
            const std::u16string name = robot.FileName();
            const std::u16string path = IsFullPath(name) ? name : robot.Folder() + u"\\" + name;
            screenshot();
            // Written before Save is pressed: once the dialog closes, the host's thread goes on and
            // writes lines of its own.
            t_.Line(tag + u" answer=" + (step->kind == SaveAsStep::Pick ? u"pick " + Num(step->index) : u"save") +
                    u" replace=" + OnOff(robot.IsChecked(kReplaceBox)) + u" open=" + OnOff(robot.IsChecked(kOpenBox)) +
                    u" path=" + Transcript::Quote(path));
            robot.Save();
            const auto chosen = [&] {
                std::lock_guard lock(mutex_);
                chosen_.push_back(path);
            };
            const auto asked = robot.WaitUntilClosedOrAsked();
            if (!asked) {
                chosen();
                return true;
            }
            // The dialog asks (a file of that name exists, or the path is refused).
            const auto answer = steps_.Next();
            const bool fits = answer && answer->kind == SaveAsStep::Overwrite;
            t_.Line(tag + u" question title=" + Transcript::Quote(asked->title) + u" text=" +
                    Transcript::Quote(asked->text) + u" answer=" + (fits ? (answer->yes ? u"yes" : u"no") : u"none"));
            if (!fits) {
                t_.Failure(u"robot: no saveas overwrite answer was scripted for this question");
                if (answer) steps_.PushFront(*answer);
            }
            const bool yes = fits && answer->yes;
            // A refusal has only OK; the overwrite question has Yes and No.
            robot.Answer(*asked, GetDlgItem(asked->window, IDYES) ? (yes ? IDYES : IDNO) : IDOK);
            if (yes) {
                robot.WaitUntilClosed();
                chosen();
                return true;
            }
            if (!fits) {
                robot.Cancel();
                robot.WaitUntilClosed();
                return true;
            }
        }
    } catch (const RobotError& e) {
        t_.Failure(u"robot: Save As dialog " + Num(number) + u": " + FromUtf8(e.what()));
        if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return true;
}

}  // namespace standin::win
