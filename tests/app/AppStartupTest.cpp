// The start-up rules that need no window: the command-line switch, the week rules taken
// from the locale and the settings, and the settings that "restore" resets.
#include "App.h"

#include <gmock/gmock.h>

namespace {

TEST(AppSwitchTest, OnlyOneArgumentWithADashOrSlashCounts)
{
    struct Case {
        std::vector<const wchar_t*> argv;
        AppSwitch expected;
        const char* why;
    } cases[] = {
        {{L"zarnock.exe", L"-uninstall"}, AppSwitch::Uninstall, "dash"},
        {{L"zarnock.exe", L"/uninstall"}, AppSwitch::Uninstall, "slash"},
        {{L"zarnock.exe", L"-Uninstall"}, AppSwitch::None, "uninstall is exact case"},
        {{L"zarnock.exe", L"-restore"}, AppSwitch::Restore, "dash"},
        {{L"zarnock.exe", L"/RESTORE"}, AppSwitch::Restore, "restore in any case"},
        {{L"zarnock.exe", L"restore"}, AppSwitch::None, "no switch character"},
        {{L"zarnock.exe", L"--restore"}, AppSwitch::None, "one switch character only"},
        {{L"zarnock.exe", L"-restore", L"x"}, AppSwitch::None, "two arguments are ignored entirely"},
        {{L"zarnock.exe"}, AppSwitch::None, "no argument"},
        {{L"zarnock.exe", L""}, AppSwitch::None, "empty argument"},
        {{L"zarnock.exe", L"-"}, AppSwitch::None, "switch character alone"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseAppSwitch(static_cast<int>(c.argv.size()), c.argv.data()), c.expected) << c.why;
    EXPECT_EQ(ParseAppSwitch(2, nullptr), AppSwitch::None);
}

TEST(WeekRulesTest, FirstWeekOfYearFromLocaleAndStore)
{
    struct Case {
        int locale;
        bool localeOk;
        int stored;  // -99: nothing stored
        int expected;
    } cases[] = {
        {0, true, -99, 0}, {1, true, -99, 2}, {2, true, -99, 1}, {3, true, -99, 1}, {9, true, -99, 1},
        {-1, true, -99, 0}, {1, false, -99, 0},
        {0, true, 0, 0}, {0, true, 2, 2}, {0, true, 5, 2}, {0, true, -1, 2}, {1, true, 1, 1},
    };
    for (const Case& c : cases) {
        int stored = c.stored;
        EXPECT_EQ(FirstWeekOfYearFrom(c.locale, c.localeOk, c.stored == -99 ? nullptr : &stored), c.expected)
            << c.locale << " " << c.localeOk << " " << c.stored;
    }
}

TEST(WeekRulesTest, FirstDayOfWeekFromLocaleAndStore)
{
    struct Case {
        int locale;
        bool localeOk;
        int stored;
        int expected;
    } cases[] = {
        {0, true, -99, 0}, {6, true, -99, 6}, {7, true, -99, 6}, {-3, true, -99, 0}, {4, false, -99, 0},
        {0, true, 3, 3}, {0, true, 9, 6}, {0, true, -1, 6},
    };
    for (const Case& c : cases) {
        int stored = c.stored;
        EXPECT_EQ(FirstDayOfWeekFrom(c.locale, c.localeOk, c.stored == -99 ? nullptr : &stored), c.expected)
            << c.locale << " " << c.localeOk << " " << c.stored;
    }
}

}  // namespace
