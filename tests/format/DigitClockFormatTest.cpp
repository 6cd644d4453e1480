#include "DigitClock.h"
#include "DigitClockAccess.h"
#include "Globals.h"
#include "ProfileTestApp.h"
#include "StringTable.h"
#include "ZoneRegistry.h"

#include <gtest/gtest.h>

namespace {

// The settings of this executable, apart from every other test's and the clock's.
ProfileTestApp theApp(L"ZarnockFormatTests", L"format_tests");

class CFakeEnvironment : public IFormatEnvironment
{
public:
    void GetUtcTime(SYSTEMTIME& t) override { t = utc; }
    DWORD GetTimeZone(TIME_ZONE_INFORMATION& t) override { t = zone; return zoneId; }
    const CString& GetShortDateFormat() override { return shortDate; }
    const CString& GetShortTimeFormat() override { return shortTime; }

    SYSTEMTIME utc{};
    DWORD zoneId = TIME_ZONE_ID_STANDARD;
    TIME_ZONE_INFORMATION zone{};
    CString shortDate = L"%d.%m ";
    CString shortTime = L"%#I:%M %p";
};

SYSTEMTIME At(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms = 0)
{
    SYSTEMTIME st{};
    st.wYear = y; st.wMonth = mo; st.wDay = d; st.wHour = h; st.wMinute = mi; st.wSecond = s;
    st.wMilliseconds = ms;
    st.wDayOfWeek = static_cast<WORD>(COleDateTime(y, mo, d, 0, 0, 0).GetDayOfWeek() - 1);
    return st;
}

// Tuesday 3 March 2026, 14:05:09.345.
const SYSTEMTIME kTuesday = At(2026, 3, 3, 14, 5, 9, 345);

class FormatTest : public testing::Test
{
protected:
    void SetUp() override
    {
        clock.SetFormatEnvironment(&env);
        env.zone.Bias = -60;
        env.zone.DaylightBias = -60;
        wcscpy(env.zone.StandardName, L"Central Europe Standard Time");
        wcscpy(env.zone.DaylightName, L"Central Europe Daylight Time");
        env.utc = At(2026, 3, 3, 13, 5, 9);
        saved[0] = g_firstDayOfWeek; saved[1] = g_firstWeekOfYear; saved[2] = g_zonePrefixMode; saved[3] = g_zoneTimeMode;
        g_firstDayOfWeek = 0; g_firstWeekOfYear = 1; g_zonePrefixMode = 0; g_zoneTimeMode = 1;
    }
    void TearDown() override
    {
        g_firstDayOfWeek = saved[0]; g_firstWeekOfYear = saved[1]; g_zonePrefixMode = saved[2]; g_zoneTimeMode = saved[3];
        theApp.WriteProfileString(GetStr(SID_SECTION_TIMEZONES), nullptr, nullptr);
    }

    CString Format(const wchar_t* format, const SYSTEMTIME& time = kTuesday)
    {
        ClockFields(clock).m_format() = format;
        CString text(L"stale");
        clock.FormatTime(time, text);
        return text;
    }

    CDigitClock clock;
    CFakeEnvironment env;
    int saved[4] = {};
};

struct Case {
    const wchar_t* format;
    SYSTEMTIME time;
    const wchar_t* expected;
    const char* why;
};

#define EXPECT_CASES(cases)                                                                            \
    for (const Case& c : cases)                                                                        \
        EXPECT_STREQ(c.expected, Format(c.format, c.time).GetString())                                 \
            << c.why << " -- format " << testing::PrintToString(std::wstring(c.format))

} // namespace

TEST_F(FormatTest, TheDefaultFormatKeepsItsBlanks)
{
    EXPECT_STREQ(L" 02:05:09 PM - March 03, 2026 ", Format(GetStr(SID_DEFAULT_FORMAT)).GetString());
}

TEST_F(FormatTest, DateAndTimeRuns)
{
    const SYSTEMTIME nine = At(2026, 3, 3, 9, 5, 0);
    const SYSTEMTIME midnight = At(2026, 1, 5, 0, 7, 3);
    const SYSTEMTIME noon = At(2005, 12, 31, 12, 30, 0);
    const Case cases[] = {
        { L"d", kTuesday, L"3", "day, no leading zero" },
        { L"dd", kTuesday, L"03", "day, two digits" },
        { L"ddd", kTuesday, L"Tue", "abbreviated weekday" },
        { L"dddd", kTuesday, L"Tuesday", "full weekday" },
        { L"ddddddd", kTuesday, L"Tuesday", "longer runs stay the full weekday" },
        { L"M", kTuesday, L"3", "month number" },
        { L"MM", kTuesday, L"03", "month, two digits" },
        { L"MMM", kTuesday, L"Mar", "abbreviated month" },
        { L"MMMMM", kTuesday, L"March", "full month" },
        { L"y", noon, L"5", "year in century without zero" },
        { L"yy", noon, L"05", "two-digit year" },
        { L"yyy", noon, L"2005", "three letters give four digits" },
        { L"yyyy", kTuesday, L"2026", "four-digit year" },
        { L"D", midnight, L"5", "day of year, no zeros" },
        { L"DD", midnight, L"005", "day of year, three digits" },
        { L"DDDD", kTuesday, L"062", "longer runs as two" },
        { L"h:m", nine, L"9:5", "12-hour hour and minute without zeros" },
        { L"hh:mm", nine, L"09:05", "with zeros" },
        { L"h", kTuesday, L"2", "afternoon in 12-hour form" },
        { L"h H HH", midnight, L"12 0 00", "00:xx is 12 in 12-hour form" },
        { L"h hh H tt", noon, L"12 12 12 PM", "12:xx is 12 PM" },
        { L"tt", midnight, L"AM", "designator after midnight" },
        { L"t", kTuesday, L"P", "one-letter designator" },
        { L"s ss sss", nine, L"0 00 00", "seconds" },
        { L"s ss", kTuesday, L"9 09", "seconds with and without zero" },
    };
    EXPECT_CASES(cases);
}

TEST_F(FormatTest, FractionsOfASecond)
{
    const SYSTEMTIME early = At(2026, 3, 3, 14, 5, 9, 5);
    const Case cases[] = {
        { L"S", kTuesday, L"3", "tenths" },
        { L"SS", kTuesday, L"34", "hundredths" },
        { L"SSS", kTuesday, L"345", "milliseconds" },
        { L"SSSS", kTuesday, L"345", "longer runs as three" },
        { L"S SS SSS", early, L"0 00 005", "zero-padded" },
        { L"ss.SSS", early, L"09.005", "seconds and milliseconds" },
    };
    EXPECT_CASES(cases);
}

TEST_F(FormatTest, SeparatorsLiteralsAndQuotes)
{
    const SYSTEMTIME nine = At(2026, 3, 3, 9, 0, 0);
    const Case cases[] = {
        { L"dd~dd", kTuesday, L"0303", "~ only ends a run" },
        { L"h~h", kTuesday, L"22", "two one-letter runs" },
        { L"~", kTuesday, L"", "a lone ~ shows nothing" },
        { L"hh|mm", kTuesday, L"02\n05", "| is a line break" },
        { L"h||m", kTuesday, L"2\n\n5", "each | is one line break" },
        { L"'at' h", nine, L"at 9", "a quoted literal" },
        { L"''h", kTuesday, L"'2", "a doubled quote outside a literal" },
        { L"'it''s'", kTuesday, L"its", "a doubled quote inside a literal ends it" },
        { L"'d M y h'", kTuesday, L"d M y h", "letters in a literal stay letters" },
        { L"'%A'", kTuesday, L"Tuesday", "a literal may carry its own conversions" },
        { L"'%#d.%#m.'", kTuesday, L"3.3.", "and their Microsoft forms" },
        { L"h 'open", kTuesday, L"2 open", "an open literal at the end shows its text" },
        { L"'", kTuesday, L"", "a lone quote" },
        { L"x Q! 7", kTuesday, L"x Q! 7", "other characters are copied" },
        { L"tt, ss", kTuesday, L"PM, 09", "punctuation between runs" },
    };
    EXPECT_CASES(cases);
}

TEST_F(FormatTest, PercentSignsShowAsThemselves)
{
    const Case cases[] = {
        { L"100%", kTuesday, L"100%", "one percent sign" },
        { L"%%", kTuesday, L"%%", "a run of two" },
        { L"%d%", kTuesday, L"%3%", "a percent before a token is not a conversion" },
        { L"a%b", kTuesday, L"a%b", "between letters" },
        { L"'50%'", kTuesday, L"50%", "a stray percent in a literal" },
        { L"'%q %'", kTuesday, L"%q %", "no conversion, and one at the literal's end" },
        { L"'%#'", kTuesday, L"%#", "a flag without a conversion" },
        { L"'%E%Od'", kTuesday, L"%E%Od", "conversions the runtime lacks" },
        { L"'%A %%'", kTuesday, L"Tuesday %", "a valid literal with an escaped percent" },
    };
    EXPECT_CASES(cases);
}

TEST_F(FormatTest, SystemFormattedTokens)
{
    wchar_t era[64] = L"gg";
    if (GetDateFormatW(LOCALE_USER_DEFAULT, 0, &kTuesday, L"gg", era, 64) <= 0) wcscpy(era, L"gg");
    EXPECT_STREQ(era, Format(L"gg").GetString()) << "the system's era name";
    EXPECT_STREQ(L"g ggg", Format(L"g ggg").GetString()) << "other lengths are copied";
    wchar_t designator[64];
    ASSERT_GT(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &kTuesday, L"ttt", designator, 64), 0);
    EXPECT_STREQ(designator, Format(L"ttt").GetString()) << "longer runs are the picture";

    // A time the system formatter refuses: the run's own characters.
    SYSTEMTIME bad = kTuesday;
    bad.wMonth = 13;
    bad.wHour = 30;
    EXPECT_STREQ(L"tt", clock.ExpandFormatToken(L"tt", 2, bad).GetString());
    EXPECT_STREQ(L"gg", clock.ExpandFormatToken(L"gg", 2, bad).GetString());
}

TEST_F(FormatTest, ZoneOffsetAndName)
{
    struct ZoneCase { LONG bias; DWORD id; const wchar_t* format; const wchar_t* expected; const char* why; } cases[] = {
        { -60, TIME_ZONE_ID_STANDARD, L"zz", L"+01:00", "east of UTC" },
        { 0, TIME_ZONE_ID_UNKNOWN, L"zz", L"-00:00", "a zero bias shows minus" },
        { -330, TIME_ZONE_ID_STANDARD, L"zzz", L"+05:30", "half-hour zone, longer run" },
        { 300, TIME_ZONE_ID_DAYLIGHT, L"zz", L"-05:00", "west; the daylight bias is not added" },
        { -60, TIME_ZONE_ID_STANDARD, L"z", L"z", "one letter is copied" },
        { -60, TIME_ZONE_ID_STANDARD, L"ZZ", L"Central Europe Standard Time", "standard name" },
        { -60, TIME_ZONE_ID_DAYLIGHT, L"ZZZ", L"Central Europe Daylight Time", "daylight name" },
        { -60, TIME_ZONE_ID_UNKNOWN, L"ZZ", L"Central Europe Standard Time", "no daylight saving known" },
        { -60, TIME_ZONE_ID_STANDARD, L"Z", L"Z", "one letter is copied" },
        { -60, TIME_ZONE_ID_INVALID, L"zz ZZ", L"zz ZZ", "a failed zone query shows the runs" },
    };
    for (const ZoneCase& c : cases) {
        env.zone.Bias = c.bias;
        env.zoneId = c.id;
        EXPECT_STREQ(c.expected, Format(c.format).GetString()) << c.why;
    }
    wcscpy(env.zone.StandardName, L"100% Time %d");
    env.zoneId = TIME_ZONE_ID_STANDARD;
    EXPECT_STREQ(L"100% Time %d", Format(L"ZZ").GetString()) << "a zone name is final text";
}

TEST_F(FormatTest, InternetTimeFromTheUtcClock)
{
    struct BeatCase { SYSTEMTIME utc; const wchar_t* format; const wchar_t* expected; } cases[] = {
        { At(2026, 3, 3, 11, 0, 0), L"@", L"@500" },
        { At(2026, 3, 3, 22, 59, 59, 999), L"@", L"@999" },
        { At(2026, 3, 3, 23, 0, 0), L"@@@", L"@000" },
        { At(2026, 3, 3, 0, 0, 0), L"@", L"@041" },
    };
    for (const BeatCase& c : cases) {
        env.utc = c.utc;
        EXPECT_STREQ(c.expected, Format(c.format).GetString()) << "the local time passed in does not count";
    }
}

TEST_F(FormatTest, WeekNumbersAroundTheYearsEnd)
{
    struct WeekCase { int fdow, fwoy; SYSTEMTIME date; const wchar_t* format; const wchar_t* expected; const char* why; };
    const WeekCase cases[] = {
        { 0, 1, At(2024, 12, 31, 12, 0, 0), L"w", L"53", "Tuesday 31 December 2024" },
        { 0, 1, At(2025, 1, 1, 12, 0, 0), L"w", L"1", "Wednesday 1 January 2025" },
        { 0, 1, At(2021, 1, 1, 12, 0, 0), L"w", L"53", "Friday 1 January 2021 continues 2020" },
        { 0, 1, At(2026, 3, 3, 12, 0, 0), L"ww", L"10", "ordinary week" },
        { 0, 2, At(2025, 1, 1, 12, 0, 0), L"w", L"53", "first full week: 1 January 2025 is in the last" },
        { 0, 2, At(2026, 1, 4, 12, 0, 0), L"w", L"52", "Sunday 4 January 2026 ends 2025's week 52" },
        { 0, 2, At(2026, 1, 5, 12, 0, 0), L"ww", L"01", "the first full week" },
        { 0, 0, At(2021, 1, 1, 12, 0, 0), L"w", L"1", "the week of 1 January is week 1" },
        { 0, 0, At(2020, 12, 31, 12, 0, 0), L"w", L"53", "its December days follow the week before" },
        { 6, 0, At(2026, 1, 1, 12, 0, 0), L"ww", L"01", "weeks from Sunday" },
        { 6, 0, At(2025, 12, 31, 12, 0, 0), L"w", L"53", "weeks from Sunday, December" },
        { 6, 0, At(2026, 1, 3, 12, 0, 0), L"w", L"1", "Saturday ends the first week" },
        { 6, 0, At(2026, 1, 4, 12, 0, 0), L"w", L"2", "Sunday starts the second" },
        { 6, 1, At(2027, 1, 1, 12, 0, 0), L"w", L"52", "Sunday weeks, four-day rule: 2026 began on a Thursday" },
        { 5, 1, At(2027, 1, 2, 12, 0, 0), L"w", L"1", "Saturday weeks: 2 January 2027" },
        { 5, 1, At(2027, 1, 1, 12, 0, 0), L"w", L"52", "Saturday weeks: the Friday before" },
    };
    for (const WeekCase& c : cases) {
        g_firstDayOfWeek = c.fdow;
        g_firstWeekOfYear = c.fwoy;
        EXPECT_STREQ(c.expected, Format(c.format, c.date).GetString()) << c.why;
    }
}

TEST_F(FormatTest, OverlongInputs)
{
    const CString blanks(L' ', 500);
    EXPECT_EQ(383, Format(blanks).GetLength()) << "a run is cut at 383 characters";
    EXPECT_STREQ(L"Tuesday", Format(CString(L'd', 1000)).GetString());
    EXPECT_EQ(383, Format(L"'" + CString(L'x', 450) + L"'").GetLength()) << "a literal is cut too";
    EXPECT_EQ(383, Format(L"'" + CString(L'x', 450)).GetLength()) << "an open one as well";
    EXPECT_EQ(191, Format(CString(L'%', 450)).GetLength()) << "percent pairs are never split";
    EXPECT_EQ(511, Format(L"'" + CString(L'x', 300) + L"''" + CString(L'y', 211) + L"'").GetLength())
        << "511 characters still fit";
    EXPECT_STREQ(L"", Format(L"'" + CString(L'x', 300) + L"''" + CString(L'y', 212) + L"'").GetString())
        << "a display text over 511 characters is empty";
    CString many;
    for (int i = 0; i < 100; ++i) many += L"dddd~";
    EXPECT_STREQ(L"", Format(many).GetString()) << "and so when the conversions make it long";
    SYSTEMTIME invalid = kTuesday;
    invalid.wMonth = 13;
    EXPECT_STREQ(L"", Format(L"hh:mm", invalid).GetString()) << "a time that is no date";
}

TEST_F(FormatTest, MillisecondTest)
{
    struct MsCase { const wchar_t* format; BOOL expected; const char* why; } cases[] = {
        { L"hh:mm:ss.SSS", TRUE, "fractions" },
        { L"S", TRUE, "one S" },
        { L"hh:mm:ss", FALSE, "seconds only" },
        { L"'S'", FALSE, "inside a literal" },
        { L"'''S'", FALSE, "doubled quote, then a literal" },
        { L"'it''s' S", TRUE, "after two literals" },
        { L"'open S", FALSE, "in a literal left open" },
        { L"#005", FALSE, "a zone token" },
        { L"#S12", TRUE, "no zone token" },
        { L"", FALSE, "empty" },
    };
    for (const MsCase& c : cases) EXPECT_EQ(c.expected, CDigitClock::FormatHasMilliseconds(c.format)) << c.why;
    ClockFields(clock).m_format() = L"ss.SS";
    EXPECT_TRUE(clock.FormatHasMilliseconds());
}

class FurtherZones : public FormatTest
{
protected:
    void SetUp() override
    {
        FormatTest::SetUp();
        ASSERT_TRUE(west.ok && east.ok && south.ok && shortKey.ok && absurd.ok);
        const wchar_t* values[][2] = {
            { L"1", L"Zarnock fmt zone west" }, { L"5", L"Zarnock fmt zone east" },
            { L"12", L"Zarnock fmt zone south" }, { L"7", L"Zarnock fmt zone 43" },
            { L"8", L"Zarnock fmt zone missing" }, { L"9", L"Zarnock fmt zone absurd" },
            { L"10", L"" }, { L"011", L"Zarnock fmt zone east" },
        };
        for (auto& v : values) theApp.WriteProfileString(GetStr(SID_SECTION_TIMEZONES), v[0], v[1]);
    }

    CString Zones(const wchar_t* format, const SYSTEMTIME& time = kTuesday)
    {
        clock.LoadFormatTimeZones(format, FALSE, time.wYear);
        return Format(format, time);
    }

    CTestZoneKey west{ L"Zarnock fmt zone west",
                       CTestZoneKey::Bytes(300, 0, -60, Rule(0, 11, 0, 1, 2), Rule(0, 3, 0, 2, 2)) };
    CTestZoneKey east{ L"Zarnock fmt zone east", CTestZoneKey::Bytes(-330, 0, 0, SYSTEMTIME{}, SYSTEMTIME{}) };
    CTestZoneKey south{ L"Zarnock fmt zone south",
                        CTestZoneKey::Bytes(-600, 0, -60, Rule(0, 4, 0, 1, 3), Rule(0, 10, 0, 1, 2)) };
    CTestZoneKey shortKey{ L"Zarnock fmt zone 43", std::vector<BYTE>(43, 0) };
    CTestZoneKey absurd{ L"Zarnock fmt zone absurd",
                         CTestZoneKey::Bytes(LONG_MAX, LONG_MAX, 0, SYSTEMTIME{}, SYSTEMTIME{}) };
};

TEST_F(FurtherZones, ShiftedByTheirOwnRules)
{
    const SYSTEMTIME july = At(2026, 7, 1, 14, 5, 9);
    const Case cases[] = {
        { L"#001", kTuesday, L"08:05", "west in standard time" },
        { L"#001", july, L"09:05", "west in daylight time, local in standard time" },
        { L"#005", kTuesday, L"18:35", "east, half an hour" },
        { L"#012", kTuesday, L"00:05", "south in its summer, past midnight" },
        { L"HH:mm #001 #005", kTuesday, L"14:05 08:05 18:35", "beside the local time" },
        { L"'#001'", kTuesday, L"#001", "not in a literal" },
        { L"##001", kTuesday, L"##001", "a # continuing a run of #" },
        { L"#1 #12x", kTuesday, L"#1 #12x", "too few digits" },
        { L"#099", kTuesday, L"ERROR", "no value 99" },
        { L"#007", kTuesday, L"ERROR", "a malformed TZI record" },
        { L"#008", kTuesday, L"ERROR", "a value naming a zone that does not exist" },
        { L"#009", kTuesday, L"ERROR", "biases that shift out of range" },
        { L"#010", kTuesday, L"ERROR", "an empty value" },
        { L"#011", kTuesday, L"ERROR", "value names have no leading zeros" },
        { L"hh #099 mm", kTuesday, L"02 ERROR 05", "the rest is unaffected" },
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.expected, Zones(c.format, c.time).GetString()) << c.why;
    env.zoneId = TIME_ZONE_ID_DAYLIGHT;
    EXPECT_STREQ(L"08:05", Zones(L"#001", july).GetString());
}

TEST_F(FurtherZones, PrefixesAndTimeForms)
{
    struct PrefixCase { int prefix, timeMode; const wchar_t* expected; } cases[] = {
        { 0, 1, L"00:05" },
        { 1, 1, L"Wed 00:05" },
        { 2, 1, L"04.03 00:05" },
        { 3, 1, L"Wed 04.03 00:05" },
        { 4, 1, L"00:05" },
        { -1, 1, L"00:05" },
        { 0, 0, L"12:05 AM" },
        { 3, 0, L"Wed 04.03 12:05 AM" },
    };
    for (const PrefixCase& c : cases) {
        g_zonePrefixMode = c.prefix;
        g_zoneTimeMode = c.timeMode;
        EXPECT_STREQ(c.expected, Zones(L"#012").GetString()) << "FTZ " << c.prefix << " FTZTM " << c.timeMode;
    }
    g_zonePrefixMode = 2;
    g_zoneTimeMode = 0;
    env.shortDate = L"%d%%.%m ";
    env.shortTime = L"%H:%M %% %d";
    EXPECT_STREQ(L"04%.03 00:05 % 04", Zones(L"#012").GetString()) << "zone text is final: no second conversion";
}

TEST_F(FurtherZones, ListLoadingAndLookup)
{
    clock.LoadFormatTimeZones(L"#005 '#001' #005 #099 #012", FALSE, 2026);
    ASSERT_EQ(3u, ClockFields(clock).m_formatZones().size()) << "the same number twice gives two entries";
    EXPECT_EQ(5, ClockFields(clock).m_formatZones()[0].key);
    EXPECT_EQ(5, ClockFields(clock).m_formatZones()[1].key);
    EXPECT_EQ(12, ClockFields(clock).m_formatZones()[2].key);
    tagTZI2 zone;
    EXPECT_TRUE(clock.FindFormatTimeZone(12, zone));
    EXPECT_EQ(-600, zone.Bias);
    EXPECT_FALSE(clock.FindFormatTimeZone(1, zone));
    clock.LoadFormatTimeZones(L"hh:mm", FALSE, 2026);
    EXPECT_TRUE(ClockFields(clock).m_formatZones().empty()) << "a new format empties the list";
}

TEST_F(FurtherZones, ANewYearResolvesTheTransitionsAgain)
{
    clock.LoadFormatTimeZones(L"#001", FALSE, 2026);
    ASSERT_EQ(1u, ClockFields(clock).m_formatZones().size());
    EXPECT_EQ(2026, ClockFields(clock).m_formatZones()[0].DaylightStart.GetYear());
    ClockFields(clock).m_format() = L"#001";
    CString text;
    // 1 July 2027: with 2026's transitions the west zone would count as standard time.
    env.zoneId = TIME_ZONE_ID_DAYLIGHT;
    clock.FormatTime(At(2027, 7, 1, 14, 5, 0), text);
    EXPECT_STREQ(L"08:05", text.GetString());
    ASSERT_EQ(1u, ClockFields(clock).m_formatZones().size());
    EXPECT_EQ(2027, ClockFields(clock).m_formatZones()[0].DaylightStart.GetYear());
    EXPECT_STREQ(L"2027-03-14", ClockFields(clock).m_formatZones()[0].DaylightStart.Format(L"%Y-%m-%d").GetString());
}
