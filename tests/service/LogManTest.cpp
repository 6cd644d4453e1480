// The service log: entry layout, silence rules, ANSI text and the process-wide pointer.
#include "LogMan.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

std::wstring TempLogPath(const wchar_t* tag)
{
    return zntest::UniqueTempPath((std::wstring(L"kestrom-test-") + tag).c_str(), L".log");
}

std::string ReadAll(const std::wstring& path)
{
    return zntest::FileExists(path) ? zntest::ReadBytes(path) : "<missing>";
}

class LogManTest : public ::testing::Test
{
protected:
    void SetUp() override { m_path = TempLogPath(L"entries"); }
    void TearDown() override { DeleteFileW(m_path.c_str()); }
    std::wstring m_path;
};

TEST_F(LogManTest, EntryLayout)
{
    struct Case {
        DWORD code;
        const wchar_t* message;
        const char* source;
        int line;
        const char* expected;  // after the time of day
        const char* why;
    } cases[] = {
        {5, L"Failed", "C:\\src\\service\\Kestrom.cpp", 42,
            "\t0x00000005\tKestrom.cpp:42" "                          " "\tFailed\r\n", "base name after a backslash"},
        {0, L"Failed", "/work/service/Support.cpp", 7,
            "\t0000000000\tSupport.cpp:7" "                           " "\tFailed\r\n", "code 0 prints as ten zeros"},
        {0x8000FFFF, L"-foo", "Kestrom.cpp", 1,
            "\t0x8000ffff\tKestrom.cpp:1" "                           " "\t-foo\r\n", "unknown argument as the message"},
        {1314, L"", "Support.cpp", 99, "\t0x00000522\tSupport.cpp:99" "                          " "\t\r\n",
            "no message: the head and the line end"},
    };
    for (const auto& c : cases) {
        CLogMan log;
        ASSERT_EQ(0u, log.Recreate(m_path.c_str()));
        EXPECT_EQ(c.code, log.WriteEntry(c.code, c.message, c.source, c.line, L"", true)) << c.why;
        log.Close();
        std::string text = ReadAll(m_path);
        std::smatch time;
        ASSERT_TRUE(std::regex_search(text, time, std::regex("^\\[\\d\\d:\\d\\d:\\d\\d\\]"))) << c.why << ": " << text;
        EXPECT_EQ(c.expected, text.substr(10)) << c.why;
    }
}

TEST_F(LogManTest, ExtraTextAndNewlineFlag)
{
    CLogMan log;
    ASSERT_EQ(0u, log.Recreate(m_path.c_str()));
    log.WriteEntry(1, L"message", "a.cpp", 1, L"extra", false);
    log.WriteEntry(0, L"", "a.cpp", 2, L"", true);  // nothing at all: code 0, no texts
    log.WriteEntry(2, L"", "a.cpp", 3, L"", false);
    log.Close();
    std::string text = ReadAll(m_path);
    EXPECT_NE(std::string::npos, text.find("\textra\r\nmessage[")) << text;
    EXPECT_EQ(std::string::npos, text.find("a.cpp:2")) << text;
    EXPECT_NE(std::string::npos, text.find("a.cpp:3")) << text;
}

TEST_F(LogManTest, TextIsWrittenInTheAnsiCodePage)
{
    CLogMan log;
    ASSERT_EQ(0u, log.Recreate(m_path.c_str()));
    log.WriteEntry(1, L"Z\u00fcrich", "a.cpp", 1, L"", true);
    log.Close();
    char expected[16];
    int size = WideCharToMultiByte(CP_ACP, 0, L"Z\u00fcrich\r\n", -1, expected, sizeof expected, nullptr, nullptr);
    ASSERT_GT(size, 0);
    std::string text = ReadAll(m_path);
    EXPECT_EQ(expected, text.substr(text.size() - (size - 1))) << text;
}

TEST_F(LogManTest, RecreateTruncatesAnOldLog)
{
    {
        CLogMan log;
        log.Recreate(m_path.c_str());
        log.WriteEntry(1, L"first run", "a.cpp", 1, L"", true);
    }
    CLogMan log;
    ASSERT_EQ(0u, log.Recreate(m_path.c_str()));
    log.WriteEntry(1, L"second run", "a.cpp", 1, L"", true);
    log.Close();
    std::string text = ReadAll(m_path);
    EXPECT_EQ(std::string::npos, text.find("first run"));
    EXPECT_NE(std::string::npos, text.find("second run"));
}

TEST_F(LogManTest, AFileThatCannotBeMadeSilencesTheLog)
{
    CLogMan log;
    std::wstring bad = m_path + L".missing-folder\\kestrom.log";
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), log.Recreate(bad.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), log.StickyError());
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(7u, log.WriteEntry(7, L"lost", "a.cpp", 1, L"", true));
}

TEST_F(LogManTest, ASecondProcessCannotTakeTheFile)
{
    // Two processes cannot hold the log at once: the "-install" process must let go first.
    CLogMan service;
    ASSERT_EQ(0u, service.Recreate(m_path.c_str()));
    HANDLE other = CreateFileW(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, other);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    if (other != INVALID_HANDLE_VALUE)
        CloseHandle(other);
}

// Any local program can make the service fail connections as fast as it likes: the log
// takes a few of those failures a second and counts the rest, and stops at its size limit.
TEST_F(LogManTest, FailuresOfClientsCannotFillTheDisk)
{
    CLogMan log(4096);
    ASSERT_EQ(0u, log.Recreate(m_path.c_str()));
    for (int i = 0; i < 20000; ++i)
        KS_LOG_CLIENT_FAILED(ERROR_BROKEN_PIPE);
    log.WriteEntry(0, L"flood over", "a.cpp", 1, L"", true);
    std::string text = ReadAll(m_path);
    size_t logged = std::count(text.begin(), text.end(), '\n') - 2;
    EXPECT_LT(logged, 40u) << "a few a second";
    EXPECT_NE(std::string::npos, text.find("\t" + std::to_string(20000 - logged) + " more client failures not logged\r\n"))
        << text;
    for (int i = 0; i < 1000; ++i)
        KS_LOG_FAILED(5);
    log.Close();
    text = ReadAll(m_path);
    EXPECT_LE(text.size(), 4096u);
    EXPECT_TRUE(std::regex_search(text, std::regex("\t0x000000df\tLogMan\\.cpp:\\d+ *\tFailed\r\n$"))) << text;
}

// The service runs as LocalSystem: a link that a user put in the log's place is refused,
// never written through.
TEST_F(LogManTest, TheLogIsNeverWrittenThroughALink)
{
    zntest::TempFolder base;
    const std::wstring path = CLogMan::DefaultPath(base.Path().c_str());
    ASSERT_EQ(base.Path() + L"Mervale Software\\Zarnock\\kestrom.log", path);
    const std::wstring victim = base.Path() + L"victim.txt";
    zntest::WriteBytes(victim, std::string("precious"));
    ASSERT_TRUE(CreateHardLinkW(path.c_str(), victim.c_str(), nullptr));
    CLogMan log;
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANT_ACCESS_FILE), log.Recreate(path.c_str()));
    log.WriteEntry(5, L"Failed", "a.cpp", 1, L"", true);
    EXPECT_EQ("precious", zntest::ReadBytes(victim));
    DeleteFileW(path.c_str());
}

TEST(LogManPointer, RegisteredForItsLifetimeAndLastErrorKept)
{
    EXPECT_EQ(nullptr, GetLogMan());
    {
        CLogMan log;
        EXPECT_EQ(&log, GetLogMan());
        SetLastError(1234);
        EXPECT_EQ(5u, KS_LOG_FAILED(5));
        EXPECT_EQ(1234u, GetLastError());
    }
    EXPECT_EQ(nullptr, GetLogMan());
    EXPECT_EQ(6u, KS_LOG_FAILED(6));  // no log: nothing to do, still the code
}

TEST(LogManPath, UnderTheCompanyAndProductFolders)
{
    std::wstring path = CLogMan::DefaultPath();
    const std::wstring tail = L"\\Mervale Software\\Zarnock\\kestrom.log";
    ASSERT_GT(path.size(), tail.size());
    EXPECT_EQ(tail, path.substr(path.size() - tail.size()));
    std::wstring folder = path.substr(0, path.size() - std::wstring(L"\\kestrom.log").size());
    DWORD attributes = GetFileAttributesW(folder.c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace
