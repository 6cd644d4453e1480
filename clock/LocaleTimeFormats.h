// The user locale's short date and time conventions as format strings, derived once at
// start-up (before the clock window exists) and read-only afterwards. The date and time
// formats use the strftime notation of the date-time value's Format ("%#d" drops the
// leading zero); the picker format is the time-picker controls' own notation.
#pragma once

#include "ClassLib.h"

struct tagLocaleTimeFormats
{
    CString shortDate;   // day and month in the locale's order, e.g. "%d.%m " (trailing blank)
    CString shortTime;   // e.g. "%#I:%M %p" or "%H:%M"
    CString time24;      // always "%H:%M"
    CString pickerTime;  // "HH:mm" or "hh:mm tt"
};

// The locale facts the formats are made of; a failed query leaves its default.
struct tagLocaleTimeInput
{
    CString dateSeparator = L"/";  // LOCALE_SDATE, at most 3 characters
    int dateOrder = 0;             // LOCALE_IDATE: 0 month first, 1 day first, 2 year first
    int dayLeadingZero = 0;        // LOCALE_IDAYLZERO
    int monthLeadingZero = 0;      // LOCALE_IMONLZERO
    CString timeSeparator = L":";  // LOCALE_STIME, 1 character
    int clock24 = 0;               // LOCALE_ITIME
    int hourLeadingZero = 0;       // LOCALE_ITLZERO
};

extern const tagLocaleTimeFormats& LocaleTimeFormats;

tagLocaleTimeInput ReadLocaleTimeInput(LCID locale);
tagLocaleTimeFormats BuildLocaleTimeFormats(const tagLocaleTimeInput& input);
// Builds LocaleTimeFormats from LOCALE_USER_DEFAULT; called once by start-up.
void InitLocaleTimeFormats();
CString GetShortDateFormat();

// The value in the 24-hour format when force24 is set, else in the locale's short time.
CString FormatShortTime(const COleDateTime& value, BOOL force24);
// The value through its Format; "<unk>" for an invalid value. Up to 1 January 1900 "%c",
// "%x" and "%y" are spelt out as "%m/%d/%Y %H:%M:%S", "%m/%d/%Y" and "%Y".
CString FormatOleDate(const COleDateTime& value, const wchar_t* format);
CString FormatOleDateC(const COleDateTime& value);
