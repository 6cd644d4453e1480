#include "FormatEnvironment.h"

#include "LocaleTimeFormats.h"

void CSystemFormatEnvironment::GetUtcTime(SYSTEMTIME& utc)
{
    GetSystemTime(&utc);
}

DWORD CSystemFormatEnvironment::GetTimeZone(TIME_ZONE_INFORMATION& tzi)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG minute = ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 600000000ull;
    if (minute != m_zoneMinute) {
        m_zoneId = QueryTimeZone(m_zone);
        m_zoneMinute = minute;
    }
    tzi = m_zone;
    return m_zoneId;
}

const CString& CSystemFormatEnvironment::GetShortDateFormat()
{
    return LocaleTimeFormats.shortDate;
}

const CString& CSystemFormatEnvironment::GetShortTimeFormat()
{
    return LocaleTimeFormats.shortTime;
}

CSystemFormatEnvironment& GetSystemFormatEnvironment()
{
    static CSystemFormatEnvironment environment;
    return environment;
}
