#include "SupportTime.h"
#include "ZoneRegistry.h"

#include <gtest/gtest.h>

namespace {

const FILETIME kAllOnes = { 0xFFFFFFFFu, 0xFFFFFFFFu };

bool SameFileTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

SYSTEMTIME Sys(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s)
{
    SYSTEMTIME st{};
    st.wYear = y; st.wMonth = mo; st.wDay = d; st.wHour = h; st.wMinute = mi; st.wSecond = s;
    return st;
}

TIME_ZONE_INFORMATION LocalZone(LONG bias, LONG standardBias, LONG daylightBias)
{
    TIME_ZONE_INFORMATION tzi{};
    tzi.Bias = bias;
    tzi.StandardBias = standardBias;
    tzi.DaylightBias = daylightBias;
    return tzi;
}

// US-style northern rules: daylight from the 2nd Sunday of March, standard from the 1st of November.
tagTZI2 NorthernZone(LONG bias, int year)
{
    tagTZI2 z;
    z.Bias = bias;
    z.DaylightBias = -60;
    z.DaylightStart = ZoneDateToOleDate(Rule(0, 3, 0, 2, 2), year);
    z.StandardStart = ZoneDateToOleDate(Rule(0, 11, 0, 1, 2), year);
    return z;
}

// Sydney-style southern rules: standard from the 1st Sunday of April, daylight from the 1st of October.
tagTZI2 SouthernZone(int year)
{
    tagTZI2 z;
    z.Bias = -600;
    z.DaylightBias = -60;
    z.StandardStart = ZoneDateToOleDate(Rule(0, 4, 0, 1, 3), year);
    z.DaylightStart = ZoneDateToOleDate(Rule(0, 10, 0, 1, 2), year);
    return z;
}

} // namespace

TEST(FileTimes, ZeroAndFailedConversions)
{
    const FILETIME zero{};
    EXPECT_TRUE(SameFileTime(zero, FileTimeLocalToUtc(zero)));
    EXPECT_TRUE(SameFileTime(zero, FileTimeUtcToLocal(zero)));
    const COleDateTime fromZero = FileTimeToDateTime(zero);
    EXPECT_EQ(0.0, fromZero.m_dt);
    EXPECT_EQ(COleDateTime::valid, fromZero.GetStatus());

    COleDateTime invalid(2026, 4, 31, 0, 0, 0);
    EXPECT_TRUE(SameFileTime(kAllOnes, FileTimeFromDateTime(invalid)));
    EXPECT_TRUE(SameFileTime(kAllOnes, FileTimeFromSystemTime(Sys(2026, 13, 1, 0, 0, 0))));
    // A file time past what a system time can hold gives the value 0.
    EXPECT_EQ(0.0, FileTimeToDateTime(kAllOnes).m_dt);

    // Invalid date-time values come back unchanged from the zone conversions.
    EXPECT_EQ(COleDateTime::invalid, OleDateLocalToUtc(invalid).GetStatus());
    EXPECT_EQ(COleDateTime::invalid, OleDateUtcToLocal(invalid).GetStatus());
}

TEST(FileTimes, RoundTripsThroughDateTimes)
{
    const SYSTEMTIME st = Sys(2026, 3, 3, 14, 5, 9);
    const FILETIME ft = FileTimeFromSystemTime(st);
    const COleDateTime dt = FileTimeToDateTime(ft);
    EXPECT_EQ(COleDateTime(st), dt);
    EXPECT_TRUE(FileTimeEquals(ft, FileTimeFromDateTime(dt)));
    FILETIME later = ft;
    later.dwLowDateTime += 1;
    EXPECT_FALSE(FileTimeEquals(ft, later));
}

TEST(FileTimes, Text)
{
    EXPECT_EQ(FileTimeText(FILETIME{0, 0}), L"<unk>");
    SYSTEMTIME st{2026, 12, 1, 7, 17, 19, 24, 999};
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(FileTimeText(ft), L"12/07/2026 17:19:24");
    EXPECT_EQ(FileTimeText(FILETIME{1, 0}), L"01/01/1601 00:00:00") << "only the low half set";
    EXPECT_EQ(FileTimeText(FILETIME{0xFFFFFFFF, 0xFFFFFFFF}), L"12/30/1899 00:00:00") << "no system time: value 0";
}

// CTest runs these tests with TZ=Europe/Berlin (Wine follows the process's Unix TZ): the
// conversions must apply the daylight rule of the moment converted, not today's.
TEST(FileTimes, LocalAndUtcFollowTheDaylightRuleOfTheMomentConverted)
{
    TIME_ZONE_INFORMATION tzi{};
    ASSERT_NE(TIME_ZONE_ID_UNKNOWN, GetTimeZoneInformation(&tzi)) << "run with TZ set to a zone with daylight time";
    ASSERT_EQ(-60, tzi.Bias);
    ASSERT_EQ(-60, tzi.DaylightBias);

    const struct Case {
        SYSTEMTIME utc;
        WORD localHour;
        const char* why;
    } cases[] = {
        {Sys(2026, 1, 15, 12, 0, 0), 13, "winter: UTC+1"},
        {Sys(2026, 7, 15, 12, 0, 0), 14, "summer: UTC+2"},
        {Sys(2026, 3, 29, 0, 59, 59), 1, "the last second before the spring change"},
        {Sys(2026, 3, 29, 1, 0, 0), 3, "the spring change: 02:00 local is skipped"},
        {Sys(2026, 10, 25, 0, 30, 0), 2, "the autumn change: 02:30 in daylight time"},
        {Sys(2026, 10, 25, 1, 30, 0), 2, "and 02:30 again in standard time"},
        {Sys(2030, 7, 1, 22, 0, 0), 0, "a summer of another year: 00:00 of the next day"},
    };
    for (const Case& c : cases) {
        const FILETIME utc = FileTimeFromSystemTime(c.utc);
        const FILETIME local = FileTimeUtcToLocal(utc);
        SYSTEMTIME shown{};
        ASSERT_TRUE(FileTimeToSystemTime(&local, &shown)) << c.why;
        EXPECT_EQ(c.localHour, shown.wHour) << c.why;
        EXPECT_EQ(c.utc.wMinute, shown.wMinute) << c.why;

        const COleDateTime utcDate = FileTimeToDateTime(utc);
        EXPECT_EQ(FileTimeToDateTime(local), OleDateUtcToLocal(utcDate)) << c.why;
        // The autumn hour that exists twice cannot lead back to both of its instants.
        if (c.utc.wMonth == 10) continue;
        EXPECT_TRUE(FileTimeEquals(utc, FileTimeLocalToUtc(local))) << c.why;
        EXPECT_EQ(utcDate, OleDateLocalToUtc(OleDateUtcToLocal(utcDate))) << c.why;
    }
}

TEST(ZoneDates, RulesResolveInTheYearGiven)
{
    struct Case { SYSTEMTIME rule; int year; const wchar_t* expected; const char* why; } cases[] = {
        { Rule(0, 3, 0, 2, 2), 2026, L"2026-03-08 02:00", "second Sunday of March" },
        { Rule(0, 2, 0, 5, 2), 2026, L"2026-02-22 02:00", "occurrence 5, four Sundays: the fourth" },
        { Rule(0, 3, 0, 5, 2), 2026, L"2026-03-29 02:00", "occurrence 5, five Sundays: the fifth" },
        { Rule(0, 11, 0, 1, 2), 2026, L"2026-11-01 02:00", "first Sunday on the 1st" },
        { Rule(2027, 6, 0, 15, 4), 2026, L"2027-06-15 04:00", "absolute date keeps its own year" },
        { Rule(0, 2, 0, 5, 2), 2032, L"2032-02-29 02:00", "the fifth Sunday on a leap day" },
    };
    for (const Case& c : cases) {
        COleDateTime d = ZoneDateToOleDate(c.rule, c.year);
        EXPECT_EQ(COleDateTime::valid, d.GetStatus()) << c.why;
        EXPECT_STREQ(c.expected, d.Format(L"%Y-%m-%d %H:%M").GetString()) << c.why;
    }

    struct Bad { SYSTEMTIME rule; const char* why; } bad[] = {
        { Rule(0, 0, 0, 0, 0), "month 0: no daylight saving" },
        { Rule(2026, 2, 0, 29, 2), "29 February of a common year" },
        { Rule(0, 3, 9, 1, 2), "a weekday that does not exist" },
        { Rule(0, 3, 0, 6, 2), "an occurrence that is never reached" },
        { Rule(0, 3, 0, 0, 2), "occurrence 0" },
        { Rule(0, 13, 0, 1, 2), "month 13" },
        { Rule(0, 3, 0, 2, 25), "hour 25" },
    };
    for (const Bad& b : bad)
        EXPECT_EQ(COleDateTime::invalid, ZoneDateToOleDate(b.rule, 2026).GetStatus()) << b.why;

    SYSTEMTIME now{};
    GetSystemTime(&now);
    EXPECT_EQ(now.wYear, ZoneDateToOleDate(Rule(0, 3, 0, 2, 2)).GetYear()) << "year 0 means the current UTC year";
}

TEST(ZoneDates, DaylightTest)
{
    const tagTZI2 north = NorthernZone(300, 2026);
    const tagTZI2 south = SouthernZone(2026);
    tagTZI2 none = north;
    none.StandardStart = ZoneDateToOleDate(Rule(2026, 2, 0, 29, 2));
    struct Case { const tagTZI2* zone; COleDateTime date; bool daylight; const char* why; } cases[] = {
        { &north, COleDateTime(2026, 3, 8, 2, 0, 0), true, "exactly at the daylight start" },
        { &north, COleDateTime(2026, 3, 8, 1, 59, 59), false, "a second before it" },
        { &north, COleDateTime(2026, 11, 1, 2, 0, 0), true, "exactly at the standard start" },
        { &north, COleDateTime(2026, 11, 1, 2, 0, 1), false, "a second after it" },
        { &north, COleDateTime(2026, 7, 1, 12, 0, 0), true, "summer" },
        { &north, COleDateTime(2026, 1, 1, 12, 0, 0), false, "winter" },
        { &south, COleDateTime(2026, 1, 1, 12, 0, 0), true, "southern summer spans the year's end" },
        { &south, COleDateTime(2026, 12, 24, 12, 0, 0), true, "southern summer, December" },
        { &south, COleDateTime(2026, 7, 1, 12, 0, 0), false, "southern winter" },
        { &none, COleDateTime(2026, 7, 1, 12, 0, 0), false, "an invalid start: no daylight saving" },
    };
    for (const Case& c : cases) EXPECT_EQ(c.daylight, IsZoneDaylight(c.date, *c.zone)) << c.why;
}

TEST(ZoneDates, LocalToZoneTimeEastAndWest)
{
    const TIME_ZONE_INFORMATION cet = LocalZone(-60, 0, -60);
    const TIME_ZONE_INFORMATION utc = LocalZone(0, 0, 0);
    tagTZI2 westNoDst;
    westNoDst.Bias = 300;
    westNoDst.DaylightBias = -60;
    tagTZI2 india;
    india.Bias = -330;
    const tagTZI2 west = NorthernZone(300, 2026);
    const tagTZI2 sydney = SouthernZone(2026);
    tagTZI2 cetZone = NorthernZone(-60, 2026);

    struct Case {
        COleDateTime date; const tagTZI2* zone; DWORD localId; const TIME_ZONE_INFORMATION* local;
        const wchar_t* expected; const char* why;
    } cases[] = {
        { COleDateTime(2026, 7, 1, 15, 0, 0), &westNoDst, TIME_ZONE_ID_DAYLIGHT, &cet, L"2026-07-01 08:00",
          "the worked example: summer in Europe, a zone without daylight saving" },
        { COleDateTime(2026, 3, 3, 14, 5, 0), &west, TIME_ZONE_ID_STANDARD, &cet, L"2026-03-03 08:05",
          "west, both in standard time" },
        { COleDateTime(2026, 7, 1, 14, 5, 0), &west, TIME_ZONE_ID_DAYLIGHT, &cet, L"2026-07-01 08:05",
          "west, both in daylight time" },
        { COleDateTime(2026, 3, 3, 14, 5, 0), &india, TIME_ZONE_ID_STANDARD, &cet, L"2026-03-03 18:35",
          "east, half-hour zone" },
        { COleDateTime(2026, 3, 3, 14, 5, 0), &sydney, TIME_ZONE_ID_STANDARD, &cet, L"2026-03-04 00:05",
          "southern zone in its summer crosses midnight" },
        { COleDateTime(2026, 3, 3, 14, 5, 0), &india, TIME_ZONE_ID_UNKNOWN, &utc, L"2026-03-03 19:35",
          "a local zone without daylight saving" },
        { COleDateTime(2026, 7, 1, 14, 5, 0), &cetZone, TIME_ZONE_ID_DAYLIGHT, &cet, L"2026-07-01 14:05",
          "the local zone itself, same season: no shift" },
        { COleDateTime(2026, 1, 1, 14, 5, 0), &cetZone, TIME_ZONE_ID_STANDARD, &cet, L"2026-01-01 14:05",
          "the local zone itself in winter" },
    };
    for (const Case& c : cases) {
        COleDateTime d = c.date;
        EXPECT_EQ(1, LocalToZoneTime(d, *c.zone, c.localId, *c.local)) << c.why;
        EXPECT_STREQ(c.expected, d.Format(L"%Y-%m-%d %H:%M").GetString()) << c.why;
    }

    // A failed local zone query beeps and leaves the date alone.
    COleDateTime d(2026, 3, 3, 14, 5, 0);
    EXPECT_EQ(0, LocalToZoneTime(d, india, TIME_ZONE_ID_INVALID, cet));
    EXPECT_EQ(COleDateTime(2026, 3, 3, 14, 5, 0), d);

    // Biases from malformed registry data cannot overflow; the date just leaves the range.
    tagTZI2 absurd;
    absurd.Bias = LONG_MIN;
    absurd.StandardBias = LONG_MIN;
    EXPECT_EQ(0, LocalToZoneTime(d, absurd, TIME_ZONE_ID_STANDARD, cet));
}

TEST(ZoneRegistryData, ReadsOnlyWholeRecords)
{
    const std::vector<BYTE> good = CTestZoneKey::Bytes(-540, 0, -60, Rule(0, 10, 0, 5, 3), Rule(0, 3, 0, 5, 2));
    std::vector<BYTE> shorter(good.begin(), good.end() - 1);
    std::vector<BYTE> longer = good;
    longer.push_back(0);

    CTestZoneKey keyGood(L"Zarnock fmt good", good);
    CTestZoneKey keyString(L"Zarnock fmt string", good, REG_SZ);
    CTestZoneKey key43(L"Zarnock fmt 43", shorter);
    CTestZoneKey key45(L"Zarnock fmt 45", longer);
    CTestZoneKey keyEmpty(L"Zarnock fmt novalue");
    ASSERT_TRUE(keyGood.ok && keyString.ok && key43.ok && key45.ok && keyEmpty.ok);

    tagZoneTzi tzi{};
    EXPECT_TRUE(ReadZoneTzi(L"Zarnock fmt good", tzi));
    EXPECT_EQ(-540, tzi.Bias);
    EXPECT_TRUE(ReadZoneTzi(L"Zarnock fmt string", tzi)) << "the value's type is not checked";
    EXPECT_FALSE(ReadZoneTzi(L"Zarnock fmt 43", tzi));
    EXPECT_FALSE(ReadZoneTzi(L"Zarnock fmt 45", tzi));
    EXPECT_FALSE(ReadZoneTzi(L"Zarnock fmt novalue", tzi));
    EXPECT_FALSE(ReadZoneTzi(L"Zarnock fmt missing", tzi));
    EXPECT_FALSE(ReadZoneTzi(L"", tzi));
    EXPECT_FALSE(ReadZoneTzi(nullptr, tzi));

    tagTZI2 zone;
    zone.key = 7;
    ASSERT_EQ(1, ReadZoneInfo(L"Zarnock fmt good", zone, 2026));
    EXPECT_EQ(-1, zone.key);
    EXPECT_EQ(-540, zone.Bias);
    EXPECT_EQ(0, zone.StandardBias);
    EXPECT_EQ(-60, zone.DaylightBias);
    EXPECT_STREQ(L"2026-10-25 03:00", zone.StandardStart.Format(L"%Y-%m-%d %H:%M").GetString());
    EXPECT_STREQ(L"2026-03-29 02:00", zone.DaylightStart.Format(L"%Y-%m-%d %H:%M").GetString());
    EXPECT_EQ(0, ReadZoneInfo(L"Zarnock fmt 45", zone, 2026));
}
