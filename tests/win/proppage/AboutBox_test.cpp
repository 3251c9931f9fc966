// The About box: what it shows, where, how its links behave, and the ways it closes. The box is
// modal, so each test looks at it from a timer that fires inside the box's own message loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "com/Strings.h"
#include "proppage/core/About.h"
#include "proppage/core/Layout.h"
#include "proppage/core/URLs.h"
#include "proppage/win/AboutBox.h"
#include "proppage/win/PropPageControl.h"
#include "proppage/win/Ui.h"
#include "tests/win/proppage/FakeBridge.h"
#include "tests/win/proppage/TestContainer.h"

namespace {

namespace A = proppage::AboutLayout;
using proppage::win::WindowText;

// ---- looking at a modal box from inside its loop

struct Visit {
    std::function<void(HWND)> inspect;  // must close the box (or leave it to the deadline)
    bool inspected = false;
    bool timedOut = false;
    HWND about = nullptr;
};
Visit* current = nullptr;

BOOL CALLBACK FindAbout(HWND window, LPARAM found) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (std::wstring(cls) == L"#32770" && WindowText(window) == com::toWide(proppage::About::Caption()) && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND AboutWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindAbout, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Thread timers get their ids from SetTimer.
UINT_PTR deadlineId = 0;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (!current) return;
    if (id == deadlineId) {
        // The box did not close in time: close it so the test fails instead of hanging.
        current->timedOut = true;
        KillTimer(nullptr, id);
        if (HWND about = AboutWindow()) EndDialog(about, 0);
        return;
    }
    HWND about = AboutWindow();
    if (!about || current->inspected) return;
    current->inspected = true;
    current->about = about;
    current->inspect(about);
}

// Runs `open` (which shows the box modally) and calls `inspect` once the box is up.
void WhileAboutIsOpen(const std::function<void()>& open, std::function<void(HWND)> inspect, Visit& visit) {
    visit.inspect = std::move(inspect);
    current = &visit;
    const UINT_PTR look = SetTimer(nullptr, 0, 10, &OnTimer);
    const UINT_PTR deadline = SetTimer(nullptr, 0, 10000, &OnTimer);
    deadlineId = deadline;
    open();
    KillTimer(nullptr, look);
    KillTimer(nullptr, deadline);
    current = nullptr;
    EXPECT_TRUE(visit.inspected) << "the About box never appeared";
    EXPECT_FALSE(visit.timedOut) << "the About box did not close";
    EXPECT_FALSE(IsWindow(visit.about)) << "the box is destroyed when it closes";
}

// ---- the shell, swapped for a recorder

struct ShellCall {
    HWND owner;
    std::wstring verb, file;
    bool noParameters, noDirectory;
    INT show;
};
std::vector<ShellCall> shellCalls;

HINSTANCE WINAPI RecordShell(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show) {
    shellCalls.push_back({owner, verb ? verb : L"", file ? file : L"", parameters == nullptr, directory == nullptr, show});
    return reinterpret_cast<HINSTANCE>(2);  // "file not found": the box must ignore it
}

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        shellCalls.clear();
        original = proppage::win::ShellExecuteHook;
        proppage::win::ShellExecuteHook = &RecordShell;
        owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 600, 500, nullptr,
                                nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner);
        proppage::win::ShellExecuteHook = original;
    }

    void Show(std::function<void(HWND)> inspect) {
        Visit visit;
        WhileAboutIsOpen([&] { proppage::win::ShowAbout(owner); }, std::move(inspect), visit);
    }

    proppage::win::ShellExecuteFunction original = nullptr;
    HWND owner = nullptr;
};

void Close(HWND about) { PostMessageW(about, WM_COMMAND, IDOK, 0); }

void PressKey(HWND about, WPARAM key) {
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == about || IsChild(about, focus));
    PostMessageW(focus, WM_KEYDOWN, key, 1);
}

std::wstring Text(HWND about, int id) { return WindowText(GetDlgItem(about, id)); }

TEST_F(AboutTest, ShowsTheCaptionTitleVersionAndAddresses) {
    Show([](HWND about) {
        EXPECT_EQ(WindowText(about), L"About Quenmark Save Attachments");
        EXPECT_EQ(Text(about, proppage::win::AboutAppName), L"Quenmark Save Attachments");
        EXPECT_EQ(Text(about, proppage::win::AboutVersionLabel), L"Version");
        EXPECT_EQ(Text(about, proppage::win::AboutVersionNumber), com::toWide(proppage::About::FormatVersion(
                      TALLOWBY_VERSION_MAJOR, TALLOWBY_VERSION_MINOR, TALLOWBY_VERSION_PATCH)));
        EXPECT_EQ(Text(about, proppage::win::AboutVersionNumber), TEST_VERSION_TEXT);
        EXPECT_EQ(Text(about, proppage::win::AboutQuenmarkLink), com::toWide(proppage::URLs::WebSite));
        EXPECT_EQ(Text(about, proppage::win::AboutSupportLabel), L"Support:");
        EXPECT_EQ(Text(about, proppage::win::AboutSupportEmail), com::toWide(proppage::URLs::SupportEmail));
        EXPECT_EQ(Text(about, proppage::win::AboutDocumentationLabel), L"Documentation:");
        EXPECT_EQ(Text(about, proppage::win::AboutDocumentationLink), com::toWide(proppage::URLs::Documentation));
        EXPECT_EQ(Text(about, proppage::win::AboutOk), L"OK");
        Close(about);
    });
}

TEST_F(AboutTest, VersionComesFromTheLibrarysOwnResource) {
    EXPECT_EQ(proppage::win::LibraryVersion(), proppage::About::FormatVersion(TALLOWBY_VERSION_MAJOR, TALLOWBY_VERSION_MINOR,
                                                              TALLOWBY_VERSION_PATCH));
}

TEST_F(AboutTest, ControlsSitWhereTheTableSays) {
    Show([](HWND about) {
        const int dpi = proppage::win::ScreenDpi();
        RECT client{};
        GetClientRect(about, &client);
        EXPECT_EQ(client.right, proppage::Scale(A::ClientWidth, dpi));
        EXPECT_EQ(client.bottom, proppage::Scale(A::ClientHeight, dpi));
        const std::pair<int, proppage::Box> table[] = {
            {proppage::win::AboutAppName, A::AppName},           {proppage::win::AboutVersionLabel, A::VersionLabel},
            {proppage::win::AboutVersionNumber, A::VersionNumber}, {proppage::win::AboutQuenmarkLink, A::QuenmarkLink},
            {proppage::win::AboutSupportLabel, A::SupportLabel},       {proppage::win::AboutSupportEmail, A::SupportEmail},
            {proppage::win::AboutDocumentationLabel, A::DocumentationLabel}, {proppage::win::AboutDocumentationLink, A::DocumentationLink},
            {proppage::win::AboutOk, A::OkButton}};
        for (const auto& [id, box] : table) {
            SCOPED_TRACE(id);
            RECT r{};
            GetWindowRect(GetDlgItem(about, id), &r);
            MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&r), 2);
            const proppage::Box at = proppage::Scale(box, dpi);
            EXPECT_EQ(r.left, at.left);
            EXPECT_EQ(r.top, at.top);
            EXPECT_EQ(r.right - r.left, at.width);
            EXPECT_EQ(r.bottom - r.top, at.height);
        }
        Close(about);
    });
}

LOGFONTW FontOf(HWND control) {
    LOGFONTW font{};
    EXPECT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font));
    return font;
}

TEST_F(AboutTest, FieldsLookLikeTextAndLinksLikeLinks) {
    Show([](HWND about) {
        HDC dc = GetDC(about);
        for (int id : {proppage::win::AboutQuenmarkLink, proppage::win::AboutSupportEmail, proppage::win::AboutDocumentationLink}) {
            SCOPED_TRACE(id);
            HWND field = GetDlgItem(about, id);
            wchar_t cls[16] = {};
            GetClassNameW(field, cls, 16);
            EXPECT_STREQ(cls, L"Edit");
            const LONG style = GetWindowLongW(field, GWL_STYLE);
            EXPECT_TRUE(style & ES_READONLY);
            EXPECT_FALSE(style & (WS_BORDER | ES_MULTILINE | WS_TABSTOP));
            EXPECT_FALSE(GetWindowLongW(field, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
            const bool link = id != proppage::win::AboutSupportEmail;
            EXPECT_EQ(FontOf(field).lfUnderline != 0, link);
            EXPECT_STREQ(FontOf(field).lfFaceName, L"Microsoft Sans Serif");
            // What the field asks its parent for when it paints.
            const auto brush = reinterpret_cast<HBRUSH>(
                SendMessageW(about, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field)));
            EXPECT_EQ(brush, GetSysColorBrush(COLOR_BTNFACE));
            EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
            EXPECT_EQ(GetTextColor(dc), GetSysColor(link ? COLOR_ACTIVECAPTION : COLOR_BTNTEXT));
        }
        ReleaseDC(about, dc);
        EXPECT_FALSE(FontOf(GetDlgItem(about, proppage::win::AboutAppName)).lfUnderline);
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(about, proppage::win::AboutOk), GWL_STYLE) & BS_DEFPUSHBUTTON);
        EXPECT_EQ(LOWORD(SendMessageW(about, DM_GETDEFID, 0, 0)), IDOK);
        Close(about);
    });
}

TEST_F(AboutTest, ClickingALinkOpensItWithTheShellAndLeavesTheBoxOpen) {
    Show([](HWND about) {
        HWND link = GetDlgItem(about, proppage::win::AboutQuenmarkLink);
        SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        HWND docs = GetDlgItem(about, proppage::win::AboutDocumentationLink);
        SendMessageW(docs, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(docs, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        HWND mail = GetDlgItem(about, proppage::win::AboutSupportEmail);
        SendMessageW(mail, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(mail, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        EXPECT_TRUE(IsWindowVisible(about)) << "the box stays open after a link click";
        Close(about);
    });
    ASSERT_EQ(shellCalls.size(), 2u) << "the e-mail field has no click action";
    const std::wstring expected[] = {com::toWide(proppage::URLs::WebSite), com::toWide(proppage::URLs::Documentation)};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(shellCalls[i].owner, GetDesktopWindow());
        EXPECT_EQ(shellCalls[i].verb, L"Open");
        EXPECT_EQ(shellCalls[i].file, expected[i]);
        EXPECT_TRUE(shellCalls[i].noParameters);
        EXPECT_TRUE(shellCalls[i].noDirectory);
        EXPECT_EQ(shellCalls[i].show, SW_SHOWNORMAL);
    }
}

TEST_F(AboutTest, OneOpenPerClickThatStartsAndEndsOnTheLink) {
    Show([](HWND about) {
        HWND link = GetDlgItem(about, proppage::win::AboutQuenmarkLink);
        HWND docs = GetDlgItem(about, proppage::win::AboutDocumentationLink);
        const LPARAM inside = MAKELPARAM(5, 5);
        // A double-click: press, release, the second press as WM_LBUTTONDBLCLK, release.
        SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        SendMessageW(link, WM_LBUTTONUP, 0, inside);
        SendMessageW(link, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
        SendMessageW(link, WM_LBUTTONUP, 0, inside);
        EXPECT_EQ(shellCalls.size(), 1u) << "a double-click opens the address once";
        // A release with no press on the link: the button went down elsewhere.
        SendMessageW(link, WM_LBUTTONUP, 0, inside);
        // Pressed on the link, released beside it: the link holds the mouse and hears the release.
        SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        EXPECT_EQ(GetCapture(), link);
        SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(-3, 5));
        EXPECT_NE(GetCapture(), link) << "the mouse is given back";
        // Pressed on one link, released over the other: the release goes to the one pressed.
        SendMessageW(docs, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        POINT over{5, 5};
        MapWindowPoints(link, docs, &over, 1);
        SendMessageW(GetCapture(), WM_LBUTTONUP, 0, MAKELPARAM(over.x, over.y));
        // Pressed, then the mouse taken by another window before the release.
        SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        SetCapture(about);
        ReleaseCapture();
        SendMessageW(link, WM_LBUTTONUP, 0, inside);
        Close(about);
    });
    EXPECT_EQ(shellCalls.size(), 1u);
}

TEST_F(AboutTest, ThePointerIsAHandOverTheLinksOnly) {
    Show([](HWND about) {
        const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
        const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
        for (int id : {proppage::win::AboutQuenmarkLink, proppage::win::AboutDocumentationLink}) {
            HWND link = GetDlgItem(about, id);
            SetCursor(arrow);
            EXPECT_TRUE(SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
            EXPECT_EQ(GetCursor(), hand) << id;
        }
        HWND mail = GetDlgItem(about, proppage::win::AboutSupportEmail);
        SetCursor(arrow);
        SendMessageW(mail, WM_SETCURSOR, reinterpret_cast<WPARAM>(mail), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_NE(GetCursor(), hand);
        Close(about);
    });
}

TEST_F(AboutTest, EnterClosesTheBox) {
    Show([](HWND about) { PressKey(about, VK_RETURN); });
}

TEST_F(AboutTest, EscapeClosesTheBox) {
    Show([](HWND about) { PressKey(about, VK_ESCAPE); });
}

TEST_F(AboutTest, ClickingOkClosesTheBox) {
    Show([](HWND about) { PostMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0); });
}

TEST_F(AboutTest, TheWindowsCloseCommandClosesTheBox) {
    Show([](HWND about) { PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0); });
}

TEST_F(AboutTest, IsModalOverItsOwner) {
    Show([this](HWND about) {
        EXPECT_EQ(GetWindow(about, GW_OWNER), owner);
        EXPECT_FALSE(IsWindowEnabled(owner)) << "the owner is disabled while the box is open";
        RECT box{}, area{};
        GetWindowRect(about, &box);
        GetWindowRect(owner, &area);
        EXPECT_NEAR((box.left + box.right) / 2, (area.left + area.right) / 2, 1) << "centred over its owner";
        Close(about);
    });
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(AboutTest, EachShowLoadsTheBoxAfresh) {
    Show([](HWND about) {
        SetWindowTextW(GetDlgItem(about, proppage::win::AboutAppName), L"changed");
        SetWindowTextW(about, L"changed");
        Close(about);
    });
    Show([](HWND about) {
        EXPECT_EQ(Text(about, proppage::win::AboutAppName), L"Quenmark Save Attachments");
        Close(about);
    });
}

// The page's "About..." button opens the box owned by the page's top-level window.
TEST(AboutFromThePage, TheAboutButtonShowsTheBoxModallyOverTheHost) {
    testpage::OleApartment ole;
    ASSERT_EQ(ole.hr, S_OK);
    auto page = com::make<proppage::win::PropPageControl>();
    testpage::TestContainer container(testpage::SiteRoute::ClientSite);
    ASSERT_EQ(container.Site(page->identity()), S_OK);
    HWND button = GetDlgItem(container.PageWindow(), proppage::win::PageAboutButton);
    Visit visit;
    WhileAboutIsOpen([&] { SendMessageW(button, BM_CLICK, 0, 0); },
                     [&](HWND about) {
                         EXPECT_EQ(GetWindow(about, GW_OWNER), container.window());
                         EXPECT_FALSE(IsWindowEnabled(container.window()));
                         Close(about);
                     },
                     visit);
    VARIANT_BOOL dirty = VARIANT_TRUE;
    EXPECT_EQ(static_cast<PropertyPage*>(page.get())->get_Dirty(&dirty), S_OK);
    EXPECT_EQ(dirty, VARIANT_FALSE) << "the About box changes nothing";
    EXPECT_EQ(container.StatusChanges(), 0);
}

}  // namespace
