// What the COM DLLs give the static runtime instead of kernel functions Windows 2000 and XP lack.
#include "com/RuntimeImports.h"

#include <gtest/gtest.h>

namespace {

TEST(RuntimeImports, TickCountKeepsTimeWithTheSystemsAndNeverGoesBack) {
    // Test programs may call GetTickCount64 itself: they are not built for the oldest Windows.
    const ULONGLONG ours = com::runtime::tickCount64();
    const ULONGLONG system = GetTickCount64();
    ULONGLONG last = ours;
    for (int i = 0; i < 100000; ++i) {
        const ULONGLONG now = com::runtime::tickCount64();
        ASSERT_GE(now, last);
        last = now;
    }
    Sleep(200);
    const long long oursElapsed = static_cast<long long>(com::runtime::tickCount64() - ours);
    const long long systemElapsed = static_cast<long long>(GetTickCount64() - system);
    EXPECT_GE(oursElapsed, 150);
    EXPECT_NEAR(oursElapsed, systemElapsed, 40) << "milliseconds, as the system counts them";
}

LONG WINAPI NeverCalled(EXCEPTION_POINTERS*) {
    ADD_FAILURE() << "no vectored handler may be installed";
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(RuntimeImports, NoVectoredHandlerIsInstalled) {
    EXPECT_EQ(com::runtime::addNoVectoredHandler(1, &NeverCalled), nullptr);
    // An exception handled by the program itself passes no handler of ours on the way.
    EXPECT_THROW(throw 1, int);
    EXPECT_EQ(com::runtime::removeNoVectoredHandler(nullptr), 0u);
}

}  // namespace
