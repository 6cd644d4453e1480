// The display-format engine. Stage 1 scans the format into an intermediate text in which
// date and time runs are wcsftime conversions and computed text (fractions, week numbers,
// zones, Internet time, AM/PM, era) is final; stage 2 runs that text through the date-time
// value's Format. Computed text therefore has every '%' doubled before it goes in.
#include "DigitClock.h"

#include "Globals.h"
#include "Log/LogMan.h"
#include "Settings.h"
#include "StringTable.h"

namespace {

// A run or literal holds at most 383 characters; longer ones are cut there.
constexpr int kRunMax = 383;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsZoneToken(const wchar_t* s)
{
    return s[0] == L'#' && IsDigit(s[1]) && IsDigit(s[2]) && IsDigit(s[3]);
}

int ZoneKey(const wchar_t* s)
{
    return (s[1] - L'0') * 100 + (s[2] - L'0') * 10 + (s[3] - L'0');
}

void AppendNumber(std::wstring& out, int value, int minDigits)
{
    wchar_t digits[16];
    int n = 0;
    unsigned v = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
        v /= 10;
    } while (v);
    while (n < minDigits) digits[n++] = L'0';
    if (value < 0) out += L'-';
    while (n) out += digits[--n];
}

// Final text into the intermediate text: a '%' in it must not reach stage 2 as a conversion.
void AppendFinal(std::wstring& out, const wchar_t* text, int length)
{
    for (int i = 0; i < length; ++i) {
        if (text[i] == L'%') out += L'%';
        out += text[i];
    }
}

const wchar_t* Pick(int length, const wchar_t* one, const wchar_t* two, const wchar_t* three, const wchar_t* more)
{
    return length == 1 ? one : length == 2 ? two : length == 3 ? three : more;
}

} // namespace

void CDigitClock::FormatTime(const SYSTEMTIME& time, CString& text)
{
    text.Empty();

    // The zones' transitions are those of one year: a new year needs them anew.
    if (!m_formatZones.empty() && time.wYear >= 100 && time.wYear <= 9999 && time.wYear != m_formatZonesYear)
        LoadFormatTimeZones(m_format, FALSE, time.wYear);

    std::wstring& out = m_formatScratch;
    out.clear();
    wchar_t run[kRunMax + 1];
    int n = 0;
    bool inLiteral = false;
    const wchar_t* f = m_format.GetString();

    for (size_t i = 0; f[i]; ++i) {
        const wchar_t c = f[i];
        if (inLiteral) {
            if (c == L'\'') {
                out.append(run, static_cast<size_t>(n));
                n = 0;
                inLiteral = false;
            } else if (n < kRunMax) {
                run[n++] = c;
            }
            continue;
        }
        if (n > 0) {
            if (c == run[0]) {
                // Each '%' of a run stands doubled, so that stage 2 shows it once.
                const int add = c == L'%' ? 2 : 1;
                if (n + add <= kRunMax)
                    for (int k = 0; k < add; ++k) run[n++] = c;
                continue;
            }
            run[n] = 0;
            AppendFormatToken(out, run, n, time);
            n = 0;
        }
        if (IsZoneToken(f + i)) {
            AppendZoneTime(out, ZoneKey(f + i), time);
            i += 3;
            continue;
        }
        switch (c) {
        case L'%':
            run[0] = run[1] = L'%';
            n = 2;
            break;
        case L'\'':
            if (f[i + 1] == L'\'') {
                out += L'\'';
                ++i;
            } else {
                inLiteral = true;
            }
            break;
        case L'~':
            break;
        case L'|':
            run[0] = L'\n';
            n = 1;
            break;
        default:
            run[0] = c;
            n = 1;
            break;
        }
    }
    if (inLiteral) {
        // An open literal at the end shows all its text.
        out.append(run, static_cast<size_t>(n));
    } else if (n > 0) {
        run[n] = 0;
        AppendFormatToken(out, run, n, time);
    }

    wchar_t display[COleDateTime::kFormatBuffer];
    const int length = COleDateTime(time).Format(out.c_str(), display);
    if (length > 0) text = CString(display, length);
}

CString CDigitClock::ExpandFormatToken(const wchar_t* run, int length, const SYSTEMTIME& time)
{
    std::wstring out;
    if (run && length > 0) AppendFormatToken(out, run, length, time);
    return CString(out);
}

void CDigitClock::AppendFormatToken(std::wstring& out, const wchar_t* run, int length, const SYSTEMTIME& time)
{
    switch (run[0]) {
    case L'd': out += Pick(length, L"%#d", L"%d", L"%a", L"%A"); return;
    case L'M': out += Pick(length, L"%#m", L"%m", L"%b", L"%B"); return;
    case L'y': out += Pick(length, L"%#y", L"%y", L"%Y", L"%Y"); return;
    case L'D': out += length == 1 ? L"%#j" : L"%j"; return;
    case L'h': out += length == 1 ? L"%#I" : L"%I"; return;
    case L'H': out += length == 1 ? L"%#H" : L"%H"; return;
    case L'm': out += length == 1 ? L"%#M" : L"%M"; return;
    case L's': out += length == 1 ? L"%#S" : L"%S"; return;
    case L'S':
        if (length == 1) AppendNumber(out, time.wMilliseconds / 100, 1);
        else if (length == 2) AppendNumber(out, time.wMilliseconds / 10, 2);
        else AppendNumber(out, time.wMilliseconds, 3);
        return;
    case L'w':
        AppendNumber(out, GetWeekNumber(COleDateTime(time)), length == 1 ? 1 : 2);
        return;
    case L't': {
        wchar_t designator[128];
        const int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, run, designator, 128);
        if (n > 0) AppendFinal(out, designator, n - 1);
        else out.append(run, static_cast<size_t>(length));
        return;
    }
    case L'g': {
        wchar_t era[128];
        const int n = length == 2 ? GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, L"gg", era, 128) : 0;
        if (n > 0) AppendFinal(out, era, n - 1);
        else out.append(run, static_cast<size_t>(length));
        return;
    }
    case L'z':
    case L'Z': {
        TIME_ZONE_INFORMATION tzi{};
        const DWORD id = length >= 2 ? m_formatEnvironment->GetTimeZone(tzi) : TIME_ZONE_ID_INVALID;
        if (id == TIME_ZONE_ID_INVALID) {
            out.append(run, static_cast<size_t>(length));
        } else if (run[0] == L'z') {
            // UTC = local + bias: a zone east of UTC has a negative bias and shows "+".
            out += tzi.Bias < 0 ? L'+' : L'-';
            const LONGLONG bias = tzi.Bias < 0 ? -static_cast<LONGLONG>(tzi.Bias) : tzi.Bias;
            AppendNumber(out, static_cast<int>(bias / 60 % 100000), 2);
            out += L':';
            AppendNumber(out, static_cast<int>(bias % 60), 2);
        } else {
            const wchar_t* name = id == TIME_ZONE_ID_DAYLIGHT ? tzi.DaylightName : tzi.StandardName;
            AppendFinal(out, name, static_cast<int>(wcsnlen(name, 32)));
        }
        return;
    }
    case L'@': {
        // Internet time: thousandths of the day at UTC+1, from the clock itself.
        SYSTEMTIME utc{};
        m_formatEnvironment->GetUtcTime(utc);
        const int seconds = ((utc.wHour + 1) % 24) * 3600 + utc.wMinute * 60 + utc.wSecond;
        out += L'@';
        AppendNumber(out, seconds * 10 / 864 % 1000, 3);
        return;
    }
    default:
        out.append(run, static_cast<size_t>(length));
        return;
    }
}

void CDigitClock::AppendZoneTime(std::wstring& out, int key, const SYSTEMTIME& time)
{
    tagTZI2 zone;
    COleDateTime date(time);
    TIME_ZONE_INFORMATION local{};
    const DWORD localId = m_formatEnvironment->GetTimeZone(local);
    if (!FindFormatTimeZone(key, zone) || !LocalToZoneTime(date, zone, localId, local)) {
        out += L"ERROR";
        return;
    }
    wchar_t text[COleDateTime::kFormatBuffer];
    const int prefix = g_zonePrefixMode;
    if (prefix == 1 || prefix == 3) AppendFinal(out, text, date.Format(L"%a ", text));
    if (prefix == 2 || prefix == 3)
        AppendFinal(out, text, date.Format(m_formatEnvironment->GetShortDateFormat(), text));
    const wchar_t* timeFormat = g_zoneTimeMode ? L"%H:%M" : m_formatEnvironment->GetShortTimeFormat().GetString();
    AppendFinal(out, text, date.Format(timeFormat, text));
}

BOOL CDigitClock::FormatHasMilliseconds(const wchar_t* format)
{
    if (!format) return FALSE;
    for (size_t i = 0; format[i]; ++i) {
        const wchar_t c = format[i];
        if (c == L'\'') {
            if (format[i + 1] == L'\'') {
                ++i;
                continue;
            }
            while (format[i + 1] && format[i + 1] != L'\'') ++i;
            if (format[i + 1]) ++i;
        } else if (IsZoneToken(format + i)) {
            i += 3;
        } else if (c == L'S') {
            return TRUE;
        }
    }
    return FALSE;
}

void CDigitClock::LoadFormatTimeZones(const wchar_t* format, BOOL log, int year)
{
    m_formatZones.clear();
    if (year == 0) {
        SYSTEMTIME now{};
        GetSystemTime(&now);
        year = now.wYear;
    }
    m_formatZonesYear = year;
    CWinApp* app = AfxGetApp();
    if (!format || !app) return;

    // The same walk as the scanner's, so that exactly its zone tokens are loaded: not those
    // in literals, nor a '#' that continues a run of '#' ("##005" is shown as it stands).
    bool inLiteral = false;
    wchar_t runChar = 0;
    int runLength = 0;
    for (size_t i = 0; format[i]; ++i) {
        const wchar_t c = format[i];
        if (inLiteral) {
            if (c == L'\'') inLiteral = false;
            continue;
        }
        if (runLength > 0 && c == runChar) continue;
        runLength = 0;
        if (IsZoneToken(format + i)) {
            const int key = ZoneKey(format + i);
            i += 3;
            CString zoneName = GetZoneSetting(key);
            tagTZI2 zone;
            if (zoneName.IsEmpty() || !ReadZoneInfo(zoneName, zone, year)) continue;
            zone.key = key;
            m_formatZones.push_back(zone);
            if (log) ZN_LOG(LOG_INFO, key << L" " << zoneName.GetString());
            continue;
        }
        if (c == L'\'') {
            if (format[i + 1] == L'\'') ++i;
            else inLiteral = true;
        } else if (c != L'~') {
            runChar = c == L'|' ? L'\n' : c;
            runLength = 1;
        }
    }
}

BOOL CDigitClock::FindFormatTimeZone(int key, tagTZI2& zone) const
{
    for (const tagTZI2& z : m_formatZones) {
        if (z.key == key) {
            zone = z;
            return TRUE;
        }
    }
    return FALSE;
}

int CDigitClock::GetWeekNumber(const COleDateTime& date)
{
    if (date.GetStatus() != COleDateTime::valid) return 0;
    const int firstDay = g_firstDayOfWeek < 0 ? 0 : g_firstDayOfWeek > 6 ? 6 : g_firstDayOfWeek;
    // Days to the last day of the date's week (weekday 1 Sunday .. 7 Saturday).
    const int toWeekEnd = (firstDay - date.GetDayOfWeek() + 8) % 7;
    const COleDateTime weekEnd = date + COleDateTimeSpan(toWeekEnd, 0, 0, 0);
    if (weekEnd.GetStatus() != COleDateTime::valid) return WeekOfYearFromWeekEnd(date);
    if (weekEnd.GetYear() == date.GetYear()) return WeekOfYearFromWeekEnd(weekEnd);
    // A week that runs into the next year: its December days follow the week before.
    return WeekOfYearFromWeekEnd(weekEnd - COleDateTimeSpan(7, 0, 0, 0)) + 1;
}

int CDigitClock::WeekOfYearFromWeekEnd(const COleDateTime& weekEnd)
{
    if (weekEnd.GetStatus() != COleDateTime::valid) return 1;
    const int threshold = g_firstWeekOfYear == 1 ? 3 : g_firstWeekOfYear == 2 ? 0 : 7;
    const int firstDay = g_firstDayOfWeek < 0 ? 0 : g_firstDayOfWeek > 6 ? 6 : g_firstDayOfWeek;
    const COleDateTime jan1(weekEnd.GetYear(), 1, 1, 0, 0, 0);
    if (jan1.GetStatus() != COleDateTime::valid) return 1;
    // Position of 1 January inside its week, 0 when it is the week's first day.
    const int k = (jan1.GetDayOfWeek() - 1 + 6 - firstDay) % 7;
    const int q = (weekEnd.GetDayOfYear() - 1) / 7;
    if (k <= threshold) return q + 1;
    if (q > 0) return q;
    // The partial first week continues the last week of the year before.
    return WeekOfYearFromWeekEnd(weekEnd - COleDateTimeSpan(7, 0, 0, 0)) + 1;
}
