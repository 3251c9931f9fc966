#include "standin/win/FolderAnswers.h"

#include <chrono>
#include <thread>
#include <utility>

#include "standin/win/SaveAsAnswers.h"

namespace standin::win {

namespace {

constexpr char16_t kReplaceCaption[] = u"Replace with shortcuts";
constexpr char16_t kOpenCaption[] = u"Open the folder after saving";

std::u16string TextOf(HWND window) {
    wchar_t text[512] = {};
    // WM_GETTEXT through SendMessage: the window belongs to the host's thread.
    const LRESULT n = SendMessageW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return std::u16string(reinterpret_cast<const char16_t*>(text), n > 0 ? static_cast<size_t>(n) : 0);
}

std::u16string ClassOf(HWND window) {
    wchar_t name[64] = {};
    const int n = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::u16string(reinterpret_cast<const char16_t*>(name), n > 0 ? static_cast<size_t>(n) : 0);
}

struct Search {
    std::u16string caption;  // a button with this text; empty: the first visible edit box
    HWND found = nullptr;
};

BOOL CALLBACK FindChild(HWND child, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    const std::u16string kind = ClassOf(child);
    if (search.caption.empty()) {
        if ((kind == u"Edit" || kind == u"EDIT") && IsWindowVisible(child)) search.found = child;
    } else if ((kind == u"Button" || kind == u"BUTTON") && TextOf(child) == search.caption) {
        search.found = child;
    }
    return search.found ? FALSE : TRUE;
}

HWND Child(HWND dialog, const std::u16string& caption) {
    Search search{caption};
    EnumChildWindows(dialog, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::u16string OnOff(bool b) { return b ? u"on" : u"off"; }

bool Checked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::u16string BoxState(HWND box) {
    if (!box) return u"none";
    if (!IsWindowEnabled(box)) return u"unoffered";
    return OnOff(Checked(box));
}

void Set(HWND box, std::optional<bool> wanted) {
    if (box && wanted && IsWindowEnabled(box) && Checked(box) != *wanted) SendMessageW(box, BM_CLICK, 0, 0);
}

bool WaitUntilGone(HWND dialog) {
    for (int i = 0; i < 100 && IsWindow(dialog) && IsWindowVisible(dialog); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !IsWindow(dialog) || !IsWindowVisible(dialog);
}

}  // namespace

FolderStep ParseFolderStep(const ScriptLine& line) {
    const auto& w = line.words;
    const auto fail = [&](const std::u16string& m) { throw ScriptError(line.number, u"pickfolder: " + m); };
    if (w.size() < 2) fail(u"a folder or cancel expected");
    FolderStep step;
    step.command = line.text;
    if (w[1] == u"cancel") {
        if (w.size() != 2) fail(u"nothing expected after cancel");
        step.cancel = true;
        return step;
    }
    step.folder = FullPath(w[1]);
    for (size_t i = 2; i < w.size(); i += 2) {
        if (i + 1 >= w.size() || (w[i + 1] != u"on" && w[i + 1] != u"off")) fail(w[i] + u": on or off expected");
        const bool on = w[i + 1] == u"on";
        if (w[i] == u"replace")
            step.replace = on;
        else if (w[i] == u"open")
            step.open = on;
        else
            fail(u"replace or open expected: " + w[i]);
    }
    return step;
}

void FolderAnswers::Queue(FolderStep step) { steps_.Push(std::move(step)); }

std::vector<FolderStep> FolderAnswers::TakeUnused() { return steps_.TakeAll(); }

bool FolderAnswers::Handle(HWND dialog) {
    const HWND replace = Child(dialog, kReplaceCaption);
    const HWND open = Child(dialog, kOpenCaption);
    if (!replace && !open) return false;
    const std::u16string tag = u"folder dialog=" + Num(++dialogs_);
    t_.Line(tag + u" title=" + Transcript::Quote(TextOf(dialog)) + u" replace=" + BoxState(replace) +
            u" open=" + BoxState(open));
    const auto step = steps_.Next();
    if (!step || step->cancel) {
        if (!step) t_.Failure(u"robot: no pickfolder answer was scripted for this dialog; cancelled");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        if (step) t_.Line(tag + u" answer=cancel");
        if (!WaitUntilGone(dialog)) t_.Failure(u"robot: the folder dialog did not close on Cancel");
        return true;
    }
    Set(replace, step->replace);
    Set(open, step->open);
    const HWND name = Child(dialog, {});
    if (!name) {
        t_.Failure(u"robot: the folder dialog has no box to type the folder in; cancelled");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitUntilGone(dialog);
        return true;
    }
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step->folder.c_str()));
    t_.Line(tag + u" answer=choose folder=" + Transcript::Quote(step->folder) + u" replace=" + BoxState(replace) +
            u" open=" + BoxState(open));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    if (!WaitUntilGone(dialog)) {
        t_.Failure(u"robot: the folder dialog did not take the folder; cancelled");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitUntilGone(dialog);
    }
    return true;
}

}  // namespace standin::win
