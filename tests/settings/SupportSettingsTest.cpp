#include "SupportSettings.h"

#include "Settings.h"
#include "SupportRegistry.h"
#include "TestRegistry.h"

#include <gtest/gtest.h>

namespace {

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
