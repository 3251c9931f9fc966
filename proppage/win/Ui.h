#pragma once
// Helpers shared by the page and the About box: the screen's resolution, the controls' font,
// in-memory dialog templates and child controls placed by the layout tables.
#include <windows.h>

#include <string>

#include "com/Handles.h"
#include "proppage/core/Layout.h"

namespace proppage::win {

/// Pixels per logical inch of the screen.
int ScreenDpi() noexcept;

/// "Microsoft Sans Serif" 8.25 pt at `dpi`, optionally underlined. Empty when GDI has no font left.
com::GdiObject<HFONT> MakeFont(int dpi, bool underline) noexcept;

/// An empty dialog template of `style` (and `exStyle`), as DWORD-aligned storage; the controls are
/// created in WM_INITDIALOG at pixel positions, which dialog units cannot express.
struct DialogTemplate {
    alignas(4) WORD words[16];
    const DLGTEMPLATE* get() const noexcept { return reinterpret_cast<const DLGTEMPLATE*>(words); }
};
DialogTemplate EmptyTemplate(DWORD style, DWORD exStyle) noexcept;

/// A child control at `box` (96-DPI pixels, scaled to `dpi`), in `font`. Null on failure.
HWND CreateControl(HWND parent, const wchar_t* windowClass, const std::u16string& text, DWORD style, int id,
                   const proppage::Box& box, int dpi, HFONT font) noexcept;

/// Resizes `window` so that its client area is `width` x `height` (96-DPI pixels scaled to `dpi`).
void SetClientSize(HWND window, int width, int height, int dpi) noexcept;

/// The window's text.
std::wstring WindowText(HWND window);

}  // namespace proppage::win
