#include "standin/win/MessageBoxRobot.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace standin::win {

namespace {

// The robot of this process, for the hook procedure (hooks carry no context).
std::atomic<MessageBoxRobot*> robotInstance{nullptr};
// Windows the hook saw becoming active; the robot thread takes them.
std::mutex activatedMutex;
std::vector<HWND> activated;

struct ButtonName {
    int id;
    const char16_t* name;
};
constexpr ButtonName kButtons[] = {{IDOK, u"OK"},         {IDCANCEL, u"Cancel"},     {IDABORT, u"Abort"},
                                   {IDRETRY, u"Retry"},   {IDIGNORE, u"Ignore"},     {IDYES, u"Yes"},
                                   {IDNO, u"No"},         {IDTRYAGAIN, u"TryAgain"}, {IDCONTINUE, u"Continue"}};

// Message-box control ids: the text, and the icon (Wine's 0x440, Windows' 0x14).
constexpr int kTextId = 0xFFFF;
constexpr int kIconIds[] = {0x0440, 0x0014};

std::u16string WindowText(HWND window) {
    wchar_t buffer[2048] = {};
    DWORD_PTR length = 0;
    // The window belongs to the host's thread: ask it, but never wait for ever.
    if (!SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                             5000, &length))
        return {};
    return {reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(length)};
}

bool IsDialog(HWND window) {
    wchar_t name[16] = {};
    return GetClassNameW(window, name, 16) > 0 && lstrcmpW(name, L"#32770") == 0;
}

bool VisibleChild(HWND dialog, int id) {
    HWND child = GetDlgItem(dialog, id);
    return child && (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);
}

struct HangContext {
    Transcript* transcript;
    DWORD process;
};

// A plain function: on i686 a lambda does not convert to a CALLBACK function pointer.
BOOL CALLBACK ListWindow(HWND window, LPARAM param) {
    auto* c = reinterpret_cast<HangContext*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == c->process && IsWindowVisible(window)) {
        wchar_t title[512] = {};
        InternalGetWindowText(window, title, 512);
        c->transcript->Line(u"open window title=" + Transcript::Quote(reinterpret_cast<const char16_t*>(title)));
    }
    return TRUE;
}

// The button Enter would press: the visible one styled as the default push button, else the one
// with the focus, else the dialog's default id. Call after a message to the dialog came back (its
// initialisation is then finished).
int DefaultButton(HWND dialog, const std::vector<int>& present) {
    for (int id : present)
        if ((GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return id;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus &&
        GetParent(info.hwndFocus) == dialog) {
        const int id = GetDlgCtrlID(info.hwndFocus);
        if (std::find(present.begin(), present.end(), id) != present.end()) return id;
    }
    DWORD_PTR def = 0;
    if (SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_NORMAL, 5000, &def) && HIWORD(def) == DC_HASDEFID &&
        std::find(present.begin(), present.end(), static_cast<int>(LOWORD(def))) != present.end())
        return LOWORD(def);
    return present.empty() ? IDCANCEL : present.front();
}

}  // namespace

int ButtonId(std::u16string_view name) {
    for (const auto& b : kButtons)
        if (CompareStringOrdinal(reinterpret_cast<const wchar_t*>(name.data()), static_cast<int>(name.size()),
                                 reinterpret_cast<const wchar_t*>(b.name), -1, TRUE) == CSTR_EQUAL)
            return b.id;
    return 0;
}

bool IsProgressWindow(HWND window) {
    return IsDialog(window) && FindWindowExW(window, nullptr, L"msctls_progress32", nullptr) != nullptr;
}

namespace {

BOOL CALLBACK FindProgress(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || !IsProgressWindow(window)) return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

}  // namespace

HWND FindProgressWindow() {
    HWND found = nullptr;
    EnumWindows(&FindProgress, reinterpret_cast<LPARAM>(&found));
    return found;
}

DialogSeen ReadDialog(HWND dialog) {
    DialogSeen seen;
    seen.title = WindowText(dialog);
    if (HWND text = GetDlgItem(dialog, kTextId)) {
        seen.messageBox = true;
        seen.text = WindowText(text);
    }
    std::vector<int> present;
    for (const auto& b : kButtons)
        if (VisibleChild(dialog, b.id)) present.push_back(b.id);
    const auto is = [&](std::initializer_list<int> ids) {
        return present.size() == ids.size() && std::all_of(ids.begin(), ids.end(), [&](int id) {
                   return std::find(present.begin(), present.end(), id) != present.end();
               });
    };
    if (is({IDOK})) seen.buttons = u"OK";
    else if (is({IDOK, IDCANCEL})) seen.buttons = u"OKCancel";
    else if (is({IDABORT, IDRETRY, IDIGNORE})) seen.buttons = u"AbortRetryIgnore";
    else if (is({IDYES, IDNO, IDCANCEL})) seen.buttons = u"YesNoCancel";
    else if (is({IDYES, IDNO})) seen.buttons = u"YesNo";
    else if (is({IDRETRY, IDCANCEL})) seen.buttons = u"RetryCancel";
    else if (is({IDCANCEL, IDTRYAGAIN, IDCONTINUE})) seen.buttons = u"CancelTryContinue";
    else {
        for (int id : present) {
            if (!seen.buttons.empty()) seen.buttons += u"+";
            for (const auto& b : kButtons)
                if (b.id == id) seen.buttons += b.name;
        }
        if (seen.buttons.empty()) seen.buttons = u"none";
    }

    seen.icon = u"none";
    for (int id : kIconIds) {
        if (!VisibleChild(dialog, id)) continue;
        DWORD_PTR icon = 0;
        if (!SendMessageTimeoutW(GetDlgItem(dialog, id), STM_GETICON, 0, 0, SMTO_NORMAL, 5000, &icon) || !icon) continue;
        const std::pair<LPCWSTR, const char16_t*> icons[] = {{IDI_HAND, u"error"},
                                                            {IDI_QUESTION, u"question"},
                                                            {IDI_EXCLAMATION, u"warning"},
                                                            {IDI_ASTERISK, u"information"}};
        for (const auto& [resource, name] : icons)
            if (reinterpret_cast<HICON>(icon) == LoadIconW(nullptr, resource)) seen.icon = name;
    }

    const auto at = std::find(present.begin(), present.end(), DefaultButton(dialog, present));
    if (at != present.end()) seen.defaultButton = static_cast<int>(at - present.begin()) + 1;
    return seen;
}

constexpr wchar_t kWhileUpClass[] = L"StandinRobotWhileUp";
constexpr DWORD kProgressPollMs = 20;

MessageBoxRobot::MessageBoxRobot(Transcript& transcript, DWORD deadlineMs)
    : transcript_(transcript), deadlineMs_(deadlineMs), hostThread_(GetCurrentThreadId()) {
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    whileUpDone_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // A window of the host's thread: what is posted to it runs there inside any modal loop.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &MessageBoxRobot::WhileUpProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWhileUpClass;
    RegisterClassW(&windowClass);  // fails harmlessly when an earlier robot registered it
    whileUpWindow_ = CreateWindowExW(0, kWhileUpClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     windowClass.hInstance, nullptr);
    if (whileUpWindow_) SetWindowLongPtrW(whileUpWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    robotInstance = this;
    hook_ = SetWindowsHookExW(WH_CBT, &MessageBoxRobot::HookProc, nullptr, hostThread_);
    if (!hook_) transcript_.Failure(u"robot: cannot watch the host's windows");
    thread_ = CreateThread(nullptr, 0, &MessageBoxRobot::ThreadProc, this, 0, nullptr);
}

MessageBoxRobot::~MessageBoxRobot() {
    if (hook_) UnhookWindowsHookEx(hook_);
    SetEvent(stop_);
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    robotInstance = nullptr;
    if (whileUpWindow_) DestroyWindow(whileUpWindow_);
    CloseHandle(whileUpDone_);
    CloseHandle(stop_);
    CloseHandle(wake_);
}

LRESULT CALLBACK MessageBoxRobot::WhileUpProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return DefWindowProcW(window, message, wParam, lParam);
    auto* robot = reinterpret_cast<MessageBoxRobot*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!robot) return 0;
    std::function<void()> action;
    {
        std::lock_guard lock(robot->mutex_);
        action = std::move(robot->whileUp_);
        robot->whileUp_ = nullptr;
    }
    try {
        if (action) action();
    } catch (...) {
        robot->transcript_.Failure(u"robot: the action while a dialog was up failed");
    }
    SetEvent(robot->whileUpDone_);
    return 0;
}

void MessageBoxRobot::SetWhileUp(std::function<std::function<void()>(HWND)> decide) {
    decideWhileUp_ = std::move(decide);
}

void MessageBoxRobot::AnswerByRule(std::function<std::u16string(const DialogSeen&)> rule) { rule_ = std::move(rule); }

void MessageBoxRobot::Queue(std::u16string answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(answer));
}

void MessageBoxRobot::QueueProgress(std::u16string answer) {
    std::lock_guard lock(mutex_);
    progressAnswers_.push_back(std::move(answer));
}

bool MessageBoxRobot::ProgressAnswerPending() const {
    std::lock_guard lock(mutex_);
    return !progressAnswers_.empty();
}

std::vector<std::u16string> MessageBoxRobot::TakeUnusedProgress() {
    std::lock_guard lock(mutex_);
    std::vector<std::u16string> unused(progressAnswers_.begin(), progressAnswers_.end());
    progressAnswers_.clear();
    return unused;
}

void MessageBoxRobot::BeginAction(std::u16string name) {
    {
        std::lock_guard lock(mutex_);
        action_ = std::move(name);
        inAction_ = true;
        actionStart_ = GetTickCount64();
    }
    SetEvent(wake_);
}

std::vector<std::u16string> MessageBoxRobot::EndAction() {
    std::vector<std::u16string> unused;
    {
        std::lock_guard lock(mutex_);
        inAction_ = false;
        unused.assign(answers_.begin(), answers_.end());
        answers_.clear();
    }
    SetEvent(wake_);
    return unused;
}

int MessageBoxRobot::Answered() const {
    std::lock_guard lock(mutex_);
    return answered_;
}

LRESULT CALLBACK MessageBoxRobot::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        MessageBoxRobot* robot = robotInstance;
        if (robot && IsDialog(window)) {
            {
                std::lock_guard lock(activatedMutex);
                activated.push_back(window);
            }
            SetEvent(robot->wake_);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI MessageBoxRobot::ThreadProc(void* self) {
    static_cast<MessageBoxRobot*>(self)->Run();
    return 0;
}

void MessageBoxRobot::Run() {
    for (;;) {
        DWORD timeout = INFINITE;
        {
            std::lock_guard lock(mutex_);
            if (inAction_) {
                const ULONGLONG elapsed = GetTickCount64() - actionStart_;
                timeout = elapsed >= deadlineMs_ ? 0 : static_cast<DWORD>(deadlineMs_ - elapsed);
                // A progress window comes up on a thread the hook does not watch: looked for.
                timeout = std::min<DWORD>(timeout, kProgressPollMs);
            }
        }
        const HANDLE handles[] = {stop_, wake_, whileUpDone_};
        const DWORD woke = WaitForMultipleObjects(3, handles, FALSE, timeout);
        if (woke == WAIT_OBJECT_0) return;
        if (woke == WAIT_TIMEOUT) {
            bool late = false;
            {
                std::lock_guard lock(mutex_);
                late = inAction_ && GetTickCount64() - actionStart_ >= deadlineMs_;
            }
            if (late) {
                ReportHang();
                TerminateProcess(GetCurrentProcess(), 3);
                return;
            }
            LookForProgress();
            continue;
        }
        if (woke == WAIT_OBJECT_0 + 2) {
            // The action has run: the dialogs that waited for it are answered now.
            std::vector<HWND> waiting;
            waiting.swap(waiting_);
            for (HWND dialog : waiting)
                if (IsWindow(dialog)) Answer(dialog);
        }
        std::vector<HWND> windows;
        {
            std::lock_guard lock(activatedMutex);
            windows.swap(activated);
        }
        std::erase_if(handled_, [](HWND h) { return !IsWindow(h); });
        for (HWND window : windows) {
            if (!IsWindow(window) || std::find(handled_.begin(), handled_.end(), window) != handled_.end()) continue;
            handled_.push_back(window);
            Handle(window);
        }
    }
}

void MessageBoxRobot::SetDialogHandler(std::function<bool(HWND)> handler) { dialogHandler_ = std::move(handler); }

void MessageBoxRobot::Handle(HWND dialog) {
    bool pending = false;
    {
        std::lock_guard lock(mutex_);
        pending = static_cast<bool>(whileUp_) || !waiting_.empty();
    }
    std::function<void()> action = !pending && decideWhileUp_ ? decideWhileUp_(dialog) : nullptr;
    if (action && whileUpWindow_) {
        {
            std::lock_guard lock(mutex_);
            whileUp_ = std::move(action);
        }
        waiting_.push_back(dialog);
        PostMessageW(whileUpWindow_, WM_APP, 0, 0);
        return;
    }
    Answer(dialog);
}

void MessageBoxRobot::LookForProgress() {
    HWND window = FindProgressWindow();
    std::erase_if(handled_, [](HWND h) { return !IsWindow(h); });
    if (!window || std::find(handled_.begin(), handled_.end(), window) != handled_.end()) return;
    handled_.push_back(window);
    transcript_.Line(u"progress title=" + Transcript::Quote(WindowText(window)));
    Handle(window);
}

void MessageBoxRobot::AnswerProgress(HWND window) {
    std::u16string answer;
    {
        std::lock_guard lock(mutex_);
        if (progressAnswers_.empty()) return;  // it closes by itself when the work is done
        answer = std::move(progressAnswers_.front());
        progressAnswers_.pop_front();
    }
    // Sent, not posted: once it returns the window knows it was cancelled, before the host's
    // thread asks.
    DWORD_PTR ignored = 0;
    const bool pressed = SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                             reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)), SMTO_NORMAL,
                                             5000, &ignored) != 0;
    transcript_.Line(u"progress answer=" + answer);
    if (!pressed) transcript_.Failure(u"robot: the progress window's Cancel did not answer");
    std::lock_guard lock(mutex_);
    ++answered_;
}

void MessageBoxRobot::Answer(HWND dialog) {
    if (IsProgressWindow(dialog)) return AnswerProgress(dialog);
    if (dialogHandler_ && dialogHandler_(dialog)) {
        std::lock_guard lock(mutex_);
        ++answered_;
        return;
    }
    const DialogSeen seen = ReadDialog(dialog);
    std::u16string answer;
    bool queued = false;
    if (rule_) {
        answer = rule_(seen);
        queued = true;
    } else {
        std::lock_guard lock(mutex_);
        if (!answers_.empty()) {
            answer = std::move(answers_.front());
            answers_.pop_front();
            queued = true;
        }
    }
    std::u16string line = seen.messageBox ? u"msgbox title=" + Transcript::Quote(seen.title) + u" text=" +
                                                Transcript::Quote(seen.text) + u" buttons=" + seen.buttons +
                                                u" icon=" + seen.icon + u" default=" + Num(seen.defaultButton)
                                          : u"dialog title=" + Transcript::Quote(seen.title) + u" buttons=" + seen.buttons;
    int id = queued ? ButtonId(answer) : 0;
    if (id != 0 && !VisibleChild(dialog, id)) id = 0;
    if (id == 0) {
        // Dismiss it as Enter would, so the host does not hang, and fail the run.
        std::vector<int> present;
        for (const auto& b : kButtons)
            if (VisibleChild(dialog, b.id)) present.push_back(b.id);
        id = DefaultButton(dialog, present);
        transcript_.Line(line + u" answer=none");
        transcript_.Failure(queued ? u"robot: the answer " + Transcript::Quote(answer) + u" is not a button of this dialog"
                                   : u"robot: no answer was scripted for this dialog");
    } else {
        transcript_.Line(line + u" answer=" + answer);
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    std::lock_guard lock(mutex_);
    ++answered_;
}

void MessageBoxRobot::ReportHang() {
    std::u16string action;
    {
        std::lock_guard lock(mutex_);
        action = action_;
    }
    transcript_.Failure(u"deadline: the action " + Transcript::Quote(action) + u" did not finish within " +
                        Num(deadlineMs_ / 1000) + u" s");
    HangContext context{&transcript_, GetCurrentProcessId()};
    EnumWindows(&ListWindow, reinterpret_cast<LPARAM>(&context));
}

}  // namespace standin::win
