// Time conversions between file times, system times and date-time values, and one time
// zone's rules read from the system's time-zone registry data.
#pragma once

#include "ClassLib.h"

// One time zone. The biases are minutes, UTC = zone time + Bias (+ the season's bias).
struct tagTZI2 {
    int key = -1;                 // the zone's number in the settings section "TimeZones"
    LONG Bias = 0;
    LONG StandardBias = 0;
    LONG DaylightBias = 0;
    COleDateTime StandardStart;   // in the zone's clock time; invalid: no transitions
    COleDateTime DaylightStart;
};

// The registry value "TZI": three biases and the two transition rules, 44 bytes.
struct tagZoneTzi {
    LONG Bias;
    LONG StandardBias;
    LONG DaylightBias;
    SYSTEMTIME StandardDate;
    SYSTEMTIME DaylightDate;
};
static_assert(sizeof(tagZoneTzi) == 44, "the registry's TZI layout");

// File times and date-time values. A failed conversion gives a file time with all bits set.
FILETIME FileTimeFromSystemTime(const SYSTEMTIME& time);
FILETIME FileTimeFromDateTime(const COleDateTime& time);
// A count of 100-nanosecond units as a file time, and back.
inline FILETIME FileTimeFromTicks(ULONGLONG ticks) { return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }
inline ULONGLONG TicksOfFileTime(const FILETIME& time) { return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }
COleDateTime FileTimeToDateTime(const FILETIME& time);
// "mm/dd/yyyy hh:mm:ss", or "<unk>" for a zero file time.
CString FileTimeText(const FILETIME& time);
BOOL FileTimeEquals(const FILETIME& a, const FILETIME& b);
// A zero file time passes unchanged; a failure is logged and returns the input.
FILETIME FileTimeLocalToUtc(const FILETIME& time);
FILETIME FileTimeUtcToLocal(const FILETIME& time);
COleDateTime OleDateLocalToUtc(const COleDateTime& time);
COleDateTime OleDateUtcToLocal(const COleDateTime& time);

// Time-zone data.
BOOL IsWindowsNT();
const wchar_t* GetTimeZonesKeyPath();
// True only when the zone's "TZI" value is exactly 44 bytes. Nothing is logged.
bool ReadZoneTzi(const wchar_t* zoneKeyName, tagZoneTzi& tzi);
// 1 when the zone was read; its transitions are resolved for the year given, 0 meaning
// the year of the current UTC time. The key is left at -1 for the caller to set.
int ReadZoneInfo(const wchar_t* zoneKeyName, tagTZI2& zone, int year = 0);
// A transition rule as a date: an absolute date, or the n-th weekday of its month in the
// year given (0: the current UTC year); invalid when the zone has no daylight saving.
COleDateTime ZoneDateToOleDate(const SYSTEMTIME& rule, int year = 0);
bool IsZoneDaylight(const COleDateTime& date, const tagTZI2& zone);
// Shifts a local time into the zone's time; 1 when the result is valid. The first form
// asks the system for the local zone, the second is given it (a TIME_ZONE_ID_ value and the
// information as GetTimeZoneInformation returns them).
int LocalToZoneTime(COleDateTime& date, const tagTZI2& zone);
int LocalToZoneTime(COleDateTime& date, const tagTZI2& zone, DWORD localZoneId, const TIME_ZONE_INFORMATION& local);
