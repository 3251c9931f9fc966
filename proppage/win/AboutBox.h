#pragma once
// The About box: a modal dialog with the product's title, version, links and support address.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace proppage::win {

/// Control ids of the About box, so tests can find its parts.
enum AboutId : int {
    AboutAppName = 201,
    AboutVersionLabel,
    AboutVersionNumber,
    AboutQuenmarkLink,
    AboutSupportLabel,
    AboutSupportEmail,
    AboutDocumentationLabel,
    AboutDocumentationLink,
    AboutOk = IDOK,
};

/// How a link is opened: ShellExecuteW, or a recorder a test swaps in.
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern ShellExecuteFunction ShellExecuteHook;

/// Shows the About box modally, owned by `owner`, loaded afresh; returns when it closes.
void ShowAbout(HWND owner) noexcept;

/// The version text of this library: major.minor.revision of its own version resource.
std::u16string LibraryVersion();

}  // namespace proppage::win
