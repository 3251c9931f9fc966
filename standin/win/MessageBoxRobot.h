#pragma once
// The UI robot: answers the message boxes and dialogs that add-ins show on the host's thread while
// the host is inside one of its actions, from a thread of its own, as a person would.
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "com/Handles.h"
#include "standin/win/Transcript.h"

namespace standin::win {

/// What the robot read from one dialog.
struct DialogSeen {
    std::u16string title;
    std::u16string text;     // a message box's message; empty for other dialogs
    std::u16string buttons;  // "OK", "OKCancel", "YesNo", "YesNoCancel", ... as the box has them
    std::u16string icon;     // "none", "error", "question", "warning", "information"
    int defaultButton = 1;   // 1 = the first button is the default
    bool messageBox = false;
};

/// Reads a top-level #32770 window (a message box or another dialog).
DialogSeen ReadDialog(HWND dialog);
/// Whether `window` is the system's progress window (IProgressDialog): a dialog with a progress bar.
bool IsProgressWindow(HWND window);
/// A visible progress window of this process, if one is up.
HWND FindProgressWindow();

/// Command id of a button name: OK, Cancel, Abort, Retry, Ignore, Yes, No, TryAgain, Continue
/// (any letter case); 0 for anything else.
int ButtonId(std::u16string_view name);

/// One robot per process, created on the host's thread: it watches that thread's windows (a CBT
/// hook tells it when a window becomes active) and works from its own thread.
///  - Each dialog that comes up is read and written to the transcript as
///      msgbox title="..." text="..." buttons=YesNo icon=question default=1 answer=Yes
///    (or "dialog title=..." for a dialog that is not a message box), then answered with the next
///    queued answer. With no answer queued it is a failure: recorded, then dismissed with its
///    default button so the host does not hang.
///  - The system's progress window runs on a thread of its own, where the hook does not see it: the
///    robot looks for one while an action runs, records it as `progress title="..."` and answers
///    it with the next queued progress answer (`cancel`: its Cancel pressed, and come back before
///    the robot goes on), or leaves it to close by itself. It is a modal point like a dialog.
///  - An action that does not finish within the deadline is a failure: the robot writes what is
///    still open and ends the process with exit code 3, rather than letting the run hang.
class MessageBoxRobot {
public:
    MessageBoxRobot(Transcript& transcript, DWORD deadlineMs);
    ~MessageBoxRobot();
    MessageBoxRobot(const MessageBoxRobot&) = delete;
    MessageBoxRobot& operator=(const MessageBoxRobot&) = delete;

    /// Answers for the next dialogs, in order (button names as ButtonId takes them).
    void Queue(std::u16string answer);

    /// The host starts an action named `name` (for the deadline's report).
    void BeginAction(std::u16string name);
    /// The host finished it; returns the queued answers no dialog used (and forgets them).
    std::vector<std::u16string> EndAction();

    /// A handler offered every dialog first (from the robot's thread); it returns true when it
    /// answered the dialog itself (e.g. a Save As dialog). Set before the first action.
    void SetDialogHandler(std::function<bool(HWND)> handler);

    /// Asked (from the robot's thread) for each dialog as it comes up, before it is answered: an
    /// action to run on the host's thread while the dialog is up, or none. The robot answers the
    /// dialog once the action has run, and answers the dialogs the action brings up meanwhile.
    /// Set before the first action.
    void SetWhileUp(std::function<std::function<void()>(HWND)> decide);

    /// Message boxes are answered by `rule` (from their title and text) instead of the queue;
    /// nothing is a failure then. Set before the first action.
    void AnswerByRule(std::function<std::u16string(const DialogSeen&)> rule);

    /// Dialogs answered so far.
    int Answered() const;
    /// An answer for the next progress window ("cancel").
    void QueueProgress(std::u16string answer);
    /// Whether a progress answer is queued that no progress window has taken yet.
    bool ProgressAnswerPending() const;
    /// Forgets and returns the progress answers no progress window used.
    std::vector<std::u16string> TakeUnusedProgress();

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WhileUpProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI ThreadProc(void* self);
    void Run();
    void Handle(HWND dialog);
    void Answer(HWND dialog);
    void AnswerProgress(HWND window);
    void LookForProgress();
    void ReportHang();

    Transcript& transcript_;
    DWORD deadlineMs_;
    DWORD hostThread_;
    HHOOK hook_ = nullptr;
    HANDLE wake_ = nullptr;  // set by the hook and by BeginAction/EndAction
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND whileUpWindow_ = nullptr;  // on the host's thread: runs the actions of SetWhileUp
    HANDLE whileUpDone_ = nullptr;  // set when such an action has run

    mutable std::mutex mutex_;
    std::deque<std::u16string> answers_;
    std::deque<std::u16string> progressAnswers_;
    std::u16string action_;
    bool inAction_ = false;
    ULONGLONG actionStart_ = 0;
    std::vector<HWND> handled_;
    std::function<bool(HWND)> dialogHandler_;
    std::function<std::function<void()>(HWND)> decideWhileUp_;
    std::function<std::u16string(const DialogSeen&)> rule_;
    std::function<void()> whileUp_;  // the action posted to the host's thread, until it has run
    std::vector<HWND> waiting_;      // dialogs answered once that action has run
    int answered_ = 0;
};

}  // namespace standin::win
