#include "SupportTime.h"

#include "Log/LogMan.h"
#include "CHandle.h"

namespace {

const FILETIME kBadFileTime = { 0xFFFFFFFFu, 0xFFFFFFFFu };

bool IsZero(const FILETIME& t) { return FileTimeEquals(t, FILETIME{}); }

COleDateTime InvalidDate()
{
    COleDateTime d(0.0);
    d.SetStatus(COleDateTime::invalid);
    return d;
}

void LogDateValue(const wchar_t* what, const COleDateTime& value)
{
    ZN_LOG(LOG_ERROR, what << L": date-time value " << value.m_dt << L" status " << static_cast<int>(value.m_status));
}

// Local <-> UTC through system times, with the current zone's information; the system
// calls apply the daylight rule of the moment converted.
bool ConvertZone(const SYSTEMTIME& in, SYSTEMTIME& out, bool toUtc)
{
    TIME_ZONE_INFORMATION tzi{};
    if (GetTimeZoneInformation(&tzi) == TIME_ZONE_ID_INVALID) {
        ZN_LOG_ERROR(GetLastError(), L"GetTimeZoneInformation", LOG_ERROR);
        return false;
    }
    const BOOL ok = toUtc ? TzSpecificLocalTimeToSystemTime(&tzi, &in, &out)
                          : SystemTimeToTzSpecificLocalTime(&tzi, &in, &out);
    if (!ok) {
        ZN_LOG_ERROR(GetLastError(), toUtc ? L"TzSpecificLocalTimeToSystemTime" : L"SystemTimeToTzSpecificLocalTime",
                     LOG_ERROR);
        return false;
    }
    return true;
}

FILETIME ConvertFileTime(const FILETIME& time, bool toUtc)
{
    if (IsZero(time)) return time;
    SYSTEMTIME in{}, out{};
    if (!FileTimeToSystemTime(&time, &in)) {
        ZN_LOG_ERROR(GetLastError(), L"FileTimeToSystemTime", LOG_ERROR);
        ZN_LOG(LOG_ERROR, L"file time " << HexText64((static_cast<ULONGLONG>(time.dwHighDateTime) << 32)
                                                      | time.dwLowDateTime).GetString());
        return time;
    }
    if (!ConvertZone(in, out, toUtc)) return time;
    FILETIME result{};
    if (!SystemTimeToFileTime(&out, &result)) {
        ZN_LOG_ERROR(GetLastError(), L"SystemTimeToFileTime", LOG_ERROR);
        return kBadFileTime;
    }
    return result;
}

COleDateTime ConvertOleDate(const COleDateTime& time, bool toUtc)
{
    SYSTEMTIME in{}, out{};
    if (!time.GetAsSystemTime(in)) {
        LogDateValue(toUtc ? L"OleDateLocalToUtc" : L"OleDateUtcToLocal", time);
        return time;
    }
    if (!ConvertZone(in, out, toUtc)) return time;
    return COleDateTime(out);
}

} // namespace

FILETIME FileTimeFromSystemTime(const SYSTEMTIME& time)
{
    FILETIME ft{};
    return SystemTimeToFileTime(&time, &ft) ? ft : kBadFileTime;
}

FILETIME FileTimeFromDateTime(const COleDateTime& time)
{
    SYSTEMTIME st{};
    if (!time.GetAsSystemTime(st)) return kBadFileTime;
    return FileTimeFromSystemTime(st);
}

COleDateTime FileTimeToDateTime(const FILETIME& time)
{
    SYSTEMTIME st{};
    if (IsZero(time) || !FileTimeToSystemTime(&time, &st)) return COleDateTime(0.0);
    return COleDateTime(st);
}

CString FileTimeText(const FILETIME& time)
{
    if (IsZero(time)) return CString(L"<unk>");
    return FileTimeToDateTime(time).Format(L"%m/%d/%Y %H:%M:%S");
}

BOOL FileTimeEquals(const FILETIME& a, const FILETIME& b)
{
    return CompareFileTime(&a, &b) == 0;
}

FILETIME FileTimeLocalToUtc(const FILETIME& time) { return ConvertFileTime(time, true); }
FILETIME FileTimeUtcToLocal(const FILETIME& time) { return ConvertFileTime(time, false); }
COleDateTime OleDateLocalToUtc(const COleDateTime& time) { return ConvertOleDate(time, true); }
COleDateTime OleDateUtcToLocal(const COleDateTime& time) { return ConvertOleDate(time, false); }

BOOL IsWindowsNT()
{
    return (GetVersion() & 0x80000000u) == 0;
}

const wchar_t* GetTimeZonesKeyPath()
{
    return IsWindowsNT() ? L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"
                         : L"Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
}

bool ReadZoneTzi(const wchar_t* zoneKeyName, tagZoneTzi& tzi)
{
    if (!zoneKeyName) return false;
    CString path = CString(GetTimeZonesKeyPath()) + L"\\" + zoneKeyName;
    CRegKeyHandle key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return false;
    // One byte more than the record, so that a longer value is told apart from a fitting one.
    BYTE buf[sizeof(tagZoneTzi) + 1];
    DWORD size = sizeof(buf);
    if (RegQueryValueExW(key.Get(), L"TZI", nullptr, nullptr, buf, &size) != ERROR_SUCCESS
        || size != sizeof(tagZoneTzi))
        return false;
    memcpy(&tzi, buf, sizeof(tzi));
    return true;
}

int ReadZoneInfo(const wchar_t* zoneKeyName, tagTZI2& zone, int year)
{
    tagZoneTzi tzi{};
    if (!ReadZoneTzi(zoneKeyName, tzi)) return 0;
    zone.key = -1;
    zone.Bias = tzi.Bias;
    zone.StandardBias = tzi.StandardBias;
    zone.DaylightBias = tzi.DaylightBias;
    zone.StandardStart = ZoneDateToOleDate(tzi.StandardDate, year);
    zone.DaylightStart = ZoneDateToOleDate(tzi.DaylightDate, year);
    return 1;
}

COleDateTime ZoneDateToOleDate(const SYSTEMTIME& rule, int year)
{
    if (rule.wMonth == 0) return InvalidDate();
    if (rule.wYear != 0)
        return COleDateTime(rule.wYear, rule.wMonth, rule.wDay, rule.wHour, rule.wMinute, rule.wSecond);

    if (year == 0) {
        SYSTEMTIME now{};
        GetSystemTime(&now);
        year = now.wYear;
    }
    // The n-th given weekday of the month; occurrence 5 means the last one.
    int day = 1, found = 0, count = 0;
    for (; day <= 35; ++day) {
        COleDateTime d(year, rule.wMonth, day, rule.wHour, rule.wMinute, rule.wSecond);
        if (d.GetStatus() != COleDateTime::valid) break;
        if (d.GetDayOfWeek() - 1 != rule.wDayOfWeek) continue;
        if (rule.wDay == 5) {
            found = day;
        } else if (++count == rule.wDay) {
            found = day;
            break;
        }
    }
    return COleDateTime(year, rule.wMonth, found ? found : day, rule.wHour, rule.wMinute, rule.wSecond);
}

bool IsZoneDaylight(const COleDateTime& date, const tagTZI2& zone)
{
    if (zone.StandardStart.GetStatus() != COleDateTime::valid || zone.DaylightStart.GetStatus() != COleDateTime::valid)
        return false;
    // Southern hemisphere: daylight time spans the year's end.
    if (zone.StandardStart < zone.DaylightStart) return date < zone.StandardStart || date > zone.DaylightStart;
    return !(date < zone.DaylightStart) && !(date > zone.StandardStart);
}

int LocalToZoneTime(COleDateTime& date, const tagTZI2& zone)
{
    TIME_ZONE_INFORMATION local{};
    const DWORD id = GetTimeZoneInformation(&local);
    return LocalToZoneTime(date, zone, id, local);
}

int LocalToZoneTime(COleDateTime& date, const tagTZI2& zone, DWORD localZoneId, const TIME_ZONE_INFORMATION& local)
{
    // 64-bit sums: the zone's biases come from registry data that may hold anything.
    LONGLONG localBias = 0;
    switch (localZoneId) {
    case TIME_ZONE_ID_UNKNOWN:
    case TIME_ZONE_ID_STANDARD: localBias = static_cast<LONGLONG>(local.Bias) + local.StandardBias; break;
    case TIME_ZONE_ID_DAYLIGHT: localBias = static_cast<LONGLONG>(local.Bias) + local.DaylightBias; break;
    default: MessageBeep(0xFFFFFFFF); return 0;
    }
    const LONGLONG zoneBias =
        static_cast<LONGLONG>(zone.Bias) + (IsZoneDaylight(date, zone) ? zone.DaylightBias : zone.StandardBias);
    date += COleDateTimeSpan(static_cast<double>(localBias - zoneBias) / 1440.0);
    return date.GetStatus() == COleDateTime::valid ? 1 : 0;
}
