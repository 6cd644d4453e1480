#include "LocaleTimeFormats.h"

#include "TestRegistry.h"

#include <gtest/gtest.h>

namespace {

tagLocaleTimeInput Input(const wchar_t* dateSep, int order, int dayZero, int monthZero, const wchar_t* timeSep,
                         int clock24, int hourZero)
{
    tagLocaleTimeInput in;
    in.dateSeparator = dateSep;
    in.dateOrder = order;
    in.dayLeadingZero = dayZero;
    in.monthLeadingZero = monthZero;
    in.timeSeparator = timeSep;
    in.clock24 = clock24;
    in.hourLeadingZero = hourZero;
    return in;
}

TEST(LocaleTimeFormats, FollowTheLocalesOrderSeparatorsZerosAndClock)
{
    struct Case {
        tagLocaleTimeInput in;
        const wchar_t* date;
        const wchar_t* time;
        const wchar_t* picker;
        const char* why;
    } cases[] = {
        {Input(L".", 1, 1, 1, L":", 1, 1), L"%d.%m ", L"%H:%M", L"HH:mm", "German as Windows has it"},
        {Input(L"/", 0, 0, 0, L":", 0, 0), L"%#m/%#d ", L"%#I:%M %p", L"hh:mm tt", "United States"},
        {Input(L"-", 2, 1, 1, L":", 1, 0), L"%m-%d ", L"%#H:%M", L"HH:mm", "year first shows month first"},
        {Input(L"/", 1, 0, 1, L".", 0, 1), L"%#d/%m ", L"%I.%M %p", L"hh:mm tt", "12-hour with leading zero"},
        {tagLocaleTimeInput(), L"%#m/%#d ", L"%#I:%M %p", L"hh:mm tt", "every query failed"},
        {Input(L"%", 1, 1, 1, L"%", 1, 1), L"%d%%%m ", L"%H%%%M", L"HH:mm", "a % separator stays literal"},
        {Input(L"%", 0, 0, 0, L"%", 0, 0), L"%#m%%%#d ", L"%#I%%%M %p", L"hh:mm tt", "also in the 12-hour form"},
    };
    for (const auto& c : cases) {
        tagLocaleTimeFormats f = BuildLocaleTimeFormats(c.in);
        EXPECT_EQ(CString(c.date), f.shortDate) << c.why;
        EXPECT_EQ(CString(c.time), f.shortTime) << c.why;
        EXPECT_EQ(CString(L"%H:%M"), f.time24) << c.why;
        EXPECT_EQ(CString(c.picker), f.pickerTime) << c.why;
    }
}

TEST(LocaleTimeFormats, AreReadFromTheUserLocaleOnce)
{
    // Wine's locale follows LANG; unset, it is US English.
    tagLocaleTimeInput us = ReadLocaleTimeInput(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    EXPECT_EQ(CString(L"/"), us.dateSeparator);
    EXPECT_EQ(0, us.dateOrder);
    EXPECT_EQ(0, us.clock24);

    InitLocaleTimeFormats();
    EXPECT_EQ(BuildLocaleTimeFormats(ReadLocaleTimeInput(LOCALE_USER_DEFAULT)).shortDate, GetShortDateFormat());
    EXPECT_EQ(CString(L"%H:%M"), LocaleTimeFormats.time24);
}

TEST(LocaleTimeFormats, ShortTimeFollowsTheLocaleUnlessForcedTo24Hours)
{
    InitLocaleTimeFormats();
    const COleDateTime afternoon(2026, 12, 8, 15, 5, 9);
    EXPECT_EQ(CString(L"15:05"), FormatShortTime(afternoon, TRUE));
    const CString local = FormatShortTime(afternoon, FALSE);
    if (LocaleTimeFormats.shortTime == L"%#I:%M %p") {
        EXPECT_EQ(CString(L"3:05 PM"), local);
    } else {
        EXPECT_NE(-1, local.Find(L"05")) << "the minutes in any locale";
    }
    COleDateTime invalid;
    invalid.SetStatus(COleDateTime::invalid);
    EXPECT_TRUE(FormatShortTime(invalid, TRUE).IsEmpty());
}

TEST(FormatOleDate, DatesUpTo1900SpellTheCenturyFormsOut)
{
    COleDateTime invalid;
    invalid.SetStatus(COleDateTime::invalid);
    const COleDateTime epoch(1899, 12, 30, 0, 0, 0);       // 0.0
    const COleDateTime lastSpelt(1900, 1, 1, 0, 0, 0);     // 2.0
    const COleDateTime firstPlain(1900, 1, 1, 0, 0, 1);
    const COleDateTime early(1805, 3, 4, 5, 6, 7);         // negative
    struct Case {
        COleDateTime value;
        const wchar_t* format;
        const wchar_t* text;
        const char* why;
    } cases[] = {
        {invalid, L"%x", L"<unk>", "invalid value"},
        {epoch, L"%x", L"12/30/1899", "%x spelt out"},
        {epoch, L"%c", L"12/30/1899 00:00:00", "%c spelt out"},
        {epoch, L"%y", L"1899", "%y becomes the whole year"},
        {lastSpelt, L"%c", L"01/01/1900 00:00:00", "2.0 is still spelt out"},
        {firstPlain, L"%x", L"01/01/00", "later values use the runtime's form"},
        {early, L"[%x] [%x]", L"[03/04/1805] [03/04/1805]", "every occurrence"},
        {early, L"%x %c %y", L"03/04/1805 03/04/1805 05:06:07 1805", "all three: one left would empty the text"},
        {early, L"%%c %x", L"%c 03/04/1805", "an escaped percent starts no conversion"},
        {early, L"%Y-%m-%d", L"1805-03-04", "no century form: as given"},
    };
    for (const auto& c : cases) EXPECT_EQ(CString(c.text), FormatOleDate(c.value, c.format)) << c.why;

    EXPECT_EQ(CString(L"<unk>"), FormatOleDateC(invalid));
    EXPECT_EQ(CString(L"12/30/1899 00:00:00"), FormatOleDateC(epoch));
    EXPECT_EQ(COleDateTime(2026, 12, 8, 20, 49, 4).Format(L"%c"), FormatOleDateC(COleDateTime(2026, 12, 8, 20, 49, 4)));
}

} // namespace
