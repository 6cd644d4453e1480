// The program log read back byte by byte: entry layout, UTF-8, padding to the reference
// column, continuation lines, thread letters, rotation, fall-back and sticky silence.
#include "Log/LogMan.h"
#include "SupportFiles.h"

#include "TestFiles.h"

#include <gmock/gmock.h>

#include <set>
#include <thread>
#include <vector>

using namespace zntest;

namespace {

SYSTEMTIME g_now;

void WINAPI FixedNow(LPSYSTEMTIME now)
{
    *now = g_now;
}

void SetNow(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    g_now = SYSTEMTIME{year, month, 0, day, hour, minute, second, 0};
}

std::wstring Blanks(size_t n)
{
    return std::wstring(n, L' ');
}

// 2026-12-07 17:19:24, written by the opening thread: 24 characters with the mark.
const std::wstring kPrefix = L"[-] 26-12-07 17:19:24";

class LogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetNow(2026, 12, 7, 17, 19, 24);
        log.SetTimeSource(FixedNow);
        path = folder.Path(L"znc_log_exec.txt");
    }

    // Truncating open: the file holds nothing but the entries that follow.
    void OpenFresh() { ASSERT_EQ(log.OpenFile(path.c_str(), L'-', FALSE, 0, 51200), 0); }
    std::string Contents() const { return ReadBytes(path); }
    std::wstring Copy(int n) const { return folder.Path((L"znc_log_exec." + std::to_wstring(n) + L".txt").c_str()); }

    TempFolder folder;
    CLogMan log;
    std::wstring path;
};

TEST_F(LogFile, EntryLayout)
{
    struct Case {
        std::wstring text;
        int level;
        const char* source;
        int line;
        std::wstring expected;
        const char* why;
    };
    const std::wstring x100(100, L'x');
    const std::wstring x127(127, L'x');
    const std::wstring x128(128, L'x');
    const std::wstring x200(200, L'x');
    const Case cases[] = {
        {L"hello", LOG_INFO, "C:\\src\\clock\\App.cpp", 42, kPrefix + L" - hello" + Blanks(123) + L"[App.cpp:42]",
         "reference at column 153"},
        {L"hello", LOG_DETAIL, "App.cpp", 1, kPrefix + L" . hello" + Blanks(123) + L"[App.cpp:1]", "detail mark"},
        {L"hello", LOG_WARNING, "App.cpp", 1, kPrefix + L" W hello" + Blanks(123) + L"[App.cpp:1]", "warning mark"},
        {L"hello", LOG_ERROR, "App.cpp", 1, kPrefix + L" * hello" + Blanks(123) + L"[App.cpp:1]", "error mark"},
        {L"hello", 7, "App.cpp", 1, kPrefix + L"hello" + Blanks(126) + L"[App.cpp:1]", "unknown level: no mark"},
        {x100, LOG_INFO, "f.cpp", 3, kPrefix + L" - " + x100 + Blanks(28) + L"[f.cpp:3]", "100 characters: 28 blanks"},
        {x127, LOG_INFO, "f.cpp", 3, kPrefix + L" - " + x127 + L" [f.cpp:3]", "one blank left"},
        {x128, LOG_INFO, "f.cpp", 3, kPrefix + L" - " + x128 + L" - [f.cpp:3]", "column filled: separator"},
        {x200, LOG_INFO, "f.cpp", 3, kPrefix + L" - " + x200 + L" - [f.cpp:3]", "overlong: separator"},
        {L"", LOG_INFO, "f.cpp", 3, kPrefix + L" - " + Blanks(128) + L"[f.cpp:3]", "empty text"},
        {L"p", LOG_INFO, "/work/clock/Log/LogMan.cpp", 9, kPrefix + L" - p" + Blanks(127) + L"[LogMan.cpp:9]",
         "forward slashes of the cross compiler"},
        {L"p", LOG_INFO, nullptr, 9, kPrefix + L" - p" + Blanks(127) + L"[:9]", "no source file"},
        {L"a\r\nb\rc\n\n\n", LOG_INFO, "t.cpp", 1,
         kPrefix + L" - a" + Blanks(127) + L"[t.cpp:1]\r\n" + Blanks(21) + L" - b\r\n" + Blanks(21) + L" - c",
         "CR LF, lone CR, trailing newlines dropped"},
        {L"a\n\n\nb", LOG_ERROR, "t.cpp", 1,
         kPrefix + L" * a" + Blanks(127) + L"[t.cpp:1]\r\n" + Blanks(21) + L" * \r\n" + Blanks(21) + L" * b",
         "three newlines become two"},
        {L"\n\n", LOG_INFO, "t.cpp", 1, kPrefix + L" - " + Blanks(128) + L"[t.cpp:1]", "only newlines"},
        {L"\nb", LOG_WARNING, "t.cpp", 1, kPrefix + L" W " + Blanks(128) + L"[t.cpp:1]\r\n" + Blanks(21) + L" W b",
         "empty first line"},
        {L"a\nb", 9, "t.cpp", 1, kPrefix + L"a" + Blanks(130) + L"[t.cpp:1]\r\n" + Blanks(18) + L"b",
         "no mark: indent of prefix minus 3"},
    };
    for (const Case& c : cases) {
        CLogMan fresh;
        fresh.SetTimeSource(FixedNow);
        ASSERT_EQ(fresh.OpenFile(path.c_str(), L'-', FALSE, 0, 51200), 0);
        CLogMan::LogLine(&fresh, c.text.c_str(), c.level, c.source, c.line);
        fresh.Close();
        EXPECT_EQ(Contents(), Utf8(c.expected + L"\r\n")) << c.why;
    }
}

TEST_F(LogFile, Utf8WithoutByteOrderMark)
{
    OpenFresh();
    // é, the euro sign and a character outside the basic plane (two UTF-16 units).
    CLogMan::LogLine(&log, L"\u00e9\u20ac\U0001F600", LOG_INFO, "u.cpp", 2);
    std::string bytes = Contents();
    std::string expected = "[-] 26-12-07 17:19:24 - \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" + std::string(124, ' ') +
                           "[u.cpp:2]\r\n";
    EXPECT_EQ(bytes, expected) << "padding counts UTF-16 units";
}

TEST_F(LogFile, AppendingStartsWithTwoEmptyLines)
{
    WriteBytes(path, "old");
    ASSERT_EQ(log.OpenFile(path.c_str(), L'-', TRUE, 0, 51200), 0);
    CLogMan::LogLine(&log, L"new", LOG_INFO, "a.cpp", 1);
    EXPECT_EQ(Contents(), Utf8(L"old\r\n\r\n" + kPrefix + L" - new" + Blanks(125) + L"[a.cpp:1]\r\n"));
}

TEST_F(LogFile, YearPrintedMinus2000Unpadded)
{
    const struct {
        WORD year;
        std::wstring prefix;
    } cases[] = {
        {2005, L"[-] 5-01-02 03:04:05 - "},
        {2010, L"[-] 10-01-02 03:04:05 - "},
        {2126, L"[-] 126-01-02 03:04:05 - "},
    };
    for (const auto& c : cases) {
        SetNow(c.year, 1, 2, 3, 4, 5);
        CLogMan fresh;
        fresh.SetTimeSource(FixedNow);
        ASSERT_EQ(fresh.OpenFile(path.c_str(), L'-', FALSE, 0, 51200), 0);
        CLogMan::LogLine(&fresh, L"y\nz", LOG_INFO, "y.cpp", 1);
        fresh.Close();
        std::wstring indent = Blanks(c.prefix.size() - 3) + L" - ";
        EXPECT_EQ(Contents(), Utf8(c.prefix + L"y" + Blanks(151 - c.prefix.size()) + L"[y.cpp:1]\r\n" + indent +
                                   L"z\r\n"))
            << c.year;
    }
}

TEST_F(LogFile, ThreadLetters)
{
    OpenFresh();
    std::thread([this] { CLogMan::LogLine(&log, L"worker", LOG_INFO, "t.cpp", 1); }).join();
    std::thread([this] {
        log.RegisterThread(L'S');
        CLogMan::LogLine(&log, L"sound", LOG_INFO, "t.cpp", 2);
        log.UnregisterThread();
    }).join();
    log.RegisterThread(L'Q');
    CLogMan::LogLine(&log, L"main", LOG_INFO, "t.cpp", 3);
    log.UnregisterThread();
    CLogMan::LogLine(&log, L"gone", LOG_INFO, "t.cpp", 4);

    std::string bytes = Contents();
    EXPECT_THAT(bytes, ::testing::StartsWith("[*] 26-12-07 17:19:24 - worker ")) << "never opened the log";
    EXPECT_THAT(bytes, ::testing::HasSubstr("\r\n[S] 26-12-07 17:19:24 - sound ")) << "registered worker";
    EXPECT_THAT(bytes, ::testing::HasSubstr("\r\n[-] 26-12-07 17:19:24 - main ")) << "existing letter kept";
    EXPECT_THAT(bytes, ::testing::HasSubstr("\r\n[*] 26-12-07 17:19:24 - gone ")) << "unregistered";
}

TEST_F(LogFile, LogError)
{
    OpenFresh();
    EXPECT_EQ(CLogMan::LogError(&log, 0, L"", LOG_ERROR, "e.cpp", 1), 0u);
    EXPECT_EQ(CLogMan::LogError(&log, 0, nullptr, LOG_ERROR, "e.cpp", 1), 0u);
    EXPECT_EQ(Contents(), "") << "code 0 with an empty text writes nothing";

    EXPECT_EQ(CLogMan::LogError(&log, 5, L"x", LOG_ERROR, "e.cpp", 2), 5u);
    EXPECT_EQ(CLogMan::LogError(&log, 0, L"y", LOG_WARNING, "e.cpp", 3), 0u);
    EXPECT_EQ(CLogMan::LogError(&log, 0x80070020, L"", LOG_ERROR, "e.cpp", 4), 0x80070020u);
    EXPECT_EQ(Contents(), Utf8(kPrefix + L" * 0x00000005 x" + Blanks(116) + L"[e.cpp:2]\r\n" + kPrefix +
                               L" W 0000000000 y" + Blanks(116) + L"[e.cpp:3]\r\n" + kPrefix + L" * 0x80070020 " +
                               Blanks(117) + L"[e.cpp:4]\r\n"));

    EXPECT_EQ(CLogMan::LogError(nullptr, 7, L"z", LOG_ERROR, "e.cpp", 5), 7u) << "null log";
    log.Close();
    EXPECT_EQ(CLogMan::LogError(&log, 8, L"z", LOG_ERROR, "e.cpp", 6), 8u) << "closed log";
    CLogMan::LogLine(&log, L"closed", LOG_INFO, "e.cpp", 7);
    CLogMan::LogLine(nullptr, L"null", LOG_INFO, "e.cpp", 8);
    EXPECT_THAT(Contents(), ::testing::Not(::testing::HasSubstr(" z ")));
    EXPECT_THAT(Contents(), ::testing::Not(::testing::HasSubstr("closed")));
}

TEST_F(LogFile, AppLogMacros)
{
    OpenFresh();
    SetAppLogMan(&log);
    ZN_LOG(LOG_WARNING, L"count " << 42 << L" " << L"items");
    DWORD code = ZN_LOG_ERROR(ERROR_ACCESS_DENIED, L"denied", LOG_ERROR);
    SetAppLogMan(nullptr);
    ZN_LOG(LOG_INFO, L"after");
    EXPECT_EQ(code, 5u);
    std::string bytes = Contents();
    EXPECT_THAT(bytes, ::testing::StartsWith("[-] 26-12-07 17:19:24 W count 42 items "));
    EXPECT_THAT(bytes, ::testing::HasSubstr("\r\n[-] 26-12-07 17:19:24 * 0x00000005 denied "));
    EXPECT_THAT(bytes, ::testing::HasSubstr("[LogManTest.cpp:"));
    EXPECT_THAT(bytes, ::testing::Not(::testing::HasSubstr("after")));
}

TEST_F(LogFile, RotationShiftsCopies)
{
    WriteBytes(path, std::string(60000, 'L'));
    WriteBytes(Copy(1), "one");
    WriteBytes(Copy(2), "two");
    WriteBytes(Copy(3), "three");

    EXPECT_EQ(log.Open(path.c_str(), L'-', 3, 51200), 0);
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(Contents(), "\r\n\r\n") << "new live file";
    EXPECT_EQ(ReadBytes(Copy(1)), std::string(60000, 'L'));
    EXPECT_EQ(ReadBytes(Copy(2)), "one");
    EXPECT_EQ(ReadBytes(Copy(3)), "two");
    EXPECT_FALSE(FileExists(Copy(4)));
}

TEST_F(LogFile, NoRotationAtTheLimitOrWithoutKeepCount)
{
    WriteBytes(path, std::string(51200, 'L'));
    EXPECT_EQ(log.Open(path.c_str(), L'-', 3, 51200), 0);
    log.Close();
    EXPECT_FALSE(FileExists(Copy(1))) << "exactly the limit";
    EXPECT_EQ(log.OpenFile(path.c_str(), L'-', TRUE, 0, 100), 0);
    log.Close();
    EXPECT_FALSE(FileExists(Copy(1))) << "keep count 0 (reopen after resume)";
    EXPECT_EQ(Contents().size(), 51200u + 8u);
}

TEST_F(LogFile, RotationOfANameWithoutDot)
{
    std::wstring live = folder.Path(L"execlog");
    WriteBytes(live, std::string(300, 'L'));
    WriteBytes(folder.Path(L"execlog1"), "one");
    WriteBytes(folder.Path(L"execlog2"), "two");
    ASSERT_EQ(log.OpenFile(live.c_str(), L'-', TRUE, 2, 200), 0);
    EXPECT_EQ(ReadBytes(folder.Path(L"execlog1")), std::string(300, 'L'));
    EXPECT_EQ(ReadBytes(folder.Path(L"execlog2")), "one");
    EXPECT_FALSE(FileExists(folder.Path(L"execlog3")));
}

TEST_F(LogFile, RotationStopsAtACopyThatIsAFolder)
{
    WriteBytes(path, std::string(300, 'L'));
    WriteBytes(Copy(1), "one");
    CreateDirectoryW(Copy(2).c_str(), nullptr);
    ASSERT_EQ(log.OpenFile(path.c_str(), L'-', TRUE, 3, 200), 0);
    EXPECT_EQ(ReadBytes(Copy(1)), "one") << "rename onto a folder fails: rotation ends";
    EXPECT_EQ(Contents(), std::string(300, 'L') + "\r\n\r\n") << "the live file keeps growing";
}

TEST_F(LogFile, ReopenOfAnOverlongOpenFile)
{
    ASSERT_EQ(log.Open(path.c_str(), L'-', 3, 51200), 0);
    for (int i = 0; i < 3; ++i) CLogMan::LogLine(&log, L"filler", LOG_INFO, "r.cpp", i);
    ULONGLONG length = Contents().size();
    EXPECT_EQ(log.Open(path.c_str(), L'-', 3, 51200), 0) << "under the limit: nothing happens";
    EXPECT_EQ(Contents().size(), length);

    EXPECT_EQ(log.Open(path.c_str(), L'-', 3, 200), 1);
    EXPECT_EQ(ReadBytes(Copy(1)).size(), length);
    std::wstring text = std::to_wstring(length) + L" 200 " + path + L" [1,1]";
    std::string bytes = Contents();
    EXPECT_THAT(bytes, ::testing::StartsWith(Utf8(L"\r\n\r\n" + kPrefix + L" - " + text + Blanks(128 - text.size()) +
                                                  L"[LogMan.cpp:")))
        << "the reopen entry";
    EXPECT_EQ(bytes.find("\r\n", 4), bytes.size() - 2) << "one entry";
}

// The live file held by another process: the exclusive probe fails, the rotation is
// abandoned, the log appends to the large file and names the violation.
TEST_F(LogFile, FileHeldByAnotherProcess)
{
    WriteBytes(path, std::string(60000, 'L'));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_list_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    // A suspended child never runs; it only holds the inherited handle.
    ASSERT_TRUE(CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                               &startup, &child));
    CloseHandle(held);

    EXPECT_EQ(log.Open(path.c_str(), L'-', 3, 51200), 0);
    log.Close();
    TerminateProcess(child.hProcess, 0);
    WaitForSingleObject(child.hProcess, 5000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);

    std::string bytes = Contents();
    EXPECT_FALSE(FileExists(Copy(1)));
    ASSERT_GT(bytes.size(), 60004u);
    EXPECT_EQ(bytes.substr(0, 60004), std::string(60000, 'L') + "\r\n\r\n");
    EXPECT_THAT(bytes.substr(60004), ::testing::StartsWith(Utf8(kPrefix + L" * 0x0000000b " + path + L" ")));
}

// A failed write silences the log for the rest of the run, across close and reopen.
TEST_F(LogFile, StickySilenceAfterAFailedWrite)
{
    OpenFresh();
    CLogMan::LogLine(&log, L"before", LOG_INFO, "s.cpp", 1);
    std::string before = Contents();

    // A read-only handle in the log's place makes the next write fail.
    log.m_hFile.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(log.m_hFile.IsValid());
    CLogMan::LogLine(&log, L"lost", LOG_INFO, "s.cpp", 2);
    EXPECT_EQ(log.m_lastWriteError, CFileException::accessDenied);
    log.Flush();
    log.Close();

    ASSERT_EQ(log.OpenFile(path.c_str(), L'-', TRUE, 0, 102400), 0) << "reopen after resume";
    CLogMan::LogLine(&log, L"after", LOG_WARNING, "s.cpp", 3);
    log.Flush();
    EXPECT_EQ(Contents(), before) << "not even the two empty lines";
    EXPECT_EQ(log.m_lastWriteError, CFileException::accessDenied);
}

class LogFallback : public LogFile
{
protected:
    void SetUp() override
    {
        LogFile::SetUp();
        log.SetTempFileSource(CreateTempFileName);
    }

    void TearDown() override
    {
        std::wstring temp(log.GetFilePath());
        log.Close();
        if (temp != path) DeleteFileW(temp.c_str());
    }

    void ExpectTemporaryFile(const std::wstring& failedPath, unsigned code)
    {
        ASSERT_TRUE(log.IsOpen());
        std::wstring temp(log.GetFilePath());
        EXPECT_THAT(temp, ::testing::StartsWith(TempFolderPath() + L"znc_log_tmp\\znc"));
        EXPECT_THAT(temp, ::testing::EndsWith(L".tmp"));
        std::string bytes = ReadBytes(temp);
        wchar_t hex[16];
        swprintf(hex, 16, L"0x%08x", code);
        EXPECT_THAT(bytes, ::testing::HasSubstr(Utf8(kPrefix + L" * " + hex + L" " + Blanks(117) + L"[LogMan.cpp:")));
        EXPECT_THAT(bytes, ::testing::HasSubstr(Utf8(kPrefix + L" * " + hex + L" " + failedPath + L" ")));
        EXPECT_THAT(bytes, ::testing::HasSubstr(Utf8(kPrefix + L" - " + temp + L" ")));
        EXPECT_THAT(bytes, ::testing::Not(::testing::StartsWith("\r\n"))) << "the temporary file is truncated";
    }
};

TEST_F(LogFallback, UnwritablePath)
{
    std::wstring missing = folder.Path(L"missing\\deeper\\znc_log_exec.txt");
    EXPECT_EQ(log.OpenFile(missing.c_str(), L'-', TRUE, 3, 51200), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(log.Open(missing.c_str(), L'-', 3, 51200), 0);
    ExpectTemporaryFile(missing, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
}

TEST_F(LogFallback, EmptyPath)
{
    EXPECT_EQ(log.OpenFile(L"", L'-', TRUE, 3, 51200), 1);
    EXPECT_EQ(log.OpenFile(nullptr, L'-', TRUE, 3, 51200), 1);
    EXPECT_EQ(log.Open(L"", L'-', 3, 51200), 0);
    ExpectTemporaryFile(L"", 1);
}

TEST_F(LogFallback, DirectoryAsLogPath)
{
    std::wstring directory = folder.Path(L"logdir");
    ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
    EXPECT_EQ(log.Open(directory.c_str(), L'-', 3, 51200), 0);
    ExpectTemporaryFile(directory, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    // The access-denied retry rotated first; its entry waited for an open file.
    EXPECT_THAT(ReadBytes(std::wstring(log.GetFilePath())),
                ::testing::StartsWith(Utf8(kPrefix + L" * " + directory + L" ")));
}

// Many threads at once: every entry complete, none interleaved, none lost.
TEST_F(LogFile, ConcurrentEntries)
{
    OpenFresh();
    const int threads = 12;
    const int entries = 150;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([this, t] {
            for (int i = 0; i < entries; ++i) {
                std::wstring text = L"thread " + std::to_wstring(t) + L" entry " + std::to_wstring(i) + L"\nsecond";
                CLogMan::LogLine(&log, text.c_str(), LOG_INFO, "c.cpp", t);
            }
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(log.m_lastWriteError, 0);

    std::string bytes = Contents();
    std::set<std::pair<int, int>> seen;
    size_t pos = 0;
    int lines = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "unterminated entry";
        std::string first = bytes.substr(pos, end - pos);
        size_t end2 = bytes.find("\r\n", end + 2);
        ASSERT_NE(end2, std::string::npos);
        std::string second = bytes.substr(end + 2, end2 - end - 2);
        pos = end2 + 2;
        ++lines;
        int t = -1, i = -1, line = -2;
        ASSERT_EQ(sscanf(first.c_str(), "[*] 26-12-07 17:19:24 - thread %d entry %d", &t, &i), 2) << first;
        ASSERT_EQ(first.size(), 152u + std::string("[c.cpp:]").size() + std::to_string(t).size()) << first;
        ASSERT_EQ(sscanf(first.c_str() + 152, "[c.cpp:%d]", &line), 1) << first;
        EXPECT_EQ(line, t);
        EXPECT_EQ(second, std::string(21, ' ') + " - second");
        EXPECT_TRUE(seen.insert({t, i}).second) << "duplicate " << t << " " << i;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(threads * entries));
}

// Closing and reopening while other threads write (suspend and resume) never silences the log.
TEST_F(LogFile, CloseWhileOthersWrite)
{
    OpenFresh();
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([this, &stop] {
            while (!stop) CLogMan::LogLine(&log, L"busy", LOG_INFO, "w.cpp", 1);
        });
    }
    for (int round = 0; round < 50; ++round) {
        log.Close();
        ASSERT_EQ(log.OpenFile(path.c_str(), L'-', TRUE, 0, 1u << 30), 0);
    }
    stop = true;
    for (auto& w : workers) w.join();
    EXPECT_EQ(log.m_lastWriteError, 0);
    std::string bytes = Contents();
    std::string entry = "[*] 26-12-07 17:19:24 - busy" + std::string(124, ' ') + "[w.cpp:1]";
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty()) {
            ASSERT_EQ(line, entry);
        }
        pos = end + 2;
    }
}

TEST(LogText, HexText)
{
    const struct {
        ULONG_PTR value;
        BOOL wide;
        const wchar_t* expected;
    } cases[] = {
        {0, TRUE, L"0x00000000"},        {5, TRUE, L"0x00000005"},         {0x80070005, TRUE, L"0x80070005"},
        {0x123456789, TRUE, L"0x123456789"}, {0, FALSE, L"0x0000"},        {0x40d, FALSE, L"0x040d"},
        {0x12345, FALSE, L"0x12345"},
    };
    for (const auto& c : cases) EXPECT_EQ(HexText(c.value, c.wide), c.expected) << c.value << " " << c.wide;

    EXPECT_EQ(HexText64(0), L"0x0000000000000000");
    EXPECT_EQ(HexText64(1), L"0x0000000000000001");
    EXPECT_EQ(HexText64(~0ull), L"0xffffffffffffffff");
}

} // namespace
