// Each road of a crash once, in a program that really crashes: the tests' crash_probe.exe
// (which links the crash road) and the real zarnock.exe crashed from outside. Each runs
// with a temporary folder of the test's own, where its dump and archive land.
#include "CrashTestSupport.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

#include <regex>

using namespace crashtest;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

constexpr long kCrashExitCode = -1;  // 0xFFFFFFFF
constexpr DWORD kDialogWaitMs = 120000;  // a minidump on a machine with every core and the disk busy

class CrashRoadTest : public testing::Test
{
protected:
    std::wstring DumpFolder() const { return m_temp.Path() + L"Zarnock Dump Files"; }
    std::string ProbeLog() const { return zntest::ReadBytes(m_temp.Path(L"probe_log.txt")); }
    std::wstring DumpPath(DWORD installingThread) const
    {
        wchar_t name[64];
        swprintf(name, 64, L"zn_bug_dump-%X.dmp", static_cast<unsigned>(installingThread));
        return m_temp.Path(name);
    }

    // The crash's archive: one file of the right name, sound to unzip, holding dump,
    // settings and live log.
    void ExpectCrashArchive()
    {
        std::vector<std::wstring> files = FilesIn(DumpFolder());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(std::regex_match(zntest::Utf8(files[0]), std::regex(R"(znc-bugreport-\d{4}-\d\d-\d\d-\d{4}\.zip)")))
            << zntest::Utf8(files[0]);
        const std::wstring zip = DumpFolder() + L"\\" + files[0];
        std::string output;
        EXPECT_TRUE(UnzipTestPasses(zip, &output)) << output;
        EXPECT_THAT(UnzipListing(zip), ElementsAre("baselog.txt", "bugreport.dmp", "settings.txt"));
    }

    // An entry of the level's mark ("*", "W") whose text matches the pattern.
    static bool HasEntry(const std::string& log, const std::string& mark, const std::string& pattern)
    {
        return std::regex_search(log, std::regex(" " + (mark == "*" ? "\\*" : mark) + " " + pattern + " +\\["));
    }

    zntest::TempFolder m_temp;
};

TEST_F(CrashRoadTest, WorkerCrashShowsTheDialogAndOkHandsTheDescriptionOn)
{
    CrashingProcess probe;
    ASSERT_TRUE(probe.Start(L"crash_probe.exe", L"worker", m_temp.Path()));
    HWND dialog = probe.WaitForCrashDialog(kDialogWaitMs);
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 1460))) << "the wait text gives way to the form";
    SetDlgItemTextW(dialog, 1029, L"I clicked the clock");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    // The mail step: Wine's mail client takes a mailto link, and the crashing thread itself
    // tells the user to attach the archive.
    HWND box = probe.WaitForWindow(L"Zarnock", 20000);
    ASSERT_TRUE(box) << ProbeLog();
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(probe.WaitForExit(20000), kCrashExitCode);

    const std::string log = ProbeLog();
    EXPECT_TRUE(HasEntry(log, "W", "OK"));
    EXPECT_TRUE(HasEntry(log, "*", "I clicked the clock"));
    EXPECT_TRUE(HasEntry(log, "-", "0 3 1")) << "the bug report with its archive, without MAPI";
    EXPECT_TRUE(HasEntry(log, "*", "END"));
    EXPECT_TRUE(HasEntry(log, "W", "Exception code: 0xc0000005 address: 0x[0-9a-f]+"));
    ExpectCrashArchive();
    MinidumpFacts dump = ReadMinidump(DumpPath(probe.MainThreadId()));
    EXPECT_TRUE(dump.signature);
    EXPECT_GT(dump.streams, 3u);
    EXPECT_EQ(dump.exceptionCode, 0xC0000005u);
    EXPECT_TRUE(dump.threadListed);
}

TEST_F(CrashRoadTest, UserInterfaceThreadCrashClosedSendsNothing)
{
    CrashingProcess probe;
    ASSERT_TRUE(probe.Start(L"crash_probe.exe", L"ui", m_temp.Path()));
    HWND dialog = probe.WaitForCrashDialog(kDialogWaitMs);
    ASSERT_TRUE(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    // No mail step until the end: the step that OK starts tells the user to attach the archive.
    long exit = -2;
    bool sawMailBox = false;
    for (DWORD start = GetTickCount(); exit == -2 && GetTickCount() - start < 20000;) {
        sawMailBox = sawMailBox || probe.WaitForWindow(L"Zarnock", 20);
        exit = probe.WaitForExit(20);
    }
    EXPECT_FALSE(sawMailBox);
    EXPECT_EQ(exit, kCrashExitCode);
    const std::string log = ProbeLog();
    EXPECT_TRUE(HasEntry(log, "W", "Cancel"));
    EXPECT_FALSE(HasEntry(log, "W", "OK"));
    EXPECT_FALSE(HasEntry(log, "-", "[0-9]+ [0-9]+ [0-9]+")) << "no report handed to the mail worker";
    ExpectCrashArchive();
}

TEST_F(CrashRoadTest, StackOverflowShowsNoWindowAndStillReports)
{
    CrashingProcess probe;
    ASSERT_TRUE(probe.Start(L"crash_probe.exe", L"overflow", m_temp.Path()));
    // No dialog and no box at any time: the process ends on its own.
    long exit = -2;
    bool sawWindow = false;
    for (DWORD start = GetTickCount(); exit == -2 && GetTickCount() - start < kDialogWaitMs;) {
        sawWindow = sawWindow || probe.WaitForWindow(L"Zarnock - Application Error", 20) || probe.WaitForWindow(L"Zarnock", 20);
        exit = probe.WaitForExit(20);
    }
    EXPECT_FALSE(sawWindow);
    EXPECT_EQ(exit, kCrashExitCode);
    const std::string log = ProbeLog();
    EXPECT_TRUE(HasEntry(log, "W", "Exception code: 0xc00000fd.*"));
    EXPECT_THAT(log, HasSubstr("Zarnock Dump Files\\znc-bugreport-")) << "the archive handed to File Explorer";
    EXPECT_TRUE(HasEntry(log, "*", "END"));
    ExpectCrashArchive();
    EXPECT_EQ(ReadMinidump(DumpPath(probe.MainThreadId())).exceptionCode, 0xC00000FDu);
}

// The report worker cannot start while the crashed thread holds the loader's lock: the
// dialog still comes, without an archive, once the crashing thread stops waiting for it,
// and its mail says so.
TEST_F(CrashRoadTest, CrashHoldingTheLoaderLockStillShowsTheDialog)
{
    CrashingProcess probe;
    ASSERT_TRUE(probe.Start(L"crash_probe.exe", L"loaderlock", m_temp.Path()));
    HWND dialog = probe.WaitForCrashDialog(kDialogWaitMs);
    ASSERT_TRUE(dialog);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(probe.WaitForExit(20000), kCrashExitCode);
    const std::string log = ProbeLog();
    EXPECT_TRUE(HasEntry(log, "*", "0x00000102 CrashReportThreadProc"));
    EXPECT_TRUE(HasEntry(log, "-", "0 3 0")) << "the bug report without an attachment";
    // The link is the whole entry, too long to be padded up to the source reference.
    EXPECT_TRUE(std::regex_search(
        log, std::regex(R"( - mailto:\S+\?Subject=\[Bug Report\] Zarnock \S+ C0000005 \[[0-9A-F]{8}\] -zip( - | +)\[)")))
        << log;
    EXPECT_TRUE(FilesIn(DumpFolder()).empty());
}

TEST_F(CrashRoadTest, ThreadThatCrashesDuringTheReportGetsAMessageBoxThatEndsTheProcess)
{
    CrashingProcess probe;
    ASSERT_TRUE(probe.Start(L"crash_probe.exe", L"during", m_temp.Path()));
    HWND box = probe.WaitForWindow(L"Zarnock", kDialogWaitMs);
    ASSERT_TRUE(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(probe.WaitForExit(10000), kCrashExitCode);
    EXPECT_TRUE(HasEntry(ProbeLog(), "*", "2"));
}

TEST_F(CrashRoadTest, TwoThreadsAtOnceEndTheProcessOnce)
{
    CrashingProcess probe;
    ASSERT_TRUE(probe.Start(L"crash_probe.exe", L"two", m_temp.Path()));
    long exit = -2;
    bool sawBox = false;
    for (DWORD start = GetTickCount(); exit == -2 && GetTickCount() - start < kDialogWaitMs;) {
        if (HWND box = probe.WaitForWindow(L"Zarnock", 50)) {
            sawBox = true;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        exit = probe.WaitForExit(50);
    }
    EXPECT_TRUE(sawBox);
    EXPECT_EQ(exit, kCrashExitCode);
    const std::string log = ProbeLog();
    EXPECT_TRUE(HasEntry(log, "*", "1"));
    EXPECT_TRUE(HasEntry(log, "*", "2"));
}

TEST_F(CrashRoadTest, RealClockCrashedFromOutsideReportsTheCrashingThread)
{
    CrashingProcess clock;
    ASSERT_TRUE(clock.Start(L"zarnock.exe", L"", m_temp.Path()));
    // The clock window is up: start-up (and the handler's install) is over.
    ASSERT_TRUE(clock.WaitForWindow(L"qx_zn_digitclock_32", 20000, true));
    DWORD crashingThread = 0;
    HANDLE thread = CreateRemoteThread(clock.Handle(), nullptr, 0, nullptr, nullptr, 0, &crashingThread);
    ASSERT_TRUE(thread);
    CloseHandle(thread);

    HWND dialog = clock.WaitForCrashDialog(kDialogWaitMs);
    ASSERT_TRUE(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(clock.WaitForExit(10000), kCrashExitCode);

    MinidumpFacts dump = ReadMinidump(DumpPath(clock.MainThreadId()));
    EXPECT_TRUE(dump.signature);
    EXPECT_EQ(dump.exceptionThread, crashingThread);
    EXPECT_TRUE(dump.threadListed);
    EXPECT_EQ(dump.exceptionCode, 0xC0000005u);
    ExpectCrashArchive();
}

} // namespace
