// COleDateTime: an OLE automation date (days since 1899-12-30, the fraction is the time of
// day) with a status, and COleDateTimeSpan, a length of time in days.
//
// Dates before 1899-12-30 are negative with the time of day still counted forward: -1.25
// is 1899-12-29 06:00. Arithmetic therefore goes through a linear form in which the
// fraction of a negative date counts away from 0. Conversions from fields are checked by a
// round trip, so a normalised date (31 April) is invalid; seconds are the finest unit.
#pragma once

#include "CString.h"

class COleDateTimeSpan
{
public:
    COleDateTimeSpan() = default;
    explicit COleDateTimeSpan(double days) : m_span(days) {}
    COleDateTimeSpan(long days, int hours, int minutes, int seconds)
        : m_span(days + (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0) {}

    double GetTotalDays() const { return m_span; }

    double m_span = 0.0;
};

class COleDateTime
{
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    COleDateTime(DATE dt) : m_dt(dt), m_status(InRange(dt) ? valid : invalid) {}
    COleDateTime(const SYSTEMTIME& st) { *this = st; }
    COleDateTime(int year, int month, int day, int hour, int minute, int second)
    {
        SetDateTime(year, month, day, hour, minute, second);
    }

    COleDateTime& operator=(const SYSTEMTIME& st);

    // 0 when the fields form a valid date and time, else 1 (the value is then invalid).
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);
    bool GetAsSystemTime(SYSTEMTIME& st) const;

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }

    // Fields of a valid value; -1 for an invalid one.
    int GetYear() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const;   // 1 Sunday .. 7 Saturday
    int GetDayOfYear() const;   // 1 .. 366

    COleDateTime operator+(const COleDateTimeSpan& span) const;
    COleDateTime operator-(const COleDateTimeSpan& span) const;
    COleDateTime& operator+=(const COleDateTimeSpan& span) { return *this = *this + span; }
    COleDateTime& operator-=(const COleDateTimeSpan& span) { return *this = *this - span; }
    COleDateTimeSpan operator-(const COleDateTime& other) const;

    bool operator==(const COleDateTime& o) const { return m_status == o.m_status && m_dt == o.m_dt; }
    bool operator!=(const COleDateTime& o) const { return !(*this == o); }
    bool operator<(const COleDateTime& o) const { return Linear(m_dt) < Linear(o.m_dt); }
    bool operator>(const COleDateTime& o) const { return Linear(m_dt) > Linear(o.m_dt); }
    bool operator<=(const COleDateTime& o) const { return Linear(m_dt) <= Linear(o.m_dt); }
    bool operator>=(const COleDateTime& o) const { return Linear(m_dt) >= Linear(o.m_dt); }

    // The value through the C runtime's wcsftime (Microsoft conventions: "%#d" and the other
    // "#" forms drop leading zeros). The result holds at most 511 characters; a longer one,
    // and an invalid value, give an empty text. A "%" that starts no conversion the runtime
    // knows is shown as it stands, so no format can stop the program.
    CString Format(const wchar_t* format) const;
    // The same into a caller's buffer of kFormatBuffer characters, for callers that must
    // not allocate; returns the length (0 for the cases that give an empty text).
    static constexpr int kFormatBuffer = 512;
    int Format(const wchar_t* format, wchar_t* buffer) const;

    DATE m_dt = 0.0;
    DateTimeStatus m_status = valid;

private:
    static bool InRange(double dt);
    static double Linear(double dt);
    static double FromLinear(double linear);
};
