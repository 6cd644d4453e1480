// CDigitClock: the clock window. This part holds its display-format engine: the display
// text for a local time, the millisecond test and the further time zones a format names.
#pragma once

#include "ClassLib.h"
#include "FormatEnvironment.h"
#include "SupportTime.h"

#include <string>
#include <vector>

class CDigitClock : public CWnd
{
public:
    CDigitClock();
    ~CDigitClock() override;

    // Format engine.
    // The display text of the current format for a local time (one pass, no registry).
    void FormatTime(const SYSTEMTIME& time, CString& text);
    // The fragment that one run (a character repeated length times) gives for stage 2.
    CString ExpandFormatToken(const wchar_t* run, int length, const SYSTEMTIME& time);
    // An 'S' outside literals and zone tokens: the display needs a 1 ms timer.
    BOOL FormatHasMilliseconds() const { return FormatHasMilliseconds(m_format); }
    static BOOL FormatHasMilliseconds(const wchar_t* format);
    // Reads the zones of the format's #NNN tokens from section "TimeZones" and the system's
    // zone data, with their transitions in the year given (0: the current UTC year).
    void LoadFormatTimeZones(const wchar_t* format, BOOL log, int year = 0);
    BOOL FindFormatTimeZone(int key, tagTZI2& zone) const;
    static int GetWeekNumber(const COleDateTime& date);
    static int WeekOfYearFromWeekEnd(const COleDateTime& weekEnd);
    // The machine seen by the engine; the system's unless a test gives its own.
    void SetFormatEnvironment(IFormatEnvironment* environment) { m_formatEnvironment = environment; }

    CString m_format;
    std::vector<tagTZI2> m_formatZones;

private:
    void AppendFormatToken(std::wstring& out, const wchar_t* run, int length, const SYSTEMTIME& time);
    void AppendZoneTime(std::wstring& out, int key, const SYSTEMTIME& time);

    IFormatEnvironment* m_formatEnvironment;
    int m_formatZonesYear = 0;      // the year the zones' transitions were resolved for
    std::wstring m_formatScratch;   // the intermediate text, kept to spare the tick an allocation
};
