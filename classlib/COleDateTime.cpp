#include "COleDateTime.h"

#include <cmath>
#include <ctime>

namespace {

// Day 0 of the OLE calendar, 1899-12-30, counted from 1970-01-01.
constexpr long kOleEpochOffset = 25569;
// 0100-01-01 and the day after 9999-12-31: the range of valid values.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDateEnd = 2958466.0;
constexpr double kHalfSecond = 0.5 / 86400.0;

// Days since 1970-01-01 of a proleptic Gregorian date; a day past the month's end simply
// runs on into the next month, which the round-trip check then rejects.
long DaysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long>(yoe) + era * 400 + (m <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

struct Parts {
    int year, month, day, hour, minute, second, dayOfWeek, dayOfYear;
};

// The fields of a value, rounded to the nearest second as the platform's class does.
Parts Split(double dt)
{
    const double rounded = dt + (dt > 0.0 ? kHalfSecond : -kHalfSecond);
    const long day = static_cast<long>(rounded);   // toward 0: the day of a negative date
    const double whole = std::fabs(rounded);
    long secs = static_cast<long>((whole - std::floor(whole)) * 86400.0);
    if (secs >= 86400) secs = 86399;

    Parts p{};
    CivilFromDays(day - kOleEpochOffset, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    // 1899-12-30 was a Saturday (7).
    p.dayOfWeek = static_cast<int>(((day % 7) + 7 + 6) % 7) + 1;
    static const int before[12] = { 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334 };
    p.dayOfYear = before[p.month - 1] + p.day + (p.month > 2 && IsLeap(p.year) ? 1 : 0);
    return p;
}

bool IsConversion(wchar_t c)
{
    switch (c) {
    case L'a': case L'A': case L'b': case L'B': case L'c': case L'd': case L'H': case L'I':
    case L'j': case L'm': case L'M': case L'p': case L'S': case L'U': case L'w': case L'W':
    case L'x': case L'X': case L'y': case L'Y': case L'z': case L'Z': case L'%':
        return true;
    default:
        return false;
    }
}

// Length of the conversion at s (which holds a '%'), or 0 when the runtime would reject it.
size_t ConversionLength(const wchar_t* s)
{
    size_t n = 1;
    if (s[n] == L'#') ++n;
    return IsConversion(s[n]) ? n + 1 : 0;
}

// The format with every '%' that starts no known conversion doubled. The runtime linked
// here (msvcrt) gives up on the whole text at such a '%', and the newer runtime ends the
// process; either way the user's literal would be lost.
bool NeedsEscaping(const wchar_t* f)
{
    for (size_t i = 0; f[i]; ++i) {
        if (f[i] != L'%') continue;
        size_t n = ConversionLength(f + i);
        if (n == 0) return true;
        i += n - 1;
    }
    return false;
}

std::wstring Escape(const wchar_t* f)
{
    std::wstring out;
    for (size_t i = 0; f[i]; ++i) {
        if (f[i] != L'%') { out += f[i]; continue; }
        size_t n = ConversionLength(f + i);
        if (n == 0) { out += L"%%"; continue; }
        out.append(f + i, n);
        i += n - 1;
    }
    return out;
}

} // namespace

bool COleDateTime::InRange(double dt)
{
    return dt >= kMinDate && dt < kMaxDateEnd;
}

double COleDateTime::Linear(double dt)
{
    if (dt >= 0.0) return dt;
    const double day = std::ceil(dt);
    return day - (dt - day);
}

double COleDateTime::FromLinear(double linear)
{
    if (linear >= 0.0) return linear;
    const double day = std::floor(linear);
    return day + (day - linear);
}

COleDateTime& COleDateTime::operator=(const SYSTEMTIME& st)
{
    SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    return *this;
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    m_dt = 0.0;
    m_status = invalid;
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23
        || minute < 0 || minute > 59 || second < 0 || second > 59)
        return 1;

    const long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kOleEpochOffset;
    const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    const double dt = days + (days >= 0 ? time : -time);

    const Parts back = Split(dt);
    if (back.year != year || back.month != month || back.day != day || back.hour != hour || back.minute != minute
        || back.second != second)
        return 1;
    m_dt = dt;
    m_status = valid;
    return 0;
}

bool COleDateTime::GetAsSystemTime(SYSTEMTIME& st) const
{
    if (m_status != valid || !InRange(m_dt)) return false;
    const Parts p = Split(m_dt);
    st.wYear = static_cast<WORD>(p.year);
    st.wMonth = static_cast<WORD>(p.month);
    st.wDayOfWeek = static_cast<WORD>(p.dayOfWeek - 1);
    st.wDay = static_cast<WORD>(p.day);
    st.wHour = static_cast<WORD>(p.hour);
    st.wMinute = static_cast<WORD>(p.minute);
    st.wSecond = static_cast<WORD>(p.second);
    st.wMilliseconds = 0;
    return true;
}

int COleDateTime::GetYear() const { return m_status == valid ? Split(m_dt).year : -1; }
int COleDateTime::GetDay() const { return m_status == valid ? Split(m_dt).day : -1; }
int COleDateTime::GetHour() const { return m_status == valid ? Split(m_dt).hour : -1; }
int COleDateTime::GetMinute() const { return m_status == valid ? Split(m_dt).minute : -1; }
int COleDateTime::GetSecond() const { return m_status == valid ? Split(m_dt).second : -1; }
int COleDateTime::GetDayOfWeek() const { return m_status == valid ? Split(m_dt).dayOfWeek : -1; }
int COleDateTime::GetDayOfYear() const { return m_status == valid ? Split(m_dt).dayOfYear : -1; }

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& span) const
{
    COleDateTime result;
    if (m_status != valid) {
        result.m_status = m_status;
        return result;
    }
    const double dt = FromLinear(Linear(m_dt) + span.m_span);
    if (!InRange(dt)) {
        result.m_status = invalid;
        return result;
    }
    result.m_dt = dt;
    return result;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& span) const
{
    return *this + COleDateTimeSpan(-span.m_span);
}

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& other) const
{
    return COleDateTimeSpan(Linear(m_dt) - Linear(other.m_dt));
}

CString COleDateTime::Format(const wchar_t* format) const
{
    wchar_t buf[kFormatBuffer];
    const int n = Format(format, buf);
    return n > 0 ? CString(buf, n) : CString();
}

int COleDateTime::Format(const wchar_t* format, wchar_t* buffer) const
{
    buffer[0] = 0;
    if (!format || m_status != valid || !InRange(m_dt)) return 0;
    const Parts p = Split(m_dt);
    tm t{};
    t.tm_year = p.year - 1900;
    t.tm_mon = p.month - 1;
    t.tm_mday = p.day;
    t.tm_hour = p.hour;
    t.tm_min = p.minute;
    t.tm_sec = p.second;
    t.tm_wday = p.dayOfWeek - 1;
    t.tm_yday = p.dayOfYear - 1;

    std::wstring escaped;
    if (NeedsEscaping(format)) {
        escaped = Escape(format);
        format = escaped.c_str();
    }

    // Wine's msvcrt reports a result that does not fit as the full buffer length, without
    // a terminator, where Windows reports 0: both count as too long here.
    const size_t n = wcsftime(buffer, kFormatBuffer, format, &t);
    if (n == 0 || n >= static_cast<size_t>(kFormatBuffer)) {
        buffer[0] = 0;
        return 0;
    }
    return static_cast<int>(n);
}
