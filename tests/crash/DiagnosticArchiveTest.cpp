// The zip writer and the diagnostic archive, each archive checked by Debian's unzip: the
// names it holds, the files it leaves out (filtered, locked, unreadable) and what it leaves
// behind; the archive made on demand while the user-interface thread keeps running.
#include "CrashReport/PrepareLogsData.h"
#include "CrashTestSupport.h"
#include "LogCapture.h"
#include "ProfileTestApp.h"
#include "StringTable.h"
#include "SupportTools/ZipHelper.h"
#include "SupportUtilities.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

using namespace crashtest;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

TEST(ZipHelperTest, FilterNamesAndLockedFiles)
{
    LogCapture log;
    zntest::TempFolder folder;
    CreateDirectoryW(folder.Path(L"sub").c_str(), nullptr);
    CreateDirectoryW(folder.Path(L"empty").c_str(), nullptr);
    zntest::WriteBytes(folder.Path(L"a.TXT"), "a");
    zntest::WriteBytes(folder.Path(L"b.dmp"), "b");
    zntest::WriteBytes(folder.Path(L"c.reg"), "c");
    zntest::WriteBytes(folder.Path(L"sub\\file.txt"), std::string(50 << 20, 'x'));
    zntest::WriteBytes(folder.Path(L"sub\\na\u00efve.txt"), "n");
    zntest::WriteBytes(folder.Path(L"locked.txt"), "l");
    HANDLE locked = CreateFileW(folder.Path(L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::wstring zip = zntest::UniqueTempPath(L"zn_zip", L".zip");

    CZipHelper writer;
    EXPECT_EQ(writer.AddFolder(L"Base", folder.Path().c_str(), TRUE, FALSE), 0) << "nothing open yet";
    ASSERT_TRUE(writer.Open(zip.c_str()));
    EXPECT_FALSE(writer.Open(zip.c_str())) << "one archive at a time";
    EXPECT_EQ(writer.AddFolder(L"Base", folder.Path(L"empty").c_str(), TRUE, FALSE), 0);
    EXPECT_EQ(writer.AddFolder(L"Base", folder.Path().c_str(), TRUE, FALSE), 4) << "c.reg filtered, locked.txt left out";
    EXPECT_EQ(writer.AddFile(L"", folder.Path(L"c.reg").c_str(), FALSE, FALSE), TRUE) << "no filter";
    EXPECT_TRUE(writer.Close());
    CloseHandle(locked);

    std::string output;
    EXPECT_TRUE(UnzipTestPasses(zip, &output)) << output;
    // The name is stored in the ANSI code page; unzip reads it as the DOS one.
    EXPECT_THAT(UnzipListing(zip), ElementsAre("Base\\a.TXT", "Base\\b.dmp", "Base\\sub\\file.txt",
                                               testing::MatchesRegex("Base.sub.na.ve\\.txt"), "c.reg"));
    EXPECT_THAT(log.Text(), HasSubstr("locked.txt")) << "what was left out is in the log";
    DeleteFileW(zip.c_str());
}

TEST(ZipHelperTest, DeletesWhatItAddedUnlessTheFileIsHeld)
{
    LogCapture log;
    zntest::TempFolder folder;
    zntest::WriteBytes(folder.Path(L"gone.txt"), "g");
    zntest::WriteBytes(folder.Path(L"held.txt"), "h");
    HANDLE held = CreateFileW(folder.Path(L"held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    const std::wstring zip = zntest::UniqueTempPath(L"zn_zip", L".zip");
    CZipHelper writer;
    ASSERT_TRUE(writer.Open(zip.c_str()));
    EXPECT_EQ(writer.AddFolder(L"", folder.Path().c_str(), TRUE, TRUE), 2);
    EXPECT_TRUE(writer.Close());
    CloseHandle(held);
    EXPECT_FALSE(zntest::FileExists(folder.Path(L"gone.txt")));
    EXPECT_TRUE(zntest::FileExists(folder.Path(L"held.txt")));
    EXPECT_THAT(log.Texts(" * "), testing::Contains(testing::HasSubstr("held.txt"))) << "the failed delete is logged";
    EXPECT_TRUE(UnzipTestPasses(zip));
    EXPECT_THAT(UnzipListing(zip), ElementsAre("gone.txt", "held.txt"));
    EXPECT_FALSE(writer.Open(L"Z:\\zn-no-such-folder\\x.zip")) << "an archive path that cannot be written";
    DeleteFileW(zip.c_str());
}

// A disk that cannot read a file past its first kReadable bytes.
template <LONGLONG kReadable>
BOOL WINAPI FailPast(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    LARGE_INTEGER at{};
    if (SetFilePointerEx(file, LARGE_INTEGER{}, &at, FILE_CURRENT) && at.QuadPart >= kReadable) {
        *read = 0;
        SetLastError(ERROR_CRC);
        return FALSE;
    }
    return ReadFile(file, buffer, size, read, overlapped);
}

// A source whose reading fails, at once (this process's memory file: its first page is not
// mapped) or after its first chunk, leaves an entry that fails unzip's check instead of one
// that passes for the whole file, and is not deleted; the other entries stay sound.
TEST(ZipHelperTest, EntryThatCouldNotBeReadWholeFailsTheCheck)
{
    LogCapture log;
    zntest::TempFolder folder;
    zntest::WriteBytes(folder.Path(L"whole.txt"), "w");
    zntest::WriteBytes(folder.Path(L"cut.dmp"), std::string(40000, 'c'));
    const struct {
        std::wstring source;
        ZipReadFn read;
        const char* entry;
    } cases[] = {{L"Z:\\proc\\self\\mem", ReadFile, "mem"}, {folder.Path(L"cut.dmp"), FailPast<16384>, "cut.dmp"}};
    for (const auto& c : cases) {
        const std::wstring zip = zntest::UniqueTempPath(L"zn_zip", L".zip");
        CZipHelper writer(c.read);
        ASSERT_TRUE(writer.Open(zip.c_str()));
        EXPECT_FALSE(writer.AddFile(L"", c.source.c_str(), FALSE, TRUE)) << c.entry;
        EXPECT_TRUE(writer.AddFile(L"", folder.Path(L"whole.txt").c_str(), FALSE, FALSE));
        EXPECT_TRUE(writer.Close());
        std::string output;
        EXPECT_FALSE(UnzipTestPasses(zip, &output));
        EXPECT_THAT(output, testing::ContainsRegex(std::string(c.entry) + " +bad CRC"));
        EXPECT_THAT(output, testing::ContainsRegex("whole.txt +OK"));
        EXPECT_TRUE(zntest::FileExists(c.source)) << c.entry;
        DeleteFileW(zip.c_str());
    }
}

// An archive that cannot be finished (its file is the full device, so the close fails)
// deletes none of its sources: they are all that is left.
TEST(ZipHelperTest, ArchiveThatCannotBeFinishedKeepsItsSources)
{
    LogCapture log;
    zntest::TempFolder folder;
    zntest::WriteBytes(folder.Path(L"settings.txt"), "s");
    ASSERT_TRUE(MakeUnixLink(folder.Path(L"full.zip"), "/dev/full"));
    CZipHelper writer;
    ASSERT_TRUE(writer.Open(folder.Path(L"full.zip").c_str()));
    EXPECT_TRUE(writer.AddFile(L"", folder.Path(L"settings.txt").c_str(), TRUE, TRUE));
    EXPECT_FALSE(writer.Close());
    EXPECT_TRUE(zntest::FileExists(folder.Path(L"settings.txt")));
    RemoveUnixLink(folder.Path(L"full.zip"));
}

TEST(DiagnosticArchiveTest, NameFollowsTheLocalTimeAndTheRequest)
{
    SYSTEMTIME crash{2026, 12, 1, 7, 9, 5, 0, 0};
    EXPECT_EQ(DiagnosticArchiveName(crash, true, LOGS_NONE), L"znc-bugreport-2026-12-07-0905.zip");
    EXPECT_EQ(DiagnosticArchiveName(crash, false, LOGS_ALL), L"znc-logs-all-2026-12-07-0905.zip");
    EXPECT_EQ(DiagnosticArchiveName(SYSTEMTIME{}, false, LOGS_SYNC), L"znc-logs-0-00-00-0000.zip");
}

// The archive builder with the test's own temporary folder, log and settings store.
class PrepareLogsTest : public testing::Test
{
protected:
    PrepareLogsTest() : m_app(L"CrashArchiveTest")
    {
        GetEnvironmentVariableW(L"TMP", m_oldTmp, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", m_temp.Path().c_str());
        m_app.WriteProfileInt(L"Common", L"XY", 7);
    }
    ~PrepareLogsTest() override
    {
        SetEnvironmentVariableW(L"TMP", m_oldTmp);
        m_app.ClearStore();
    }

    zntest::TempFolder m_temp;
    ProfileTestApp m_app;
    LogCapture m_log;
    wchar_t m_oldTmp[MAX_PATH] = {};
};

TEST_F(PrepareLogsTest, CrashRequestPacksDumpSettingsAndLogAndLeavesOnlyTheArchive)
{
    zntest::WriteBytes(m_temp.Path(L"zn_bug_dump-1.dmp"), std::string(1000, 'd'));
    CPrepareLogsData request;
    request.SetRequest(LOGS_NONE, 1, 1, m_temp.Path(L"zn_bug_dump-1.dmp").c_str());
    request.PrepareZipReal();
    const std::wstring zip = request.m_zipPath.GetString();
    ASSERT_FALSE(zip.empty());
    EXPECT_EQ(zip.rfind(m_temp.Path(L"Zarnock Dump Files\\znc-bugreport-"), 0), 0u);
    EXPECT_TRUE(UnzipTestPasses(zip));
    EXPECT_THAT(UnzipListing(zip), ElementsAre("baselog.txt", "bugreport.dmp", "settings.txt"));
    EXPECT_EQ(FilesIn(m_temp.Path(L"Zarnock Dump Files")).size(), 1u) << "the copies went into the archive";
    EXPECT_TRUE(zntest::FileExists(m_temp.Path(L"zn_bug_dump-1.dmp"))) << "the dump itself stays";
}

// A copy the archive does not hold whole stays for the user to send by hand: the dump cut
// short beside the archive, or every copy when no archive could be made.
TEST_F(PrepareLogsTest, CopiesNotStoredWholeStayInTheWorkFolder)
{
    const struct {
        ZipReadFn read;
        bool archive;
        std::vector<std::wstring> left;
    } cases[] = {
        {FailPast<16384>, true, {L"bugreport.dmp"}},
        {FailPast<0>, false, {L"baselog.txt", L"bugreport.dmp", L"settings.txt"}},
    };
    for (const auto& c : cases) {
        // A temporary folder of its own for each request.
        const std::wstring temp = m_temp.Path(c.archive ? L"archive\\" : L"none\\");
        CreateDirectoryW(temp.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", temp.c_str());
        zntest::WriteBytes(temp + L"zn_bug_dump-1.dmp", std::string(40000, 'd'));
        CPrepareLogsData request;
        request.SetRequest(LOGS_NONE, 1, 1, (temp + L"zn_bug_dump-1.dmp").c_str());
        request.m_readSource = c.read;
        request.PrepareZipReal();
        const CString& zip = request.m_zipPath;
        EXPECT_EQ(zip.IsEmpty(), !c.archive);
        std::vector<std::wstring> left = c.left;
        if (!zip.IsEmpty()) left.push_back(zip.Mid(zip.ReverseFind(L'\\') + 1).GetString());
        EXPECT_EQ(FilesIn(temp + L"Zarnock Dump Files"), left) << c.archive;
    }
}

TEST_F(PrepareLogsTest, NothingRequestedOrNoWorkFolderMakesNoArchive)
{
    CPrepareLogsData nothing;
    nothing.SetRequest(LOGS_NONE, 0, 0, nullptr);
    nothing.PrepareZipReal();
    EXPECT_TRUE(nothing.m_zipPath.IsEmpty());
    EXPECT_THAT(m_log.Entries(), ElementsAre(HasSubstr(" - Done ")));

    // A file where the work folder should be.
    zntest::WriteBytes(m_temp.Path(L"Zarnock Log Files"), "x");
    CPrepareLogsData blocked;
    blocked.SetRequest(LOGS_SYNC, 1, 0, nullptr);
    blocked.PrepareZipReal();
    EXPECT_TRUE(blocked.m_zipPath.IsEmpty());
    EXPECT_THAT(m_log.Texts(" * "), testing::Contains("no work folder Zarnock Log Files"));
}

VOID CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD);
int g_ticks = 0;
VOID CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

TEST_F(PrepareLogsTest, OnDemandArchiveOfTheLogFolderKeepsTheUserInterfaceRunning)
{
    const std::wstring logFolder = GetLogFolder(GetStr(SID_LOGS_FOLDER), nullptr).GetString();
    const std::wstring mine = L"zn_archive_test_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    zntest::WriteBytes(logFolder + L"\\" + mine, "mine");
    CPrepareLogsData request;
    request.SetRequest(LOGS_ALL, 1, 0, nullptr);
    g_ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, CountTick);
    EXPECT_EQ(RunWithProgress(nullptr, L"Preparing logs...", PrepareLogsThreadCallback, &request, 0, FALSE), S_OK);
    KillTimer(nullptr, timer);
    EXPECT_GT(g_ticks, 5) << "the thread kept dispatching while the archive was made";

    const std::wstring zip = request.m_zipPath.GetString();
    EXPECT_EQ(zip.rfind(m_temp.Path(L"Zarnock Log Files\\znc-logs-all-"), 0), 0u);
    EXPECT_TRUE(UnzipTestPasses(zip));
    EXPECT_THAT(UnzipListing(zip), testing::Contains("Base\\" + zntest::Utf8(mine)));
    EXPECT_TRUE(zntest::FileExists(logFolder + L"\\" + mine)) << "the log folder is never emptied";
    DeleteFileW((logFolder + L"\\" + mine).c_str());
}

} // namespace
