// The version reader on this program's own version resource and the real program's, and
// the library loader's search order.
#include "SupportUtilities.h"
#include "VersionInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>

namespace {

CString ProgramPath()
{
    const char* bin = std::getenv("ZARNOCK_TEST_BIN");
    CString dir;
    if (bin) {
        // The build tree's Unix path reaches Wine through drive Z:.
        CStringA unix(bin);
        dir = L"Z:";
        for (int i = 0; i < unix.GetLength(); ++i) dir += static_cast<wchar_t>(unix[i] == '/' ? '\\' : unix[i]);
    }
    return dir + L"\\zarnock.exe";
}

TEST(VersionInfo, ReadsTheProgramsOwnVersionResource)
{
    CVersionInfo info(ProgramPath());
    ASSERT_EQ(1, info.Load()) << GetLastError();
    WORD parts[4] = {};
    info.GetFileVersion(parts);
    EXPECT_EQ(5, parts[0]);
    EXPECT_EQ(1, parts[1]);
    EXPECT_EQ(2, parts[2]);
    EXPECT_EQ(0, parts[3]);
    EXPECT_STREQ(L"Mervale Software", info.m_companyName);
    EXPECT_STREQ(L"Zarnock", info.m_productName);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), info.m_fileType);

    int beta = -1;
    EXPECT_EQ(0x05010200u, GetFileVersionNumber(ProgramPath(), &beta));
    EXPECT_EQ(0, beta) << "a release has no SpecialBuild";
    EXPECT_EQ(CString(L"5.1.2.0  ") + ProgramPath(), GetFileVersionText(ProgramPath()));
}

TEST(VersionInfo, KeepsOnlyTheLowByteOfEachPartAndFindsBetaInAnyCase)
{
    // This test program's own resource: 1.256.0.0, "SpecialBuild" "BeTa", Russian code page.
    int beta = 0;
    EXPECT_EQ(0x01000000u, GetFileVersionNumber(nullptr, &beta));
    EXPECT_EQ(1, beta);
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    CVersionInfo mine(own);
    ASSERT_EQ(1, mine.Load());
    EXPECT_STREQ(L"Support tests", mine.m_fileDescription);
    EXPECT_EQ(CString(L"1.256.0.0 BeTa ") + own, GetFileVersionText(nullptr));

    wchar_t small[5] = {};
    EXPECT_EQ(1, mine.QueryString(L"CompanyName", small));
    EXPECT_STREQ(L"Test", small) << "cut to the capacity";

    struct Case { const wchar_t* text; bool beta; } cases[] = {
        {L"beta", true}, {L"BETA", true}, {L"betas", false}, {L"beta ", false}, {L"", false}, {nullptr, false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.beta, IsBetaBuildText(c.text)) << (c.text ? "text" : "null");
}

TEST(VersionInfo, AFileWithoutVersionGivesTheErrorCodeAndPath)
{
    const wchar_t* missing = L"C:\\no such folder\\none.exe";
    int beta = 1;
    EXPECT_EQ(0u, GetFileVersionNumber(missing, &beta));
    EXPECT_EQ(0, beta);
    CString text = GetFileVersionText(missing);
    EXPECT_EQ(0, text.Find(L"(0x")) << "the system error in parentheses";
    EXPECT_EQ(text.GetLength() - static_cast<int>(wcslen(missing)), text.Find(missing));

    wchar_t longPath[700];
    std::wmemset(longPath, L'a', 699);
    longPath[699] = 0;
    CVersionInfo cut(longPath);
    EXPECT_EQ(CVersionInfo::kPathChars, wcslen(cut.m_path));
}

TEST(DllLoader, LoadsFromAFolderAndRestoresTheSearchOrder)
{
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    {
        DllLoader loader(L"version.dll", system, true);
        EXPECT_NE(nullptr, loader.m_module);
    }
    wchar_t dir[MAX_PATH] = L"x";
    GetDllDirectoryW(MAX_PATH, dir);
    EXPECT_STREQ(L"", dir) << "the default search order again";

    SetLastError(0);
    DllLoader missing(L"no_such_library_zk.dll", system, false);
    EXPECT_EQ(nullptr, missing.m_module);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError()) << "the load's own error";
}

} // namespace
