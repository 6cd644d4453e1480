#include "ClassLib.h"

#include <gtest/gtest.h>

TEST(COleDateTime, CheckedConversions)
{
    struct Case { int y, mo, d, h, mi, s; bool valid; const char* why; } cases[] = {
        { 2026, 3, 3, 14, 5, 9, true, "an ordinary date" },
        { 2026, 4, 31, 0, 0, 0, false, "31 April" },
        { 2026, 2, 29, 0, 0, 0, false, "29 February of a common year" },
        { 2024, 2, 29, 0, 0, 0, true, "a leap day" },
        { 1900, 2, 29, 0, 0, 0, false, "1900 was no leap year" },
        { 2000, 2, 29, 23, 59, 59, true, "2000 was" },
        { 99, 12, 31, 0, 0, 0, false, "before year 100" },
        { 10000, 1, 1, 0, 0, 0, false, "after 9999" },
        { 2026, 1, 1, 24, 0, 0, false, "hour 24" },
        { 2026, 1, 1, 0, 60, 0, false, "minute 60" },
        { 1800, 7, 14, 6, 30, 0, true, "a negative value" },
    };
    for (const Case& c : cases) {
        COleDateTime t(c.y, c.mo, c.d, c.h, c.mi, c.s);
        EXPECT_EQ(c.valid ? COleDateTime::valid : COleDateTime::invalid, t.GetStatus()) << c.why;
        if (!c.valid) continue;
        SYSTEMTIME st{};
        ASSERT_TRUE(t.GetAsSystemTime(st));
        EXPECT_EQ(c.y, st.wYear);
        EXPECT_EQ(c.mo, st.wMonth);
        EXPECT_EQ(c.d, st.wDay);
        EXPECT_EQ(c.h, st.wHour);
        EXPECT_EQ(c.mi, st.wMinute);
        EXPECT_EQ(c.s, st.wSecond);
    }
    EXPECT_EQ(0.0, COleDateTime(1899, 12, 30, 0, 0, 0).m_dt);
    EXPECT_EQ(7, COleDateTime(1899, 12, 30, 0, 0, 0).GetDayOfWeek()) << "a Saturday";
    EXPECT_EQ(3, COleDateTime(2026, 3, 3, 0, 0, 0).GetDayOfWeek()) << "a Tuesday";
    EXPECT_EQ(366, COleDateTime(2024, 12, 31, 0, 0, 0).GetDayOfYear());
    EXPECT_EQ(60, COleDateTime(2026, 3, 1, 0, 0, 0).GetDayOfYear());
}

TEST(COleDateTime, ArithmeticAcrossZero)
{
    // -1.25 is 29 December 1899, 06:00: the fraction of a negative date counts forward.
    COleDateTime t(1899, 12, 29, 6, 0, 0);
    EXPECT_DOUBLE_EQ(-1.25, t.m_dt);
    COleDateTime later = t + COleDateTimeSpan(1, 0, 0, 0);
    EXPECT_EQ(COleDateTime(1899, 12, 30, 6, 0, 0), later);
    EXPECT_DOUBLE_EQ(0.25, later.m_dt);
    COleDateTime earlier = later - COleDateTimeSpan(0, 12, 0, 0);
    EXPECT_EQ(1899, earlier.GetYear());
    EXPECT_EQ(29, earlier.GetDay());
    EXPECT_EQ(18, earlier.GetHour());
    EXPECT_TRUE(t < later);
    EXPECT_TRUE(COleDateTime(1899, 12, 28, 23, 0, 0) < t) << "ordering of negative dates";
    EXPECT_DOUBLE_EQ(1.0, (later - t).GetTotalDays());
    EXPECT_EQ(COleDateTime::invalid, (COleDateTime(9999, 12, 31, 0, 0, 0) + COleDateTimeSpan(1, 0, 0, 0)).GetStatus());
    // Shifting by minutes lands on whole minutes despite binary fractions.
    COleDateTime shifted = COleDateTime(2026, 3, 3, 14, 5, 0) + COleDateTimeSpan(-420.0 / 1440.0);
    EXPECT_EQ(7, shifted.GetHour());
    EXPECT_EQ(5, shifted.GetMinute());
    EXPECT_EQ(0, shifted.GetSecond());
}

TEST(COleDateTime, FormatNeverFails)
{
    COleDateTime t(2026, 3, 3, 14, 5, 9);
    EXPECT_STREQ(L"3/3/2026 14:05", t.Format(L"%#m/%#d/%Y %H:%M").GetString());
    EXPECT_STREQ(L"100%q", t.Format(L"100%q").GetString()) << "an unknown conversion shows as it stands";
    EXPECT_STREQ(L"end %", t.Format(L"end %").GetString());
    EXPECT_STREQ(L"", t.Format(CString(L'x', 512)).GetString()) << "512 characters do not fit";
    EXPECT_EQ(511, t.Format(CString(L'x', 511)).GetLength());
    EXPECT_STREQ(L"", COleDateTime(2026, 4, 31, 0, 0, 0).Format(L"%Y").GetString()) << "invalid value";
    EXPECT_STREQ(L"", t.Format(nullptr).GetString());
}
