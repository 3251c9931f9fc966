#include "proppage/win/Ui.h"

#include <cstring>

#include "com/Strings.h"

namespace proppage::win {

int ScreenDpi() noexcept {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : proppage::BaseDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : proppage::BaseDpi;
}

com::GdiObject<HFONT> MakeFont(int dpi, bool underline) noexcept {
    LOGFONTW font{};
    font.lfHeight = -proppage::FontPixelHeight(dpi);
    font.lfWeight = FW_NORMAL;
    font.lfUnderline = underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    static_assert(sizeof proppage::FontFace / sizeof proppage::FontFace[0] <= LF_FACESIZE);
    std::memcpy(font.lfFaceName, proppage::FontFace, sizeof proppage::FontFace);
    return com::GdiObject<HFONT>(CreateFontIndirectW(&font));
}

DialogTemplate EmptyTemplate(DWORD style, DWORD exStyle) noexcept {
    DialogTemplate t{};
    auto* header = reinterpret_cast<DLGTEMPLATE*>(t.words);
    header->style = style;
    header->dwExtendedStyle = exStyle;
    header->cdit = 0;
    // After the header (9 words): no menu, the standard class, no title (one word each).
    return t;
}

HWND CreateControl(HWND parent, const wchar_t* windowClass, const std::u16string& text, DWORD style, int id,
                   const proppage::Box& box, int dpi, HFONT font) noexcept {
    const proppage::Box at = proppage::Scale(box, dpi);
    HWND control = CreateWindowExW(0, windowClass, com::wide(text), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
                                   at.left, at.top, at.width, at.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void SetClientSize(HWND window, int width, int height, int dpi) noexcept {
    RECT r{0, 0, proppage::Scale(width, dpi), proppage::Scale(height, dpi)};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace proppage::win
