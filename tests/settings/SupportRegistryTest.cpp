#include "SupportRegistry.h"

#include "TestRegistry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

class RegistryHelpers : public ::testing::Test
{
protected:
    void SetUp() override { ClearTestStore(); }
    void TearDown() override { ClearTestStore(); }
};

constexpr DWORD kDefault = 0xD0D0D0D0;

TEST_F(RegistryHelpers, ReadDwordGivesFourBytesOfAnyTypeElseTheDefault)
{
    const BYTE four[4] = {0x78, 0x56, 0x34, 0x12};
    const BYTE sixteen[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const BYTE two[2] = {1, 2};
    WriteRawDword(kTestRawKey, L"dword", 0x0EEDBEEF);
    WriteRawValue(kTestRawKey, L"binary4", REG_BINARY, four, sizeof(four));
    WriteRawValue(kTestRawKey, L"binary16", REG_BINARY, sixteen, sizeof(sixteen));
    WriteRawValue(kTestRawKey, L"binary2", REG_BINARY, two, sizeof(two));
    WriteRawString(kTestRawKey, L"text", L"ab");
    WriteRawValue(kTestRawKey, L"empty", REG_DWORD, nullptr, 0);

    struct Case { const wchar_t* key; const wchar_t* name; DWORD expected; const char* why; } cases[] = {
        {kTestRawKey, L"dword", 0x0EEDBEEF, "a plain DWORD"},
        {kTestRawKey, L"binary4", 0x12345678, "the type is not checked"},
        {kTestRawKey, L"binary16", kDefault, "too large: ERROR_MORE_DATA"},
        {kTestRawKey, L"binary2", kDefault, "too short to be a number"},
        {kTestRawKey, L"text", kDefault, "a six-byte text"},
        {kTestRawKey, L"empty", kDefault, "no data at all"},
        {kTestRawKey, L"missing", kDefault, "missing value"},
        {L"Software\\Mervale Software\\ZarnockSettingsTests\\NoSuchKey", L"dword", kDefault, "missing key"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, RegistryReadDword(HKEY_CURRENT_USER, c.key, c.name, kDefault, FALSE)) << c.why;
}

TEST_F(RegistryHelpers, OnlyFailuresOtherThanNotFoundAreLogged)
{
    const BYTE sixteen[16] = {};
    WriteRawValue(kTestRawKey, L"binary16", REG_BINARY, sixteen, sizeof(sixteen));
    {
        LogCapture log;
        RegistryReadDword(HKEY_CURRENT_USER, L"Software\\Mervale Software\\ZarnockSettingsTests\\None", L"v", 1, FALSE);
        RegistryReadDword(HKEY_CURRENT_USER, kTestRawKey, L"missing", 1, FALSE);
        RegistryReadString(HKEY_CURRENT_USER, kTestRawKey, L"missing", L"", FALSE);
        RegistryDeleteValue(HKEY_CURRENT_USER, kTestRawKey, L"missing");
        EXPECT_EQ("", log.Text()) << "not found is silent";
    }
    {
        LogCapture log;
        EXPECT_EQ(1u, RegistryReadDword(HKEY_CURRENT_USER, kTestRawKey, L"binary16", 1, FALSE));
        EXPECT_THAT(log.Text(), ::testing::HasSubstr(" * 0x000000ea ")) << "ERROR_MORE_DATA at LOG_ERROR";
    }
    {
        LogCapture log;
        EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, L"Software\\Mervale Software\\ZarnockSettingsTests\\None",
                                         L"v"));
        EXPECT_THAT(log.Text(), ::testing::HasSubstr(" * 0x00000002 ")) << "a missing key is logged when deleting";
    }
}

TEST_F(RegistryHelpers, ReadStringExpandsOnlyExpandableTexts)
{
    WriteRawString(kTestRawKey, L"expand", L"%TEMP%\\x", REG_EXPAND_SZ);
    WriteRawString(kTestRawKey, L"plain", L"%TEMP%\\x", REG_SZ);
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH), 0u);

    EXPECT_EQ(CString(temp) + L"\\x", RegistryReadString(HKEY_CURRENT_USER, kTestRawKey, L"expand", L"d", FALSE));
    EXPECT_EQ(CString(L"%TEMP%\\x"), RegistryReadString(HKEY_CURRENT_USER, kTestRawKey, L"plain", L"d", FALSE));
}

TEST_F(RegistryHelpers, ReadStringStopsAtTheFirstNullAndNeverPastTheValue)
{
    const wchar_t unterminated[3] = {L'a', L'b', L'c'};
    const wchar_t embedded[] = L"ab\0cd";
    const BYTE odd[3] = {'x', 0, 'y'};
    WriteRawValue(kTestRawKey, L"unterminated", REG_SZ, unterminated, sizeof(unterminated));
    WriteRawValue(kTestRawKey, L"embedded", REG_SZ, embedded, sizeof(embedded));
    WriteRawValue(kTestRawKey, L"odd", REG_BINARY, odd, sizeof(odd));
    WriteRawString(kTestRawKey, L"empty", L"");
    WriteRawString(kTestRawKey, L"cjk", L"\u65f6\u949f \U0001F570 \u05e9\u05e2\u05d5\u05df");

    struct Case { const wchar_t* name; const wchar_t* expected; const char* why; } cases[] = {
        {L"unterminated", L"abc", "stored without a terminator: read whole"},
        {L"embedded", L"ab", "ends at the first null"},
        {L"odd", L"xy", "an odd last byte is read, zero-padded"},
        {L"empty", L"", "an empty text is a value, not the default"},
        {L"cjk", L"\u65f6\u949f \U0001F570 \u05e9\u05e2\u05d5\u05df", "non-ASCII text unchanged"},
        {L"missing", L"default", "missing value"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.expected), RegistryReadString(HKEY_CURRENT_USER, kTestRawKey, c.name, L"default", FALSE))
            << c.why;
    EXPECT_EQ(CString(L"default"),
              RegistryReadString(HKEY_CURRENT_USER, L"Software\\Mervale Software\\ZarnockSettingsTests\\NoSuchKey",
                                 L"x", L"default", FALSE));
}

TEST_F(RegistryHelpers, AKeyWithoutRightsGivesTheDefault)
{
    WriteRawDword(kTestRawKey, L"dword", 7);
    WriteRawString(kTestRawKey, L"text", L"secret");
    LockKey(kTestRawKey, true);
    HKEY probe = nullptr;
    LSTATUS st = RegOpenKeyExW(HKEY_CURRENT_USER, kTestRawKey, 0, KEY_QUERY_VALUE, &probe);
    if (probe) RegCloseKey(probe);
    if (st != ERROR_ACCESS_DENIED) GTEST_SKIP() << "this registry does not enforce key access lists";

    EXPECT_EQ(kDefault, RegistryReadDword(HKEY_CURRENT_USER, kTestRawKey, L"dword", kDefault, FALSE));
    EXPECT_EQ(CString(L"d"), RegistryReadString(HKEY_CURRENT_USER, kTestRawKey, L"text", L"d", FALSE));
    LogCapture log;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegistryWriteString(HKEY_CURRENT_USER, kTestRawKey, L"text", L"x", nullptr));
    EXPECT_THAT(log.Text(), ::testing::HasSubstr("0x80000001 Software\\Mervale Software\\ZarnockSettingsTests\\Raw "
                                                 "text x 0"))
        << "the failed write's arguments";
    EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, kTestRawKey, L"text"));
}

TEST_F(RegistryHelpers, The64BitViewIsAskedForOnlyForTheMachineKeyUnderWow64)
{
    struct Case { HKEY root; BOOL view64; BOOL wow64; REGSAM expected; const char* why; } cases[] = {
        {HKEY_LOCAL_MACHINE, TRUE, TRUE, 0x20101, "32-bit build on 64-bit Windows"},
        {HKEY_LOCAL_MACHINE, TRUE, FALSE, 0, "64-bit build: one view only"},
        {HKEY_LOCAL_MACHINE, FALSE, TRUE, 0, "view not asked for"},
        {HKEY_CURRENT_USER, TRUE, TRUE, 0, "the user's key is shared by both views"},
        {HKEY_CLASSES_ROOT, TRUE, TRUE, 0, "only the machine key"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, RegistryReadAccess(c.root, c.view64, c.wow64)) << c.why;
}

TEST_F(RegistryHelpers, The64BitViewReadsTheMachineKey)
{
    // This build is 64-bit, so the flag takes the plain open and still finds the value.
    CString root = RegistryReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                      L"SystemRoot", L"", TRUE);
    EXPECT_FALSE(root.IsEmpty());
}

TEST_F(RegistryHelpers, WriteStringStoresTheTextWithItsTerminator)
{
    CString key = CString(kTestRawKey) + L"\\Deeper\\Still";
    ASSERT_EQ(ERROR_SUCCESS, RegistryWriteString(HKEY_CURRENT_USER, key, L"v", L"abc", nullptr));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadRawValue(key, L"v", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(8u, data.size());
    EXPECT_EQ(CString(L"abc"), RegistryReadString(HKEY_CURRENT_USER, key, L"v", L"", FALSE));
}

TEST_F(RegistryHelpers, DeleteValueIsTrueOnlyWhenSomethingWasDeleted)
{
    WriteRawString(kTestRawKey, L"v", L"x");
    EXPECT_TRUE(RegistryDeleteValue(HKEY_CURRENT_USER, kTestRawKey, L"v"));
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_FALSE(ReadRawValue(kTestRawKey, L"v", &type, &data));
    EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, kTestRawKey, L"v")) << "already gone";
    EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, L"Software\\Mervale Software\\ZarnockSettingsTests\\NoSuchKey",
                                     L"v"))
        << "missing key";
}

TEST_F(RegistryHelpers, WriteIfAbsentKeepsStoredValuesButNotTheSentinel)
{
    CWinApp& app = TestApp();
    const CString common = StorePath(L"Common");
    WriteRawDword(common, L"sentinel", 0x0EEDBEEF);
    WriteRawDword(common, L"zero", 0);
    WriteRawString(common, L"text", L"mine");
    WriteRawString(common, L"textSentinel", L"0EEDBEEF");

    EXPECT_TRUE(app.WriteProfileIntIfAbsent(L"Common", L"sentinel", 5, 1)) << "a stored sentinel is absent";
    EXPECT_EQ(5u, app.GetProfileInt(L"Common", L"sentinel", 0));
    EXPECT_FALSE(app.WriteProfileIntIfAbsent(L"Common", L"zero", 5, 1)) << "0 is a value";
    EXPECT_EQ(0u, app.GetProfileInt(L"Common", L"zero", 9));
    EXPECT_TRUE(app.WriteProfileIntIfAbsent(L"Common", L"zero", 6, 0)) << "flag 0 always writes";
    EXPECT_EQ(6u, app.GetProfileInt(L"Common", L"zero", 9));
    EXPECT_TRUE(app.WriteProfileIntIfAbsent(L"Common", L"missing", 3, 1));
    EXPECT_EQ(3u, app.GetProfileInt(L"Common", L"missing", 9));

    EXPECT_FALSE(app.WriteProfileStringIfAbsent(L"Common", L"text", L"new", 1));
    EXPECT_EQ(CString(L"mine"), app.GetProfileString(L"Common", L"text"));
    EXPECT_TRUE(app.WriteProfileStringIfAbsent(L"Common", L"textSentinel", L"new", 1));
    EXPECT_EQ(CString(L"new"), app.GetProfileString(L"Common", L"textSentinel"));
    EXPECT_TRUE(app.WriteProfileStringIfAbsent(L"Common", L"text", L"forced", 2)) << "only flag 1 checks";
    EXPECT_EQ(CString(L"forced"), app.GetProfileString(L"Common", L"text"));
}

} // namespace
