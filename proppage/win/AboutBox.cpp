#include "proppage/win/AboutBox.h"

#include <iterator>
#include <utility>
#include <vector>

#include "com/Guard.h"
#include "com/Module.h"
#include "com/Strings.h"
#include "proppage/core/About.h"
#include "proppage/core/Layout.h"
#include "proppage/core/URLs.h"
#include "proppage/win/Ui.h"

namespace proppage::win {

ShellExecuteFunction ShellExecuteHook = &ShellExecuteW;

namespace {

namespace L = proppage::AboutLayout;

// One link field: its window, the edit control's own procedure, the address it opens, and whether
// the left button went down on it (a click must start and end on the link).
struct Link {
    HWND window = nullptr;
    WNDPROC original = nullptr;
    const char16_t* address = nullptr;
    bool pressed = false;
};

// Everything one show of the box holds; it lives on ShowAbout's stack, so each show starts afresh.
struct AboutForm {
    int dpi = proppage::BaseDpi;
    com::GdiObject<HFONT> font;
    com::GdiObject<HFONT> linkFont;
    HCURSOR handCursor = nullptr;
    HWND quenmarkLink = nullptr;
    HWND documentationLink = nullptr;
    HWND supportEmail = nullptr;
    Link links[2];
};

void OpenLink(const char16_t* address) noexcept {
    // The result is ignored on purpose: a failure to open shows nothing.
    (void)ShellExecuteHook(GetDesktopWindow(), L"Open", com::wide(std::u16string(address)), nullptr, nullptr,
                           SW_SHOWNORMAL);
}

Link* FindLink(AboutForm& form, HWND window) noexcept {
    for (Link& link : form.links)
        if (link.window == window) return &link;
    return nullptr;
}

bool IsInClientArea(HWND window, LPARAM point) noexcept {
    RECT client{};
    GetClientRect(window, &client);
    const POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    return PtInRect(&client, at) != FALSE;
}

LRESULT CALLBACK LinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<AboutForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    Link* link = form ? FindLink(*form, window) : nullptr;
    if (!link) return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC original = link->original;
    return com::guardOr<LRESULT>(0, [&]() -> LRESULT {
        switch (message) {
        case WM_SETCURSOR:
            // Every pointer move over the link shows the hand; a missing hand cursor hides the pointer.
            SetCursor(form->handCursor);
            return TRUE;
        case WM_LBUTTONDOWN: {
            // Only a press starts a click; the second press of a double-click comes as
            // WM_LBUTTONDBLCLK and starts none, so a double-click opens the address once.
            const LRESULT result = CallWindowProcW(original, window, message, wParam, lParam);
            link->pressed = true;
            // The release comes back here wherever the pointer goes, and tells where it ended.
            if (GetCapture() != window) SetCapture(window);
            return result;
        }
        case WM_LBUTTONUP: {
            const bool click = std::exchange(link->pressed, false) && IsInClientArea(window, lParam);
            const LRESULT result = CallWindowProcW(original, window, message, wParam, lParam);
            if (GetCapture() == window) ReleaseCapture();
            if (click) OpenLink(link->address);
            return result;
        }
        case WM_CAPTURECHANGED:
            // Another window took the mouse: the press that started here is no click any more.
            if (reinterpret_cast<HWND>(lParam) != window) link->pressed = false;
            return CallWindowProcW(original, window, message, wParam, lParam);
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
            link->window = nullptr;
            return CallWindowProcW(original, window, message, wParam, lParam);
        default:
            return CallWindowProcW(original, window, message, wParam, lParam);
        }
    });
}

HWND Field(HWND dialog, AboutForm& form, int id, const char16_t* text, const proppage::Box& box, HFONT font) {
    // A single-line text field that looks like plain text: no border, read-only, out of the tab order.
    return CreateControl(dialog, L"EDIT", text, ES_LEFT | ES_READONLY | ES_AUTOHSCROLL, id, box, form.dpi, font);
}

void MakeLink(AboutForm& form, Link& link, HWND window, const char16_t* address) {
    link.window = window;
    link.address = address;
    if (!window) return;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&form));
    link.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LinkProc)));
}

void CenterOver(HWND dialog, HWND owner) noexcept {
    RECT box{}, area{};
    GetWindowRect(dialog, &box);
    HWND root = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    if (!root || !GetWindowRect(root, &area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = box.right - box.left, height = box.bottom - box.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Loading the form: caption, addresses, version, title, hand cursor; then the frame's size.
void Load(HWND dialog, AboutForm& form) {
    form.dpi = ScreenDpi();
    form.font = MakeFont(form.dpi, false);
    form.linkFont = MakeFont(form.dpi, true);
    HFONT font = form.font.get();
    SetWindowTextW(dialog, com::wide(About::Caption()));

    CreateControl(dialog, L"STATIC", About::AppTitle, SS_LEFT | SS_NOPREFIX, AboutAppName, L::AppName, form.dpi, font);
    CreateControl(dialog, L"STATIC", About::VersionLabel, SS_LEFT, AboutVersionLabel, L::VersionLabel, form.dpi, font);
    CreateControl(dialog, L"STATIC", LibraryVersion(), SS_LEFT, AboutVersionNumber, L::VersionNumber, form.dpi, font);
    form.quenmarkLink = Field(dialog, form, AboutQuenmarkLink, URLs::WebSite, L::QuenmarkLink, form.linkFont.get());
    CreateControl(dialog, L"STATIC", About::SupportLabel, SS_LEFT, AboutSupportLabel, L::SupportLabel, form.dpi, font);
    form.supportEmail = Field(dialog, form, AboutSupportEmail, URLs::SupportEmail, L::SupportEmail, font);
    CreateControl(dialog, L"STATIC", About::DocumentationLabel, SS_LEFT, AboutDocumentationLabel, L::DocumentationLabel, form.dpi,
                  font);
    form.documentationLink =
        Field(dialog, form, AboutDocumentationLink, URLs::Documentation, L::DocumentationLink, form.linkFont.get());
    HWND ok = CreateControl(dialog, L"BUTTON", About::OkCaption, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, AboutOk,
                            L::OkButton, form.dpi, font);

    MakeLink(form, form.links[0], form.quenmarkLink, URLs::WebSite);
    MakeLink(form, form.links[1], form.documentationLink, URLs::Documentation);
    form.handCursor = LoadCursorW(nullptr, IDC_HAND);

    SetClientSize(dialog, L::ClientWidth, L::ClientHeight, form.dpi);
    CenterOver(dialog, GetWindow(dialog, GW_OWNER));
    SendMessageW(dialog, DM_SETDEFID, AboutOk, 0);
    SetFocus(ok);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return com::guardOr<INT_PTR>(FALSE, [&]() -> INT_PTR {
        auto* form = reinterpret_cast<AboutForm*>(GetWindowLongPtrW(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG:
            form = reinterpret_cast<AboutForm*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            Load(dialog, *form);
            return FALSE;  // the focus is already on OK
        case WM_CTLCOLORSTATIC: {
            // The read-only fields ask here too: button face behind them, links in the caption colour.
            auto dc = reinterpret_cast<HDC>(wParam);
            auto control = reinterpret_cast<HWND>(lParam);
            const bool link = form && (control == form->quenmarkLink || control == form->documentationLink);
            SetTextColor(dc, GetSysColor(link ? COLOR_ACTIVECAPTION : COLOR_BTNTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_COMMAND:
            // OK is both the default (Enter) and the cancel button (Escape).
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    });
}

}  // namespace

std::u16string LibraryVersion() {
    HMODULE module = com::Module::handle();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return About::FormatVersion(0, 0, 0);
    // VerQueryValueW may write into the block it reads: give it a copy, not the mapped resource.
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::vector<unsigned char> copy(bytes, bytes + SizeofResource(module, found));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&info), &size) || size < sizeof *info)
        return About::FormatVersion(0, 0, 0);
    return About::FormatVersion(HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                HIWORD(info->dwFileVersionLS));
}

void ShowAbout(HWND owner) noexcept {
    try {
        AboutForm form;
        const DialogTemplate t =
            EmptyTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG, WS_EX_DLGMODALFRAME);
        (void)DialogBoxIndirectParamW(com::Module::handle(), t.get(), owner, &AboutProc,
                                      reinterpret_cast<LPARAM>(&form));
    } catch (...) {
        (void)com::currentExceptionStatus(false);
    }
}

}  // namespace proppage::win
