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

CString FormatShortTime(const COleDateTime& value, BOOL force24)
{
    return value.Format(force24 ? LocaleTimeFormats.time24 : LocaleTimeFormats.shortTime);
}

namespace {

// True when format holds the conversion "%" + letter; "%%" is a literal percent sign and
// starts no conversion.
bool HasConversion(const CString& format, wchar_t letter)
{
    for (int i = 0; i + 1 < format.GetLength(); ++i) {
        if (format[i] != L'%') continue;
        if (format[i + 1] == letter) return true;
        ++i;
    }
    return false;
}

CString ReplaceConversion(const CString& format, wchar_t letter, const wchar_t* replacement)
{
    CString out;
    for (int i = 0; i < format.GetLength(); ++i) {
        if (format[i] == L'%' && i + 1 < format.GetLength()) {
            if (format[i + 1] == letter) out += replacement;
            else out += format.Mid(i, 2);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

} // namespace

CString FormatOleDate(const COleDateTime& value, const wchar_t* format)
{
    if (value.GetStatus() != COleDateTime::valid) return CString(L"<unk>");
    CString f(format);
    // 2.0 is 1 January 1900 00:00. The runtime gives nothing at all for "%c", "%x" or "%y"
    // of an earlier year, so each of them is spelt out (not only the first one found: a
    // second one left in place would empty the whole text).
    if (value.m_dt <= 2.0) {
        static const struct { wchar_t letter; const wchar_t* spelt; } kForms[] = {
            {L'c', L"%m/%d/%Y %H:%M:%S"},
            {L'x', L"%m/%d/%Y"},
            {L'y', L"%Y"},
        };
        for (const auto& form : kForms)
            if (HasConversion(f, form.letter)) f = ReplaceConversion(f, form.letter, form.spelt);
    }
    return value.Format(f);
}

CString FormatOleDateC(const COleDateTime& value)
{
    return FormatOleDate(value, L"%c");
}
