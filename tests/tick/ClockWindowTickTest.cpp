// The clock window in the test's own process under Wine: its tray icon, context menu and
// commands, the hand-off to a sibling program and the own tip, the full-screen watch, and
// placement after display changes, drags and DPI changes.
#include "App.h"
#include "CrashReport/ErrorReportingHelper.h"
#include "Globals.h"
#include "DigitClock.h"
#include "DigitClockAccess.h"
#include "Settings.h"
#include "StringTable.h"
#include "ToolTipCtrl3.h"
#include "resource.h"

#include "GdiplusSession.h"
#include "MessagePump.h"
#include "ProfileTestApp.h"

#include <gmock/gmock.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

ProfileTestApp g_app(L"ZarnockTickTests");
testing::Environment* const g_gdiplus = testing::AddGlobalTestEnvironment(new GdiplusSession);

void ClearProfile()
{
    g_app.ClearStore();
    WriteSettingInt(Setting::kFST, 0);
}

// A clock whose browser is the test.
class TestClock : public CDigitClock
{
public:
    void OpenAddress(const wchar_t* address) override { opened.push_back(CString(address)); }
    std::vector<CString> opened;
};

class ClockTickTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ClearProfile();
        g_tipTarget = 0;
        g_positionLocked = 0;
        clock = new TestClock;
        clock->SetFormat(L"HH:mm:ss", FALSE);
    }
    void TearDown() override
    {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        else if (!hwnd) delete clock;
        zntest::PumpPending();
        ClearProfile();
    }
    void Create()
    {
        ASSERT_TRUE(clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP,
                                    100, 100, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
        hwnd = clock->m_hWnd;
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    }
    RECT Rect() const
    {
        RECT r;
        GetWindowRect(hwnd, &r);
        return r;
    }
    TestClock* clock = nullptr;
    HWND hwnd = nullptr;
};

bool TrayIconPresent(HWND owner)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = owner;
    data.uID = CDigitClock::kTrayIconId;
    data.uFlags = NIF_TIP;
    lstrcpyW(data.szTip, L"probe");
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

TEST_F(ClockTickTest, TrayIconOnlyWhenNotAlwaysOnTopAndBackAfterTheShellRestarts)
{
    WriteSettingInt(Setting::kAT, 0);
    Create();
    EXPECT_TRUE(ClockFields(clock).m_trayIconAdded());
    EXPECT_TRUE(TrayIconPresent(hwnd));

    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = CDigitClock::kTrayIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(TrayIconPresent(hwnd));
    SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconPresent(hwnd)) << "re-added for a restarted shell";

    DestroyWindow(hwnd);
    EXPECT_FALSE(TrayIconPresent(hwnd)) << "removed with the window";
}

TEST_F(ClockTickTest, NoTrayIconWhenAlwaysOnTopAlsoAfterTheShellRestarts)
{
    Create();
    EXPECT_FALSE(ClockFields(clock).m_trayIconAdded());
    EXPECT_FALSE(TrayIconPresent(hwnd));
    SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_FALSE(TrayIconPresent(hwnd));
}

struct MenuItem {
    CString text;
    UINT id;
    bool grey;
    bool checked;
};

void ReadMenu(HMENU menu, std::vector<MenuItem>& items, const CString& prefix = CString())
{
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        CString name = (info.fType & MFT_SEPARATOR) ? CString(L"-") : CString(text);
        items.push_back({prefix + name, info.wID, (info.fState & MFS_GRAYED) != 0, (info.fState & MFS_CHECKED) != 0});
        if (info.hSubMenu) ReadMenu(info.hSubMenu, items, prefix + name + L" > ");
    }
}

std::vector<MenuItem> PreparedMenu(CDigitClock* clock)
{
    HMENU bar = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    HMENU popup = GetSubMenu(bar, 0);
    clock->PrepareContextMenu(popup);
    std::vector<MenuItem> items;
    ReadMenu(popup, items);
    DestroyMenu(bar);
    return items;
}

TEST_F(ClockTickTest, ContextMenuTextsAndStates)
{
    Create();
    for (int soundOn : {1, 0}) {
        for (int locked : {0, 1}) {
            ClockFields(clock).m_soundEnabled() = soundOn;
            g_positionLocked = locked;
            std::vector<MenuItem> items = PreparedMenu(clock);
            std::vector<CString> texts;
            for (const MenuItem& m : items) texts.push_back(m.text);
            const CString sound = soundOn ? L"&Sound ( enabled )" : L"&Sound ( disabled )";
            EXPECT_THAT(texts, testing::ElementsAre(CString(L"&Options..."), sound, sound + L" > &Enable", sound + L" > &Disable",
                                                    CString(L"&Lock Window Position"), CString(L"-"),
                                                    CString(L"New Stop&watch"), CString(L"Synchronize &Now"),
                                                    CString(L"-"), CString(L"&Help"),
                                                    CString(L"&Help > &Help Topics"), CString(L"&Help > -"),
                                                    CString(L"&Help > &Report a Bug..."),
                                                    CString(L"&Help > Send &Feedback..."),
                                                    CString(L"&Help > &Technical Support..."), CString(L"&Help > -"),
                                                    CString(L"&Help > Zarnock on the &Web"), CString(L"&Help > -"),
                                                    CString(L"&Help > &About..."), CString(L"-"),
                                                    CString(L"E&xit")));
            ASSERT_EQ(items.size(), 21u);
            EXPECT_FALSE(items[0].grey) << "Options while no synchronisation runs";
            EXPECT_EQ(items[2].grey, soundOn == 1) << "Enable only while off";
            EXPECT_EQ(items[3].grey, soundOn == 0) << "Disable only while on";
            EXPECT_EQ(items[4].checked, locked == 1);
            EXPECT_FALSE(items[4].grey);
            EXPECT_FALSE(items[6].grey);
            EXPECT_TRUE(items[7].grey) << "no time server set";
            for (size_t i : {10u, 16u, 18u, 20u}) EXPECT_FALSE(items[i].grey) << i;
            // The report commands belong to the application object, which this test does
            // not have: greyed here, enabled in the program.
            for (size_t i : {12u, 13u, 14u}) EXPECT_TRUE(items[i].grey) << i;
        }
    }
}

TEST_F(ClockTickTest, EachMenuCommandReachesItsHandler)
{
    Create();
    ClockFields(clock).m_soundEnabled() = 1;
    SendMessageW(hwnd, WM_COMMAND, ID_SOUND_DISABLE, 0);
    EXPECT_EQ(ClockFields(clock).m_soundEnabled(), 0);
    EXPECT_EQ(GetSettingInt(Setting::kSE), 0);
    SendMessageW(hwnd, WM_COMMAND, ID_SOUND_ENABLE, 0);
    EXPECT_EQ(ClockFields(clock).m_soundEnabled(), 1);
    EXPECT_EQ(GetSettingInt(Setting::kSE), 1);

    SendMessageW(hwnd, WM_COMMAND, ID_LOCK_POSITION, 0);
    EXPECT_EQ(g_positionLocked, 1);
    EXPECT_EQ(GetSettingInt(Setting::kLW), 1);
    SendMessageW(hwnd, WM_COMMAND, ID_LOCK_POSITION, 0);
    EXPECT_EQ(g_positionLocked, 0);

    SendMessageW(hwnd, WM_COMMAND, ID_WEB_PAGE, 0);
    ASSERT_EQ(clock->opened.size(), 1u);
    EXPECT_EQ(clock->opened[0], CString(L"https://www.mervale-software.example/zarnock/?src=about&version=5.1.2.0r"));

    // A server nobody answers on: the request runs; the close ends it silently.
    WriteSettingString(Setting::kSVR, L"127.0.0.1");
    ClockFields(clock).m_sntp().LoadOptions(FALSE);
    EXPECT_FALSE(PreparedMenu(clock)[7].grey) << "a server is set and nothing runs";
    SendMessageW(hwnd, WM_COMMAND, ID_SYNC_NOW, 0);
    EXPECT_TRUE(ClockFields(clock).m_sntp().IsRequestRunning());
    EXPECT_TRUE(PreparedMenu(clock)[7].grey) << "greyed while a request runs";
    EXPECT_TRUE(PreparedMenu(clock)[0].grey) << "no Options while a request runs";

    SendMessageW(hwnd, WM_COMMAND, ID_APP_EXIT_CLOCK, 0);
    EXPECT_FALSE(IsWindow(hwnd)) << "Exit closes the clock";
}

TEST_F(ClockTickTest, TrayClicksRaiseTheClockButOnlyBeepWhileTheSheetIsOpen)
{
    WriteSettingInt(Setting::kAT, 0);
    Create();
    ClockFields(clock).m_stateFlags() |= CDigitClock::STATE_OPTIONS_OPEN;
    // No menu may open: the call returns at once.
    SendMessageW(hwnd, CDigitClock::kTrayCallbackMessage, CDigitClock::kTrayIconId, WM_RBUTTONUP);
    SendMessageW(hwnd, CDigitClock::kTrayCallbackMessage, CDigitClock::kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_FALSE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) << "raised, then not topmost again";
    ClockFields(clock).m_stateFlags() &= ~CDigitClock::STATE_OPTIONS_OPEN;
}

// The colour of a client pixel after the client was filled with marker and asked to paint.
COLORREF PixelAfterPaint(HWND hwnd, COLORREF marker)
{
    HDC dc = GetDC(hwnd);
    HBRUSH brush = CreateSolidBrush(marker);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    const COLORREF colour = GetPixel(dc, 3, 3);
    ReleaseDC(hwnd, dc);
    return colour;
}

// The crash dialog's message loop runs on the clock's thread: from the start of the crash
// road the clock neither paints nor ticks, so a paint or tick that faulted cannot fault again.
TEST_F(ClockTickTest, NeitherPaintNorTickOnceACrashIsReported)
{
    Create();
    ASSERT_FALSE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    SetWindowTextW(hwnd, L"stale");
    const COLORREF marker = RGB(1, 254, 3);
    ASSERT_NE(PixelAfterPaint(hwnd, marker), marker) << "the clock paints over the marker";
    ASSERT_TRUE(InstallCrashHandler(false, 0));
    GetErrorReportingHelper()->m_crashing = true;

    const COLORREF painted = PixelAfterPaint(hwnd, marker);
    const BOOL pending = GetUpdateRect(hwnd, nullptr, FALSE);
    SendMessageW(hwnd, WM_TIMER, ZN_CLOCK_TIMER_ID, 0);
    wchar_t text[32] = {};
    GetWindowTextW(hwnd, text, 32);
    const bool timerWasRunning = KillTimer(hwnd, ZN_CLOCK_TIMER_ID) != FALSE;

    GetErrorReportingHelper()->m_crashing = false;
    RemoveCrashHandler();
    EXPECT_EQ(painted, marker) << "nothing painted";
    EXPECT_FALSE(pending) << "validated, so it is not sent again";
    EXPECT_STREQ(text, L"stale") << "no tick";
    EXPECT_FALSE(timerWasRunning) << "the display timer is stopped";
}

HWND g_closeTarget = nullptr;
int g_closeFired = 0;

VOID CALLBACK CloseClockFromTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    ++g_closeFired;
    PostMessageW(g_closeTarget, WM_CLOSE, 0, 0);
}

TEST_F(ClockTickTest, CloseWhileTheMenuIsOpenWaitsForTheMenu)
{
    Create();
    g_closeTarget = hwnd;
    g_closeFired = 0;
    SetTimer(nullptr, 0, 300, CloseClockFromTimer);
    // Runs the menu's own loop; the close comes in the middle of it.
    clock->ShowContextMenu(POINT{200, 200});
    EXPECT_EQ(g_closeFired, 1) << "the close came while the menu was open";
    ASSERT_TRUE(IsWindow(hwnd)) << "the object is still alive after the menu returned";
    EXPECT_EQ(ClockFields(clock).m_modal().Depth(), 0);
    zntest::PumpPending();
    EXPECT_FALSE(IsWindow(hwnd)) << "the close was carried out afterwards";
}

// A window of a sibling program's class on a thread of its own, recording the tip message.
class Sibling
{
public:
    explicit Sibling(const wchar_t* className, DWORD hangMs = 0) : m_class(className), m_hang(hangMs)
    {
        m_thread = std::thread([this] { Run(); });
        while (!m_ready) Sleep(5);
    }
    ~Sibling()
    {
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
        m_thread.join();
    }
    std::vector<std::pair<WPARAM, LPARAM>> received;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        auto* self = reinterpret_cast<Sibling*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == RegisterWindowMessageW(L"qx_rv_tool_32")) {
            if (self->m_hang) Sleep(self->m_hang);
            self->received.push_back({wp, lp});
            return 0x5A;
        }
        if (msg == WM_CLOSE) {
            DestroyWindow(hwnd);
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    void Run()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = m_class;
        RegisterClassW(&wc);
        m_hwnd = CreateWindowW(m_class, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_ready = true;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        UnregisterClassW(m_class, wc.hInstance);
    }
    const wchar_t* m_class;
    DWORD m_hang;
    HWND m_hwnd = nullptr;
    std::atomic<bool> m_ready{false};
    std::thread m_thread;
};

TEST_F(ClockTickTest, SiblingOfTheChosenKindReceivesTheClockWindowAndShowOrHide)
{
    Create();
    struct Case {
        int target;
        const wchar_t* cls;
    } cases[] = {{0, L"qx_qdl_tray_32"}, {1, L"qx_am_mainfrm_32"}, {2, L"qx_amnet_mainfrm_32"}, {7, L"qx_qdl_tray_32"}};
    for (const Case& c : cases) {
        g_tipTarget = c.target;
        Sibling sibling(c.cls);
        EXPECT_EQ(clock->ForwardClick(1), 0x5A) << "the reply is returned";
        clock->ForwardClick(0);
        ASSERT_EQ(sibling.received.size(), 2u) << c.target;
        EXPECT_EQ(sibling.received[0].first, reinterpret_cast<WPARAM>(hwnd));
        EXPECT_EQ(sibling.received[0].second, 1);
        EXPECT_EQ(sibling.received[1].second, 0);
        EXPECT_FALSE(IsWindowVisible(ClockFields(clock).m_tip().m_hWnd)) << "no own tip";
    }
}

TEST_F(ClockTickTest, HoverAndLeaveAreHandedToTheSibling)
{
    Create();
    g_tipTarget = 2;
    Sibling sibling(L"qx_amnet_mainfrm_32");
    SendMessageW(hwnd, WM_MOUSEHOVER, 0, 0);
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    ASSERT_EQ(sibling.received.size(), 2u);
    EXPECT_EQ(sibling.received[0].second, 1);
    EXPECT_EQ(sibling.received[1].second, 0);
}

TEST_F(ClockTickTest, HungSiblingIsGivenUp)
{
    Create();
    Sibling sibling(L"qx_qdl_tray_32", 8000);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(clock->ForwardClick(1), 0);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::seconds(6)) << "the send has a time-out";
}

TEST_F(ClockTickTest, OwnTipWhenNoSiblingRuns)
{
    Create();
    ASSERT_EQ(FindWindowW(L"qx_qdl_tray_32", nullptr), nullptr);
    clock->ForwardClick(1);
    ASSERT_TRUE(ClockFields(clock).m_tip().m_hWnd);
    EXPECT_TRUE(IsWindowVisible(ClockFields(clock).m_tip().m_hWnd));
    EXPECT_EQ(ClockFields(clock).m_tip().m_hAnchor, hwnd);
    EXPECT_FALSE(ClockFields(clock).m_tip().m_bSiblingFound);
    clock->ForwardClick(0);
    EXPECT_FALSE(IsWindowVisible(ClockFields(clock).m_tip().m_hWnd));
}

TEST_F(ClockTickTest, LockedPositionStartsNoDrag)
{
    Create();
    g_positionLocked = 1;
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, hwnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    g_positionLocked = 0;
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
}

RECT PrimaryMonitor()
{
    RECT none{};
    return GetMonitorRectForWindow(none);
}

bool EnoughShows(const RECT& window)
{
    RECT monitor = PrimaryMonitor(), shown;
    if (!IntersectRect(&shown, &window, &monitor)) return false;
    return shown.right - shown.left >= (window.right - window.left) / 2 &&
           shown.bottom - shown.top >= (window.bottom - window.top) / 2;
}

TEST_F(ClockTickTest, DisplayChangeBringsTheClockBackToAVisibleMonitor)
{
    WriteSettingInt(Setting::kPDPI, 1);
    WriteSettingInt(Setting::kAWP, 1);
    Create();
    RECT monitor = PrimaryMonitor();
    // The clock sat near the right edge of a wider monitor that is gone now.
    ClockFields(clock).m_monitorRect() = RECT{monitor.left, monitor.top, monitor.right + 1000, monitor.bottom};
    SetWindowPos(hwnd, nullptr, monitor.right + 800, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_FALSE(EnoughShows(Rect()));
    SendMessageW(hwnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(monitor.right, monitor.bottom));
    EXPECT_TRUE(EnoughShows(Rect()));
    EXPECT_TRUE(EqualRect(&ClockFields(clock).m_monitorRect(), &monitor));
}

TEST_F(ClockTickTest, UnforcedAdjustmentNeedsAwpButTheEndOfADragAlwaysMoves)
{
    Create();
    RECT monitor = PrimaryMonitor();
    SetWindowPos(hwnd, nullptr, monitor.right - 5, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    clock->AdjustWindowPos(FALSE, FALSE);
    EXPECT_FALSE(EnoughShows(Rect())) << "aswp ignored";
    SendMessageW(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    EXPECT_EQ(g_clockMoving, 1);
    SendMessageW(hwnd, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(EnoughShows(Rect()));
    EXPECT_EQ(g_clockMoving, 0);
}

TEST_F(ClockTickTest, DpiChangeClosesOnlyWithPdpiAndNotDuringADrag)
{
    WriteSettingInt(Setting::kPDPI, 1);
    Create();
    RECT suggested{0, 0, 100, 30};
    clock->SetFormat(L"HH:mm:ss.SS", FALSE);
    SendMessageW(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_TRUE(IsWindow(hwnd)) << "ignored while dragged";
    g_clockMoving = 0;
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_FALSE(IsWindow(hwnd)) << "\"PDPI\" closes the clock";
}

// A window over the whole primary monitor, in the foreground when the window system allows.
// Fully transparent: it hides nothing on the screen.
HWND ShowFullScreenWindow()
{
    RECT monitor = PrimaryMonitor();
    HWND full = CreateWindowExW(WS_EX_LAYERED, L"STATIC", L"full", WS_POPUP, monitor.left, monitor.top,
                                monitor.right - monitor.left, monitor.bottom - monitor.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!full) return nullptr;
    SetLayeredWindowAttributes(full, 0, 0, LWA_ALPHA);
    ShowWindow(full, SW_SHOW);
    SetForegroundWindow(full);
    zntest::PumpPending();
    return full;
}

TEST_F(ClockTickTest, FullScreenWindowSendsTheClockDownAndSilencesChimes)
{
    Create();
    // The display tick watches for full-screen windows too; were it to run while the new
    // window's messages are pumped, it would take the step before the test does. The test
    // sends the ticks itself.
    KillTimer(hwnd, ZN_CLOCK_TIMER_ID);
    HWND full = ShowFullScreenWindow();
    ASSERT_TRUE(full);
    if (GetForegroundWindow() != full) GTEST_SKIP() << "the window system gave the foreground elsewhere";
    EXPECT_TRUE(clock->WatchFullScreen());
    EXPECT_TRUE(ClockFields(clock).m_fullScreen());
    EXPECT_FALSE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) << "moved to the bottom";
    EXPECT_FALSE(clock->WatchFullScreen()) << "no change, nothing done";
    // The display tick takes no chime step over the full-screen window unless "SFS" is on.
    auto tickTakesChimeStep = [&] {
        ClockFields(clock).m_chimeSchedule().m_lastTick = 0;
        SendMessageW(hwnd, WM_TIMER, ZN_CLOCK_TIMER_ID, 0);
        return ClockFields(clock).m_chimeSchedule().m_lastTick != 0;
    };
    EXPECT_FALSE(tickTakesChimeStep()) << "silent over a full-screen window";
    ClockFields(clock).m_soundOverFullScreen() = 1;
    EXPECT_TRUE(tickTakesChimeStep()) << "SFS: chimes over it too";
    ClockFields(clock).m_soundOverFullScreen() = 0;

    SetWindowPos(full, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_TRUE(clock->WatchFullScreen());
    EXPECT_FALSE(ClockFields(clock).m_fullScreen());
    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) << "topmost again";
    EXPECT_TRUE(tickTakesChimeStep()) << "chimes again once the window is no longer full-screen";
    DestroyWindow(full);
}

TEST_F(ClockTickTest, FullScreenWatchAsksForTheMonitorsAgainWhenTheDisplayChanges)
{
    Create();
    KillTimer(hwnd, ZN_CLOCK_TIMER_ID);
    RECT monitor = PrimaryMonitor();
    HWND full = ShowFullScreenWindow();
    ASSERT_TRUE(full);
    if (GetForegroundWindow() != full) GTEST_SKIP() << "the window system gave the foreground elsewhere";
    for (UINT msg : {WM_DISPLAYCHANGE, WM_SETTINGCHANGE}) {
        ClockFields(clock).m_fullScreen() = FALSE;
        // The sizes of the monitors as they were before the change.
        ClockFields(clock).m_monitorSizes().assign(1, SIZE{640, 480});
        EXPECT_FALSE(clock->WatchFullScreen()) << msg;
        SendMessageW(hwnd, msg, msg == WM_DISPLAYCHANGE ? 32 : 0,
                     msg == WM_DISPLAYCHANGE ? MAKELPARAM(monitor.right, monitor.bottom) : 0);
        EXPECT_TRUE(clock->WatchFullScreen()) << msg;
        EXPECT_TRUE(ClockFields(clock).m_fullScreen()) << msg;
    }
    DestroyWindow(full);
}

TEST_F(ClockTickTest, TickPutsTheClockBackOnTopWhenItIsNoLongerThere)
{
    Create();
    KillTimer(hwnd, ZN_CLOCK_TIMER_ID);
    ClockFields(clock).m_watchFullScreen() = 0;  // the full-screen state below is the test's own
    struct Case {
        const char* what;
        int reassert;
        BOOL fullScreen;
        bool otherAbove;  // else the clock is made not topmost
        bool onTop;
    } cases[] = {
        {"another topmost window above", 1, FALSE, true, true},
        {"no longer topmost", 1, FALSE, false, true},
        {"\"ATF\" off", 0, FALSE, true, false},
        {"full-screen state", 1, TRUE, true, false},
    };
    for (const Case& c : cases) {
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        HWND other = nullptr;
        if (c.otherAbove) {
            other = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
            ASSERT_TRUE(other);
            SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
            ASSERT_TRUE(GetWindow(hwnd, GW_HWNDPREV)) << c.what;
        } else {
            SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        }
        ClockFields(clock).m_reassertTopmost() = c.reassert;
        ClockFields(clock).m_fullScreen() = c.fullScreen;
        SendMessageW(hwnd, WM_TIMER, ZN_CLOCK_TIMER_ID, 0);
        const bool onTop = (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) && !GetWindow(hwnd, GW_HWNDPREV);
        EXPECT_EQ(onTop, c.onTop) << c.what;
        if (other) DestroyWindow(other);
    }
    ClockFields(clock).m_fullScreen() = FALSE;
}

TEST_F(ClockTickTest, TickShowsItsTextAgainAfterATextFromElsewhere)
{
    clock->SetFormat(L"'fixed'", FALSE);
    Create();
    KillTimer(hwnd, ZN_CLOCK_TIMER_ID);
    SendMessageW(hwnd, WM_TIMER, ZN_CLOCK_TIMER_ID, 0);
    ASSERT_EQ(clock->GetWindowText(), CString(L"fixed"));
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"from elsewhere"));
    SendMessageW(hwnd, WM_TIMER, ZN_CLOCK_TIMER_ID, 0);
    EXPECT_EQ(clock->GetWindowText(), CString(L"fixed"));
}


// The SNTP client's failure box runs a message loop of its own under the clock window. An
// Exit that arrives meanwhile (a second start with "-uninstall" sends one) must wait until
// the box has returned: the clock object, and the client inside it, live on under the box.
int g_insideSntpMessage = 0;
int g_freedUnderSntpMessage = 0;

class WatchedClock : public TestClock
{
public:
    ~WatchedClock() override
    {
        if (g_insideSntpMessage) ++g_freedUnderSntpMessage;
    }
};

class LateClock : public CSntpClock
{
public:
    DWORD TickCount() override { return ::GetTickCount() + offset; }
    std::atomic<DWORD> offset{0};
};

// A dialog of the given thread (the failure box; the test shows no other).
HWND FindThreadBox(DWORD thread)
{
    for (HWND box = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); box;
         box = FindWindowExW(nullptr, box, L"#32770", nullptr))
        if (GetWindowThreadProcessId(box, nullptr) == thread) return box;
    return nullptr;
}

TEST_F(ClockTickTest, ExitWhileTheSyncFailureBoxIsUpWaitsForTheBox)
{
    delete clock;
    clock = new WatchedClock;
    clock->SetFormat(L"HH:mm:ss", FALSE);
    Create();
    CSNTPWnd* sntp = clock->GetSntpWnd();
    const HWND sntpHwnd = sntp->m_hWnd;
    wchar_t temp[MAX_PATH], syncLog[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetTempFileNameW(temp, L"zts", 0, syncLog);
    sntp->m_logFilePath = syncLog;
    LateClock late;
    sntp->SetClock(&late);

    // A server that never answers; the watchdog is then told the reply is long overdue.
    SOCKET silent = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(silent, INVALID_SOCKET);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int atLength = sizeof(at);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&at), sizeof(at)), 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&at), &atLength);
    sntp->Synchronize("127.0.0.1", ntohs(at.sin_port), TRUE);
    sntp->SyncNow(TRUE);
    ASSERT_TRUE(sntp->IsRequestRunning());
    late.offset = 20000;

    std::atomic<bool> boxSeen{false};
    const DWORD uiThread = GetCurrentThreadId();
    std::thread exiter([&] {
        HWND box = nullptr;
        for (int i = 0; i < 800 && !box; ++i, Sleep(10)) box = FindThreadBox(uiThread);
        if (!box) return;
        boxSeen = true;
        DWORD_PTR reply = 0;
        SendMessageTimeoutW(hwnd, WM_COMMAND, ID_APP_EXIT_CLOCK, 0, SMTO_NORMAL, 5000, &reply);
        // A clock already gone leaves the box's loop waiting for a window that is no more:
        // a quit message ends it, so that the fault shows as a failure rather than a hang.
        if (!IsWindow(hwnd)) PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
        // Whatever happened, the box may not outlive the test.
        for (int i = 0; i < 100 && (box = FindThreadBox(uiThread)) != nullptr; ++i, Sleep(20))
            PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    g_insideSntpMessage = 0;
    g_freedUnderSntpMessage = 0;
    for (DWORD start = GetTickCount(); IsWindow(hwnd) && GetTickCount() - start < 10000;) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(5);
            continue;
        }
        g_insideSntpMessage = msg.hwnd == sntpHwnd;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        g_insideSntpMessage = 0;
    }
    exiter.join();
    closesocket(silent);
    DeleteFileW(syncLog);

    EXPECT_TRUE(boxSeen) << "the failure box came up";
    EXPECT_EQ(g_freedUnderSntpMessage, 0) << "the clock was freed while the box was still on its stack";
    EXPECT_FALSE(IsWindow(hwnd)) << "the exit was carried out after the box";
}

}  // namespace
