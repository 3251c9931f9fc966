#include "com/Guard.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <new>
#include <stdexcept>

#include "com/ComPtr.h"
#include "com/Strings.h"
#include "core/HostError.h"

namespace {

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
}

}  // namespace
