#include "SupportSettings.h"

#include "Settings.h"
#include "SupportRegistry.h"
#include "SupportWindowsHelpers.h"
#include "TestRegistry.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

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

// The install key lives in HKEY_LOCAL_MACHINE; the tests move the application's registry
// key to a company name of their own so other test programs never see it.
class Installation : public ::testing::Test
{
protected:
    static constexpr const wchar_t* kCompany = L"Mervale Software Settings Tests";
    void SetUp() override
    {
        m_savedCompany = TestApp().m_pszRegistryKey;
        TestApp().SetRegistryKey(kCompany);
        Clear();
    }
    void TearDown() override
    {
        Clear();
        TestApp().SetRegistryKey(m_savedCompany);
    }
    void Clear()
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, CString(L"SOFTWARE\\") + kCompany);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, CString(L"SOFTWARE\\") + kCompany);
        RegDeleteTreeW(HKEY_CURRENT_USER, CString(L"Software\\") + kCompany);
        RegDeleteKeyW(HKEY_CURRENT_USER, CString(L"Software\\") + kCompany);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Zarnock");
    }
    static void SetInstall(const wchar_t* name, const wchar_t* value)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegistryWriteString(HKEY_LOCAL_MACHINE, GetInstallKeyPath(), name, value, nullptr));
    }
    static CString Common(const wchar_t* name)
    {
        return TestApp().GetProfileString(L"Common", name, L"<absent>");
    }
    static CString RunValue()
    {
        return RegistryReadString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                  L"Zarnock", L"<absent>", FALSE);
    }

    CString m_savedCompany;
};

TEST_F(Installation, ValuesComeFromTheInstallKey)
{
    EXPECT_EQ(CString(L"SOFTWARE\\Mervale Software Settings Tests\\Zarnock\\Install"), GetInstallKeyPath());
    EXPECT_EQ(CString(L""), ReadInstallValue(L"Path"));
    EXPECT_EQ(CString(L""), GetMainExePath()) << "no install path";
    EXPECT_EQ(CString(L"no"), GetInstallDate());

    SetInstall(L"Path", L"  C:\\Program Files\\Zarnock \t");
    EXPECT_EQ(CString(L"C:\\Program Files\\Zarnock"), ReadInstallValue(L"Path")) << "trimmed";
    EXPECT_EQ(CString(L"C:\\Program Files\\Zarnock\\Zarnock.exe"), GetMainExePath());

    struct Case { const wchar_t* stamp; const wchar_t* date; } cases[] = {
        {L"261207153000", L"121530"},
        {L"2612071530", L"2612071530"},
        {L"26120715300012", L"26120715300012"},
        {L"26x207153000", L"26x207153000"},
    };
    for (const auto& c : cases) {
        SetInstall(L"Stamp", c.stamp);
        EXPECT_EQ(CString(c.date), GetInstallDate()) << ::testing::PrintToString(CString(c.stamp));
    }
}

TEST_F(Installation, SharedSoundsLiveUnderTheCommonApplicationData)
{
    CString path;
    EXPECT_FALSE(GetSharedDataFilePath(L"Music", L"a.wav", &path));
    ASSERT_TRUE(GetSharedDataFilePath(L"sounds", L"Cuckoo.wav", &path));
    const CString tail = L"\\Mervale Software\\Zarnock\\sounds\\Cuckoo.wav";
    EXPECT_EQ(tail, path.Right(tail.GetLength()));
    CString folder;
    ASSERT_TRUE(GetSharedDataFilePath(L"Sounds", nullptr, &folder));
    EXPECT_EQ(CString(L"\\"), folder.Right(1));
    CString parent = folder.Left(folder.GetLength() - 7);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(parent)) << "the product folder is created";
}

TEST_F(Installation, FirstRunDefaultsComeOnlyWithANewStamp)
{
    EXPECT_FALSE(ApplyFirstRunDefaults()) << "no install stamp";
    EXPECT_EQ(CString(L"<absent>"), Common(L"Stamp"));

    SetInstall(L"Path", L"C:\\Zk Test");
    SetInstall(L"Stamp", L"261207153000");
    ASSERT_TRUE(ApplyFirstRunDefaults());
    EXPECT_EQ(1u, TestApp().GetProfileInt(L"Common", L"CC", 9));
    EXPECT_EQ(1u, TestApp().GetProfileInt(L"Common", L"CF", 9));
    CString sounds;
    ASSERT_TRUE(GetSharedDataFilePath(L"Sounds", nullptr, &sounds));
    EXPECT_EQ(sounds + L"Cuckoo.wav", Common(L"H0"));
    EXPECT_EQ(sounds + L"Chimes.wav", Common(L"H2"));
    EXPECT_EQ(CString(L"\"C:\\Zk Test\\Zarnock.exe\""), RunValue());
    EXPECT_EQ(CString(L"261207153000"), Common(L"Stamp"));

    // A second start with the same stamp writes nothing.
    TestApp().WriteProfileInt(L"Common", L"CC", 0);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Zarnock");
    EXPECT_FALSE(ApplyFirstRunDefaults());
    EXPECT_EQ(CString(L"<absent>"), RunValue());

    // A reinstallation keeps the user's choices and rewrites the Run value.
    TestApp().WriteProfileString(L"Common", L"H0", L"D:\\my.wav");
    TestApp().WriteProfileInt(L"Common", L"CF", 0x0EEDBEEF);
    SetInstall(L"Stamp", L"270101120000");
    ASSERT_TRUE(ApplyFirstRunDefaults());
    EXPECT_EQ(0u, TestApp().GetProfileInt(L"Common", L"CC", 9));
    EXPECT_EQ(1u, TestApp().GetProfileInt(L"Common", L"CF", 9)) << "a stored sentinel counts as absent";
    EXPECT_EQ(CString(L"D:\\my.wav"), Common(L"H0"));
    EXPECT_EQ(sounds + L"Chimes.wav", Common(L"H2"));
    EXPECT_EQ(CString(L"\"C:\\Zk Test\\Zarnock.exe\""), RunValue());
    EXPECT_EQ(CString(L"270101120000"), Common(L"Stamp"));
}

TEST_F(Installation, WithoutAnInstallPathNoRunValueIsWritten)
{
    SetInstall(L"Stamp", L"261207153000");
    ASSERT_TRUE(ApplyFirstRunDefaults());
    EXPECT_EQ(CString(L"<absent>"), RunValue());
}

} // namespace
