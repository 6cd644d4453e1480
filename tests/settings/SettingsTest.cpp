#include "Settings.h"

#include "TestRegistry.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

class SettingsStore : public ::testing::Test
{
protected:
    void SetUp() override { ClearTestStore(); }
    void TearDown() override { ClearTestStore(); }
};

// A fresh user's clock, value by value as the store must give it.
struct Expected { const wchar_t* section; const wchar_t* name; int value; };
const Expected kFreshUser[] = {
    {L"Common", L"CT", 0xFFFF},     // yellow text
    {L"Common", L"CB", 0x800000},   // on navy
    {L"Common", L"CO", 255},        // a red outline
    {L"Common", L"UO", 1},
    {L"Common", L"OT", 4},          // of 4 pixels
    {L"Common", L"MS", 2},          // a 2-pixel margin
    {L"Common", L"AT", 1},          // always on top, so no tray icon
    {L"Common", L"CH0", 1},         // the built-in chimes
    {L"Common", L"CH1", 0x010101},
    {L"Common", L"PST", 0x11000800},
    {L"Common", L"XY", 0x4E204E20}, // no position yet
    {L"Common", L"SXY", 0x4E204E20},
    {L"Common", L"RTL", -1},        // automatic reading direction
    {L"Common", L"SD", 127},
    {L"Common", L"ASVP", 75},
    {L"Common", L"GPSTT", 1},
    {L"Common", L"SOR", 1},
    {L"TimeSync", L"FST", 1},       // opens the Options sheet once
    {L"TimeSync", L"W2F", 1},
    {L"TimeSync", L"AHR", 1},
    {L"TimeSync", L"ATA", 0},
};

TEST_F(SettingsStore, EverySettingHasOneNameAndSection)
{
    EXPECT_EQ(75u, kAllSettingsCount);
    std::set<CString> seen;
    for (size_t i = 0; i < kAllSettingsCount; ++i) {
        const SettingDef& s = *kAllSettings[i];
        CString section = s.Section();
        EXPECT_TRUE(section == L"Common" || section == L"TimeSync") << i;
        EXPECT_FALSE(CString(s.Name()).IsEmpty()) << i;
        EXPECT_TRUE(seen.insert(section + L"\\" + s.Name()).second) << "twice: " << i;
    }
    for (const auto& e : kFreshUser) EXPECT_TRUE(seen.count(CString(e.section) + L"\\" + e.name)) << e.value;
}

TEST_F(SettingsStore, AnEmptyStoreGivesEveryDefault)
{
    std::map<CString, int> fresh;
    for (const auto& e : kFreshUser) fresh[CString(e.section) + L"\\" + e.name] = e.value;

    for (size_t i = 0; i < kAllSettingsCount; ++i) {
        const SettingDef& s = *kAllSettings[i];
        const CString key = CString(s.Section()) + L"\\" + s.Name();
        SCOPED_TRACE(::testing::Message() << "setting " << i);
        switch (s.type) {
        case SettingType::Int:
        case SettingType::Packed:
            if (s.readerDefault) {
                EXPECT_EQ(-12345, GetSettingInt(s, -12345)) << "the reader's own default";
            } else {
                EXPECT_EQ(s.intDefault, GetSettingInt(s));
                if (fresh.count(key)) {
                    EXPECT_EQ(fresh[key], GetSettingInt(s));
                }
            }
            EXPECT_TRUE(IsSettingAbsent(s));
            break;
        case SettingType::String:
            EXPECT_EQ(CString(GetStr(s.textDefault)), GetSettingString(s));
            EXPECT_TRUE(IsSettingAbsent(s));
            break;
        case SettingType::Rect: {
            RECT r = {1, 2, 3, 4};
            EXPECT_FALSE(GetSettingRect(s, &r));
            break;
        }
        case SettingType::Font: {
            LOGFONTW f;
            GetSettingFont(s, &f);
            HDC screen = GetDC(nullptr);
            EXPECT_EQ(-MulDiv(14, GetDeviceCaps(screen, LOGPIXELSY), 72), f.lfHeight) << "14 points";
            ReleaseDC(nullptr, screen);
            EXPECT_EQ(FW_BOLD, f.lfWeight);
            EXPECT_EQ(1, f.lfItalic);
            break;
        }
        }
    }
    EXPECT_EQ(CString(L" hh:mm:ss tt - MMMM dd, yyyy "), GetSettingString(Setting::kFT));
    EXPECT_EQ(CString(L""), GetSettingString(Setting::kSVR));
}

TEST_F(SettingsStore, ValuesRoundTrip)
{
    WriteSettingInt(Setting::kRTL, -1);
    WriteSettingInt(Setting::kCB, 0x00FF8040);
    WriteSettingString(Setting::kSVR, L"time.example \u65f6\u949f \U0001F570");
    const RECT r = {-1920, -8, 0, 1072};
    WriteSettingRect(Setting::kCR, r);

    EXPECT_EQ(-1, GetSettingInt(Setting::kRTL)) << "signed";
    EXPECT_FALSE(IsSettingAbsent(Setting::kRTL));
    EXPECT_EQ(0x00FF8040, GetSettingInt(Setting::kCB));
    EXPECT_EQ(CString(L"time.example \u65f6\u949f \U0001F570"), GetSettingString(Setting::kSVR));
    RECT back = {};
    ASSERT_TRUE(GetSettingRect(Setting::kCR, &back));
    EXPECT_TRUE(EqualRect(&r, &back));
}

TEST_F(SettingsStore, DamagedValuesGiveTheDefault)
{
    const CString common = StorePath(L"Common");
    const ULONGLONG big = 0x100000005ULL;
    const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    const BYTE two[2] = {9, 0};
    const BYTE rect15[15] = {};
    const BYTE rect17[17] = {};
    const BYTE rect16[16] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0};
    WriteRawString(common, L"CB", L"12345");                     // text where a number belongs
    WriteRawValue(common, L"CT", REG_QWORD, &big, sizeof(big));  // a number beyond 32 bits
    WriteRawValue(common, L"CO", REG_BINARY, eight, sizeof(eight));
    WriteRawValue(common, L"OT", REG_DWORD, two, sizeof(two));   // a DWORD of two bytes
    WriteRawDword(common, L"FT", 7);                             // a number where text belongs
    WriteRawValue(common, L"CR", REG_BINARY, rect15, sizeof(rect15));
    WriteRawValue(common, L"MR", REG_BINARY, rect17, sizeof(rect17));
    WriteRawValue(common, L"DR", REG_SZ, rect16, sizeof(rect16)); // right length, wrong type

    EXPECT_EQ(0x800000, GetSettingInt(Setting::kCB));
    EXPECT_EQ(0xFFFF, GetSettingInt(Setting::kCT));
    EXPECT_EQ(255, GetSettingInt(Setting::kCO));
    EXPECT_EQ(4, GetSettingInt(Setting::kOT));
    EXPECT_EQ(CString(GetStr(SID_DEFAULT_FORMAT)), GetSettingString(Setting::kFT));
    RECT r;
    EXPECT_FALSE(GetSettingRect(Setting::kCR, &r)) << "15 bytes";
    EXPECT_FALSE(GetSettingRect(Setting::kMR, &r)) << "17 bytes";
    EXPECT_FALSE(GetSettingRect(Setting::kDR, &r)) << "not binary";
}

TEST_F(SettingsStore, ASectionWithoutRightsGivesTheDefaults)
{
    const CString common = StorePath(L"Common");
    WriteRawDword(common, L"CB", 1);
    LockKey(common, true);
    HKEY probe = nullptr;
    LSTATUS st = RegOpenKeyExW(HKEY_CURRENT_USER, common, 0, KEY_READ, &probe);
    if (probe) RegCloseKey(probe);
    if (st != ERROR_ACCESS_DENIED) {
        LockKey(common, false);
        GTEST_SKIP() << "this registry does not enforce key access lists";
    }
    EXPECT_EQ(0x800000, GetSettingInt(Setting::kCB));
    EXPECT_EQ(CString(GetStr(SID_DEFAULT_FORMAT)), GetSettingString(Setting::kFT));
    RECT r;
    EXPECT_FALSE(GetSettingRect(Setting::kCR, &r));
    LockKey(common, false);
}

TEST_F(SettingsStore, RestoreResetsExactlyTheDisplaySettings)
{
    // Every setting holds something that is not its default.
    for (size_t i = 0; i < kAllSettingsCount; ++i) {
        const SettingDef& s = *kAllSettings[i];
        if (s.type == SettingType::String) WriteSettingString(s, L"user's");
        else if (s.type == SettingType::Rect) WriteSettingRect(s, RECT{1, 2, 3, 4});
        else if (s.type == SettingType::Font) WriteRawValue(StorePath(s.Section()), s.Name(), REG_BINARY, "font", 4);
        else WriteSettingInt(s, 1234567);
    }
    auto snapshot = [] {
        std::map<CString, std::pair<DWORD, std::vector<BYTE>>> values;
        for (size_t i = 0; i < kAllSettingsCount; ++i) {
            const SettingDef& s = *kAllSettings[i];
            DWORD type = 0;
            std::vector<BYTE> data;
            ReadRawValue(StorePath(s.Section()), s.Name(), &type, &data);
            values[CString(s.Section()) + L"\\" + s.Name()] = {type, data};
        }
        return values;
    };
    auto before = snapshot();
    RestoreDisplaySettings();
    auto after = snapshot();

    const std::set<CString> reset = {L"Common\\FT", L"Common\\XY", L"Common\\CC", L"Common\\CF",
                                     L"Common\\FN", L"Common\\TR", L"Common\\AT"};
    for (const auto& [key, value] : after)
        if (!reset.count(key)) {
            EXPECT_EQ(before[key], value) << "changed: " << ::testing::PrintToString(key);
        }

    EXPECT_EQ(CString(L" hh:mm:ss tt - MMMM dd, yyyy "), GetSettingString(Setting::kFT));
    EXPECT_EQ(0x4E204E20, GetSettingInt(Setting::kXY));
    EXPECT_EQ(1, GetSettingInt(Setting::kCC));
    EXPECT_EQ(1, GetSettingInt(Setting::kCF));
    EXPECT_EQ(0, GetSettingInt(Setting::kTR));
    EXPECT_EQ(1, GetSettingInt(Setting::kAT));
    auto fn = after[L"Common\\FN"];
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), fn.first);
    EXPECT_EQ(std::vector<BYTE>{0}, fn.second) << "one zero byte";
    LOGFONTW f;
    GetSettingFont(Setting::kFN, &f);
    EXPECT_EQ(FW_BOLD, f.lfWeight) << "the font's full defaults again";
    EXPECT_EQ(1, f.lfItalic);
    RECT r;
    EXPECT_TRUE(GetSettingRect(Setting::kCR, &r)) << "a stored position stays";
}

} // namespace
