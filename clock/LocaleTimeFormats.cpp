#include "LocaleTimeFormats.h"

namespace {

tagLocaleTimeFormats g_formats;

// Room for maxChars; a longer locale value fails the query and keeps the fallback.
bool QueryText(LCID locale, LCTYPE type, int maxChars, CString* out)
{
    wchar_t buf[8] = {};
    if (!GetLocaleInfoW(locale, type, buf, maxChars + 1)) return false;
    *out = buf;
    return true;
}

int QueryInt(LCID locale, LCTYPE type)
{
    wchar_t buf[8] = {};
    return GetLocaleInfoW(locale, type, buf, 8) ? _wtoi(buf) : 0;
}

// A separator is literal text inside a strftime format: a "%" in a user-defined one
// must never be read as a conversion.
CString Literal(const CString& text)
{
    CString out = text;
    out.Replace(L"%", L"%%");
    return out;
}

} // namespace

const tagLocaleTimeFormats& LocaleTimeFormats = g_formats;

tagLocaleTimeInput ReadLocaleTimeInput(LCID locale)
{
    tagLocaleTimeInput in;
    QueryText(locale, LOCALE_SDATE, 3, &in.dateSeparator);
    in.dateOrder = QueryInt(locale, LOCALE_IDATE);
    in.dayLeadingZero = QueryInt(locale, LOCALE_IDAYLZERO);
    in.monthLeadingZero = QueryInt(locale, LOCALE_IMONLZERO);
    QueryText(locale, LOCALE_STIME, 1, &in.timeSeparator);
    in.clock24 = QueryInt(locale, LOCALE_ITIME);
    in.hourLeadingZero = QueryInt(locale, LOCALE_ITLZERO);
    return in;
}

tagLocaleTimeFormats BuildLocaleTimeFormats(const tagLocaleTimeInput& in)
{
    tagLocaleTimeFormats f;
    const CString dateSep = Literal(in.dateSeparator);
    const CString timeSep = Literal(in.timeSeparator);
    const CString day = in.dayLeadingZero ? L"%d" : L"%#d";
    const CString month = in.monthLeadingZero ? L"%m" : L"%#m";
    // Year-first locales show day and month in month-first order.
    f.shortDate = in.dateOrder == 1 ? day + dateSep + month + L" " : month + dateSep + day + L" ";
    f.time24 = L"%H:%M";
    if (in.clock24) {
        f.shortTime = CString(in.hourLeadingZero ? L"%H" : L"%#H") + timeSep + L"%M";
        f.pickerTime = L"HH:mm";
    } else {
        f.shortTime.Format(in.hourLeadingZero ? L"%%I%s%%M %%p" : L"%%#I%s%%M %%p", timeSep.GetString());
        f.pickerTime = L"hh:mm tt";
    }
    return f;
}

void InitLocaleTimeFormats()
{
    g_formats = BuildLocaleTimeFormats(ReadLocaleTimeInput(LOCALE_USER_DEFAULT));
}

CString GetShortDateFormat()
{
    return LocaleTimeFormats.shortDate;
}
