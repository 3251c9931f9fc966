#include "standin/win/SaveAsRobot.h"

#include <commctrl.h>
#include <commdlg.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace standin::win {
namespace {

constexpr int FileNameBoxId = 1148;
constexpr int MessageTextId = 0xFFFF;  // the static text of a message box

std::string Utf8(std::u16string_view s) {
    std::string out(s.size() * 3 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(s.data()),
                                      static_cast<int>(s.size()), out.data(), static_cast<int>(out.size()), nullptr,
                                      nullptr);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return out;
}
std::string Utf8(std::wstring_view s) {
    return Utf8(std::u16string_view(reinterpret_cast<const char16_t*>(s.data()), s.size()));
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

bool IsDialogClass(HWND window) { return ClassName(window) == L"#32770"; }

// Memory in the dialog's process: plain memory when that is this process, otherwise pages of the
// other process, so that messages whose data the system does not carry across processes still work.
class TargetMemory {
public:
    TargetMemory(DWORD processId, std::size_t size) : size_(size) {
        if (processId == GetCurrentProcessId()) {
            local_ = std::make_unique<std::byte[]>(size);
            std::memset(local_.get(), 0, size);
            return;
        }
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (!process_) throw RobotError("cannot open the dialog's process, error " + std::to_string(GetLastError()));
        remote_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!remote_) {
            CloseHandle(process_);
            throw RobotError("cannot allocate memory in the dialog's process");
        }
    }
    TargetMemory(const TargetMemory&) = delete;
    TargetMemory& operator=(const TargetMemory&) = delete;
    ~TargetMemory() {
        if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }

    std::byte* Address(std::size_t offset = 0) const {
        return (local_ ? local_.get() : static_cast<std::byte*>(remote_)) + offset;
    }
    void Write(std::size_t offset, const void* data, std::size_t size) {
        if (offset + size > size_) throw RobotError("robot buffer overflow");
        if (local_) {
            std::memcpy(local_.get() + offset, data, size);
        } else if (!WriteProcessMemory(process_, Address(offset), data, size, nullptr)) {
            throw RobotError("cannot write to the dialog's process");
        }
    }
    void Read(std::size_t offset, void* data, std::size_t size) const {
        if (offset + size > size_) throw RobotError("robot buffer overflow");
        if (local_) {
            std::memcpy(data, local_.get() + offset, size);
        } else if (!ReadProcessMemory(process_, Address(offset), data, size, nullptr)) {
            throw RobotError("cannot read from the dialog's process");
        }
    }
    std::u16string ReadText(std::size_t offset, std::size_t maxChars) const {
        std::u16string text(maxChars, u'\0');
        Read(offset, text.data(), maxChars * sizeof(char16_t));
        text.resize(std::char_traits<char16_t>::length(text.c_str()));
        return text;
    }

private:
    std::size_t size_;
    std::unique_ptr<std::byte[]> local_;
    HANDLE process_ = nullptr;
    void* remote_ = nullptr;
};

// Enumeration callbacks: plain stdcall functions (a lambda does not convert to one on i686).
struct DialogSearch {
    DWORD processId;
    DWORD threadId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<DialogSearch*>(context);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process == search.processId && (search.threadId == 0 || thread == search.threadId) &&
        IsWindowVisible(window) && IsDialogClass(window))
        search.found.push_back(window);
    return TRUE;
}

struct ChildSearch {
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK FindChild(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<ChildSearch*>(context);
    if (!(*search.match)(window)) return TRUE;
    search.found = window;
    return FALSE;
}

constexpr std::size_t TextChars = 1024;  // enough for any name the tests use

}  // namespace

SaveAsRobot::SaveAsRobot(DWORD processId, DWORD threadId, std::chrono::milliseconds timeout)
    : processId_(processId), threadId_(threadId), timeout_(timeout) {}

SaveAsRobot SaveAsRobot::ForThread(DWORD threadId, std::chrono::milliseconds timeout) {
    return SaveAsRobot(GetCurrentProcessId(), threadId, timeout);
}

SaveAsRobot SaveAsRobot::ForProcess(DWORD processId, std::chrono::milliseconds timeout) {
    return SaveAsRobot(processId, 0, timeout);
}

void SaveAsRobot::WaitFor(const std::function<bool()>& done, const std::string& what) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw RobotError("robot: " + what + " did not happen within " + std::to_string(timeout_.count()) + " ms");
        Sleep(10);
    }
}

std::vector<HWND> SaveAsRobot::TopLevelDialogs() const {
    DialogSearch search{processId_, threadId_, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND SaveAsRobot::WaitForDialog() {
    WaitFor(
        [this] {
            for (HWND window : TopLevelDialogs()) {
                if (GetDlgItem(window, FileNameBoxId)) {
                    dialog_ = window;
                    return true;
                }
            }
            return false;
        },
        "the Save As dialog's appearance");
    return dialog_;
}

void SaveAsRobot::WaitUntilClosed() {
    // The dialog may be gone already: that is what is waited for.
    const HWND dialog = dialog_;
    if (!dialog) throw RobotError("robot: no Save As dialog found yet (call WaitForDialog)");
    WaitFor([dialog] { return !IsWindow(dialog); }, "the Save As dialog's closing");
    dialog_ = nullptr;
}

HWND SaveAsRobot::Dialog() const {
    if (!dialog_) throw RobotError("robot: no Save As dialog found yet (call WaitForDialog)");
    if (!IsWindow(dialog_)) throw RobotError("robot: the Save As dialog is closed");
    return dialog_;
}

HWND SaveAsRobot::Descendant(HWND root, const std::function<bool(HWND)>& match, const char* what) const {
    ChildSearch search{&match, nullptr};
    EnumChildWindows(root, FindChild, reinterpret_cast<LPARAM>(&search));
    if (!search.found) throw RobotError(std::string("robot: the dialog has no ") + what);
    return search.found;
}

HWND SaveAsRobot::ChildControl(int id) const {
    return Descendant(Dialog(), [id](HWND w) { return GetDlgCtrlID(w) == id; },
                      ("control " + std::to_string(id)).c_str());
}

HWND SaveAsRobot::FileNameBox() const {
    const HWND box = GetDlgItem(Dialog(), FileNameBoxId);
    if (!box) throw RobotError("robot: the dialog has no file-name box (1148)");
    return box;
}

HWND SaveAsRobot::FileList() const {
    const HWND view = Descendant(Dialog(), [](HWND w) { return ClassName(w) == L"SHELLDLL_DefView"; }, "shell view");
    return Descendant(view, [](HWND w) { return ClassName(w) == L"SysListView32"; }, "file list");
}

LRESULT SaveAsRobot::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what) const {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, static_cast<UINT>(timeout_.count()),
                             &result))
        throw RobotError(std::string("robot: the dialog did not answer ") + what + " within " +
                         std::to_string(timeout_.count()) + " ms");
    return static_cast<LRESULT>(result);
}

std::u16string SaveAsRobot::Title() {
    wchar_t text[TextChars] = {};
    const LRESULT n = Send(Dialog(), WM_GETTEXT, TextChars, reinterpret_cast<LPARAM>(text), "WM_GETTEXT");
    return std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(n));
}

bool SaveAsRobot::IsChecked(int id) {
    const LRESULT state = Send(ChildControl(id), BM_GETCHECK, 0, 0, "BM_GETCHECK");
    return state == BST_CHECKED;
}

bool SaveAsRobot::IsEnabled(int id) { return IsWindowEnabled(ChildControl(id)) != FALSE; }

void SaveAsRobot::Click(int id) { Send(ChildControl(id), BM_CLICK, 0, 0, "BM_CLICK"); }

std::u16string SaveAsRobot::FileName() {
    wchar_t text[TextChars] = {};
    const LRESULT n = Send(FileNameBox(), WM_GETTEXT, TextChars, reinterpret_cast<LPARAM>(text), "WM_GETTEXT");
    return std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(n));
}

void SaveAsRobot::TypeFileName(const std::u16string& name) {
    Send(FileNameBox(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), "WM_SETTEXT");
}

std::u16string SaveAsRobot::Folder() {
    TargetMemory buffer(processId_, TextChars * sizeof(wchar_t));
    const LRESULT n = Send(Dialog(), CDM_GETFOLDERPATH, TextChars, reinterpret_cast<LPARAM>(buffer.Address()),
                           "CDM_GETFOLDERPATH");
    if (n <= 0) return {};
    return buffer.ReadText(0, TextChars);
}

void SaveAsRobot::GoToFolder(const std::u16string& folder) {
    TypeFileName(folder);
    // Sent, not posted: opening a folder closes nothing, and the folder is shown when it returns.
    Send(Dialog(), WM_COMMAND, IDOK, 0, "Save pressed to open a folder");
    const std::u16string shown = Folder();
    if (shown != folder) throw RobotError("robot: the dialog shows " + Utf8(shown) + " instead of " + Utf8(folder));
}

std::vector<std::u16string> SaveAsRobot::ListedNames() {
    const HWND list = FileList();
    const auto count = Send(list, LVM_GETITEMCOUNT, 0, 0, "LVM_GETITEMCOUNT");
    const std::size_t textOffset = (sizeof(LVITEMW) + 7) & ~std::size_t{7};
    TargetMemory buffer(processId_, textOffset + TextChars * sizeof(wchar_t));
    std::vector<std::u16string> names;
    for (LRESULT i = 0; i < count; ++i) {
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = reinterpret_cast<wchar_t*>(buffer.Address(textOffset));
        item.cchTextMax = TextChars;
        buffer.Write(0, &item, sizeof item);
        const wchar_t nul = 0;
        buffer.Write(textOffset, &nul, sizeof nul);
        Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.Address()),
             "LVM_GETITEMTEXTW");
        names.push_back(buffer.ReadText(textOffset, TextChars));
    }
    return names;
}

void SaveAsRobot::Select(const std::u16string& name) {
    const std::vector<std::u16string> names = ListedNames();
    std::size_t index = 0;
    while (index < names.size() && names[index] != name) ++index;
    if (index == names.size()) {
        std::string listed;
        for (const auto& n : names) listed += " \"" + Utf8(n) + "\"";
        throw RobotError("robot: \"" + Utf8(name) + "\" is not in the file list; listed:" + listed);
    }
    const HWND list = FileList();
    TargetMemory buffer(processId_, sizeof(LVITEMW));
    LVITEMW item{};
    if (Send(list, LVM_GETSELECTEDCOUNT, 0, 0, "LVM_GETSELECTEDCOUNT") > 0) {
        item.stateMask = LVIS_SELECTED;
        item.state = 0;
        buffer.Write(0, &item, sizeof item);
        Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(buffer.Address()),
             "LVM_SETITEMSTATE");
    }
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    buffer.Write(0, &item, sizeof item);
    Send(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(buffer.Address()), "LVM_SETITEMSTATE");
}

std::vector<std::u16string> SaveAsRobot::Suggestions() {
    const HWND box = FileNameBox();
    const auto count = Send(box, CB_GETCOUNT, 0, 0, "CB_GETCOUNT");
    std::vector<std::u16string> items;
    if (ClassName(box) != L"ComboBoxEx32") {
        // A plain combo box (some systems): its strings are carried across processes.
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t text[TextChars] = {};
            Send(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text), "CB_GETLBTEXT");
            items.emplace_back(reinterpret_cast<const char16_t*>(text));
        }
        return items;
    }
    const std::size_t textOffset = (sizeof(COMBOBOXEXITEMW) + 7) & ~std::size_t{7};
    TargetMemory buffer(processId_, textOffset + TextChars * sizeof(wchar_t));
    for (LRESULT i = 0; i < count; ++i) {
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT;
        item.iItem = i;
        item.pszText = reinterpret_cast<wchar_t*>(buffer.Address(textOffset));
        item.cchTextMax = TextChars;
        buffer.Write(0, &item, sizeof item);
        if (!Send(box, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.Address()), "CBEM_GETITEMW"))
            throw RobotError("robot: drop-down item " + std::to_string(i) + " cannot be read");
        items.push_back(buffer.ReadText(textOffset, TextChars));
    }
    return items;
}

RECT SaveAsRobot::ControlRect(int id) {
    RECT rect{};
    GetWindowRect(ChildControl(id), &rect);
    return rect;
}

// Posted: Save may raise a modal question, which a sent message would wait for.
void SaveAsRobot::Save() { PostMessageW(Dialog(), WM_COMMAND, IDOK, 0); }

void SaveAsRobot::Cancel() { PostMessageW(Dialog(), WM_COMMAND, IDCANCEL, 0); }

MessageBoxSeen SaveAsRobot::WaitForMessageBox() {
    MessageBoxSeen seen;
    WaitFor(
        [&] {
            for (HWND window : TopLevelDialogs()) {
                if (window != dialog_ && !GetDlgItem(window, FileNameBoxId)) {
                    seen.window = window;
                    return true;
                }
            }
            return false;
        },
        "a message box's appearance");
    wchar_t text[TextChars] = {};
    LRESULT n = Send(seen.window, WM_GETTEXT, TextChars, reinterpret_cast<LPARAM>(text), "WM_GETTEXT");
    seen.title.assign(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(n));
    if (const HWND label = GetDlgItem(seen.window, MessageTextId)) {
        n = Send(label, WM_GETTEXT, TextChars, reinterpret_cast<LPARAM>(text), "WM_GETTEXT");
        seen.text.assign(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(n));
    }
    return seen;
}

std::optional<MessageBoxSeen> SaveAsRobot::WaitUntilClosedOrAsked() {
    const HWND dialog = dialog_;
    if (!dialog) throw RobotError("robot: no Save As dialog found yet (call WaitForDialog)");
    bool asked = false;
    WaitFor(
        [&] {
            if (!IsWindow(dialog)) return true;
            for (HWND window : TopLevelDialogs())
                if (window != dialog && !GetDlgItem(window, FileNameBoxId)) asked = true;
            return asked;
        },
        "the Save As dialog's closing or question");
    if (!asked) {
        dialog_ = nullptr;
        return std::nullopt;
    }
    return WaitForMessageBox();
}

void SaveAsRobot::Answer(const MessageBoxSeen& box, int id) {
    if (!IsWindow(box.window)) throw RobotError("robot: the message box to answer is gone");
    PostMessageW(box.window, WM_COMMAND, static_cast<WPARAM>(id), 0);
    WaitFor([&] { return !IsWindow(box.window); }, "the message box's closing");
}

void SaveAsRobot::Screenshot(const std::wstring& pngPath) { Screenshot(pngPath, dialog_); }

void SaveAsRobot::Screenshot(const std::wstring& pngPath, HWND window) {
    // Wine's own conversions between its drive paths and Unix paths (kernel32 exports).
    using ToUnix = char*(CDECL*)(const wchar_t*);
    using ToDos = wchar_t*(CDECL*)(const char*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    const auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (!toUnix || !toDos) throw RobotError("robot: screenshots need Wine");
    char* unixPath = toUnix(pngPath.c_str());
    wchar_t* shell = toDos("/bin/sh");
    if (!unixPath || !shell) throw RobotError("robot: no Unix path for the screenshot");
    const std::string target = unixPath;
    const std::wstring application = shell;
    HeapFree(GetProcessHeap(), 0, unixPath);
    HeapFree(GetProcessHeap(), 0, shell);
    if (target.find('\'') != std::string::npos) throw RobotError("robot: a quote in the screenshot's path");

    // The picture must show the dialog drawn: paint what is pending now (RDW_UPDATENOW waits for the
    // dialog's thread), then let that thread pass its message loop, where Wine hands the drawing on.
    if (window && IsWindow(window)) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Send(window, WM_NULL, 0, 0, "WM_NULL");
    }
    DeleteFileW(pngPath.c_str());
    // Written under another name and renamed, so the file appears complete.
    const std::string script = "xwd -root -display \"$DISPLAY\" | /usr/bin/convert xwd:- png:'" + target +
                               ".part' && mv '" + target + ".part' '" + target + "'";
    std::wstring line = L"/bin/sh -c \"";
    for (char c : script) line += c == '"' ? std::wstring(L"\\\"") : std::wstring(1, static_cast<wchar_t>(c));
    line += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        throw RobotError("robot: cannot start /bin/sh for the screenshot, error " + std::to_string(GetLastError()));
    // A Unix program started by Wine has no process handle to wait on: wait for its file.
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    WaitFor([&] { return GetFileAttributesW(pngPath.c_str()) != INVALID_FILE_ATTRIBUTES; },
            "the screenshot " + Utf8(pngPath));
}

// ---- UiThread

UiThread::UiThread(std::function<void()> body) : body_(std::move(body)) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &id_);
    if (!thread_) throw RobotError("cannot start the dialog thread");
}

DWORD WINAPI UiThread::Run(void* self) {
    auto& me = *static_cast<UiThread*>(self);
    const HRESULT ole = OleInitialize(nullptr);
    try {
        me.body_();
    } catch (...) {
        me.failure_ = std::current_exception();
    }
    if (SUCCEEDED(ole)) OleUninitialize();
    return 0;
}

void UiThread::Join(std::chrono::milliseconds timeout) {
    if (WaitForSingleObject(thread_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        throw RobotError("the dialog thread did not finish within " + std::to_string(timeout.count()) + " ms");
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

UiThread::~UiThread() {
    // A failed test left a dialog open: answer every box No and cancel the dialog until the thread ends.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (WaitForSingleObject(thread_, 20) == WAIT_TIMEOUT) {
        if (std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "the dialog thread does not end; stopping the test program\n");
            std::fflush(stderr);
            ExitProcess(3);
        }
        DialogSearch search{GetCurrentProcessId(), id_, {}};
        EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
        for (HWND window : search.found)
            PostMessageW(window, WM_COMMAND, GetDlgItem(window, FileNameBoxId) ? IDCANCEL : IDNO, 0);
    }
    CloseHandle(thread_);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

}  // namespace standin::win
