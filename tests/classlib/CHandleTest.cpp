#include "CHandle.h"

#include <gtest/gtest.h>

// The timer object lives on while another handle names it: closing the owner must leave it
// disarmed, or a waiter on that other handle would still wake.
TEST(CWaitableTimerHandle, ClosingDisarmsTheTimerForEveryOtherHandle)
{
    constexpr DWORD kDueMs = 500;
    HANDLE other = nullptr;
    ULONGLONG armedAt = 0, closedAt = 0;
    {
        CWaitableTimerHandle timer(CreateWaitableTimerW(nullptr, TRUE, nullptr));
        ASSERT_TRUE(timer);
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(kDueMs) * 10000;
        armedAt = GetTickCount64();
        ASSERT_TRUE(SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE));
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), timer, GetCurrentProcess(), &other, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS));
        EXPECT_EQ(0u, timer.Close());
        closedAt = GetTickCount64();
    }
    CHandle duplicate(other);
    if (closedAt - armedAt >= kDueMs / 2) GTEST_SKIP() << "too slow to close before the timer was due";
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(duplicate, 2 * kDueMs));
}
