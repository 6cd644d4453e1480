// Stopwatch windows under Wine: the real template, the seven-segment display read back
// pixel by pixel, the buttons' commands, placement, and the clock's close taking them along.
// The tick count is the test's own, so every reading is exact.
#include "ClockTestApp.h"

#include "DigitClock.h"
#include "Settings.h"
#include "StopWatchTimerDlg.h"
#include "StringTable.h"
#include "resource.h"

#include "GdiplusSession.h"
#include "MessagePump.h"

#include <gmock/gmock.h>

namespace {

testing::Environment* const g_gdiplus = testing::AddGlobalTestEnvironment(new GdiplusSession);

DWORD g_now = 0;
DWORD WINAPI FakeTicks()
{
    return g_now;
}

const COLORREF kLitCentre = 0x00FFFF;
const COLORREF kUnlit = 0x004D0C;

class StopWatchTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_app.ClearStore();
        // Not a first start: the clock window would open the Options sheet.
        g_app.WriteProfileInt(GetStr(SID_SECTION_TIMESYNC), GetStr(SID_KEY_FST), 0);
    }
    void TearDown() override
    {
        while (!CStopWatchTimerDlg::OpenStopWatches().empty()) {
            CStopWatchTimerDlg* open = CStopWatchTimerDlg::OpenStopWatches().back();
            if (!open->m_hWnd) break;
            DestroyWindow(open->m_hWnd);
        }
        zntest::PumpPending();
        g_app.ClearStore();
    }
    CStopWatchTimerDlg* Open()
    {
        CStopWatchTimerDlg* dlg = OpenStopWatch();
        if (dlg) dlg->m_tickCount = FakeTicks;
        return dlg;
    }
    static void Press(CStopWatchTimerDlg* dlg, int id, WORD code = BN_CLICKED)
    {
        SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dlg->m_hWnd, id)));
    }
    static void Tick(CStopWatchTimerDlg* dlg, DWORD now)
    {
        g_now = now;
        SendMessageW(dlg->m_hWnd, WM_TIMER, CStopWatchTimerDlg::kTimerId, 0);
    }
    static std::wstring Shown(CStopWatchTimerDlg* dlg) { return dlg->m_display.GetText().GetString(); }
};

TEST(StopWatchRules, MultiplierFromTheSettingAndTheScreen)
{
    struct Case {
        int stored, dpi, expected;
    } cases[] = {
        {0, 96, 1}, {0, 144, 2}, {0, 120, 2}, {0, 72, 2}, {0, 192, 3}, {0, 287, 3}, {0, 288, 4}, {0, 384, 5},
        {0, 480, 6}, {0, 960, 6}, {-5, 96, 1}, {1, 480, 1}, {38, 96, 38}, {39, 96, 39}, {50, 96, 39},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CStopWatchTimerDlg::MultiplierFor(c.stored, c.dpi), c.expected) << c.stored << " " << c.dpi;
}

TEST(StopWatchRules, ReadingTextsStopAtTheLongestReading)
{
    struct Case {
        DWORD ms;
        const wchar_t* text;
    } cases[] = {
        {0, L"00:00:00:00"},          {9, L"00:00:00:00"},          {10000, L"00:00:10:00"},
        {3723456, L"01:02:03:45"},    {359999990, L"99:59:59:99"},  {359999999, L"99:59:59:99"},
        {0xFFFFFFFF, L"99:59:59:99"},
    };
    for (const Case& c : cases) EXPECT_STREQ(CStopWatchTimerDlg::ElapsedText(c.ms).GetString(), c.text) << c.ms;
}

TEST_F(StopWatchTest, PanelGeometryAtMultiplierOne)
{
    CStopWatchTimerDlg* dlg = Open();
    ASSERT_NE(dlg, nullptr);
    ASSERT_EQ(dlg->GetMultiplier(), 1) << "Wine's screen has 96 pixels per inch";
    RECT r;
    GetWindowRect(dlg->m_hWnd, &r);
    EXPECT_EQ(r.right - r.left, 128);
    EXPECT_EQ(r.bottom - r.top, 57);
    EXPECT_TRUE(GetWindowLongPtrW(dlg->m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongPtrW(dlg->m_hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    RECT d;
    GetWindowRect(dlg->m_display.m_hWnd, &d);
    EXPECT_EQ(d.left - r.left, 6);
    EXPECT_EQ(d.top - r.top, 7);
    EXPECT_EQ(d.right - d.left, 115);
    RECT b;
    GetWindowRect(dlg->m_resetButton.m_hWnd, &b);
    EXPECT_EQ(b.left - r.left, 86);
    EXPECT_EQ(b.top - r.top, 37);
    EXPECT_EQ(b.right - b.left, 38);
    EXPECT_TRUE(dlg->m_startButton.IsDefault());
    EXPECT_EQ(GetWindowLongPtrW(dlg->m_startButton.m_hWnd, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(Shown(dlg), L"00:00:00:00");
    EXPECT_EQ(SendMessageW(dlg->m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + 2, r.top + 2)), HTCAPTION);
}

// A key pressed on the focused control, through the application's loop (CWinApp::Run).
void PressKey(WPARAM key)
{
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!CWnd::WalkPreTranslateTree(&msg)) TranslateMessage(&msg), DispatchMessageW(&msg);
}

TEST_F(StopWatchTest, TabMovesBetweenTheButtonsWhileEnterAndEscapeDoNothing)
{
    CStopWatchTimerDlg* dlg = Open();
    ASSERT_NE(dlg, nullptr);
    SetFocus(dlg->m_resetButton.m_hWnd);
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), dlg->m_startButton.m_hWnd) << "the hidden edit is no stop";
    PressKey(VK_RETURN);
    EXPECT_FALSE(dlg->IsRunning()) << "Enter is no press of the default button";

    // Escape neither closes nor hides the panel, and a running count goes on.
    g_now = 1000;
    Press(dlg, IDC_SW_START);
    const HWND panel = dlg->m_hWnd;
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(IsWindow(panel));
    EXPECT_TRUE(IsWindowVisible(panel));
    EXPECT_TRUE(dlg->IsRunning() && !dlg->IsPaused());
    Tick(dlg, 3000);
    EXPECT_EQ(Shown(dlg), L"00:00:02:00");
    EXPECT_EQ(GetFocus(), dlg->m_startButton.m_hWnd);
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), dlg->m_stopButton.m_hWnd);
}

TEST_F(StopWatchTest, StartPauseResumeStopAndResetWithExactReadings)
{
    CStopWatchTimerDlg* dlg = Open();
    ASSERT_NE(dlg, nullptr);
    struct Step {
        char action;  // s start/pause, d the same as a double-click, t stop, r reset, k tick
        DWORD now;
        const wchar_t* shown;
        bool running, paused;
        int startImage;
        const char* why;
    } steps[] = {
        {'s', 1000, L"00:00:00:00", true, false, 2, "start shows zero"},
        {'k', 11000, L"00:00:10:00", true, false, 2, "ten seconds later"},
        {'s', 11005, L"00:00:10:00", true, true, 0, "pause holds the reading of the press"},
        {'k', 60000, L"00:00:10:00", true, true, 0, "no counting while paused"},
        {'s', 60000, L"00:00:10:00", true, false, 2, "resume"},
        {'k', 65000, L"00:00:15:00", true, false, 2, "counting goes on from the pause"},
        {'d', 65000, L"00:00:15:00", true, true, 0, "a double-click counts as a second click"},
        {'r', 70000, L"00:00:00:00", true, true, 0, "reset while paused"},
        {'s', 90000, L"00:00:00:00", true, false, 2, "resume after the reset counts from zero"},
        {'k', 93000, L"00:00:03:00", true, false, 2, ""},
        {'t', 93500, L"00:00:03:50", false, false, 0, "stop while running keeps the reading of the press"},
        {'k', 99000, L"00:00:03:50", false, false, 0, "a late tick changes nothing"},
        {'s', 100000, L"00:00:00:00", true, false, 2, "start after stop begins at zero"},
        {'s', 101000, L"00:00:01:00", true, true, 0, ""},
        {'t', 102000, L"00:00:00:00", false, false, 0, "stop while paused shows zero"},
        {'r', 103000, L"00:00:00:00", false, false, 0, "reset while stopped"},
        {'s', 0xFFFFF000, L"00:00:00:00", true, false, 2, "start just before the tick count wraps"},
        {'k', 0x00001000, L"00:00:08:19", true, false, 2, "the wrap is harmless"},
        {'r', 0x00002000, L"00:00:00:00", true, false, 2, "reset while running restarts from zero"},
        {'k', 0x00003000, L"00:00:04:09", true, false, 2, ""},
    };
    for (const Step& s : steps) {
        g_now = s.now;
        switch (s.action) {
        case 's': Press(dlg, IDC_SW_START); break;
        case 'd': Press(dlg, IDC_SW_START, BN_DOUBLECLICKED); break;
        case 't': Press(dlg, IDC_SW_STOP); break;
        case 'r': Press(dlg, IDC_SW_RESET); break;
        default: Tick(dlg, s.now); break;
        }
        EXPECT_EQ(Shown(dlg), s.shown) << s.why << " at " << s.now;
        EXPECT_EQ(dlg->IsRunning() != FALSE, s.running) << s.why;
        EXPECT_EQ(dlg->IsPaused() != FALSE, s.paused) << s.why;
        EXPECT_EQ(dlg->m_startButton.GetImageIndex(), s.startImage) << s.why;
    }
}

TEST_F(StopWatchTest, MenuCommandsDoWhatTheButtonsDo)
{
    CStopWatchTimerDlg* dlg = Open();
    ASSERT_NE(dlg, nullptr);
    g_now = 5000;
    SendMessageW(dlg->m_hWnd, WM_COMMAND, ID_SW_START, 0);
    Tick(dlg, 7000);
    EXPECT_EQ(Shown(dlg), L"00:00:02:00");
    SendMessageW(dlg->m_hWnd, WM_COMMAND, ID_SW_RESET, 0);
    EXPECT_EQ(Shown(dlg), L"00:00:00:00");
    SendMessageW(dlg->m_hWnd, WM_COMMAND, ID_SW_STOP, 0);
    EXPECT_FALSE(dlg->IsRunning());
    HWND h = dlg->m_hWnd;
    SendMessageW(h, WM_COMMAND, IDOK, 0);
    SendMessageW(h, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindow(h)) << "Enter and Escape do nothing";
    SendMessageW(h, WM_COMMAND, ID_SW_CLOSE, 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(CStopWatchTimerDlg::OpenStopWatches().empty()) << "the object deleted itself";
}

TEST_F(StopWatchTest, TipsFollowTheStateAndOnlyEnabledControlsHaveOne)
{
    CStopWatchTimerDlg* dlg = Open();
    ASSERT_NE(dlg, nullptr);
    auto tip = [dlg](HWND control) {
        NMTTDISPINFOW info{};
        info.hdr.code = TTN_GETDISPINFOW;
        info.hdr.idFrom = reinterpret_cast<UINT_PTR>(control);
        info.uFlags = TTF_IDISHWND;
        SendMessageW(dlg->m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        return std::wstring(info.lpszText ? info.lpszText : L"");
    };
    EXPECT_EQ(tip(dlg->m_display.m_hWnd), L"Current time");
    EXPECT_EQ(tip(dlg->m_stopButton.m_hWnd), L"Stop");
    EXPECT_EQ(tip(dlg->m_resetButton.m_hWnd), L"Reset");
    EXPECT_EQ(tip(dlg->m_startButton.m_hWnd), L"Start");
    Press(dlg, IDC_SW_START);
    EXPECT_EQ(tip(dlg->m_startButton.m_hWnd), L"Pause");
    Press(dlg, IDC_SW_START);
    EXPECT_EQ(tip(dlg->m_startButton.m_hWnd), L"Resume");
    EnableWindow(dlg->m_resetButton.m_hWnd, FALSE);
    EXPECT_EQ(tip(dlg->m_resetButton.m_hWnd), L"");
}

TEST_F(StopWatchTest, TheLongestReadingIsNotDrawnAgain)
{
    CStopWatchTimerDlg* dlg = Open();
    ASSERT_NE(dlg, nullptr);
    g_now = 0;
    Press(dlg, IDC_SW_START);
    Tick(dlg, 400000000);
    EXPECT_EQ(Shown(dlg), L"99:59:59:99");
    // Paint over the display: a redraw would paint it back.
    HDC dc = GetDC(dlg->m_display.m_hWnd);
    RECT spot{2, 2, 8, 8};
    FillRect(dc, &spot, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Tick(dlg, 400000040);
    EXPECT_EQ(GetPixel(dc, 3, 3), RGB(255, 255, 255)) << "not redrawn at the longest reading";
    ReleaseDC(dlg->m_display.m_hWnd, dc);
}

// The centre pixel of each segment of the digit in cell i (colons before it: c) at unit u.
POINT SegmentProbe(int segmentBit, int i, int c, int u)
{
    const int L = 2 * u + 13 * u * i + 3 * u * c, T = 2 * u, R = L + 11 * u, B = T + 19 * u, H = 9 * u;
    switch (segmentBit) {
    case CClockStatic::SEG_TOP: return {L + 5 * u, T + u};
    case CClockStatic::SEG_MIDDLE: return {L + 5 * u, T + H};
    case CClockStatic::SEG_BOTTOM: return {L + 5 * u, B - 2 * u};
    case CClockStatic::SEG_UPPER_LEFT: return {L + u, T + 5 * u};
    case CClockStatic::SEG_UPPER_RIGHT: return {R - 2 * u, T + 5 * u};
    case CClockStatic::SEG_LOWER_LEFT: return {L + u, B - 5 * u};
    default: return {R - 2 * u, B - 5 * u};
    }
}

TEST_F(StopWatchTest, EveryDigitLightsItsSegments)
{
    CStopWatchTimerDlg* dlg = Open();
    ASSERT_NE(dlg, nullptr);
    HWND display = dlg->m_display.m_hWnd;
    // Digit -> its lit segments: top, upper left, upper right, middle, lower left, lower right, bottom.
    const char* const kShapes[10] = {"1110111", "0010010", "1011101", "1011011", "0111010",
                                     "1101011", "1101111", "1010010", "1111111", "1111011"};
    const int kBits[7] = {CClockStatic::SEG_TOP,        CClockStatic::SEG_UPPER_LEFT, CClockStatic::SEG_UPPER_RIGHT,
                          CClockStatic::SEG_MIDDLE,     CClockStatic::SEG_LOWER_LEFT, CClockStatic::SEG_LOWER_RIGHT,
                          CClockStatic::SEG_BOTTOM};
    for (const wchar_t* text : {L"01:23:45:67", L"89:98:76:54"}) {
        dlg->m_display.SetText(text);
        HDC dc = GetDC(display);
        int digit = 0, colons = 0;
        for (const wchar_t* p = text; *p; ++p) {
            if (*p == L':') {
                ++colons;
                // The colon's dots, in the lit centre colour, one unit left of the next cell.
                const int x = 2 + 13 * digit + 3 * (colons - 1) - 1;
                EXPECT_EQ(GetPixel(dc, x, 2 + 4), kLitCentre) << "upper dot of colon " << colons;
                EXPECT_EQ(GetPixel(dc, x, 2 + 19 - 2 - 4), kLitCentre) << "lower dot of colon " << colons;
                continue;
            }
            const int value = *p - L'0';
            for (int s = 0; s < 7; ++s) {
                POINT pt = SegmentProbe(kBits[s], digit, colons, 1);
                const bool lit = kShapes[value][s] == '1';
                EXPECT_EQ(GetPixel(dc, pt.x, pt.y), lit ? kLitCentre : kUnlit)
                    << "digit " << value << " segment " << s << " at " << pt.x << "," << pt.y;
            }
            ++digit;
        }
        ReleaseDC(display, dc);
    }
}

TEST_F(StopWatchTest, TwoStopwatchesStackAndRunIndependently)
{
    WriteSettingInt(Setting::kSXY, MAKELONG(200, 150));
    CStopWatchTimerDlg* first = Open();
    CStopWatchTimerDlg* second = Open();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    RECT a, b;
    GetWindowRect(first->m_hWnd, &a);
    GetWindowRect(second->m_hWnd, &b);
    EXPECT_EQ(a.left, 200);
    EXPECT_EQ(a.top, 150);
    EXPECT_EQ(b.left, 242) << "42 pixels right of the first";
    EXPECT_EQ(b.top, 214) << "64 pixels lower";
    EXPECT_EQ(GetSettingInt(Setting::kSXY), MAKELONG(200, 150)) << "a moved candidate is not stored";

    g_now = 1000;
    Press(first, IDC_SW_START);
    Tick(first, 3000);
    Tick(second, 3000);
    EXPECT_EQ(Shown(first), L"00:00:02:00");
    EXPECT_EQ(Shown(second), L"00:00:00:00");
    // Each runs on its own real timer as well.
    first->m_tickCount = ::GetTickCount;
    second->m_tickCount = ::GetTickCount;
    Press(first, IDC_SW_STOP);
    Press(first, IDC_SW_START);
    Press(second, IDC_SW_START);
    zntest::Pump(300);
    EXPECT_NE(Shown(first), L"00:00:00:00");
    EXPECT_NE(Shown(second), L"00:00:00:00");
}

TEST_F(StopWatchTest, PlacementOffEveryScreenAndStartAtOnce)
{
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    struct Case {
        int sxy;
        POINT expected;
        int storedAfter;
        const char* why;
    } cases[] = {
        {kPositionUnset, {work.left + 16, work.top + 16}, kPositionUnset, "no position: 16 pixels inside"},
        {static_cast<int>(MAKELONG(-3000, 40)), {work.left + 16, work.top + 16},
         static_cast<int>(MAKELONG(work.left + 16, work.top + 16)), "off every screen: corrected and stored"},
        {static_cast<int>(MAKELONG(300, 200)), {300, 200}, static_cast<int>(MAKELONG(300, 200)), "stored and visible"},
    };
    for (const Case& c : cases) {
        WriteSettingInt(Setting::kSXY, c.sxy);
        WriteSettingInt(Setting::kSWSA, 1);
        CStopWatchTimerDlg* dlg = Open();
        ASSERT_NE(dlg, nullptr);
        RECT r;
        GetWindowRect(dlg->m_hWnd, &r);
        EXPECT_EQ(r.left, c.expected.x) << c.why;
        EXPECT_EQ(r.top, c.expected.y) << c.why;
        EXPECT_EQ(GetSettingInt(Setting::kSXY), c.storedAfter) << c.why;
        EXPECT_TRUE(dlg->IsRunning()) << "SWSA starts it at once";
        DestroyWindow(dlg->m_hWnd);
    }
}

TEST_F(StopWatchTest, StopwatchesHaveNoOwnerAndTheClockClosesThemAndTheirPlaceIsSaved)
{
    // Not a first start: the clock would open the Options sheet by itself.
    WriteSettingInt(Setting::kFST, 0);
    CDigitClock* clock = new CDigitClock;
    clock->SetFormat(L"HH:mm:ss", FALSE);
    ASSERT_TRUE(clock->CreateEx(WS_EX_TOOLWINDOW, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100, 100,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
    g_app.m_pMainWnd = clock;
    HWND clockWnd = clock->m_hWnd;
    SendMessageW(clockWnd, WM_COMMAND, ID_NEW_STOPWATCH, 0);
    ASSERT_EQ(CStopWatchTimerDlg::OpenStopWatches().size(), 1u);
    CStopWatchTimerDlg* dlg = CStopWatchTimerDlg::OpenStopWatches()[0];
    EXPECT_EQ(GetWindow(dlg->m_hWnd, GW_OWNER), nullptr) << "raising the clock must not take it out of topmost";
    dlg->m_tickCount = FakeTicks;
    g_now = 0;
    Press(dlg, IDC_SW_START);
    SetWindowPos(dlg->m_hWnd, nullptr, 333, 222, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    SendMessageW(clockWnd, WM_CLOSE, 0, 0);
    g_app.m_pMainWnd = nullptr;
    EXPECT_FALSE(IsWindow(clockWnd));
    EXPECT_TRUE(CStopWatchTimerDlg::OpenStopWatches().empty()) << "a running stopwatch goes with the clock";
    const int sxy = GetSettingInt(Setting::kSXY);
    EXPECT_EQ(static_cast<short>(LOWORD(sxy)), 333);
    EXPECT_EQ(static_cast<short>(HIWORD(sxy)), 222);
}

}  // namespace
