// Shows the options page (in the test container, titled like the host's Options dialog) or its About
// box, for a screenshot taken from outside. Writes the controls' client rectangles to a file, then
// signals that the window is up and waits (with a deadline) until the screenshot is taken.
// Usage: proppage_show page|about <ready-file> <done-file> <rects-file>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "proppage/win/AboutBox.h"
#include "proppage/win/PropPageControl.h"
#include "proppage/win/Ui.h"
#include "tests/win/proppage/FakeBridge.h"
#include "tests/win/proppage/TestContainer.h"

namespace {

std::wstring readyFile, doneFile, rectsFile;
bool aboutMode = false;
bool signalled = false;
DWORD deadline = 0;
int result = 1;

void WriteRects(HWND window, const std::pair<int, const char*>* controls, size_t count) {
    FILE* out = _wfopen(rectsFile.c_str(), L"w");
    if (!out) return;
    RECT client{}, screen{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    GetWindowRect(GetAncestor(window, GA_ROOT), &screen);
    std::fprintf(out, "client %ld x %ld at screen %ld,%ld (top-level window %ld,%ld %ldx%ld), dpi %d\n", client.right,
                 client.bottom, origin.x, origin.y, screen.left, screen.top, screen.right - screen.left,
                 screen.bottom - screen.top, proppage::win::ScreenDpi());
    for (size_t i = 0; i < count; ++i) {
        RECT r{};
        GetWindowRect(GetDlgItem(window, controls[i].first), &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        std::fprintf(out, "%-18s left %4ld top %4ld width %4ld height %4ld\n", controls[i].second, r.left, r.top,
                     r.right - r.left, r.bottom - r.top);
    }
    std::fclose(out);
}

BOOL CALLBACK FindAbout(HWND window, LPARAM found) {
    if (GetDlgItem(window, proppage::win::AboutVersionNumber) && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND pageWindow = nullptr;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND about = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindAbout, reinterpret_cast<LPARAM>(&about));
    HWND shown = aboutMode ? about : pageWindow;
    if (!signalled && shown) {
        static const std::pair<int, const char*> page[] = {{proppage::win::PageReplaceWithLinks, "ctrlReplaceWithLinks"},
                                                           {proppage::win::PageFrame, "Frame1"},
                                                           {proppage::win::PageAboutButton, "AboutButton"}};
        static const std::pair<int, const char*> box[] = {
            {proppage::win::AboutAppName, "AppName"},           {proppage::win::AboutVersionLabel, "lblVersion"},
            {proppage::win::AboutVersionNumber, "VersionNumber"}, {proppage::win::AboutQuenmarkLink, "QuenmarkLink"},
            {proppage::win::AboutSupportLabel, "Label3"},       {proppage::win::AboutSupportEmail, "SupportEmail"},
            {proppage::win::AboutDocumentationLabel, "Label4"}, {proppage::win::AboutDocumentationLink, "DocumentationLink"},
            {proppage::win::AboutOk, "cmdOK"}};
        if (aboutMode)
            WriteRects(about, box, std::size(box));
        else
            WriteRects(pageWindow, page, std::size(page));
        UpdateWindow(GetAncestor(shown, GA_ROOT));
        CloseHandle(CreateFileW(readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        signalled = true;
        return;
    }
    const bool done = GetFileAttributesW(doneFile.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (signalled && done) result = 0;
    if ((signalled && done) || GetTickCount() > deadline) {
        if (about) EndDialog(about, IDOK);
        PostQuitMessage(result);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: proppage_show page|about <ready-file> <done-file> <rects-file>\n");
        return 2;
    }
    aboutMode = std::wstring(argv[1]) == L"about";
    readyFile = argv[2];
    doneFile = argv[3];
    rectsFile = argv[4];
    deadline = GetTickCount() + 30000;

    testpage::OleApartment ole;
    testpage::FakePreference preference;
    preference.value = true;  // nothing stored: the add-in's default
    auto bridgeClass = std::make_unique<testpage::FakeBridgeClass>(preference);
    auto page = com::make<proppage::win::PropPageControl>();
    auto container = std::make_unique<testpage::TestContainer>(testpage::SiteRoute::ClientSite);
    if (FAILED(container->Site(page->identity()))) return 3;
    pageWindow = container->PageWindow();
    SetTimer(nullptr, 0, 50, &OnTimer);
    if (aboutMode) PostMessageW(GetDlgItem(pageWindow, proppage::win::PageAboutButton), BM_CLICK, 0, 0);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(container->window(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    container.reset();
    page = nullptr;
    bridgeClass.reset();
    return result;
}
