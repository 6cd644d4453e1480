#include "SupportFiles.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <shlobj.h>

namespace {

TEST(SupportFiles, SplitExtension)
{
    struct Case { const wchar_t* in; const wchar_t* base; const wchar_t* ext; };
    const Case cases[] = {
        {L"a.b.txt", L"a.b", L"txt"},
        {L"README", L"README", L""},
        {L"archive.", L"archive", L""},
        {L".profile", L"", L"profile"},
        {L"", L"", L""},
        {L"\u65E5\u672C.\u8A9E", L"\u65E5\u672C", L"\u8A9E"},
    };
    for (const Case& c : cases) {
        CString base(L"old"), ext(L"old");
        SplitExtension(c.in, base, ext);
        EXPECT_STREQ(c.base, base) << c.in;
        EXPECT_STREQ(c.ext, ext) << c.in;
    }
}

TEST(SupportFiles, SplitPath)
{
    struct Case { const wchar_t* in; const wchar_t* folder; const wchar_t* name; };
    const Case cases[] = {
        {L"C:\\x/y\\z.txt  ", L"C:\\x/y\\", L"z.txt"},
        {L"z.txt", L"", L"z.txt"},
        {L"", L"", L""},
        {L"  \t", L"", L""},
        {L"C:\\folder\\", L"C:\\folder\\", L""},
        {L"/unix/style", L"/unix/", L"style"},
        {L"  C:\\a b\\c d.wav", L"C:\\a b\\", L"c d.wav"},
    };
    for (const Case& c : cases) {
        CString folder(L"old"), name(L"old");
        SplitPath(c.in, folder, name);
        EXPECT_STREQ(c.folder, folder) << c.in;
        EXPECT_STREQ(c.name, name) << c.in;
    }
}

TEST(SupportFiles, AppendPathJoinsOrLeavesThePathAlone)
{
    CString p(L"C:\\a");
    AppendPath(p, L"b");
    EXPECT_STREQ(L"C:\\a\\b", p);
    CString q(L"C:\\a\\");
    AppendPath(q, L"\\b");
    EXPECT_STREQ(L"C:\\a\\b", q) << "one backslash between the parts";

    LogCapture log;
    CString longPath = L"C:\\" + CString(L'x', 267);  // 270 characters
    CString before = longPath;
    AppendPath(longPath, L"abcde");
    EXPECT_STREQ(before, longPath);
    EXPECT_EQ(2u, log.Entries(" * ").size());

    // Short enough for the join buffer but over MAX_PATH for PathAppendW: the path stays
    // as it was instead of being emptied.
    CString nearLimit = L"C:\\" + CString(L'y', 250);
    CString kept = nearLimit;
    AppendPath(nearLimit, CString(L'z', 15));
    EXPECT_STREQ(kept, nearLimit);
    EXPECT_EQ(4u, log.Entries(" * ").size());
}

class TempRoot : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CString temp = GetTempFolder(nullptr);
        ASSERT_FALSE(temp.IsEmpty());
        root.Format(L"%szn_support_%lu", temp.GetString(), GetCurrentProcessId());
        ASSERT_EQ(0, CreateDirectoryTree(root, nullptr, nullptr));
        root += L"\\";
    }
    void TearDown() override { ShellDeletePath(root.Left(root.GetLength() - 1), true); }
    CString root;
};

TEST_F(TempRoot, TemporaryFolderAndFiles)
{
    CString temp = GetTempFolder(L"");
    ASSERT_FALSE(temp.IsEmpty());
    EXPECT_EQ(L'\\', temp[temp.GetLength() - 1]);
    EXPECT_TRUE(FolderExists(temp));

    CString sub = GetTempFolder(L"znc_support_tmp");
    EXPECT_STREQ(temp + L"znc_support_tmp", sub);
    EXPECT_TRUE(FolderExists(sub));

    CString a = CreateTempFileName(L"znc_support_tmp");
    CString b = CreateTempFileName(L"znc_support_tmp");
    ASSERT_FALSE(a.IsEmpty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(FileExists(a));
    CString folder, name;
    SplitPath(a, folder, name);
    EXPECT_EQ(0, name.Find(L"znc"));
    EXPECT_EQ(name.GetLength() - 4, name.Find(L".tmp"));
    EXPECT_EQ(0, ShellDeletePath(a, true));
    EXPECT_EQ(0, ShellDeletePath(b, true));
    EXPECT_EQ(0, ShellDeletePath(sub, true));
    EXPECT_FALSE(FolderExists(sub));
}

TEST_F(TempRoot, ATemporaryFolderThatIsAFileIsRefused)
{
    // TMP naming a file, and a file where the sub-folder belongs: callers would write into nothing.
    const CString file = root + L"not_a_folder";
    CloseHandle(CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    wchar_t saved[MAX_PATH] = {};
    const DWORD had = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", file);
    const CString viaTmp = GetTempFolder(nullptr);
    SetEnvironmentVariableW(L"TMP", had ? saved : nullptr);
    EXPECT_TRUE(viaTmp.IsEmpty()) << viaTmp.GetString();
    CString blocked;
    blocked.Format(L"zn_support_blocked_%lu", GetCurrentProcessId());
    CloseHandle(CreateFileW(GetTempFolder(nullptr) + blocked, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_TRUE(GetTempFolder(blocked).IsEmpty());
    DeleteFileW(GetTempFolder(nullptr) + blocked);
}

TEST_F(TempRoot, FolderTreesAndExistence)
{
    LogCapture log;
    CString deep = root + L"one\\two\\\u65E5\u672C";
    EXPECT_EQ(0, CreateDirectoryTree(deep, nullptr, nullptr));
    EXPECT_EQ(0, CreateDirectoryTree(deep, nullptr, nullptr)) << "an existing folder is fine";
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_TRUE(FolderExists(deep));
    EXPECT_TRUE(FolderExists(deep + L"\\"));
    EXPECT_FALSE(FileExists(deep));

    CString file = deep + L"\\f.txt";
    HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_FALSE(FileExists(root + L"missing.txt"));
    EXPECT_FALSE(FolderExists(root + L"missing"));
    EXPECT_FALSE(FolderExists(L""));
    EXPECT_FALSE(FileExists(L""));
    EXPECT_TRUE(FolderExists(L"C:\\Windows\\"));
    EXPECT_FALSE(FileExists(L"C:\\Windows"));

    // A file where a folder of the tree should be: the system's error, logged.
    EXPECT_NE(0, CreateDirectoryTree(file + L"\\below", nullptr, nullptr));
    EXPECT_EQ(1u, log.Entries(" * ").size());

    // Deleting a folder takes its contents.
    EXPECT_EQ(0, ShellDeletePath(root + L"one", true));
    EXPECT_FALSE(FolderExists(root + L"one"));
}

TEST_F(TempRoot, OverLongPaths)
{
    LogCapture log;
    CString longPath = L"C:\\" + CString(L'p', 258);  // 261 characters
    EXPECT_EQ(-1, ShellDeletePath(longPath, true));
    EXPECT_EQ(1u, log.Entries(" * ").size());
    EXPECT_FALSE(FileExists(longPath));
    EXPECT_FALSE(FolderExists(longPath));
    // A sub-folder name too long to join: no folder, and no file in the parent folder
    // that the caller never asked for.
    EXPECT_TRUE(GetTempFolder(CString(L's', 300)).IsEmpty());
    EXPECT_TRUE(CreateTempFileName(CString(L's', 300)).IsEmpty());
}

TEST(SupportFiles, ShellFolders)
{
    wchar_t path[MAX_PATH] = {};
    EXPECT_TRUE(GetShellFolderPath(nullptr, path, CSIDL_LOCAL_APPDATA, true));
    EXPECT_TRUE(FolderExists(path));
    EXPECT_TRUE(GetShellFolderPath(nullptr, path, CSIDL_COMMON_APPDATA, false));
    LogCapture log;
    EXPECT_FALSE(GetShellFolderPath(nullptr, path, 0x7F, false)) << "no such folder id";
    EXPECT_EQ(1u, log.Entries(" * ").size());
}

} // namespace
