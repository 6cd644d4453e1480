// Report sending: the texts of the mail, and each road end to end: Simple MAPI into the
// tests' own mail program, the mailto link and the web form as the shell is asked to open
// them, and the final message to the owner thread.
#include "FakeSendEmailSystem.h"
#include "LogCapture.h"
#include "ReportTestSupport.h"
#include "ProfileTestApp.h"
#include "TestFiles.h"

#include "CrashReport/ErrorReportingHelper.h"
#include "CrashReport/SupportMapi.h"
#include "CrashReport/ThreadSendEmail.h"
#include "Settings.h"
#include "SupportRegistry.h"
#include "SupportSettings.h"
#include "recorder/RecorderRegistration.h"

#include <gmock/gmock.h>

#include <optional>
#include <regex>

namespace {

std::string Ansi(const CString& s)
{
    return zntest::Utf8(s.GetString());
}

TEST(SendEmailTextTest, SubjectsByKind)
{
    const struct {
        int kind;
        const char* subject;
    } cases[] = {
        {0, "Support Request for Zarnock 5.1.2"}, {1, "Feedback for Zarnock 5.1.2"},
        {2, "Bug Report for Zarnock 5.1.2"},      {3, "Bug Report for Zarnock 5.1.2"},
        {4, "Query/Info Request for Zarnock 5.1.2"}, {-1, "Query/Info Request for Zarnock 5.1.2"},
    };
    for (const auto& c : cases) EXPECT_EQ(Ansi(CThreadSendEmail::DefaultSubject(c.kind)), c.subject) << c.kind;
}

TEST(SendEmailTextTest, MailtoLinkEncodesWhatAMailProgramWouldMisread)
{
    const struct {
        const wchar_t* subject;
        const wchar_t* text;
        const char* link;
    } cases[] = {
        {L"S", L"line one\nline two", "mailto:a@b?Subject=S&body=line one%0D%0Aline two"},
        {L"S", L"one\r\ntwo\rthree", "mailto:a@b?Subject=S&body=one%0D%0Atwo%0Dthree"},
        {L"100% & #1", L"a&b=c#d%", "mailto:a@b?Subject=100%25 %26 %231&body=a%26b=c%23d%25"},
        {L"S", L"", "mailto:a@b?Subject=S"},
    };
    for (const auto& c : cases) EXPECT_EQ(Ansi(CThreadSendEmail::BuildMailtoLink(L"a@b", c.subject, c.text)), c.link);
}

// The install stamp is a value of the query like the others: whatever the installer wrote,
// it cannot end the value or the query early.
TEST(SendEmailTextTest, WebFormAddressNamesThisProgramAndSystem)
{
    const CString company = ReportApp().m_pszRegistryKey;
    ReportApp().SetRegistryKey(L"Mervale Software Report Tests");
    const struct {
        const wchar_t* stamp;
        const char* ins;
    } cases[] = {{L"a&b #c", "a%26b%20%23c"}, {L"v1.2%", "v1%2E2%25"}, {L"\u00fc=", "%C3%BC%3D"}};
    for (const auto& c : cases) {
        RegistryWriteString(HKEY_LOCAL_MACHINE, GetInstallKeyPath(), L"Stamp", c.stamp, nullptr);
        const std::string link = Ansi(CThreadSendEmail::BuildWebFormLink());
        // A 64-bit program says x64 wherever it runs; every dot of the path is %2E.
        EXPECT_TRUE(std::regex_match(link, std::regex(std::string("https://www\\.mervale-software\\.example/t/znc-support"
                                                                  "\\?&version=5%2E1%2E2%2E0&ins=") +
                                                      c.ins + "&m=0&os=\\d+%2E\\d+%2E\\d+&pa=x64")))
            << link;
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mervale Software Report Tests");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mervale Software Report Tests");
    ReportApp().SetRegistryKey(company);
}

class SendEmailTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Recorded() = UiRecorder{};
        saved = InstallFakeSendEmailSystem(RecordBox);
        archive = folder.Path(L"znc_logs.zip");
        second = folder.Path(L"settings.txt");
        zntest::WriteBytes(archive, std::string("PK\5\6", 4) + std::string(18, '\0'));
        zntest::WriteBytes(second, "REGEDIT4\r\n");
        ReportApp().ClearStore();
    }
    void TearDown() override
    {
        GetSendEmailSystem() = saved;
        ReportApp().ClearStore();
    }

    // The tests' mail program as the registered Outlook client and the default Simple MAPI
    // client; Wine's MAPI32 forwards to it.
    void RegisterRecorder()
    {
        recorder.emplace();
        ASSERT_TRUE(recorder->Registered());
        g_sendCalls.client = L"Microsoft Outlook";
    }

    std::string Mail() { return recorder ? recorder->Mail() : std::string(); }

    // Prepares and runs the worker on this thread, as the crash road does.
    void RunDirect(int kind, std::vector<CString> attachments, const wchar_t* subject = nullptr,
                   const wchar_t* body = nullptr)
    {
        ASSERT_TRUE(worker.Prepare(nullptr, GetCurrentThreadId(), kind, &attachments, subject, body));
        EXPECT_EQ(worker.Run(), 0);
    }

    // The final thread message, when one was posted to this thread.
    bool TakeNotice()
    {
        MSG msg;
        bool got = false;
        while (PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_APP, WM_APP, PM_REMOVE))
            got = got || (msg.wParam == 9 && msg.lParam == 0);
        return got;
    }

    zntest::TempFolder folder;
    std::wstring archive, second;
    SendEmailSystem saved;
    CThreadSendEmail worker;
    std::optional<RecorderRegistration> recorder;
    LogCapture log;
};

std::string Folder(const std::wstring& path)
{
    std::string p = zntest::Utf8(path);
    return p.substr(0, p.rfind('\\') + 1);
}

TEST_F(SendEmailTest, MapiRoadHandsTheArchiveToTheMailProgram)
{
    RegisterRecorder();
    EXPECT_TRUE(IsMapiUsable());
    // The application's road: a worker thread, waited for until the hand-over.
    std::vector<CString> files{archive.c_str(), folder.Path(L"missing.zip").c_str()};
    ASSERT_TRUE(worker.Prepare(nullptr, GetCurrentThreadId(), 2, &files, nullptr, L"what I did"));
    ASSERT_TRUE(worker.Start());
    const DWORD start = GetTickCount();
    worker.WaitForCompletion(30000);
    EXPECT_LT(GetTickCount() - start, 10000u);
    worker.Stop(10000);

    const std::string mail = Mail();
    // Windows 7 (Wine's default) takes the narrow MAPI entry; Windows 8 and later the wide one.
    EXPECT_TRUE(mail.rfind("form=A\n", 0) == 0 || mail.rfind("form=W\n", 0) == 0) << mail;
    EXPECT_THAT(mail, testing::HasSubstr("flags=9\n"));
    EXPECT_THAT(mail, testing::HasSubstr("to=1:support@mervale-software.example:support@mervale-software.example\n"));
    EXPECT_THAT(mail, testing::HasSubstr("subject=Bug Report for Zarnock 5.1.2\n"));
    EXPECT_THAT(mail, testing::HasSubstr("body=Please *attach* the prepared file znc_logs.zip to the email manually, "
                                         "if your email client did not do that automatically.\\n\\nUse File Explorer "
                                         "that opens to attach the file.\\nPath to the file: " +
                                         Folder(archive) + "\\n\\nwhat I did\n"));
    EXPECT_THAT(mail, testing::HasSubstr("file=" + zntest::Utf8(archive) + "|ZNC_LOGS.ZIP|4294967295\n"));
    EXPECT_EQ(mail.find("missing.zip"), std::string::npos) << "a missing file is left out";
    EXPECT_TRUE(g_sendCalls.links.empty()) << "no fallback after MAPI took the mail";
    EXPECT_FALSE(TakeNotice());
}

TEST_F(SendEmailTest, MapiFailureFallsBackToTheMailtoLink_AbortDoesNot)
{
    RegisterRecorder();
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_RESULT", L"1");
    RunDirect(0, {archive.c_str()});
    EXPECT_THAT(Mail(), testing::HasSubstr("subject=Support Request for Zarnock 5.1.2\n"));
    EXPECT_TRUE(g_sendCalls.links.empty()) << "the user cancelled: nothing more";

    SetEnvironmentVariableW(L"ZARNOCK_MAPI_RESULT", L"2");
    RunDirect(0, {archive.c_str()});
    ASSERT_EQ(g_sendCalls.links.size(), 1u);
    EXPECT_EQ(Ansi(g_sendCalls.links[0]).rfind("mailto:support@mervale-software.example?Subject=Support Request", 0), 0u);

    // A mail program that faults or throws inside its library has failed like one that
    // answers 2; the crash road's handlers, in place as in the program, never see it.
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_RESULT", nullptr);
    const struct {
        const wchar_t* variable;
        const char* logged;
    } failures[] = {{L"ZARNOCK_MAPI_FAULT", "0xc0000005"}, {L"ZARNOCK_MAPI_THROW", "C++ exception"}};
    for (const auto& failure : failures) {
        const size_t links = g_sendCalls.links.size();
        SetEnvironmentVariableW(failure.variable, L"1");
        ASSERT_TRUE(InstallCrashHandler(true, kCrashDumpType));
        RunDirect(0, {archive.c_str()});
        EXPECT_EQ(SendMailW(nullptr, L"a@b", L"", L"", L"", {}), 2u) << failure.logged;
        RemoveCrashHandler();
        EXPECT_EQ(g_crashEntryCount, 0);
        SetEnvironmentVariableW(failure.variable, nullptr);
        ASSERT_EQ(g_sendCalls.links.size(), links + 1) << "the mailto link after " << failure.logged;
        EXPECT_EQ(Ansi(g_sendCalls.links.back()), Ansi(g_sendCalls.links[0]));
        const std::vector<std::string> errors = log.Texts(" * ");
        EXPECT_EQ(std::count(errors.begin(), errors.end(), failure.logged), 2) << testing::PrintToString(errors);
    }

    // An elevated program, or MAPI switched off, never tries MAPI.
    for (int step = 0; step < 2; ++step) {
        DeleteFileW(recorder->RecordPath().c_str());
        g_sendCalls.elevated = step == 0;
        if (step == 1) WriteSettingInt(Setting::kMAPI, 0);
        RunDirect(0, {archive.c_str()});
        EXPECT_EQ(Mail(), "") << step;
    }
    EXPECT_EQ(g_sendCalls.links.size(), 5u);
}

TEST_F(SendEmailTest, MailtoRoadOpensTheLinkAndTheArchiveFolder)
{
    g_sendCalls.client = L"Wine Mail";
    RunDirect(1, {archive.c_str(), second.c_str()}, nullptr, L"two\nlines");
    ASSERT_EQ(g_sendCalls.links.size(), 1u);
    const std::string names = "%0D%0Aznc_logs.zip%0D%0Asettings.txt";
    const std::string folderText = Folder(archive);
    EXPECT_EQ(Ansi(g_sendCalls.links[0]),
              "mailto:support@mervale-software.example?Subject=Feedback for Zarnock 5.1.2&body=two%0D%0Alines "
              "Please *attach* the prepared file " + names + " to the email manually.%0D%0AUse File Explorer that "
              "opens to attach the file.%0D%0APath to the file: " + folderText);
    EXPECT_THAT(g_sendCalls.folders, testing::ElementsAre(CString(std::wstring(folderText.begin(), folderText.end()).c_str())));
    EXPECT_TRUE(TakeNotice()) << "WM_APP with wParam 9 to the owner thread";
    EXPECT_EQ(Ansi(worker.FinalMessage()),
              "Use File Explorer that opens to attach the prepared file \nznc_logs.zip\nsettings.txt to an email, "
              "and then send it to support@mervale-software.example\n\nPath to the file: " + folderText);
    EXPECT_TRUE(Recorded().boxes.empty()) << "the application shows it, not the worker";
    EXPECT_TRUE(Mail().empty());
}

TEST_F(SendEmailTest, CrashRoadShowsItsOwnBoxOrWaitsForTheMailProgram)
{
    g_sendCalls.client = L"Wine Mail";
    RunDirect(3, {archive.c_str()}, L"[Bug Report] Zarnock 5.1.2 C0000005 [12345678]");
    ASSERT_EQ(g_sendCalls.links.size(), 1u);
    EXPECT_THAT(Ansi(g_sendCalls.links[0]),
                testing::HasSubstr("?Subject=[Bug Report] Zarnock 5.1.2 C0000005 [12345678]&body=Please *attach*"));
    EXPECT_THAT(Ansi(g_sendCalls.links[0]), testing::EndsWith("%0D%0A%0D%0APlease describe the situation causes this error."));
    ASSERT_EQ(Recorded().boxes.size(), 1u);
    EXPECT_EQ(Recorded().boxes[0].text, worker.FinalMessage());
    EXPECT_EQ(Recorded().boxes[0].type, static_cast<UINT>(MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION));
    EXPECT_FALSE(TakeNotice());
    EXPECT_TRUE(g_sendCalls.sleeps.empty());

    RunDirect(3, {}, L"[Bug Report] -zip");
    EXPECT_THAT(g_sendCalls.sleeps, testing::ElementsAre(5000u));
}

// The wide entry, as Windows 8 and later take it: names given or made up.
TEST_F(SendEmailTest, SendMailWGivesEachFileAName)
{
    RegisterRecorder();
    EXPECT_EQ(SendMailW(nullptr, L"a@b", L"", L"", L"", {{L"", L"skipped"}, {archive.c_str(), L""}, {second.c_str(), L"S"}}),
              0u);
    const std::string mail = Mail();
    EXPECT_THAT(mail, testing::StartsWith("form=W\n"));
    EXPECT_THAT(mail, testing::HasSubstr("to=1:<null>:a@b\nsubject=<null>\nbody=<null>\n"));
    EXPECT_THAT(mail, testing::HasSubstr("file=" + zntest::Utf8(archive) + "|file1|"));
    EXPECT_THAT(mail, testing::HasSubstr("file=" + zntest::Utf8(second) + "|S|"));
    EXPECT_EQ(SendMailW(nullptr, L"", L"", L"", L"", {}), static_cast<ULONG>(-1));
}

}  // namespace
