// The constant-string table and resource strings with their fall-back text.
#include "StringTable.h"

#include <gmock/gmock.h>

namespace {

TEST(StringTable, OutOfRangeIdsGiveTheEmptyEntry)
{
    for (unsigned id : {117u, 118u, 4000000000u}) {
        EXPECT_STREQ(GetStr(id), L"") << id;
        EXPECT_EQ(GetStr(id), GetStr(SID_EMPTY)) << id;
    }
    EXPECT_STREQ(GetStr(SID_PRODUCT), GetStr(SID_PRODUCT_KEY)) << "1 and 115 hold the same text";
}

// Ids are fixed by position: a missing or extra entry shifts everything behind it.
TEST(StringTable, EntriesAtTheirIds)
{
    const struct {
        unsigned id;
        const wchar_t* text;
    } cases[] = {
        {SID_COMPANY, L"Mervale Software"},
        {SID_VERSION_FULL, L"5.1.2.0r"},
        {SID_VERSION, L"5.1.2"},
        {SID_VERSION_QUERY, L"version="},
        {SID_ABOUT_PATH, L"/zarnock/?src=about"},
        {SID_MAILTO, L"mailto:"},
        {SID_SUBJECT_SUPPORT, L"Support Request "},
        {SID_SHORT_PREFIX, L"znc"},
        {SID_DEFAULT_FORMAT, L" hh:mm:ss tt - MMMM dd, yyyy "},
        {SID_CLOCK_WNDCLASS, L"qx_zn_digitclock_32"},
        {SID_ORGANIZER_WNDCLASS, L"qx_qdl_tray_32"},
        {SID_SECTION_COMMON, L"Common"},
        {SID_SECTION_TIMEZONES, L"TimeZones"},
        {SID_KEY_MAPI, L"MAPI"},
        {SID_KEY_3D, L"3D"},
        {SID_KEY_RTL, L"RTL"},
        {SID_KEY_LW, L"LW"},
        {SID_LOGS_FOLDER, L"zarnock_logs"},
        {SID_LOG_NAME_FORMAT, L"znc_log_%s"},
        {SID_LOG_EXEC, L"exec"},
        {SID_LOG_SYNC, L"sync"},
        {SID_KEY_LRM, L"LRM"},
        {SID_KEY_LCS, L"LCS"},
        {SID_KEY_SVR, L"SVR"},
        {SID_REG_SOFTWARE, L"SOFTWARE"},
        {SID_KEY_PATH, L"Path"},
        {SID_REG_CURRENT_VERSION, L"Software\\Microsoft\\Windows\\CurrentVersion\\"},
    };
    for (const auto& c : cases) EXPECT_STREQ(GetStr(c.id), c.text) << c.id;
    EXPECT_THAT(GetStr(SID_SUPPORT_EMAIL), ::testing::HasSubstr(L"@"));
    EXPECT_THAT(GetStr(SID_WEB_URL), ::testing::StartsWith(L"https://"));
    for (unsigned id : {SID_CALENDAR_INFO_URL, SID_CALENDAR_NET_INFO_URL, SID_ORGANIZER_INFO_URL})
        EXPECT_THAT(GetStr(id), ::testing::EndsWith(L"/t/zarnock-info?src=zarnock")) << id;
}

TEST(StringTable, LoadResString)
{
    EXPECT_EQ(LoadResString(40001), L"Loaded from the resources");
    EXPECT_EQ(LoadResString(99999),
              CString(L"Unknown resource 99999.\n\nPlease contact ") + GetStr(SID_SUPPORT_EMAIL) + L".");
}

} // namespace
