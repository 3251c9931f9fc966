#pragma once
// The UI robot for the system's Save As dialog: from another thread, finds the dialog of a thread or
// a process, reads and drives it as a person would, and fails with a clear message at a deadline.
#include <windows.h>

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace standin::win {

using namespace std::chrono_literals;

/// What the robot waited for in vain, or could not find.
struct RobotError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// A message box the dialog raised (the overwrite question, a refused path): a top-level #32770
/// without the file-name box.
struct MessageBoxSeen {
    HWND window = nullptr;
    std::u16string title;
    std::u16string text;
};

/// Drives the Save As dialog shown by one thread, or by any thread of one process (a host program).
/// Every wait ends with RobotError at `timeout`. Messages that return data go through memory of the
/// dialog's process, so the robot works across processes too.
class SaveAsRobot {
public:
    static SaveAsRobot ForThread(DWORD threadId, std::chrono::milliseconds timeout = 5s);
    static SaveAsRobot ForProcess(DWORD processId, std::chrono::milliseconds timeout = 5s);

    /// Waits until the dialog (a visible top-level #32770 with the file-name box) is up.
    HWND WaitForDialog();
    /// Waits until the dialog found by WaitForDialog is gone.
    void WaitUntilClosed();

    std::u16string Title();
    /// The state of check box `id` of the child dialog (1000, 1001).
    bool IsChecked(int id);
    /// Whether check box `id` of the child dialog takes clicks.
    bool IsEnabled(int id);
    /// Clicks check box `id` (BM_CLICK); returns after the dialog has handled the click.
    void Click(int id);
    /// The text of the file-name box.
    std::u16string FileName();
    /// Types `name` into the file-name box (WM_SETTEXT).
    void TypeFileName(const std::u16string& name);
    /// The folder the dialog shows (CDM_GETFOLDERPATH); empty when it has no file-system path.
    std::u16string Folder();
    /// Types `folder` and presses Save, which opens the folder; checks that it is shown.
    void GoToFolder(const std::u16string& folder);
    /// Names in the dialog's file list, in their order.
    std::vector<std::u16string> ListedNames();
    /// Selects the list entry `name` alone (LVM_SETITEMSTATE), which raises CDN_SELCHANGE.
    void Select(const std::u16string& name);
    /// The items of the file-name box's drop-down list.
    std::vector<std::u16string> Suggestions();
    /// Screen rectangle of control `id` of the child dialog or of the dialog itself.
    RECT ControlRect(int id);

    /// Presses Save (posts WM_COMMAND IDOK): the dialog may close, ask, or refuse.
    void Save();
    /// Presses Cancel (posts WM_COMMAND IDCANCEL).
    void Cancel();
    /// Waits for a message box of the dialog's thread or process.
    MessageBoxSeen WaitForMessageBox();
    /// After Save: waits until the dialog is closed (returns nothing) or a message box of it is up.
    std::optional<MessageBoxSeen> WaitUntilClosedOrAsked();
    /// Answers a message box with button `id` (IDYES, IDNO, IDOK…).
    void Answer(const MessageBoxSeen& box, int id);

    /// Writes a PNG of the whole screen to `pngPath` (xwd and ImageMagick, started through Wine's
    /// start of a Unix program) and waits until it is there.
    void Screenshot(const std::wstring& pngPath);
    /// The same, drawing `window` (another dialog of the thread, e.g. a message box) first.
    void Screenshot(const std::wstring& pngPath, HWND window);

private:
    SaveAsRobot(DWORD processId, DWORD threadId, std::chrono::milliseconds timeout);
    std::vector<HWND> TopLevelDialogs() const;
    HWND Dialog() const;
    HWND Descendant(HWND root, const std::function<bool(HWND)>& match, const char* what) const;
    HWND ChildControl(int id) const;
    HWND FileNameBox() const;
    HWND FileList() const;
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what) const;
    void WaitFor(const std::function<bool()>& done, const std::string& what) const;

    DWORD processId_;
    DWORD threadId_;
    std::chrono::milliseconds timeout_;
    HWND dialog_ = nullptr;
};

/// Runs `body` on a new thread of its own, in a single-threaded apartment, as a host's user-interface
/// thread runs a modal dialog. If the thread is still running at destruction (a failed test), its
/// dialogs and message boxes are cancelled so that the test ends instead of hanging.
class UiThread {
public:
    explicit UiThread(std::function<void()> body);
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;
    ~UiThread();

    DWORD Id() const noexcept { return id_; }
    /// Waits for `body` to return (RobotError at `timeout`) and rethrows what it threw.
    void Join(std::chrono::milliseconds timeout = 5s);

private:
    static DWORD WINAPI Run(void* self);

    std::function<void()> body_;
    std::exception_ptr failure_;
    HANDLE thread_ = nullptr;
    DWORD id_ = 0;
};

/// The folder of the running test program (the build folder), with a trailing backslash.
std::wstring ProgramFolder();

}  // namespace standin::win
