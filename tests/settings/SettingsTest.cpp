#include "Settings.h"

#include "SupportWindowsHelpers.h"
#include "TestRegistry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <vector>

namespace {

class SettingsStore : public ::testing::Test
{
protected:
    void SetUp() override { ClearTestStore(); }
    void TearDown() override { ClearTestStore(); }
};

// The settings layout as the product defines it, written out here rather than taken from
// the code's table: section, name, type and default of every value. Defaults the reader
// supplies itself (the screen DPI, the user locale's week rules) are marked "reader".
enum class T { Int, String, Rect, Font, Packed };
struct Expected {
    const wchar_t* section;
    const wchar_t* name;
    T type;
    int value;             // Int and Packed; the size in points for Font
    const wchar_t* text;   // String
    bool reader = false;
};
const wchar_t kFormat[] = L" hh:mm:ss tt - MMMM dd, yyyy ";
const Expected kLayout[] = {
    {L"Common", L"MAPI", T::Int, 1, nullptr},
    {L"Common", L"Stamp", T::String, 0, L""},
    {L"Common", L"PDPI", T::Int, 0, nullptr},
    {L"Common", L"AWP", T::Int, 0, nullptr},
    {L"Common", L"WPM", T::Int, 0, nullptr},
    {L"Common", L"CFQ", T::Int, 0, nullptr},
    {L"Common", L"GPST", T::Int, 0, nullptr},
    {L"Common", L"GPSTT", T::Int, 1, nullptr},
    {L"Common", L"DP", T::Packed, 0, nullptr, true},
    {L"Common", L"DR", T::Rect, 0, nullptr},
    {L"Common", L"MR", T::Rect, 0, nullptr},
    {L"Common", L"CR", T::Rect, 0, nullptr},
    {L"Common", L"XY", T::Packed, 0x4E204E20, nullptr},
    {L"Common", L"CC", T::Int, 1, nullptr},
    {L"Common", L"CB", T::Int, 0x800000, nullptr},   // navy
    {L"Common", L"CT", T::Int, 0xFFFF, nullptr},     // yellow
    {L"Common", L"CF", T::Int, 1, nullptr},
    {L"Common", L"UO", T::Int, 1, nullptr},
    {L"Common", L"OT", T::Int, 4, nullptr},
    {L"Common", L"CO", T::Int, 255, nullptr},        // red
    {L"Common", L"CTA", T::Int, 255, nullptr},
    {L"Common", L"COA", T::Int, 255, nullptr},
    {L"Common", L"FN", T::Font, 14, nullptr},
    {L"Common", L"3D", T::Int, 0, nullptr},
    {L"Common", L"LR", T::Int, 0, nullptr},
    {L"Common", L"TT", T::Int, 1, nullptr},
    {L"Common", L"MS", T::Int, 2, nullptr},
    {L"Common", L"FT", T::String, 0, kFormat},
    {L"Common", L"AL", T::Int, 0, nullptr},
    {L"Common", L"CH0", T::Int, 1, nullptr},
    {L"Common", L"CH1", T::Int, 0x010101, nullptr},
    {L"Common", L"CH2", T::Int, 0x0101, nullptr},
    {L"Common", L"H0", T::String, 0, L""},
    {L"Common", L"H2", T::String, 0, L""},
    {L"Common", L"H4", T::String, 0, L""},
    {L"Common", L"H5", T::String, 0, L""},
    {L"Common", L"H1", T::Int, 0, nullptr},
    {L"Common", L"H3", T::Int, 0, nullptr},
    {L"Common", L"PS", T::Int, 0, nullptr},
    {L"Common", L"PST", T::Int, 0x11000800, nullptr}, // 08:00-17:00
    {L"Common", L"LX", T::Int, 0, nullptr},
    {L"Common", L"LY", T::Int, 0, nullptr},
    {L"Common", L"TPS", T::Int, 0, nullptr},
    {L"Common", L"SXY", T::Packed, 0x4E204E20, nullptr},
    {L"Common", L"SWSA", T::Int, 0, nullptr},
    {L"Common", L"RTL", T::Int, -1, nullptr},
    {L"Common", L"FSW", T::Int, 1, nullptr},
    {L"Common", L"SOR", T::Int, 1, nullptr},
    {L"Common", L"SE", T::Int, 1, nullptr},
    {L"Common", L"SD", T::Int, 127, nullptr},
    {L"Common", L"SSA", T::Int, 0, nullptr},
    {L"Common", L"SFS", T::Int, 0, nullptr},
    {L"Common", L"TR", T::Int, 0, nullptr},
    {L"Common", L"AT", T::Int, 1, nullptr},
    {L"Common", L"ATF", T::Int, 1, nullptr},
    {L"Common", L"FDOW", T::Int, 0, nullptr, true},
    {L"Common", L"FWOY", T::Int, 0, nullptr, true},
    {L"Common", L"FTZ", T::Int, 0, nullptr},
    {L"Common", L"FTZTM", T::Int, 0, nullptr},
    {L"Common", L"LW", T::Int, 0, nullptr},
    {L"Common", L"LCS", T::Int, 1, nullptr},
    {L"Common", L"LEV", T::Int, 1, nullptr},
    {L"Common", L"MMNC", T::Int, 0, nullptr},
    {L"Common", L"MMLN", T::Int, 0, nullptr},
    {L"Common", L"MASV", T::Int, 0, nullptr},
    {L"Common", L"ASVP", T::Int, 75, nullptr},
    {L"Common", L"SWM", T::Int, 0, nullptr},
    {L"TimeSync", L"FST", T::Int, 1, nullptr},
    {L"TimeSync", L"W2F", T::Int, 1, nullptr},
    {L"TimeSync", L"NOR", T::Int, 0, nullptr},
    {L"TimeSync", L"NOD", T::Int, 0, nullptr},
    {L"TimeSync", L"ATA", T::Int, 0, nullptr},
    {L"TimeSync", L"MSO", T::Int, 0, nullptr},
    {L"TimeSync", L"AHR", T::Int, 1, nullptr},
    {L"TimeSync", L"SVR", T::String, 0, L""},
};

T TypeOf(const SettingDef& s)
{
    switch (s.type) {
    case SettingType::Int: return T::Int;
    case SettingType::String: return T::String;
    case SettingType::Rect: return T::Rect;
    case SettingType::Font: return T::Font;
    case SettingType::Packed: return T::Packed;
    }
    return T::Int;
}

TEST_F(SettingsStore, TheTableIsTheLayoutEntryByEntry)
{
    ASSERT_EQ(std::size(kLayout), kAllSettingsCount);
    for (size_t i = 0; i < kAllSettingsCount; ++i) {
        const SettingDef& s = *kAllSettings[i];
        const Expected& e = kLayout[i];
        SCOPED_TRACE(::testing::Message() << ::testing::PrintToString(CString(e.section)) << "\\"
                                          << ::testing::PrintToString(CString(e.name)));
        EXPECT_EQ(CString(e.section), CString(s.Section()));
        EXPECT_EQ(CString(e.name), CString(s.Name()));
        EXPECT_TRUE(e.type == TypeOf(s)) << "type";
        EXPECT_EQ(e.reader, s.readerDefault) << "whose default";
        if (e.type == T::String) {
            EXPECT_EQ(CString(e.text), CString(GetStr(s.textDefault)));
        } else if (!e.reader && e.type != T::Rect) {
            EXPECT_EQ(e.value, s.intDefault);
        }
    }
}

// What a reader gets from an empty store, value by value: the layout's defaults.
TEST_F(SettingsStore, AnEmptyStoreGivesEveryDefault)
{
    for (size_t i = 0; i < kAllSettingsCount; ++i) {
        const SettingDef& s = *kAllSettings[i];
        const Expected& e = kLayout[i];
        SCOPED_TRACE(::testing::Message() << ::testing::PrintToString(CString(e.name)));
        switch (e.type) {
        case T::Int:
        case T::Packed:
            if (e.reader) {
                EXPECT_EQ(-12345, GetSettingInt(s, -12345)) << "the reader's own default";
            } else {
                EXPECT_EQ(e.value, GetSettingInt(s));
            }
            EXPECT_TRUE(IsSettingAbsent(s));
            break;
        case T::String:
            EXPECT_EQ(CString(e.text), GetSettingString(s));
            EXPECT_TRUE(IsSettingAbsent(s));
            break;
        case T::Rect: {
            RECT r = {1, 2, 3, 4};
            EXPECT_FALSE(GetSettingRect(s, &r));
            break;
        }
        case T::Font: {
            LOGFONTW f;
            GetSettingFont(s, &f);
            HDC screen = GetDC(nullptr);
            EXPECT_EQ(-MulDiv(e.value, GetDeviceCaps(screen, LOGPIXELSY), 72), f.lfHeight) << "points";
            ReleaseDC(nullptr, screen);
            EXPECT_EQ(FW_BOLD, f.lfWeight);
            EXPECT_EQ(1, f.lfItalic);
            break;
        }
        }
    }
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


const CString kCommon = StorePath(L"Common");

class FontSetting : public ::testing::Test
{
protected:
    void SetUp() override { ClearTestStore(); }
    void TearDown() override { ClearTestStore(); }

    static int Pixels(int points) { return -MulDiv(points, GetScreenDpiY(), 72); }
    LOGFONTW Read()
    {
        LOGFONTW f;
        std::memset(&f, 0xCC, sizeof(f));
        ReadProfileFont(&f, L"Common", L"FN", 14);
        return f;
    }
    static LOGFONTW Stored(LONG points, const wchar_t* face, BYTE quality = 0)
    {
        LOGFONTW f = {};
        f.lfHeight = points;
        f.lfWeight = FW_NORMAL;
        f.lfQuality = quality;
        lstrcpynW(f.lfFaceName, face, LF_FACESIZE);
        return f;
    }
    static void Store(const LOGFONTW& f) { WriteRawValue(kCommon, L"FN", REG_BINARY, &f, sizeof(f)); }
};

TEST_F(FontSetting, SizesAreStoredInPointsAndReadInPixels)
{
    struct Case { LONG stored; int points; const char* why; } cases[] = {
        {10, 10, "10 points"},
        {0, 14, "no size: the default"},
        {3000, 2304, "clamped above"},
        {3, 6, "clamped below"},
        {-20, 6, "a pixel height is no point size"},
    };
    for (const auto& c : cases) {
        Store(Stored(c.stored, L"Tahoma"));
        LOGFONTW f = Read();
        EXPECT_EQ(Pixels(c.points), f.lfHeight) << c.why;
        EXPECT_EQ(FW_NORMAL, f.lfWeight) << c.why;
        EXPECT_STREQ(L"Tahoma", f.lfFaceName) << c.why;
    }
    if (GetScreenDpiY() == 96) {
        Store(Stored(10, L"Tahoma"));
        EXPECT_EQ(-13, Read().lfHeight);
        Store(Stored(0, L"Tahoma"));
        EXPECT_EQ(-19, Read().lfHeight);
    }
}

TEST_F(FontSetting, WritingStoresPointsAndLeavesTheCallersFont)
{
    LOGFONTW f = Stored(Pixels(10), L"Tahoma", 3);
    f.lfItalic = 1;
    const LOGFONTW copy = f;
    WriteProfileFont(f, L"Common", L"FN");
    EXPECT_EQ(0, std::memcmp(&copy, &f, sizeof(f)));

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadRawValue(kCommon, L"FN", &type, &data));
    ASSERT_EQ(sizeof(LOGFONTW), data.size());
    LOGFONTW raw;
    std::memcpy(&raw, data.data(), sizeof(raw));
    EXPECT_EQ(10, raw.lfHeight);

    LOGFONTW back = Read();
    EXPECT_EQ(f.lfHeight, back.lfHeight);
    EXPECT_EQ(1, back.lfItalic);
    EXPECT_EQ(3, back.lfQuality);
}

TEST_F(FontSetting, TheNarrowFormAndUnterminatedFacesAreRead)
{
    LOGFONTA narrow = {};
    narrow.lfHeight = 12;
    narrow.lfWeight = FW_SEMIBOLD;
    std::strcpy(narrow.lfFaceName, "Caf\xe9 Sans");  // the ANSI code page's e acute
    WriteRawValue(kCommon, L"FN", REG_BINARY, &narrow, sizeof(narrow));
    ASSERT_EQ(60u, sizeof(narrow));
    LOGFONTW f = Read();
    EXPECT_EQ(Pixels(12), f.lfHeight);
    EXPECT_EQ(FW_SEMIBOLD, f.lfWeight);
    EXPECT_STREQ(L"Caf\u00e9 Sans", f.lfFaceName);

    std::memset(narrow.lfFaceName, 'N', sizeof(narrow.lfFaceName));
    WriteRawValue(kCommon, L"FN", REG_BINARY, &narrow, sizeof(narrow));
    EXPECT_EQ(CString(L'N', 31), CString(Read().lfFaceName)) << "32 bytes without a terminator";

    LOGFONTW wide = Stored(9, L"");
    std::fill(std::begin(wide.lfFaceName), std::end(wide.lfFaceName), L'W');
    Store(wide);
    EXPECT_EQ(CString(L'W', 31), CString(Read().lfFaceName)) << "a wide face without a terminator";
}

TEST_F(FontSetting, AnythingButAWholeRecordGivesTheFullDefaults)
{
    const BYTE one[1] = {0};
    std::vector<BYTE> almost(sizeof(LOGFONTW) - 1, 0);
    almost[0] = 10;
    struct Case { const void* data; DWORD size; const char* why; } cases[] = {
        {nullptr, 0, "absent"},
        {one, 1, "the restore switch's one byte"},
        {almost.data(), static_cast<DWORD>(almost.size()), "91 bytes"},
    };
    for (const auto& c : cases) {
        ClearTestStore();
        if (c.data) WriteRawValue(kCommon, L"FN", REG_BINARY, c.data, c.size);
        LOGFONTW f = Read();
        EXPECT_EQ(Pixels(14), f.lfHeight) << c.why;
        EXPECT_EQ(FW_BOLD, f.lfWeight) << c.why;
        EXPECT_EQ(1, f.lfItalic) << c.why;
        EXPECT_EQ(0, f.lfUnderline) << c.why;
        EXPECT_EQ(DEFAULT_CHARSET, f.lfCharSet) << c.why;
        EXPECT_EQ(0, f.lfWidth) << c.why;
        EXPECT_STREQ(L"Segoe UI", f.lfFaceName) << c.why;
        EXPECT_EQ(CLEARTYPE_QUALITY, f.lfQuality) << c.why;
    }
}

TEST_F(FontSetting, QualityComesFromCfqOrTheStoredFont)
{
    struct Case { int cfq; bool stored; BYTE storedQuality; BYTE expected; const char* why; } cases[] = {
        {0x103, true, 0, 3, "the low byte of CFQ"},
        {9, true, 0, 6, "at most 6"},
        {0, true, 0, 5, "ClearType by default"},
        {0, true, 1, 5, "below 2 is replaced"},
        {0, true, 4, 4, "2 to 6 is the user's"},
        {0x100, true, 3, 3, "a zero low byte leaves the font's"},
    };
    for (const auto& c : cases) {
        ClearTestStore();
        if (c.cfq) WriteRawDword(kCommon, L"CFQ", static_cast<DWORD>(c.cfq));
        Store(Stored(10, L"Tahoma", c.storedQuality));
        LOGFONTW f;
        EXPECT_EQ(c.cfq, ReadProfileFont(&f, L"Common", L"FN", 14)) << c.why;
        EXPECT_EQ(c.expected, f.lfQuality) << c.why;
    }
}

} // namespace
