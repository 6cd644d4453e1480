// The real program under Wine: start-up from a prepared settings store, its window, its
// pixels, the single running copy and the "restore" switch.
#include "ClockProcess.h"

#include <gmock/gmock.h>
#include <shlobj.h>
#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

using namespace clocktest;

namespace {

const wchar_t kCommon[] = L"Common";
const wchar_t kDefaultFormat[] = L" hh:mm:ss tt - MMMM dd, yyyy ";

// A font record as the settings keep it: a LOGFONTW whose height is in points.
std::vector<BYTE> FontRecord(const wchar_t* face, int points, int weight)
{
    LOGFONTW lf{};
    lf.lfHeight = points;
    lf.lfWeight = weight;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    const BYTE* p = reinterpret_cast<const BYTE*>(&lf);
    return std::vector<BYTE>(p, p + sizeof(lf));
}

RECT MonitorOf(HWND hwnd)
{
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &mi);
    return mi.rcMonitor;
}

std::wstring WindowText(HWND hwnd)
{
    wchar_t buf[512] = {};
    // The clock's own thread answers; a bounded wait keeps a hung clock from hanging the test.
    DWORD_PTR len = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &len);
    return buf;
}

std::string ReadProgramLog()
{
    wchar_t base[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base);
    std::wstring path = std::wstring(base) + L"\\Mervale Software\\Logs\\zarnock_logs\\exec\\znc_log_exec.txt";
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

class ClockProcessTest : public testing::Test
{
protected:
    void SetUp() override { ResetClockStore(); }
    void TearDown() override
    {
        clock.Close();
        ResetClockStore();
    }
    ClockProcess clock;
};

TEST_F(ClockProcessTest, FreshUserGetsOpaqueYellowOnNavyAtUpperRightOfPrimaryMonitor)
{
    ASSERT_TRUE(clock.Start());
    HWND hwnd = clock.WaitForWindow();
    ASSERT_NE(hwnd, nullptr);

    LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
    EXPECT_FALSE(ex & WS_EX_LAYERED);
    EXPECT_TRUE(ex & WS_EX_TOPMOST) << "always on top by default";
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & WS_POPUP, static_cast<DWORD>(WS_POPUP));

    RECT r;
    GetWindowRect(hwnd, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    EXPECT_GT(w, 40);
    EXPECT_GT(h, 8);
    RECT mon = MonitorOf(hwnd);
    HDC screen = GetDC(nullptr);
    int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(r.left, mon.right - 3 * GetSystemMetrics(SM_CXSIZE) - w - MulDiv(4, dpiY, 96));
    EXPECT_EQ(r.top, mon.top + 1);

    // The window shows before creation has saved its place and before its first image
    // reaches the screen; a loaded machine can stretch both to seconds.
    Shot shot;
    std::vector<BYTE> cr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(100)) {
        shot = CaptureScreen(r);
        if (GetBinary(kCommon, L"CR", cr) && shot.Count(RGB(0, 0, 128), 8) > w * h / 3) break;
    }
    EXPECT_GT(shot.Count(RGB(255, 255, 0), 40), 10) << "text colour inside the window";
    EXPECT_GT(shot.Count(RGB(0, 0, 128), 8), w * h / 3) << "background colour fills the rest";

    // The position is saved at creation: the monitor and the normal rectangle.
    ASSERT_TRUE(GetBinary(kCommon, L"CR", cr));
    ASSERT_EQ(cr.size(), sizeof(RECT));
    RECT saved;
    memcpy(&saved, cr.data(), sizeof(saved));
    EXPECT_TRUE(EqualRect(&saved, &r));
    std::vector<BYTE> dr;
    ASSERT_TRUE(GetBinary(kCommon, L"DR", dr));
    EXPECT_EQ(0, memcmp(dr.data(), &mon, sizeof(RECT)));
}

TEST_F(ClockProcessTest, SavedRectanglePlacesTheClockAndAlwaysOnTopOffDropsTopmost)
{
    RECT cr{100, 200, 300, 240};
    SetBinary(kCommon, L"CR", &cr, sizeof(cr));
    SetInt(kCommon, L"AT", 0);
    ASSERT_TRUE(clock.Start());
    HWND hwnd = clock.WaitForWindow();
    ASSERT_NE(hwnd, nullptr);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 200);
    EXPECT_FALSE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(ClockProcessTest, TransparentClockShowsTextOutlineAndWhatLiesBehind)
{
    SetInt(kCommon, L"TR", 1);
    SetInt(kCommon, L"UO", 1);
    SetInt(kCommon, L"CO", RGB(255, 0, 0));
    SetInt(kCommon, L"CT", RGB(255, 255, 0));
    SetInt(kCommon, L"OT", 3);
    auto font = FontRecord(L"Tahoma", 28, FW_BOLD);
    SetBinary(kCommon, L"FN", font.data(), static_cast<DWORD>(font.size()));
    // Low on the screen, away from where other test programs open their windows.
    RECT cr{900, 900, 1100, 940};
    SetBinary(kCommon, L"CR", &cr, sizeof(cr));
    SetString(kCommon, L"FT", L"HH:mm:ss");

    ASSERT_TRUE(clock.Start());
    HWND hwnd = clock.WaitForWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    DWORD uo = 0;
    EXPECT_TRUE(GetInt(kCommon, L"UO", uo) && uo == 1) << "Tahoma exists, so the outline stays on";

    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, 900);
    EXPECT_EQ(r.top, 900);
    // The desktop round the clock is what transparency must show inside it: its most common
    // colour on a ring just outside (other test programs may have windows on this display).
    Shot ring = CaptureScreen(RECT{r.left - 3, r.top - 3, r.right + 3, r.bottom + 3});
    ASSERT_GT(ring.width, 0);
    std::map<COLORREF, int> votes;
    for (int x = 0; x < ring.width; ++x) {
        ++votes[ring.At(x, 0)];
        ++votes[ring.At(x, ring.height - 1)];
    }
    for (int y = 0; y < ring.height; ++y) {
        ++votes[ring.At(0, y)];
        ++votes[ring.At(ring.width - 1, y)];
    }
    COLORREF desktop = std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) {
                           return a.second < b.second;
                       })->first;

    Shot shot = CaptureScreen(r);
    EXPECT_GT(shot.Count(RGB(255, 255, 0), 40), 20) << "text body";
    EXPECT_GT(shot.Count(RGB(255, 0, 0), 40), 20) << "outline";
    EXPECT_EQ(shot.Count(RGB(0, 0, 128), 8), 0) << "no background colour on the transparent clock";
    EXPECT_GT(shot.Count(desktop, 4), (r.right - r.left) * (r.bottom - r.top) / 4)
        << "the desktop shows through the transparent background";
}

TEST_F(ClockProcessTest, FaceUnknownToGdiplusTurnsTheStoredOutlineOff)
{
    SetInt(kCommon, L"TR", 1);
    SetInt(kCommon, L"UO", 1);
    auto font = FontRecord(L"No Such Face Anywhere", 20, FW_NORMAL);
    SetBinary(kCommon, L"FN", font.data(), static_cast<DWORD>(font.size()));
    ASSERT_TRUE(clock.Start());
    HWND hwnd = clock.WaitForWindow();
    ASSERT_NE(hwnd, nullptr);
    DWORD uo = 1;
    EXPECT_TRUE(GetInt(kCommon, L"UO", uo));
    EXPECT_EQ(uo, 0u);
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_GT(CaptureScreen(r).Count(RGB(255, 255, 0), 40), 10) << "the text still shows, without outline";
}

// The Options sheet of a process: a dialog of that process with the sheet's caption.
HWND FindOptionsSheet(DWORD pid)
{
    struct Search { DWORD pid; HWND found; } search{pid, nullptr};
    EnumWindows([](HWND w, LPARAM lp) {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        wchar_t cls[16] = L"", title[64] = L"";
        GetClassNameW(w, cls, 16);
        GetWindowTextW(w, title, 64);
        if (owner != s->pid || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
        if (std::wstring(title).find(L" : Options") == std::wstring::npos) return TRUE;
        s->found = w;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForOptionsSheet(DWORD pid)
{
    for (int i = 0; i < 500; ++i) {
        if (HWND h = FindOptionsSheet(pid)) return h;
        Sleep(20);
    }
    return nullptr;
}

TEST_F(ClockProcessTest, SecondStartHandsOverAndEndsWhileTheFirstRuns)
{
    // Always on top, without the tick's re-assertion that would hide a lost topmost state.
    SetInt(kCommon, L"AT", 1);
    SetInt(kCommon, L"ATF", 0);
    ASSERT_TRUE(clock.Start());
    HWND first = clock.WaitForWindow();
    ASSERT_NE(first, nullptr);

    // A window of the test's own in front, so that bringing the sheet forward shows.
    HWND other = CreateWindowExW(0, L"Static", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND sheet = nullptr;
    for (const wchar_t* args : {L"", L"-restore"}) {
        if (sheet) SetForegroundWindow(other);
        ClockProcess second;
        ASSERT_TRUE(second.Start(args));
        EXPECT_EQ(second.WaitForExit(), 0) << "second start with '" << args << "' ends by itself";
        EXPECT_EQ(FindClockWindow(second.Pid()), nullptr);
        Sleep(300);   // the raise is posted
        EXPECT_TRUE(GetWindowLongW(first, GWL_EXSTYLE) & WS_EX_TOPMOST) << "still on top after '" << args << "'";
        HWND shown = WaitForOptionsSheet(clock.Pid());
        ASSERT_NE(shown, nullptr) << "the running clock opens its Options sheet";
        if (sheet) {
            EXPECT_EQ(sheet, shown) << "a second request opens no second sheet";
            for (int i = 0; i < 100 && GetForegroundWindow() != sheet; ++i) Sleep(20);
            EXPECT_EQ(GetForegroundWindow(), sheet) << "the open sheet is brought forward";
        }
        sheet = shown;
    }
    DestroyWindow(other);
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    for (int i = 0; i < 250 && IsWindow(sheet); ++i) Sleep(20);
    EXPECT_FALSE(IsWindow(sheet));
    EXPECT_TRUE(clock.IsRunning());
    EXPECT_TRUE(IsWindow(first));
    SetInt(kCommon, L"SOR", 0);
    ClockProcess third;
    ASSERT_TRUE(third.Start());
    EXPECT_EQ(third.WaitForExit(), 0);
    EXPECT_TRUE(IsWindow(first));
    Sleep(200);
    EXPECT_EQ(FindOptionsSheet(clock.Pid()), nullptr) << "with \"SOR\" 0 no sheet opens";
}

TEST_F(ClockProcessTest, RestoreResetsExactlyTheDisplaySettings)
{
    SetString(kCommon, L"FT", L"HH:mm");
    SetInt(kCommon, L"CC", 0);
    SetInt(kCommon, L"CF", 0);
    auto font = FontRecord(L"Tahoma", 30, FW_NORMAL);
    SetBinary(kCommon, L"FN", font.data(), static_cast<DWORD>(font.size()));
    SetInt(kCommon, L"TR", 1);
    SetInt(kCommon, L"AT", 0);
    SetInt(kCommon, L"MS", 7);
    SetInt(kCommon, L"CB", 0x123456);
    SetInt(kCommon, L"3D", 1);
    RECT saved{100, 200, 300, 240};
    SetBinary(kCommon, L"CR", &saved, sizeof(saved));

    ASSERT_TRUE(clock.Start(L"/RESTORE"));
    HWND hwnd = clock.WaitForWindow();
    ASSERT_NE(hwnd, nullptr);

    // The saved placement goes too: the clock stands at its default place, the top of the monitor.
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_NE(r.left, saved.left);
    EXPECT_EQ(r.top, MonitorOf(hwnd).top + 1);

    std::wstring ft;
    DWORD v = 0;
    EXPECT_TRUE(GetString(kCommon, L"FT", ft));
    EXPECT_EQ(ft, kDefaultFormat);
    EXPECT_TRUE(GetInt(kCommon, L"CC", v) && v == 1);
    EXPECT_TRUE(GetInt(kCommon, L"CF", v) && v == 1);
    EXPECT_TRUE(GetInt(kCommon, L"TR", v) && v == 0);
    EXPECT_TRUE(GetInt(kCommon, L"AT", v) && v == 1);
    std::vector<BYTE> fn;
    EXPECT_TRUE(GetBinary(kCommon, L"FN", fn));
    EXPECT_EQ(fn, std::vector<BYTE>{0});
    // Untouched: not display settings of the switch.
    EXPECT_TRUE(GetInt(kCommon, L"MS", v) && v == 7);
    EXPECT_TRUE(GetInt(kCommon, L"CB", v) && v == 0x123456);
    EXPECT_TRUE(GetInt(kCommon, L"3D", v) && v == 1);
    EXPECT_FALSE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(ClockProcessTest, ASecondStartEndsWhenTheRunningClockHangs)
{
    // A running clock that never answers: the mutex is held, and the thread of a window of the
    // clock's class takes no message.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"m_zarnock32");
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr), release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WNDCLASSW wc{0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, kClockClass};
    const bool registered = RegisterClassW(&wc) != 0;   // else the clock tests' own is there
    std::thread hung([&] {
        HWND w = CreateWindowExW(WS_EX_TOOLWINDOW, kClockClass, L"", WS_POPUP, 0, 0, 20, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetEvent(created);
        WaitForSingleObject(release, 60000);
        DestroyWindow(w);
    });
    WaitForSingleObject(created, 10000);
    ClockProcess second;
    ASSERT_TRUE(second.Start());
    const int exit = second.WaitForExit(12000);
    if (exit == -1) TerminateProcess(second.Handle(), 1);
    EXPECT_EQ(exit, 0) << "the hand-over gives up on a clock that does not answer";
    SetEvent(release);
    hung.join();
    if (registered) UnregisterClassW(kClockClass, wc.hInstance);
    for (HANDLE h : {mutex, created, release}) CloseHandle(h);
}

TEST_F(ClockProcessTest, SwitchesThatDoNotMatchAreIgnored)
{
    // Two arguments, a capital U, and an unknown word: each starts the clock normally.
    for (const wchar_t* args : {L"/restore extra", L"-Uninstall", L"-hello"}) {
        ResetClockStore();
        SetString(kCommon, L"FT", L"HH:mm");
        ClockProcess run;
        ASSERT_TRUE(run.Start(args));
        EXPECT_NE(run.WaitForWindow(), nullptr) << args;
        std::wstring ft;
        EXPECT_TRUE(GetString(kCommon, L"FT", ft));
        EXPECT_EQ(ft, L"HH:mm") << args;
        run.Close();
    }
}

TEST_F(ClockProcessTest, UninstallWithoutRunningCopyEndsAtOnce)
{
    ASSERT_TRUE(clock.Start(L"-uninstall"));
    EXPECT_EQ(clock.WaitForExit(), 0);
    EXPECT_EQ(FindClockWindow(clock.Pid()), nullptr);
}

TEST_F(ClockProcessTest, DamagedStoreStillGivesAUsableClockOnAVisibleMonitor)
{
    struct Damage {
        const char* what;
        void (*apply)();
    };
    const Damage cases[] = {
        {"colours of the wrong type", [] {
             SetString(kCommon, L"CB", L"navy");
             SetString(kCommon, L"CT", L"yellow");
         }},
        {"format that trims to nothing", [] { SetString(kCommon, L"FT", L" \t  "); }},
        {"unknown face, absurd size", [] {
             auto font = FontRecord(L"No Such Face Anywhere", 30000, FW_BOLD);
             SetBinary(kCommon, L"FN", font.data(), static_cast<DWORD>(font.size()));
             SetInt(kCommon, L"TR", 1);
         }},
        {"absurd margins and outline", [] {
             SetInt(kCommon, L"MS", 0x7FFFFFFF);
             SetInt(kCommon, L"OT", 0x80000000);
             SetInt(kCommon, L"AL", 77);
             SetInt(kCommon, L"CTA", 5000);
         }},
        {"old position far off every monitor", [] { SetInt(kCommon, L"XY", 0x8AD08AD0); }},
        {"saved rectangle far off every monitor", [] {
             RECT distant{60000, 60000, 60200, 60040};
             SetBinary(kCommon, L"CR", &distant, sizeof(distant));
             SetBinary(kCommon, L"DR", &distant, sizeof(distant));
             SetInt(kCommon, L"WPM", 1);
         }},
        {"rectangles of the wrong length", [] {
             BYTE junk[15] = {1, 2, 3};
             SetBinary(kCommon, L"CR", junk, sizeof(junk));
             SetBinary(kCommon, L"DR", junk, sizeof(junk));
             SetBinary(kCommon, L"FN", junk, sizeof(junk));
         }},
        {"proportional restore with a zero DPI", [] {
             RECT cr{1000, 900, 1200, 940};
             RECT dr{0, 0, 1280, 1024};
             SetBinary(kCommon, L"CR", &cr, sizeof(cr));
             SetBinary(kCommon, L"DR", &dr, sizeof(dr));
             SetInt(kCommon, L"PDPI", 1);
             SetInt(kCommon, L"DP", 0);
         }},
    };
    for (const Damage& d : cases) {
        ResetClockStore();
        d.apply();
        ClockProcess run;
        ASSERT_TRUE(run.Start()) << d.what;
        HWND hwnd = run.WaitForWindow(40000);
        ASSERT_NE(hwnd, nullptr) << d.what;
        RECT r, mon = MonitorOf(hwnd), common;
        GetWindowRect(hwnd, &r);
        EXPECT_GT(r.right - r.left, 10) << d.what;
        EXPECT_GT(r.bottom - r.top, 5) << d.what;
        EXPECT_LE(r.right - r.left, mon.right - mon.left) << d.what;
        EXPECT_LE(r.bottom - r.top, mon.bottom - mon.top) << d.what;
        ASSERT_TRUE(IntersectRect(&common, &r, &mon)) << d.what;
        EXPECT_TRUE(EqualRect(&common, &r)) << d.what << ": wholly on the monitor";
        EXPECT_FALSE(WindowText(hwnd).empty()) << d.what;
        run.Close();
    }
}

TEST_F(ClockProcessTest, ExitWritesEndAsTheLastLogEntry)
{
    ASSERT_TRUE(clock.Start());
    HWND hwnd = clock.WaitForWindow();
    ASSERT_NE(hwnd, nullptr);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(clock.WaitForExit(), 0);

    std::vector<std::string> lines = Lines(ReadProgramLog());
    ASSERT_FALSE(lines.empty());
    const std::string& last = lines.back();
    // An entry: mark, time, level, the text padded to a column, then the source.
    EXPECT_NE(last.find(" - END "), std::string::npos) << last;
    // This run's start line; it may be the first line when the log was just rotated.
    size_t start = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find("START Zarnock") != std::string::npos) start = i;
    ASSERT_LT(start, lines.size()) << "this run's start line";
    bool placed = false;
    for (size_t i = start; i < lines.size(); ++i)
        if (lines[i].find("set wp ") != std::string::npos) placed = true;
    EXPECT_TRUE(placed) << "the placement is logged";
}

TEST_F(ClockProcessTest, BlankFormatShowsEmptyClock)
{
    SetString(kCommon, L"FT", L"   ");
    ASSERT_TRUE(clock.Start());
    HWND hwnd = clock.WaitForWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(WindowText(hwnd), L"Empty Clock");
}

}  // namespace
