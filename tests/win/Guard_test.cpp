#include "com/Guard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <oleauto.h>

#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>
#include <cstring>
#include <source_location>
#include <string>

#include "base/HostError.h"
#include "com/ComPtr.h"
#include "com/FailureReport.h"
#include "com/Strings.h"
#include "tests/win/DebugOutput.h"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::u16string errorDescription() {
    com::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return u"<none>";
    com::Bstr text;
    EXPECT_EQ(info->GetDescription(text.put()), S_OK);
    return text.str();
}

TEST(GuardResult, PassesTheBodysHResultThrough) {
    EXPECT_EQ(com::guard([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(com::guard([] { return E_ACCESSDENIED; }), E_ACCESSDENIED);
    EXPECT_EQ(com::guard([] {}), S_OK);
}

TEST(GuardExceptions, HostErrorGivesItsStatusAndPublishesItsText) {
    EXPECT_EQ(com::guard([] { throw HostError(DISP_E_TYPEMISMATCH, u"Type mismatch"); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(errorDescription(), u"Type mismatch");
}

TEST(GuardExceptions, HostErrorWithASuccessStatusStillFails) {
    EXPECT_EQ(com::guard([] { throw HostError(0, {}); }), E_FAIL);
}

TEST(GuardExceptions, BadAllocGivesOutOfMemory) {
    EXPECT_EQ(com::guard([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
}

TEST(GuardExceptions, AnythingElseGivesUnexpected) {
    EXPECT_EQ(com::guard([] { throw std::runtime_error("x"); }), E_UNEXPECTED);
    EXPECT_EQ(com::guard([] { throw 42; }), E_UNEXPECTED);
}

TEST(GuardExceptions, AFailureWithoutTextClearsAnEarlierDescription) {
    (void)com::guard([] { throw HostError(E_FAIL, u"stale"); });
    EXPECT_EQ(com::guard([] { throw std::runtime_error("x"); }), E_UNEXPECTED);
    EXPECT_EQ(errorDescription(), u"<none>");
}

TEST(GuardOr, ReturnsTheFallbackWhenTheBodyThrows) {
    EXPECT_EQ(com::guardOr(LRESULT(-1), []() -> LRESULT { throw std::runtime_error("x"); }), -1);
    EXPECT_EQ(com::guardOr(LRESULT(-1), []() -> LRESULT { return 7; }), 7);
}

LRESULT CALLBACK throwingProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message != WM_APP) return DefWindowProcW(window, message, w, l);
    return com::guardOr(LRESULT(-1), []() -> LRESULT { throw HostError(E_FAIL, u"from a window procedure"); });
}

// On i686 an exception that reaches Windows' frames ends the process: this test would not return.
TEST(GuardOr, AWindowProcedureThatThrowsReturnsThroughSendMessage) {
    testing_support::DebugOutput output;
    WNDCLASSW cls{};
    cls.lpfnWndProc = throwingProcedure;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"TallowbyGuardTest";
    ASSERT_NE(RegisterClassW(&cls), 0);
    HWND window = CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageW(window, WM_APP, 0, 0), -1);
    DestroyWindow(window);
    UnregisterClassW(cls.lpszClassName, cls.hInstance);
    // Reported with the procedure as the place.
    const auto messages = output.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], StartsWith("com_tests.exe: 0x80004005 from a window procedure in "));
    EXPECT_THAT(messages[0], HasSubstr("throwingProcedure"));
}

std::string systemText(HRESULT status) {
    char text[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(status), 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ')) --n;
    return std::string(text, n);
}

// Every failure an entry point catches goes to the debug output, one line each: the module, the
// status, the failure's text (the system's for the status when it has none), the entry point and
// its source line.
TEST(GuardReport, EveryKindOfFailureIsToldWithItsStatusTextAndPlace) {
    struct Case {
        std::function<void()> body;
        HRESULT status;
        std::string text;
    };
    const Case cases[] = {
        {[] { throw HostError(DISP_E_TYPEMISMATCH, u"Type mismatch"); }, DISP_E_TYPEMISMATCH, "0x80020005 Type mismatch"},
        {[] { throw HostError(E_ACCESSDENIED, {}); }, E_ACCESSDENIED, "0x80070005 " + systemText(E_ACCESSDENIED)},
        {[] { throw HostError(0, u"said to succeed"); }, E_FAIL, "0x80004005 said to succeed"},
        {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY, "0x8007000E out of memory"},
        {[] { throw std::runtime_error("the disk is full"); }, E_UNEXPECTED, "0x8000FFFF the disk is full"},
        {[] { throw 42; }, E_UNEXPECTED, "0x8000FFFF an exception of an unknown type"},
    };
    ASSERT_NE(systemText(E_ACCESSDENIED), "");
    testing_support::DebugOutput output;
    const std::string place = "Guard_test.cpp:" + std::to_string(__LINE__ + 1) + ")";
    for (const Case& c : cases) EXPECT_EQ(com::guard(c.body), c.status);
    const auto messages = output.messages();
    ASSERT_EQ(messages.size(), std::size(cases));
    for (size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(messages[i]);
        EXPECT_THAT(messages[i], StartsWith("com_tests.exe: " + cases[i].text + " in "));
        EXPECT_THAT(messages[i], HasSubstr("EveryKindOfFailureIsToldWithItsStatusTextAndPlace"));
        EXPECT_THAT(messages[i], EndsWith(place));
    }
}

// The guards that answer through an out-parameter or return a fallback name their caller too, not
// the guard's own header.
TEST(GuardReport, EveryGuardTellsItsCallersPlace) {
    testing_support::DebugOutput output;
    BSTR text = nullptr;
    IUnknown* object = nullptr;
    const int line = __LINE__ + 1;
    EXPECT_EQ(com::guardOut(&text, [] { throw HostError(E_ACCESSDENIED, u"out text"); }), E_ACCESSDENIED);
    EXPECT_EQ(com::guardOut(&object, [] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(com::guardOr(LRESULT(-1), []() -> LRESULT { throw HostError(E_FAIL, u"fallback"); }), -1);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(object, nullptr);
    const auto messages = output.messages();
    ASSERT_EQ(messages.size(), 3u);
    for (size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(messages[i]);
        EXPECT_THAT(messages[i], HasSubstr("EveryGuardTellsItsCallersPlace"));
        EXPECT_THAT(messages[i], EndsWith("Guard_test.cpp:" + std::to_string(line + static_cast<int>(i)) + ")"));
    }
}

TEST(GuardReport, NothingIsToldWhenNothingFailsOrAFailureIsReturned) {
    testing_support::DebugOutput output;
    EXPECT_EQ(com::guard([] {}), S_OK);
    EXPECT_EQ(com::guard([] { return E_ACCESSDENIED; }), E_ACCESSDENIED);
    EXPECT_EQ(com::guardOr(LRESULT(-1), []() -> LRESULT { return 7; }), 7);
    EXPECT_EQ(output.messages(), std::vector<std::string>{});
}

TEST(GuardReport, TheLineNamesModuleStatusTextPlace) {
    const auto where = std::source_location::current();
    const std::wstring line = com::failureLine(L"Tallowby.dll", E_POINTER, u"Отчёт: nothing", where);
    EXPECT_EQ(line, L"Tallowby.dll: 0x80004003 Отчёт: nothing in " + std::wstring(where.function_name(), where.function_name() + strlen(where.function_name())) +
                        L" (" + std::wstring(where.file_name(), where.file_name() + strlen(where.file_name())) + L":" +
                        std::to_wstring(where.line()) + L")\n");
    // The file is named from the project's root, not this machine's folders.
    EXPECT_THAT(std::string(where.file_name()), EndsWith("tests/win/Guard_test.cpp"));
    EXPECT_NE(where.file_name()[0], '/');
}

}  // namespace
