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

} // namespace
