// IFormatEnvironment: what the display-format engine reads of the machine besides the local
// time it is given: the UTC clock (Internet time), the current zone (zone offset and name,
// further zones) and the locale's short formats (further zones). Tests give fixed ones.
#pragma once

#include "ClassLib.h"

class IFormatEnvironment
{
public:
    virtual ~IFormatEnvironment() = default;
    virtual void GetUtcTime(SYSTEMTIME& utc) = 0;
    // As GetTimeZoneInformation: a TIME_ZONE_ID_ value, TIME_ZONE_ID_INVALID on failure.
    virtual DWORD GetTimeZone(TIME_ZONE_INFORMATION& tzi) = 0;
    // Day and month with a trailing blank, and the short time, in the notation of the
    // date-time value's Format.
    virtual const CString& GetShortDateFormat() = 0;
    virtual const CString& GetShortTimeFormat() = 0;
    // The zone changed (WM_TIMECHANGE, WM_SETTINGCHANGE): whatever is kept of it is stale.
    virtual void ResetZone() {}
};

// The machine itself. The zone is asked once per UTC minute (transitions fall on whole
// minutes), so the display tick costs no zone query; ResetZone forgets it at once (the clock
// window calls it on WM_TIMECHANGE and WM_SETTINGCHANGE). The locale formats are those
// start-up derives from the user locale.
class CSystemFormatEnvironment : public IFormatEnvironment
{
public:
    void GetUtcTime(SYSTEMTIME& utc) override;
    DWORD GetTimeZone(TIME_ZONE_INFORMATION& tzi) override;
    const CString& GetShortDateFormat() override;
    const CString& GetShortTimeFormat() override;

    void ResetZone() override { m_zoneMinute = ~0ull; }

protected:
    // GetTimeZoneInformation; tests stand in for a change of zone.
    virtual DWORD QueryTimeZone(TIME_ZONE_INFORMATION& tzi) { return GetTimeZoneInformation(&tzi); }

private:
    ULONGLONG m_zoneMinute = ~0ull;
    DWORD m_zoneId = TIME_ZONE_ID_INVALID;
    TIME_ZONE_INFORMATION m_zone{};
};

// The process's one system environment, used by every clock window unless told otherwise.
CSystemFormatEnvironment& GetSystemFormatEnvironment();
