// The service log: entry layout, silence rules, ANSI text and the process-wide pointer.
#include "LogMan.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sddl.h>

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

// Any local program can make the service fail connections as fast as it likes: what that
// costs on disk is bounded in rate, and the file in size.
TEST_F(LogManTest, FailuresOfClientsCannotFillTheDisk)
{
    {
        CLogMan log;
        ASSERT_EQ(0u, log.Recreate(m_path.c_str()));
        const ULONGLONG start = GetTickCount64();
        for (int i = 0; i < 20000; ++i)
            KS_LOG_CLIENT_FAILED(ERROR_BROKEN_PIPE);
        const ULONGLONG seconds = (GetTickCount64() - start) / 1000 + 1;
        log.Close();
        std::string text = ReadAll(m_path);
        int logged = 0;
        for (size_t at = text.find("\t0x0000006d\t"); at != std::string::npos; at = text.find("\t0x0000006d\t", at + 1))
            ++logged;
        EXPECT_GT(logged, 0);
        EXPECT_LE(static_cast<ULONGLONG>(logged), (seconds + 1) * CLogMan::kClientEntriesPerSecond);
        EXPECT_LE(text.size(), (seconds + 1) * 400) << "bytes a second";
        std::string summary = "\t" + std::to_string(20000 - logged) + " more client failures not logged\r\n";
        EXPECT_NE(std::string::npos, text.find(summary)) << text;
    }
    CLogMan log(4096);
    ASSERT_EQ(0u, log.Recreate(m_path.c_str()));
    for (int i = 0; i < 1000; ++i)
        KS_LOG_FAILED(5);
    log.Close();
    std::string text = ReadAll(m_path);
    EXPECT_LE(text.size(), 4096u);
    EXPECT_GT(text.size(), 3800u);
    std::regex full("\t0x000000df\tLogMan\\.cpp:\\d+ *\tFailed\r\n$");
    EXPECT_TRUE(std::regex_search(text, full)) << "the last entry says the log is full:\n" << text.substr(text.size() - 200);
}

// The service runs as LocalSystem in folders that users could otherwise write: the folders
// get an access list of their own, and a link in the log's place is refused, not followed.
TEST_F(LogManTest, TheLogIsNeverWrittenThroughALink)
{
    zntest::TempFolder base;
    const std::wstring path = CLogMan::DefaultPath(base.Path().c_str());
    ASSERT_EQ(base.Path() + L"Mervale Software\\Zarnock\\kestrom.log", path);

    const std::wstring victim = base.Path() + L"victim.txt";
    zntest::WriteBytes(victim, std::string("precious"));
    ASSERT_TRUE(CreateHardLinkW(path.c_str(), victim.c_str(), nullptr));
    {
        CLogMan log;
        EXPECT_EQ(static_cast<DWORD>(ERROR_CANT_ACCESS_FILE), log.Recreate(path.c_str()));
        log.WriteEntry(5, L"Failed", "a.cpp", 1, L"", true);
    }
    EXPECT_EQ("precious", zntest::ReadBytes(victim));
    DeleteFileW(path.c_str());

    // Wine keeps no access list on files (it maps one to the owner's mode bits), so the
    // folders' own list is read from what they are created with.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(CLogMan::kFolderSecurity, SDDL_REVISION_1,
        &descriptor, nullptr));
    CLocalMemory descriptorOwner(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the common folder";
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    struct Expected { WELL_KNOWN_SID_TYPE who; ACCESS_MASK mask; } expected[] = {
        {WinLocalSystemSid, FILE_ALL_ACCESS},
        {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
        {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE},
    };
    ASSERT_EQ(3u, dacl->AceCount);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof sid;
        CreateWellKnownSid(expected[i].who, nullptr, sid, &size);
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
        EXPECT_TRUE(EqualSid(&ace->SidStart, sid)) << i;
        EXPECT_EQ(expected[i].mask, ace->Mask) << i;
        EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace->Header.AceFlags & 0x0f) << i;
    }
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
