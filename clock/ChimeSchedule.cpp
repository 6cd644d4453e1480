#include "ChimeSchedule.h"

#include <algorithm>

namespace {

const ULONGLONG kMinuteMs = 60000;
const int kHourFlag = 0, kHalfHourFlag = 1, kQuarterPastFlag = 2, kQuarterToFlag = 3;

bool FlagOn(const ChimeSettings& s, int which)
{
    // Mode 1 has one switch for both quarters: the quarter-past byte.
    if (s.mode == 1 && which == kQuarterToFlag) which = kQuarterPastFlag;
    if (s.mode != 1 && s.mode != 2) return false;
    return ((static_cast<DWORD>(s.flags) >> (8 * which)) & 0xFF) != 0;
}

// Plain calendar arithmetic on a local time: the fall-back when the zone cannot convert.
SYSTEMTIME AddMs(const SYSTEMTIME& t, ULONGLONG ms)
{
    FILETIME ft;
    SYSTEMTIME out = t;
    if (!SystemTimeToFileTime(&t, &ft)) return out;
    ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
    u.QuadPart += ms * 10000;
    ft.dwLowDateTime = u.LowPart;
    ft.dwHighDateTime = u.HighPart;
    FileTimeToSystemTime(&ft, &out);
    return out;
}

}  // namespace

CChimeSchedule::CChimeSchedule(ToLocal toLocal) : m_toLocal(toLocal ? std::move(toLocal) : ToLocal(&SystemToLocal))
{
}

ChimeClock CChimeSchedule::Now()
{
    ChimeClock now;
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
    now.utcMs = u.QuadPart / 10000;
    if (!SystemToLocal(now.utcMs, now.local)) GetLocalTime(&now.local);
    return now;
}

bool CChimeSchedule::SystemToLocal(ULONGLONG utcMs, SYSTEMTIME& local)
{
    ULARGE_INTEGER u;
    u.QuadPart = utcMs * 10000;
    FILETIME ft{u.LowPart, u.HighPart};
    SYSTEMTIME utc;
    return FileTimeToSystemTime(&ft, &utc) && SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
}

void CChimeSchedule::UnpackPeriod(DWORD packed, int& startMinute, int& endMinute)
{
    int startMin = std::min<int>(packed & 0xFF, 59), startHour = std::min<int>((packed >> 8) & 0xFF, 23);
    int endMin = std::min<int>((packed >> 16) & 0xFF, 59), endHour = std::min<int>((packed >> 24) & 0xFF, 23);
    startMinute = startHour * 60 + startMin;
    endMinute = endHour * 60 + endMin;
}

bool CChimeSchedule::InPeriod(int minuteOfDay, int startMinute, int endMinute)
{
    if (startMinute <= endMinute) return startMinute <= minuteOfDay && minuteOfDay <= endMinute;
    // A period over midnight.
    return minuteOfDay >= startMinute || minuteOfDay <= endMinute;
}

ChimeAction CChimeSchedule::OnTick(const ChimeClock& now, const ChimeSettings& s)
{
    ChimeAction action;

    // A clock set backwards: what was scheduled for the old timeline no longer holds, so
    // chimes resume with the next boundary of the new one (not in the minute it lands in).
    // The chime played last keeps its slot and cannot come again.
    if (m_lastTick && now.utcMs < m_lastTick) {
        const ULONGLONG endOfMinute = now.utcMs / kMinuteMs * kMinuteMs + kMinuteMs - 1;
        if (m_nextChime > endOfMinute) m_nextChime = endOfMinute;
    }
    m_lastTick = now.utcMs;

    const SYSTEMTIME& local = now.local;
    const int m = local.wMinute;
    // The hour strike begins 19 s before the full hour so that its last stroke falls on it.
    // From second 41 on, not only in it: a busy thread may skip that second.
    const bool signal = s.mode == 1 && FlagOn(s, kHourFlag) && m == 59 && local.wSecond >= 41;
    ULONGLONG c = now.utcMs;
    SYSTEMTIME cLocal = local;
    if (signal) {
        ULONGLONG toHour = kMinuteMs - (local.wSecond * 1000ULL + local.wMilliseconds);
        c = now.utcMs + toHour;
        // The local time of that instant, so a daylight-saving step at the full hour
        // strikes the hour that the clock will then show.
        if (!m_toLocal(c, cLocal)) cLocal = AddMs(local, toHour);
    }

    if (!(m % 15 == 0 || signal) || c <= m_nextChime) return action;
    const ULONGLONG slot = c / kMinuteMs * kMinuteMs;
    if (slot == m_lastSlot) return action;

    const bool first = m_nextChime == 0;
    m_nextChime = c + kMinuteMs;
    m_lastSlot = slot;
    if (s.mode == 0) return action;
    action.trim = true;

    if (s.periodOn) {
        int t = cLocal.wHour * 60 + cLocal.wMinute;
        if (!InPeriod(t, s.periodStart, s.periodEnd) || !((s.days >> local.wDayOfWeek) & 1)) return action;
    }

    const int cm = cLocal.wMinute;
    if (s.mode == 1) {
        if (signal || (cm == 0 && first && FlagOn(s, kHourFlag))) {
            action.kind = ChimeKind::HourStrike;
            action.number = cLocal.wHour;
        } else if ((cm == 30 && FlagOn(s, kHalfHourFlag)) || (cm == 15 && FlagOn(s, kQuarterPastFlag)) ||
                   (cm == 45 && FlagOn(s, kQuarterToFlag))) {
            action.kind = ChimeKind::QuarterChime;
            action.number = cm;
        }
    } else if (s.mode == 2) {
        if (cm == 0 && FlagOn(s, kHourFlag)) {
            action.kind = ChimeKind::HourFile;
            action.number = s.hourOnce ? 1 : cLocal.wHour;
        } else if (cm == 30 && FlagOn(s, kHalfHourFlag)) {
            action.kind = ChimeKind::HalfHourFile;
        } else if (cm == 15 && FlagOn(s, kQuarterPastFlag)) {
            action.kind = ChimeKind::QuarterPastFile;
        } else if (cm == 45 && FlagOn(s, kQuarterToFlag)) {
            action.kind = ChimeKind::QuarterToFile;
        }
    }
    return action;
}
