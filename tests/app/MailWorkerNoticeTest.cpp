// The real program's part of report sending: the "MAPI " start-up line, and the mail
// worker's thread message, which the application answers with a box of its own.
#include "ClockProcess.h"

#include <gmock/gmock.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>

using namespace clocktest;

namespace {

struct BoxSearch {
    DWORD pid;
    HWND box;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid != search->pid || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    search->box = hwnd;
    return FALSE;
}

std::string ProgramLog()
{
    wchar_t base[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base);
    std::ifstream in((std::wstring(base) + L"\\Mervale Software\\Logs\\zarnock_logs\\exec\\znc_log_exec.txt").c_str(),
                     std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(MailWorkerNoticeTest, ApplicationThreadShowsTheWorkersMessage)
{
    ResetClockStore();
    ClockProcess clock;
    ASSERT_TRUE(clock.Start());
    HWND hwnd = clock.WaitForWindow();
    ASSERT_NE(hwnd, nullptr);
    const std::string log = ProgramLog();
    const size_t start = log.rfind("START Zarnock");
    ASSERT_NE(start, std::string::npos);
    EXPECT_TRUE(log.find(" MAPI 0", start) != std::string::npos || log.find(" MAPI 1", start) != std::string::npos);

    const DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    ASSERT_TRUE(PostThreadMessageW(thread, WM_APP, 9, 0));
    BoxSearch search{clock.Pid(), nullptr};
    for (int i = 0; i < 100 && !search.box; ++i) {
        Sleep(50);
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    }
    ASSERT_NE(search.box, nullptr) << "the application's box";
    wchar_t caption[64] = {};
    GetWindowTextW(search.box, caption, 64);
    EXPECT_STREQ(caption, L"Zarnock");
    EXPECT_TRUE(GetWindowLongW(search.box, GWL_EXSTYLE) & WS_EX_TOPMOST);
    PostMessageW(search.box, WM_COMMAND, IDOK, 0);
    clock.Close();
    ResetClockStore();
}

}  // namespace
