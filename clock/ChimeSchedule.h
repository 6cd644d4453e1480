// CChimeSchedule: decides on each tick of the display timer whether a chime is due. The
// decision is taken from the clock, never from counting ticks: a late or missed tick, a
// suspended machine, a time zone's daylight-saving step or a clock set backwards or
// forwards can never give a double strike, a burst of missed strikes, or a strike for the
// wrong hour.
#pragma once

#include "ClassLib.h"

#include <functional>

// The chime settings of the clock window, as the tick reads them.
struct ChimeSettings
{
    int mode = 1;             // "CH0": 0 none, 1 built-in chimes, 2 the user's files
    int flags = 0x010101;     // bytes: hour, half hour, quarter past, quarter to
    int hourOnce = 0;         // "H1": mode 2 plays the hour file once instead of the hour's count
    int periodOn = 0;         // "PS"
    int periodStart = 0;      // minute of the day, 0..1439
    int periodEnd = 0;
    int days = 127;           // "SD": bit 0 Sunday .. bit 6 Saturday
};

// One reading of the clock: the instant (UTC, milliseconds since 1601) and the local time
// that it shows.
struct ChimeClock
{
    ULONGLONG utcMs = 0;
    SYSTEMTIME local{};
};

enum class ChimeKind {
    None,
    HourStrike,      // PlayChime(1, hour)
    QuarterChime,    // PlayChime(0, minute)
    HourFile,        // PlaySoundFileRepeat("H0", number)
    HalfHourFile,    // PlaySoundFile("H2")
    QuarterPastFile, // PlaySoundFile("H4")
    QuarterToFile,   // PlaySoundFile("H5")
};

struct ChimeAction
{
    ChimeKind kind = ChimeKind::None;
    int number = 0;       // the hour (0..23) of a strike, the minute of a quarter, the repeat count
    bool trim = false;    // trim the working set after this tick's chime step
};

class CChimeSchedule
{
public:
    // The local time of a UTC instant (the time zone's rule for that very instant); false
    // when it cannot be had.
    using ToLocal = std::function<bool(ULONGLONG utcMs, SYSTEMTIME& local)>;

    explicit CChimeSchedule(ToLocal toLocal = ToLocal());

    // The chime step of one tick.
    ChimeAction OnTick(const ChimeClock& now, const ChimeSettings& settings);

    // The current reading of the system clock.
    static ChimeClock Now();
    static bool SystemToLocal(ULONGLONG utcMs, SYSTEMTIME& local);
    // The period's packed "PST" value as minutes of the day (hours clamped to 23, minutes to 59).
    static void UnpackPeriod(DWORD packed, int& startMinute, int& endMinute);
    static bool InPeriod(int minuteOfDay, int startMinute, int endMinute);

    // The instant before which no chime may play; 0 until the first one was scheduled.
    ULONGLONG m_nextChime = 0;
    // The minute (UTC, whole minutes in ms) of the last chime handled: it never plays twice.
    ULONGLONG m_lastSlot = 0;
    // The previous tick's instant, to see the clock being set backwards.
    ULONGLONG m_lastTick = 0;

private:
    ToLocal m_toLocal;
};
