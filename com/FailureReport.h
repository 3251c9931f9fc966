#pragma once
// Failures caught at an entry point (COM method, window or dialog procedure, hook) told to the
// system's debug output, where any debug-output viewer shows them: the user sees nothing more, the
// person who looks into a problem sees what failed and where.
#include <windows.h>

#include <source_location>
#include <string>
#include <string_view>

#include "base/Tolerate.h"

namespace com {

/// The one line reported for a failure: "<module>: 0x<status> <message> in <function> (<file>:<line>)",
/// where `message` is the failure's own text, or the system's text for the status when it has none.
std::wstring failureLine(std::wstring_view module, HRESULT status, std::u16string_view message,
                         const base::Where& where);
std::wstring failureLine(std::wstring_view module, HRESULT status, std::u16string_view message,
                         const std::source_location& where);

/// Reports one failure to the debug output (OutputDebugStringW), named after the module this code is
/// linked into. Never fails; costs nothing until something fails.
void reportFailure(HRESULT status, std::u16string_view message, const base::Where& where) noexcept;
void reportFailure(HRESULT status, std::u16string_view message, const std::source_location& where) noexcept;

}  // namespace com
