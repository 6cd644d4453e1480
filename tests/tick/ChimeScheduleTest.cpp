// The chime schedule driven by injected clock readings: which ticks chime, for which hour,
// across hour and quarter boundaries, the quiet period and days, and every kind of jump of
// the clock.
#include "ChimeSchedule.h"

#include <gmock/gmock.h>

#include <functional>
#include <vector>

namespace {

const ULONGLONG kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute;

ULONGLONG ToMs(const SYSTEMTIME& t)
{
    FILETIME ft;
    SystemTimeToFileTime(&t, &ft);
    ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
    return u.QuadPart / 10000;
}

SYSTEMTIME FromMs(ULONGLONG ms)
{
    ULARGE_INTEGER u;
    u.QuadPart = ms * 10000;
    FILETIME ft{u.LowPart, u.HighPart};
    SYSTEMTIME t;
    FileTimeToSystemTime(&ft, &t);
    return t;
}

// Milliseconds of a wall-clock reading (as if UTC); FileTimeToSystemTime fills the weekday.
ULONGLONG At(int day, int hour, int minute, int second = 0, int ms = 0)
{
    // 2026-03-01 is a Sunday; day 0..6 gives Sunday..Saturday.
    SYSTEMTIME t{2026, 3, 0, static_cast<WORD>(1 + day), static_cast<WORD>(hour), static_cast<WORD>(minute),
                 static_cast<WORD>(second), static_cast<WORD>(ms)};
    return ToMs(t);
}

// A zone whose offset from UTC is a function of the UTC instant.
struct Zone
{
    std::function<LONGLONG(ULONGLONG utc)> offset;

    ChimeClock Read(ULONGLONG utc) const
    {
        ChimeClock c;
        c.utcMs = utc;
        c.local = FromMs(utc + offset(utc));
        return c;
    }
    // The reading whose local time is the wall-clock value given (offset taken before it).
    ChimeClock AtLocal(ULONGLONG wall) const { return Read(wall - offset(wall - offset(wall))); }
    CChimeSchedule::ToLocal Converter() const
    {
        auto f = offset;
        return [f](ULONGLONG utc, SYSTEMTIME& local) {
            local = FromMs(utc + f(utc));
            return true;
        };
    }
};

Zone FixedZone(LONGLONG offsetMs = static_cast<LONGLONG>(kHour))
{
    return Zone{[offsetMs](ULONGLONG) { return offsetMs; }};
}

struct Heard
{
    ULONGLONG wall;  // local wall-clock time of the tick
    ChimeAction action;
};

// Runs ticks from local wall time `from` to `to` every `step` ms through the schedule and
// returns the ticks that chose a chime.
std::vector<Heard> Ticks(CChimeSchedule& schedule, const Zone& zone, const ChimeSettings& s, ULONGLONG from,
                       ULONGLONG to, ULONGLONG step)
{
    std::vector<Heard> heard;
    ULONGLONG utc = zone.AtLocal(from).utcMs;
    ULONGLONG end = zone.AtLocal(to).utcMs;
    for (; utc <= end; utc += step) {
        ChimeClock now = zone.Read(utc);
        ChimeAction a = schedule.OnTick(now, s);
        if (a.kind != ChimeKind::None) heard.push_back({ToMs(now.local), a});
    }
    return heard;
}

ChimeSettings Builtin(int flags = 0x010101)
{
    ChimeSettings s;
    s.mode = 1;
    s.flags = flags;
    return s;
}

ChimeSettings Files(int flags = 0x01010101, int hourOnce = 0)
{
    ChimeSettings s;
    s.mode = 2;
    s.flags = flags;
    s.hourOnce = hourOnce;
    return s;
}

// Brings a schedule to the state it has after running since before `wall`.
CChimeSchedule Running(const Zone& zone, const ChimeSettings& s, ULONGLONG wall)
{
    CChimeSchedule schedule(zone.Converter());
    Ticks(schedule, zone, s, wall - 20 * kMinute, wall, 250);
    return schedule;
}

TEST(ChimeSchedule, HourStrikeStartsAtSecond41ForTheComingHourAndNeverTwice)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(1, 10, 59, 30));
    auto heard = Ticks(schedule, zone, s, At(1, 10, 59, 30), At(1, 11, 2), 250);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].wall, At(1, 10, 59, 41));
    EXPECT_EQ(heard[0].action.kind, ChimeKind::HourStrike);
    EXPECT_EQ(heard[0].action.number, 11);
    EXPECT_TRUE(heard[0].action.trim);
}

TEST(ChimeSchedule, MidnightStrikeIsHourZero)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(1, 23, 59));
    auto heard = Ticks(schedule, zone, s, At(1, 23, 59), At(2, 0, 1), 250);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].action.number, 0);
}

TEST(ChimeSchedule, TickThatSkipsSecond41StillStrikesOnce)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(1, 10, 59, 40, 900));
    // A busy thread: the tick after 40.9 s comes at 42.1 s.
    EXPECT_EQ(schedule.OnTick(zone.AtLocal(At(1, 10, 59, 40, 900)), s).kind, ChimeKind::None);
    ChimeAction late = schedule.OnTick(zone.AtLocal(At(1, 10, 59, 42, 100)), s);
    EXPECT_EQ(late.kind, ChimeKind::HourStrike);
    EXPECT_EQ(late.number, 11);
    EXPECT_TRUE(Ticks(schedule, zone, s, At(1, 10, 59, 42, 350), At(1, 11, 1), 250).empty());
}

TEST(ChimeSchedule, WithoutHourFlagNothingAtTheHourAlsoRightAfterStartUp)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin(0x010100);
    CChimeSchedule schedule(zone.Converter());
    EXPECT_TRUE(Ticks(schedule, zone, s, At(1, 10, 59, 30), At(1, 11, 1), 250).empty());
    CChimeSchedule fresh(zone.Converter());
    EXPECT_TRUE(Ticks(fresh, zone, s, At(1, 11, 0, 20), At(1, 11, 1), 250).empty());
}

TEST(ChimeSchedule, StartUpInsideMinuteZeroStrikesAtOnceElseWaitsForTheQuarter)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule atTen(zone.Converter());
    ChimeAction a = atTen.OnTick(zone.AtLocal(At(1, 10, 0, 20)), s);
    EXPECT_EQ(a.kind, ChimeKind::HourStrike);
    EXPECT_EQ(a.number, 10);
    EXPECT_TRUE(Ticks(atTen, zone, s, At(1, 10, 0, 20, 250), At(1, 10, 14, 59), 250).empty());

    CChimeSchedule afterTen(zone.Converter());
    auto heard = Ticks(afterTen, zone, s, At(1, 10, 1), At(1, 10, 16), 250);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].wall, At(1, 10, 15));
    EXPECT_EQ(heard[0].action.kind, ChimeKind::QuarterChime);
    EXPECT_EQ(heard[0].action.number, 15);
}

TEST(ChimeSchedule, MillisecondTimerChimesOnceOnTheFirstTickOfTheMinute)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(1, 10, 14, 59));
    auto heard = Ticks(schedule, zone, s, At(1, 10, 14, 59, 990), At(1, 10, 15, 2), 1);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].wall, At(1, 10, 15));
}

TEST(ChimeSchedule, QuartersOfAnHourByMode)
{
    struct Case {
        const char* why;
        ChimeSettings settings;
        std::vector<std::pair<ChimeKind, int>> expected;  // heard from 10:01 to 10:59:00
    };
    const Case cases[] = {
        {"built-in defaults: both quarters and the half", Builtin(),
         {{ChimeKind::QuarterChime, 15}, {ChimeKind::QuarterChime, 30}, {ChimeKind::QuarterChime, 45}}},
        {"built-in: the quarter-past byte stands for both quarters", Builtin(0x01000101),
         {{ChimeKind::QuarterChime, 30}}},
        {"built-in: half hour off", Builtin(0x010001),
         {{ChimeKind::QuarterChime, 15}, {ChimeKind::QuarterChime, 45}}},
        {"files: all four", Files(),
         {{ChimeKind::QuarterPastFile, 0}, {ChimeKind::HalfHourFile, 0}, {ChimeKind::QuarterToFile, 0}}},
        {"files defaults: hour and half only", Files(0x0101), {{ChimeKind::HalfHourFile, 0}}},
        {"files: quarter to alone", Files(0x01000000), {{ChimeKind::QuarterToFile, 0}}},
        {"mode 0: nothing", ChimeSettings{0, 0x01010101, 0, 0, 0, 0, 127}, {}},
        {"unknown mode: nothing", ChimeSettings{3, 0x01010101, 0, 0, 0, 0, 127}, {}},
    };
    Zone zone = FixedZone();
    for (const Case& c : cases) {
        CChimeSchedule schedule = Running(zone, c.settings, At(1, 10, 1));
        auto heard = Ticks(schedule, zone, c.settings, At(1, 10, 1), At(1, 10, 59), 250);
        std::vector<std::pair<ChimeKind, int>> got;
        for (const Heard& h : heard) got.push_back({h.action.kind, h.action.number});
        EXPECT_EQ(got, c.expected) << c.why;
    }
}

TEST(ChimeSchedule, TrimAfterEveryQuarterStepButNotInModeZero)
{
    Zone zone = FixedZone();
    ChimeSettings unknown{3, 0, 0, 0, 0, 0, 127};
    CChimeSchedule schedule = Running(zone, unknown, At(1, 10, 14));
    EXPECT_TRUE(schedule.OnTick(zone.AtLocal(At(1, 10, 15)), unknown).trim);
    ChimeSettings none{0, 0x01010101, 0, 0, 0, 0, 127};
    CChimeSchedule silent = Running(zone, none, At(1, 10, 14));
    EXPECT_FALSE(silent.OnTick(zone.AtLocal(At(1, 10, 15)), none).trim);
}

TEST(ChimeSchedule, HourFileRepeatsForTheHourUnlessOnce)
{
    Zone zone = FixedZone();
    for (int once : {0, 1}) {
        ChimeSettings s = Files(0x0101, once);
        CChimeSchedule schedule = Running(zone, s, At(1, 14, 50));
        auto heard = Ticks(schedule, zone, s, At(1, 14, 50), At(1, 15, 1), 250);
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].wall, At(1, 15, 0));
        EXPECT_EQ(heard[0].action.kind, ChimeKind::HourFile);
        EXPECT_EQ(heard[0].action.number, once ? 1 : 15) << "the player maps 15 to 3 strokes";
    }
}

TEST(ChimeSchedule, QuietPeriodOverMidnight)
{
    struct Case {
        int day, hour, minute;  // the chime time
        int periodOn;
        bool plays;
        const char* why;
    };
    const Case cases[] = {
        {1, 23, 0, 1, true, "23:00 inside 22:00-06:00"},
        {1, 5, 45, 1, true, "05:45 inside, after midnight"},
        {1, 22, 0, 1, true, "the start itself"},
        {1, 6, 0, 1, true, "the end itself"},
        {1, 6, 15, 1, false, "just after the end"},
        {1, 21, 45, 1, false, "just before the start"},
        {1, 12, 0, 1, false, "noon"},
        {1, 12, 0, 0, true, "period off"},
    };
    Zone zone = FixedZone();
    for (const Case& c : cases) {
        ChimeSettings s = Builtin();
        s.periodOn = c.periodOn;
        CChimeSchedule::UnpackPeriod(0x06001600, s.periodStart, s.periodEnd);
        ULONGLONG chime = At(c.day, c.hour, c.minute);
        CChimeSchedule schedule = Running(zone, s, chime - 2 * kMinute);
        auto heard = Ticks(schedule, zone, s, chime - 2 * kMinute, chime + kMinute, 250);
        EXPECT_EQ(heard.size(), c.plays ? 1u : 0u) << c.why;
    }
}

TEST(ChimeSchedule, PeriodWithinOneDayAndItsPacking)
{
    int start = 0, end = 0;
    CChimeSchedule::UnpackPeriod(0x11000800, start, end);
    EXPECT_EQ(start, 8 * 60);
    EXPECT_EQ(end, 17 * 60);
    CChimeSchedule::UnpackPeriod(0xFFFFFFFF, start, end);
    EXPECT_EQ(start, 23 * 60 + 59) << "hours clamp to 23, minutes to 59";
    EXPECT_TRUE(CChimeSchedule::InPeriod(8 * 60, 8 * 60, 17 * 60));
    EXPECT_TRUE(CChimeSchedule::InPeriod(17 * 60, 8 * 60, 17 * 60));
    EXPECT_FALSE(CChimeSchedule::InPeriod(17 * 60 + 15, 8 * 60, 17 * 60));
    EXPECT_FALSE(CChimeSchedule::InPeriod(7 * 60 + 45, 8 * 60, 17 * 60));
}

TEST(ChimeSchedule, EachWeekdayBit)
{
    Zone zone = FixedZone();
    for (int bit = 0; bit < 7; ++bit) {
        for (int day = 0; day < 7; ++day) {
            ChimeSettings s = Builtin();
            s.periodOn = 1;
            s.periodStart = 0;
            s.periodEnd = 23 * 60 + 59;
            s.days = 1 << bit;
            CChimeSchedule schedule = Running(zone, s, At(day, 12, 14));
            bool played = schedule.OnTick(zone.AtLocal(At(day, 12, 15)), s).kind != ChimeKind::None;
            EXPECT_EQ(played, bit == day) << "day bit " << bit << ", weekday " << day;
            // With the restriction off the day bits change nothing.
            s.periodOn = 0;
            CChimeSchedule free = Running(zone, s, At(day, 12, 29));
            EXPECT_NE(free.OnTick(zone.AtLocal(At(day, 12, 30)), s).kind, ChimeKind::None);
        }
    }
}

TEST(ChimeSchedule, SuspendedMachineGivesNoBurstOfMissedChimes)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(1, 10, 5));
    // Asleep from 10:05 to 14:20: the first tick after it is silent, then 14:30 once.
    EXPECT_EQ(schedule.OnTick(zone.AtLocal(At(1, 14, 20, 3)), s).kind, ChimeKind::None);
    auto heard = Ticks(schedule, zone, s, At(1, 14, 20, 4), At(1, 14, 31), 250);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].action.number, 30);
}

TEST(ChimeSchedule, ResumeInsideMinuteZero)
{
    Zone zone = FixedZone();
    // Built-in: the strike belongs to second 41 of the minute before; not made up later.
    ChimeSettings builtin = Builtin();
    CChimeSchedule a = Running(zone, builtin, At(1, 10, 5));
    EXPECT_EQ(a.OnTick(zone.AtLocal(At(1, 14, 0, 30)), builtin).kind, ChimeKind::None);
    // Files: the first tick of the hour's minute plays the hour's file, for that hour.
    ChimeSettings files = Files();
    CChimeSchedule b = Running(zone, files, At(1, 10, 5));
    ChimeAction late = b.OnTick(zone.AtLocal(At(1, 14, 0, 30)), files);
    EXPECT_EQ(late.kind, ChimeKind::HourFile);
    EXPECT_EQ(late.number, 14);
}

TEST(ChimeSchedule, ClockSetBackSecondsAfterTheStrikeDoesNotStrikeAgain)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(1, 10, 59, 30));
    ASSERT_EQ(Ticks(schedule, zone, s, At(1, 10, 59, 30), At(1, 11, 0, 10), 250).size(), 1u);
    // A synchronisation puts the clock back 30 s: 10:59:40 again, second 41 passes again.
    EXPECT_TRUE(Ticks(schedule, zone, s, At(1, 10, 59, 40), At(1, 11, 2), 250).empty());
}

TEST(ChimeSchedule, ClockSetBackAnHourChimesAsTheClockNowShows)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(1, 11, 20));
    // Back from 11:20 to 10:20: the chimes follow the clock, an hour later than before.
    auto heard = Ticks(schedule, zone, s, At(1, 10, 20), At(1, 11, 20), 250);
    std::vector<int> numbers;
    for (const Heard& h : heard) numbers.push_back(h.action.number);
    EXPECT_THAT(numbers, testing::ElementsAre(30, 45, 11, 15));
}

TEST(ChimeSchedule, ClockSetBackADayResumesWithTheNextBoundary)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(2, 10, 15, 30));
    // The current minute of the new timeline (10:15 a day earlier) is not chimed at the
    // moment of the change; the next quarter is.
    auto heard = Ticks(schedule, zone, s, At(1, 10, 15, 30), At(1, 10, 31), 250);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].wall, At(1, 10, 30));
}

TEST(ChimeSchedule, ClockSetForwardChimesOnlyAtTheNewBoundaries)
{
    Zone zone = FixedZone();
    ChimeSettings s = Builtin();
    CChimeSchedule schedule = Running(zone, s, At(1, 9, 10));
    // Forward by three hours and a half, into second 50 of minute 59.
    auto heard = Ticks(schedule, zone, s, At(1, 12, 59, 50), At(1, 13, 16), 250);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].action.kind, ChimeKind::HourStrike);
    EXPECT_EQ(heard[0].action.number, 13);
    EXPECT_EQ(heard[1].action.number, 15);
}

// A zone that is UTC+1 and steps to UTC+2 at 01:00 UTC on day 1 (02:00 local becomes
// 03:00), or back from UTC+2 to UTC+1 at that instant (03:00 local becomes 02:00).
Zone SteppingZone(bool forward)
{
    const ULONGLONG step = At(1, 1, 0);
    return Zone{[step, forward](ULONGLONG utc) {
        bool after = utc >= step;
        return static_cast<LONGLONG>((forward ? (after ? 2 : 1) : (after ? 1 : 2)) * kHour);
    }};
}

TEST(ChimeSchedule, DaylightSavingStepForwardStrikesTheHourTheClockWillShow)
{
    Zone zone = SteppingZone(true);
    ChimeSettings s = Builtin();
    CChimeSchedule schedule(zone.Converter());
    auto heard = Ticks(schedule, zone, s, At(1, 1, 50), At(1, 3, 16), 250);
    ASSERT_GE(heard.size(), 2u);
    EXPECT_EQ(heard[0].action.number, 3) << "01:59:41 begins the strike of what will be 03:00";
    EXPECT_EQ(heard[1].action.number, 15);
}

TEST(ChimeSchedule, DaylightSavingStepBackStrikesEachHourOnce)
{
    Zone zone = SteppingZone(false);
    ChimeSettings s = Builtin(0x000001);
    CChimeSchedule schedule(zone.Converter());
    std::vector<int> hours;
    ULONGLONG utc = At(1, 0, 50), end = utc + 2 * kHour;  // 02:50 summer time to 03:50 winter time
    for (; utc <= end; utc += 250) {
        ChimeAction a = schedule.OnTick(zone.Read(utc), s);
        if (a.kind == ChimeKind::HourStrike) hours.push_back(a.number);
    }
    EXPECT_THAT(hours, testing::ElementsAre(2, 3));
}

}  // namespace
