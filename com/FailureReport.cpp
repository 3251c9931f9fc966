#include "com/FailureReport.h"

#include <cstring>

#include "com/Module.h"
#include "com/Strings.h"

namespace com {
namespace {

std::wstring fromAscii(const char* text) {
    // Function and file names come from the compiler: ASCII.
    return text ? std::wstring(text, text + std::strlen(text)) : std::wstring();
}

std::wstring systemText(HRESULT status) {
    wchar_t buffer[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(status), 0, buffer, 512, nullptr);
    while (n > 0 && (buffer[n - 1] == L'\n' || buffer[n - 1] == L'\r' || buffer[n - 1] == L' ')) --n;
    return std::wstring(buffer, n);
}

std::wstring moduleName() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(Module::handle(), path, MAX_PATH);
    const std::wstring full(path, n < MAX_PATH ? n : 0);
    return full.substr(full.find_last_of(L"\\/") + 1);
}

}  // namespace

namespace {

base::Where placeOf(const std::source_location& where) noexcept {
    return {where.file_name(), where.function_name(), static_cast<unsigned>(where.line())};
}

}  // namespace

std::wstring failureLine(std::wstring_view module, HRESULT status, std::u16string_view message,
                         const std::source_location& where) {
    return failureLine(module, status, message, placeOf(where));
}

void reportFailure(HRESULT status, std::u16string_view message, const std::source_location& where) noexcept {
    reportFailure(status, message, placeOf(where));
}

std::wstring failureLine(std::wstring_view module, HRESULT status, std::u16string_view message,
                         const base::Where& where) {
    wchar_t code[16];
    wsprintfW(code, L"0x%08lX", static_cast<unsigned long>(status));
    std::wstring text(message.begin(), message.end());
    if (text.empty()) text = systemText(status);
    if (text.empty()) text = L"(no text)";
    return std::wstring(module) + L": " + code + L" " + text + L" in " + fromAscii(where.function) + L" (" +
           fromAscii(where.file) + L":" + decimal(where.line) + L")\n";
}

void reportFailure(HRESULT status, std::u16string_view message, const base::Where& where) noexcept {
    try {
        OutputDebugStringW(failureLine(moduleName(), status, message, where).c_str());
    } catch (...) {
        // No memory for the line: the status alone.
        wchar_t code[48];
        wsprintfW(code, L"failure 0x%08lX (no memory to describe it)\n", static_cast<unsigned long>(status));
        OutputDebugStringW(code);
    }
}

}  // namespace com
