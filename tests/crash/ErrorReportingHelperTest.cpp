// The crash handler's install and restore, the invalid-parameter report, and the texts the
// user gets; the crash roads themselves run in CrashRoadTest.
#include "CrashReport/DumpDlg.h"
#include "CrashReport/ErrorReportingHelper.h"
#include "LogCapture.h"
#include "resource.h"

#include <gmock/gmock.h>

using testing::HasSubstr;

namespace {

LONG WINAPI TestFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

TEST(ErrorReportingHelperTest, InstallAndRemoveLeaveTheFilterAsItWas)
{
    SetUnhandledExceptionFilter(TestFilter);
    ASSERT_TRUE(InstallCrashHandler(false, 0));
    EXPECT_EQ(SetUnhandledExceptionFilter(TestFilter), TestFilter) << "without the filter flag it is left alone";
    wchar_t name[64];
    swprintf(name, 64, L"\\zn_bug_dump-%X.dmp", static_cast<unsigned>(GetCurrentThreadId()));
    EXPECT_THAT(GetErrorReportingHelper()->m_dumpPath, testing::EndsWith(name));

    ASSERT_TRUE(InstallCrashHandler(true, kCrashDumpType));
    ASSERT_TRUE(InstallCrashHandler(true, kCrashDumpType)) << "a second install replaces the first";
    EXPECT_EQ(SetUnhandledExceptionFilter(TopLevelExceptionFilter), TopLevelExceptionFilter);
    EXPECT_FALSE(IsCrashing());
    RemoveCrashHandler();
    EXPECT_EQ(GetErrorReportingHelper(), nullptr);
    EXPECT_FALSE(IsCrashing());
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), TestFilter);
}

// A folder that leaves no room for the whole dump name is given up for the fallback one.
TEST(ErrorReportingHelperTest, DumpPathInATemporaryFolderTooLongForItGoesToTheFallback)
{
    wchar_t expected[64], oldTmp[MAX_PATH] = {};
    swprintf(expected, 64, L"c:\\temp\\zn_bug_dump-%X.dmp", static_cast<unsigned>(GetCurrentThreadId()));
    GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", (L"C:\\" + std::wstring(245, L'a')).c_str());
    ASSERT_TRUE(InstallCrashHandler(false, 0));
    SetEnvironmentVariableW(L"TMP", oldTmp);
    EXPECT_STREQ(GetErrorReportingHelper()->m_dumpPath, expected);
    RemoveCrashHandler();
}

TEST(ErrorReportingHelperTest, InvalidParameterIsLoggedAndTheProgramGoesOn)
{
    LogCapture log;
    InvalidParameterHandler(nullptr, nullptr, nullptr, 0, 0);
    InvalidParameterHandler(L"len > 0", L"wcsncpy", L"string.c", 42, 0);
    EXPECT_THAT(log.Entries(" * "),
                testing::ElementsAre(HasSubstr("Invalid parameter detected. <null>:<null>:<null>:0 "),
                                     HasSubstr("Invalid parameter detected. len > 0:wcsncpy:string.c:42 ")));
}

// Stands for a thread that crashed while it held the log's lock: it keeps it until released.
HANDLE g_lockHeld = nullptr;
HANDLE g_lockReleased = nullptr;

void HoldTheLock(HANDLE, void*)
{
    SetEvent(g_lockHeld);
    WaitForSingleObject(g_lockReleased, 30000);
}

DWORD WINAPI TakeTheLogsLock(void*)
{
    GetAppLogMan()->WriteIntoFile(HoldTheLock, nullptr);
    return 0;
}

DWORD WINAPI LogFromAnotherThread(void*)
{
    CLogMan::LogLine(GetAppLogMan(), L"other", LOG_ERROR, __FILE__, __LINE__);
    return 0;
}

// Only the crash report's own thread writes without the lock; every other thread waits.
TEST(ErrorReportingHelperTest, LogWritesWithoutTheLockThatACrashedThreadHoldsOnTheReportsThreadOnly)
{
    LogCapture log;
    g_lockHeld = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_lockReleased = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE holder = CreateThread(nullptr, 0, TakeTheLogsLock, nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(g_lockHeld, 5000), WAIT_OBJECT_0);
    GetAppLogMan()->SetCrashLockWait(100);
    const DWORD start = GetTickCount();
    CLogMan::LogLine(GetAppLogMan(), L"first", LOG_ERROR, __FILE__, __LINE__);
    CLogMan::LogLine(GetAppLogMan(), L"second", LOG_ERROR, __FILE__, __LINE__);
    EXPECT_LT(GetTickCount() - start, 2000u) << "one bounded wait, then none";
    HANDLE other = CreateThread(nullptr, 0, LogFromAnotherThread, nullptr, 0, nullptr);
    WaitForSingleObject(other, 2000);
    const std::string text = log.Text();
    SetEvent(g_lockReleased);
    WaitForSingleObject(holder, 5000);
    WaitForSingleObject(other, 5000);
    GetAppLogMan()->SetCrashLockWait(INFINITE);
    EXPECT_THAT(text, testing::Not(HasSubstr(" * other "))) << "written while the lock was held";
    EXPECT_THAT(log.Text(), HasSubstr(" * other "));
    CloseHandle(other);
    CloseHandle(holder);
    CloseHandle(g_lockHeld);
    CloseHandle(g_lockReleased);
    EXPECT_THAT(text, HasSubstr(" * first "));
    EXPECT_THAT(text, HasSubstr(" * second "));
}

std::wstring g_typed;

// Types into the crash dialog of this thread once its form shows, then presses OK.
VOID CALLBACK TypeAndPressOk(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dialog = FindWindowW(L"#32770", L"Zarnock - Application Error");
    if (!dialog || !IsWindowVisible(GetDlgItem(dialog, IDOK))) return;
    KillTimer(nullptr, id);
    SetDlgItemTextW(dialog, IDC_DUMP_DESCRIPTION, g_typed.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST(ErrorReportingHelperTest, CrashDialogKeepsTheWholeDescription)
{
    LogCapture log;
    g_typed = L"I clicked the clock " + std::wstring(5000, L'z') + L" end";
    CDumpDlg dialog(L"Zarnock", L"", nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, TypeAndPressOk);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    KillTimer(nullptr, timer);
    EXPECT_EQ(std::wstring(dialog.m_description.GetString()), g_typed);
}

TEST(ErrorReportingHelperTest, SubjectCarriesCodeAndLowHalfOfTheAddress)
{
    EXPECT_EQ(CrashReportSubject(0xC0000005, 0x7FF612345678), L"[Bug Report] Zarnock 5.1.2 C0000005 [12345678]");
}

} // namespace
