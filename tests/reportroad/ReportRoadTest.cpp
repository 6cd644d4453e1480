// The report commands of the context menu end to end, in the application object of the
// program itself: the diagnostic archive under the progress dialog, then the mail worker
// to the tests' Simple MAPI recorder, a mailto link or the web form. The archive the mail
// program received is kept for "unzip -t" (the report_archive_unzip test).
#include "LogCapture.h"
#include "TestFiles.h"

#include "App.h"
#include "CrashReport/ThreadSendEmail.h"
#include "recorder/RecorderRegistration.h"
#include "resource.h"

#include <gmock/gmock.h>

CApp g_app;

namespace {

std::string Ansi(const CString& s)
{
    return zntest::Utf8(s.GetString());
}

struct Calls {
    CString client;
    std::vector<CString> links, folders;
    std::vector<DWORD> sleeps;
    std::vector<CString> boxes;
};
Calls g_calls;

bool FakeClient(CString& name, bool)
{
    name = g_calls.client;
    return !name.IsEmpty();
}
HRESULT NotElevated(BOOL* elevated)
{
    *elevated = FALSE;
    return S_OK;
}
int FakeOpenLink(const wchar_t* link, BOOL, HWND)
{
    g_calls.links.push_back(link);
    return 1;
}
int FakeOpenFolder(const wchar_t* folder)
{
    g_calls.folders.push_back(folder);
    return 1;
}
void FakeSleep(DWORD ms)
{
    g_calls.sleeps.push_back(ms);
}
int FakeBox(HWND, const wchar_t* text, const wchar_t*, UINT)
{
    g_calls.boxes.push_back(text);
    return IDOK;
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
        g_calls = Calls{};
        saved = GetSendEmailSystem();
        GetSendEmailSystem() = {FakeClient, NotElevated, FakeOpenLink, FakeOpenFolder, FakeBox, FakeSleep};
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

    g_calls.client = L"Microsoft Outlook";
    Command(ID_REPORT_BUG);
    const std::string mail = recorder.WaitForMail();
    EXPECT_THAT(mail, testing::HasSubstr("subject=Bug Report for Zarnock 5.1.2\n"));
    const size_t file = mail.find("file=");
    ASSERT_NE(file, std::string::npos) << mail;
    const std::string path = mail.substr(file + 5, mail.find('|', file) - file - 5);
    EXPECT_THAT(path, testing::EndsWith(".zip"));
    ASSERT_EQ(g_calls.folders.size(), 1u) << "File Explorer shows the archive";
    EXPECT_EQ(path.rfind(Ansi(g_calls.folders[0]), 0), 0u);
    EXPECT_THAT(g_calls.sleeps, testing::ElementsAre(3000u));
    EXPECT_TRUE(g_calls.links.empty());

    const std::wstring wide(path.begin(), path.end());
    EXPECT_TRUE(CopyFileW(wide.c_str(), (keep + L"\\archive.zip").c_str(), FALSE)) << GetLastError();
}

// A second command while the mail program still shows the first report's dialog changes
// nothing: one mail, with the first archive.
TEST_F(ReportRoadTest, SecondReportWhileTheMailProgramIsOpenIsRefused)
{
    g_calls.client = L"Microsoft Outlook";
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_WAIT", L"3000");
    Command(ID_REPORT_BUG);
    Command(ID_TECH_SUPPORT);
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_WAIT", nullptr);
    const std::string mail = recorder.WaitForMail();
    EXPECT_THAT(mail, testing::HasSubstr("subject=Bug Report for Zarnock 5.1.2\n"));
    g_app.m_mailWorker.Stop(10000);
    EXPECT_EQ(recorder.Mail(), mail) << "only the first report was sent";
    EXPECT_EQ(g_calls.folders.size(), 1u) << "no second archive";
}

TEST_F(ReportRoadTest, TechnicalSupportThroughTheMailtoLink)
{
    g_calls.client = L"Wine Mail";
    Command(ID_TECH_SUPPORT);
    ASSERT_EQ(g_calls.links.size(), 1u);
    EXPECT_THAT(Ansi(g_calls.links[0]), testing::StartsWith("mailto:support@mervale-software.example?Subject="
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
    ASSERT_EQ(g_calls.links.size(), 1u);
    EXPECT_EQ(g_calls.links[0], CThreadSendEmail::BuildWebFormLink());
    EXPECT_TRUE(g_calls.folders.empty());
    EXPECT_TRUE(g_calls.boxes.empty());
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
    g_calls.client = L"Wine Mail";
    Command(ID_REPORT_BUG);
    SetEnvironmentVariableW(L"TMP", tmp);
    DeleteFileW(blocker.c_str());
    ASSERT_EQ(g_calls.boxes.size(), 1u);
    EXPECT_THAT(Ansi(g_calls.boxes[0]), testing::StartsWith("The diagnostic files could not be prepared"));
    ASSERT_EQ(g_calls.links.size(), 1u);
    EXPECT_EQ(Ansi(g_calls.links[0]), "mailto:support@mervale-software.example?Subject=Bug Report for Zarnock 5.1.2");
}

}  // namespace
