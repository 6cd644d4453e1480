// The report commands of the context menu end to end, in the application object of the
// program itself: the diagnostic archive under the progress dialog, then the mail worker
// to the tests' Simple MAPI recorder, a mailto link or the web form. The archive the mail
// program received is kept for "unzip -t" (the report_archive_unzip test).
#include "LogCapture.h"
#include "MessagePump.h"
#include "TestFiles.h"

#include "App.h"
#include "CrashReport/ThreadSendEmail.h"
#include "DigitClock.h"
#include "FakeSendEmailSystem.h"
#include "OptionsSheet.h"
#include "Settings.h"
#include "recorder/RecorderRegistration.h"
#include "resource.h"

#include "DialogDriver.h"
#include "GdiplusSession.h"

#include <gmock/gmock.h>

#include <regex>

CApp g_app;
testing::Environment* const g_gdiplus = testing::AddGlobalTestEnvironment(new GdiplusSession);

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
    // The worker's hint reaches this thread's message loop, which shows it.
    ASSERT_TRUE(zntest::PumpUntil([] { return !g_sendCalls.boxes.empty(); }, 10000));
    EXPECT_THAT(Ansi(g_sendCalls.boxes[0]), testing::StartsWith("Use File Explorer that opens to attach the prepared file znc-"));
    EXPECT_EQ(g_sendCalls.boxes[0], g_app.m_mailWorker.FinalMessage());
    EXPECT_TRUE(recorder.Mail().empty());
}

// Feedback asks for no archive; without any mail program it goes to the web form.
TEST_F(ReportRoadTest, FeedbackWithoutAMailProgramOpensTheWebForm)
{
    recorder.Remove();
    Command(ID_SEND_FEEDBACK);
    ASSERT_EQ(g_sendCalls.links.size(), 1u);
    const std::string link = Ansi(g_sendCalls.links[0]);
    EXPECT_TRUE(std::regex_match(link, std::regex("https://www\\.mervale-software\\.example/t/znc-support\\?&version="
                                                  "5%2E1%2E2%2E0&ins=[0-9A-Za-z%]+&m=0&os=\\d+%2E\\d+%2E\\d+&pa=x64")))
        << link;
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

// "Prepare Logs..." on the Options sheet's Clock page, with the clock as the main window: the
// worker's boxes need no window of the application thread (which waits for it without
// dispatching messages), and its hint arrives while the sheet's own message loop runs.
TEST_F(ReportRoadTest, PrepareLogsFromTheSheetShowsTheHint)
{
    g_app.SetRegistryKey(L"Mervale Software");
    g_app.m_pszProfileName = L"ZarnockReportRoadTests";
    WriteSettingInt(Setting::kFST, 0);
    auto* clock = new CDigitClock;
    clock->SetFormat(L"HH:mm:ss", FALSE);
    ASSERT_TRUE(clock->CreateEx(WS_EX_TOOLWINDOW, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100, 100,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
    g_app.m_pMainWnd = clock;
    g_sendCalls.client = L"Wine Mail";
    zntest::RunModal([&] { clock->SendMessage(WM_COMMAND, ID_OPTIONS); },
                     [&](DWORD thread) {
                         HWND sheet = zntest::WaitForThreadDialog(thread, 10000, COptionsSheet::Caption());
                         ASSERT_TRUE(sheet);
                         HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
                         zntest::Click(page, IDC_PREPARE_LOGS);
                         zntest::WaitFor([] { return g_boxesShown > 0; }, 30000);
                         PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
                     },
                     60000);
    g_app.m_pMainWnd = nullptr;
    DestroyWindow(clock->m_hWnd);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Mervale Software\\ZarnockReportRoadTests");
    g_app.m_pszRegistryKey.Empty();
    ASSERT_EQ(g_sendCalls.boxes.size(), 1u);
    EXPECT_THAT(Ansi(g_sendCalls.boxes[0]), testing::StartsWith("Use File Explorer that opens to attach the prepared "
                                                               "file znc-logs-all-"));
    ASSERT_EQ(g_sendCalls.linkParents.size(), 1u);
    EXPECT_EQ(g_sendCalls.linkParents[0], nullptr) << "the link's error box would be owned by the sheet";
}

}  // namespace
