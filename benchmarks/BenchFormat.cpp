// Cost of one CDigitClock::FormatTime call, the work of every display tick: the default
// format, and the same with three further zones.
#include "DigitClock.h"
#include "DigitClockAccess.h"
#include "LocaleTimeFormats.h"
#include "ProfileTestApp.h"
#include "StringTable.h"

#include <cstdio>

namespace {


double MicrosecondsPerCall(CDigitClock& clock, int calls)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    CString text;
    for (int i = 0; i < 1000; ++i) clock.FormatTime(now, text);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < calls; ++i) {
        now.wMilliseconds = static_cast<WORD>(i % 1000);
        clock.FormatTime(now, text);
    }
    QueryPerformanceCounter(&end);
    return (end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart / calls;
}

} // namespace

int main()
{
    // The zones come from this benchmark's own profile, so it never touches the clock's.
    ProfileTestApp app(L"ZarnockBenchFormat", L"bench_format");
    InitLocaleTimeFormats();
    const wchar_t* zones[] = { L"Pacific Standard Time", L"Tokyo Standard Time", L"AUS Eastern Standard Time" };
    for (int i = 0; i < 3; ++i) {
        wchar_t name[8];
        _snwprintf(name, 8, L"%d", i + 1);
        app.WriteProfileString(GetStr(SID_SECTION_TIMEZONES), name, zones[i]);
    }

    CDigitClock clock;
    const int calls = 200000;

    ClockFields(clock).m_format() = GetStr(SID_DEFAULT_FORMAT);
    clock.LoadFormatTimeZones(ClockFields(clock).m_format(), FALSE);
    CString text;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    clock.FormatTime(now, text);
    std::printf("bench_format: default format        %7.3f us per FormatTime  [%ls]\n",
                MicrosecondsPerCall(clock, calls), text.GetString());

    ClockFields(clock).m_format() = CString(GetStr(SID_DEFAULT_FORMAT)) + L"'LA '#001' Tokyo '#002' Sydney '#003";
    clock.LoadFormatTimeZones(ClockFields(clock).m_format(), FALSE);
    clock.FormatTime(now, text);
    std::printf("bench_format: with three further zones %5.3f us per FormatTime  [%ls] (%d zones loaded)\n",
                MicrosecondsPerCall(clock, calls), text.GetString(), static_cast<int>(ClockFields(clock).m_formatZones().size()));

    app.WriteProfileString(GetStr(SID_SECTION_TIMEZONES), nullptr, nullptr);
    return 0;
}
