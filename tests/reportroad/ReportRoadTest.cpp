// The report commands of the context menu end to end, in the application object of the
// program itself: the diagnostic archive under the progress dialog, then the mail worker
// to the tests' Simple MAPI recorder, a mailto link or the web form. The archive the mail
// program received is kept for "unzip -t" (the report_archive_unzip test).
#include "LogCapture.h"
#include "TestFiles.h"

#include "App.h"
#include "CrashReport/ThreadSendEmail.h"
#include "FakeSendEmailSystem.h"
#include "recorder/RecorderRegistration.h"
#include "resource.h"

#include <gmock/gmock.h>

CApp g_app;

namespace {

std::string Ansi(const CString& s)
{
    return zntest::Utf8(s.GetString());
}

std::wstring Wide(const char* s)
{
    return s ? std::wstring(s, s + strlen(s)) : std::wstring();
}

class ReportRoadTest : public testing::Test
{
protected:
    void SetUp() override
    {
        saved = InstallFakeSendEmailSystem();
        ASSERT_TRUE(recorder.Registered());
    }
    void TearDown() override
    {
        g_app.m_mailWorker.Stop(10000);
        GetSendEmailSystem() = saved;
    }

    // The command as the clock window hands it on.
    void Command(UINT id)
    {
        ASSERT_TRUE(g_app.OnCmdMsg(id, CN_COMMAND, nullptr, false));
    }

    SendEmailSystem saved;
    RecorderRegistration recorder;
    LogCapture log;
};

TEST_F(ReportRoadTest, ReportABugReachesTheMailProgramWithTheArchive)
{
    const std::wstring keep = Wide(getenv("ZARNOCK_ROAD_DIR"));
    ASSERT_FALSE(keep.empty()) << "run through ctest";
    CreateDirectoryW(keep.c_str(), nullptr);
    DeleteFileW((keep + L"\\archive.zip").c_str());

    g_sendCalls.client = L"Microsoft Outlook";
    Command(ID_REPORT_BUG);
    const std::string mail = recorder.WaitForMail();
    EXPECT_THAT(mail, testing::HasSubstr("subject=Bug Report for Zarnock 5.1.2\n"));
    const size_t file = mail.find("file=");
    ASSERT_NE(file, std::string::npos) << mail;
    const std::string path = mail.substr(file + 5, mail.find('|', file) - file - 5);
    EXPECT_THAT(path, testing::EndsWith(".zip"));
    ASSERT_EQ(g_sendCalls.folders.size(), 1u) << "File Explorer shows the archive";
    EXPECT_EQ(path.rfind(Ansi(g_sendCalls.folders[0]), 0), 0u);
    EXPECT_THAT(g_sendCalls.sleeps, testing::ElementsAre(3000u));
    EXPECT_TRUE(g_sendCalls.links.empty());

    const std::wstring wide(path.begin(), path.end());
    EXPECT_TRUE(CopyFileW(wide.c_str(), (keep + L"\\archive.zip").c_str(), FALSE)) << GetLastError();
}

// A second command while the mail program still shows the first report's dialog changes
// nothing: one mail, with the first archive.
TEST_F(ReportRoadTest, SecondReportWhileTheMailProgramIsOpenIsRefused)
{
    g_sendCalls.client = L"Microsoft Outlook";
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_WAIT", L"3000");
    Command(ID_REPORT_BUG);
    Command(ID_TECH_SUPPORT);
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_WAIT", nullptr);
    const std::string mail = recorder.WaitForMail();
    EXPECT_THAT(mail, testing::HasSubstr("subject=Bug Report for Zarnock 5.1.2\n"));
    g_app.m_mailWorker.Stop(10000);
    EXPECT_EQ(recorder.Mail(), mail) << "only the first report was sent";
    EXPECT_EQ(g_sendCalls.folders.size(), 1u) << "no second archive";
}

TEST_F(ReportRoadTest, TechnicalSupportThroughTheMailtoLink)
{
    g_sendCalls.client = L"Wine Mail";
    Command(ID_TECH_SUPPORT);
    ASSERT_EQ(g_sendCalls.links.size(), 1u);
    EXPECT_THAT(Ansi(g_sendCalls.links[0]), testing::StartsWith("mailto:support@mervale-software.example?Subject="
                                                             "Support Request for Zarnock 5.1.2&body=Please *attach* "
                                                             "the prepared file znc-"));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_THAT(Ansi(g_app.m_mailWorker.FinalMessage()),
                testing::StartsWith("Use File Explorer that opens to attach the prepared file znc-"));
    EXPECT_TRUE(recorder.Mail().empty());
}

// Feedback asks for no archive; without any mail program it goes to the web form.
TEST_F(ReportRoadTest, FeedbackWithoutAMailProgramOpensTheWebForm)
{
    recorder.Remove();
    Command(ID_SEND_FEEDBACK);
    ASSERT_EQ(g_sendCalls.links.size(), 1u);
    EXPECT_EQ(g_sendCalls.links[0], CThreadSendEmail::BuildWebFormLink());
    EXPECT_TRUE(g_sendCalls.folders.empty());
    EXPECT_TRUE(g_sendCalls.boxes.empty());
}

// An archive that cannot be made (the temporary folder lies under a file) still sends the
// report, and says why it has no archive.
TEST_F(ReportRoadTest, ReportWithoutArchiveTellsTheUser)
{
    const std::wstring blocker = zntest::UniqueTempPath(L"not-a-folder");
    zntest::WriteBytes(blocker, "x");
    wchar_t tmp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", (blocker + L"\\").c_str());
    g_sendCalls.client = L"Wine Mail";
    Command(ID_REPORT_BUG);
    SetEnvironmentVariableW(L"TMP", tmp);
    DeleteFileW(blocker.c_str());
    ASSERT_EQ(g_sendCalls.boxes.size(), 1u);
    EXPECT_THAT(Ansi(g_sendCalls.boxes[0]), testing::StartsWith("The diagnostic files could not be prepared"));
    ASSERT_EQ(g_sendCalls.links.size(), 1u);
    EXPECT_EQ(Ansi(g_sendCalls.links[0]), "mailto:support@mervale-software.example?Subject=Bug Report for Zarnock 5.1.2");
}

}  // namespace
