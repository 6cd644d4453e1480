// Setting the clock with the privilege enabled for the call. Under Wine a change under half
// a second succeeds and changes nothing, a larger one is refused with 1314: nothing here can
// move this machine's clock.
#include "PipeClient.h"
#include "Support.h"

#include <gtest/gtest.h>

namespace {

using kestrom_test::UtcNowPlus;

TEST(SystemTimeModifier, ResultCodes)
{
    // Each time is taken right before its call: Wine accepts "now" only within half a second,
    // and a loaded machine can take longer than that between building a table and using it.
    struct Case {
        LONGLONG offset;
        WORD SYSTEMTIME::*field;
        WORD value;
        DWORD expected;
        const char* why;
    } cases[] = {
        {0, nullptr, 0, 0, "now: the clock is set"},
        {3600, nullptr, 0, ERROR_PRIVILEGE_NOT_HELD, "an hour away: Wine refuses"},
        {0, &SYSTEMTIME::wMonth, 13, ERROR_INVALID_PARAMETER, "month 13"},
        {0, &SYSTEMTIME::wYear, 1500, ERROR_INVALID_PARAMETER, "year 1500"},
        {0, &SYSTEMTIME::wDay, 0, ERROR_INVALID_PARAMETER, "day 0"},
        {0, &SYSTEMTIME::wHour, 25, ERROR_INVALID_PARAMETER, "hour 25"},
    };
    for (const auto& c : cases) {
        CSystemTimeModifier modifier;
        SYSTEMTIME time = UtcNowPlus(c.offset);
        if (c.field) time.*c.field = c.value;
        EXPECT_EQ(c.expected, modifier.SetTime(time)) << c.why;
    }
}

TEST(SystemTimeModifier, TokenIsNeverKept)
{
    SYSTEMTIME now = UtcNowPlus(0);
    CSystemTimeModifier().SetTime(now);
    DWORD before = kestrom_test::SettledHandleCount(GetCurrentProcessId());
    ASSERT_GT(before, 0u) << "no handle count to compare";
    for (int i = 0; i < 200; ++i) {
        CSystemTimeModifier modifier;
        modifier.SetTime(kestrom_test::Month13());
    }
    EXPECT_EQ(before, kestrom_test::SettledHandleCount(GetCurrentProcessId()));
}

TEST(SystemTimeModifier, RestoreWithoutEnableIsHarmless)
{
    CSystemTimeModifier modifier;
    modifier.RestorePrivilege();
    EXPECT_TRUE(modifier.EnablePrivilege());
    modifier.RestorePrivilege();
    modifier.RestorePrivilege();
}

} // namespace
