// The clock window in the test's own process: what the setters store and save, how the
// look changes the window's size, the layered image's alpha, and GDI and USER objects over
// many text changes.
#include "ColorHelpers.h"
#include "DigitClock.h"
#include "DigitClockAccess.h"
#include "StringTable.h"

#include "ClockTestApp.h"
#include "GdiplusSession.h"
#include "HandleCount.h"
#include "LogCapture.h"
#include "MessagePump.h"

#include <gmock/gmock.h>

#include <atomic>
#include <map>
#include <utility>

namespace {

testing::Environment* const g_gdiplus = testing::AddGlobalTestEnvironment(new GdiplusSession);

void ClearProfile()
{
    g_app.ClearStore();
    g_app.WriteProfileInt(GetStr(SID_SECTION_TIMESYNC), GetStr(SID_KEY_FST), 0);
}

LOGFONTW Tahoma(int pixels, int weight = FW_NORMAL)
{
    LOGFONTW lf{};
    lf.lfHeight = -pixels;
    lf.lfWeight = weight;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    return lf;
}

SIZE WindowSize(HWND hwnd)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

RECT WindowRect(HWND hwnd)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    return r;
}

bool ReadRect(StrId key, RECT& r)
{
    const std::vector<BYTE> data = g_app.GetProfileBinary(GetStr(SID_SECTION_COMMON), GetStr(key));
    if (data.size() != sizeof(RECT)) return false;
    memcpy(&r, data.data(), sizeof(r));
    return true;
}

// A clock with the test's hands in it: its moves noted, a DPI change on its next move (as a
// move onto a monitor of another DPI brings), timers that run out, and its pages fenced off
// when freed, a later touch being noted and let through (a crash would hang the run).
class ProbeClock : public CDigitClock
{
public:
    static void* operator new(size_t size)
    {
        return VirtualAlloc(nullptr, s_size = size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    }
    static void operator delete(void* p) { VirtualProtect(s_freed = p, s_size, PAGE_NOACCESS, &s_protect); }
    static LONG CALLBACK NoteTouchOfFreed(EXCEPTION_POINTERS* info)
    {
        const auto at = static_cast<size_t>(info->ExceptionRecord->ExceptionInformation[1] - ULONG_PTR(s_freed));
        if (info->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || !s_freed || at >= s_size)
            return EXCEPTION_CONTINUE_SEARCH;
        s_touchedFreed = true;
        VirtualProtect(s_freed, s_size, PAGE_READWRITE, &s_protect);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    static inline void* s_freed = nullptr;
    static inline size_t s_size = 0;
    static inline DWORD s_protect = 0;
    static inline std::atomic<bool> s_touchedFreed{false};
    std::vector<UINT> moves;
    bool dpiChangeOnMove = false, outOfTimers = false;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_WINDOWPOSCHANGING || msg == WM_WINDOWPOSCHANGED)
            moves.push_back(reinterpret_cast<const WINDOWPOS*>(lp)->flags);
        const HWND self = m_hWnd;
        const bool dpiChange = msg == WM_WINDOWPOSCHANGED && std::exchange(dpiChangeOnMove, false);
        const LRESULT result = CDigitClock::WindowProc(msg, wp, lp);
        RECT suggested{0, 0, 100, 30};
        if (dpiChange) ::SendMessageW(self, WM_DPICHANGED, 0x00900090, reinterpret_cast<LPARAM>(&suggested));
        return result;
    }
    UINT_PTR SetDisplayTimer(UINT interval) override
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return outOfTimers ? 0 : CDigitClock::SetDisplayTimer(interval);
    }
};

// The machine's zone, the zone query in the test's hands.
struct SwitchableZone : CSystemFormatEnvironment {
    LONG bias = -60;
    DWORD QueryTimeZone(TIME_ZONE_INFORMATION& tzi) override
    {
        tzi = TIME_ZONE_INFORMATION{};
        tzi.Bias = bias;
        return TIME_ZONE_ID_UNKNOWN;
    }
};

// A clock window object owned by the test; destroying the window frees it.
class ClockWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ClearProfile();
        clock = new ProbeClock;
        LOGFONTW lf = Tahoma(20);
        clock->SetClockFont(&lf);
        clock->SetCustomColours(RGB(0, 0, 128), RGB(255, 255, 0));
        clock->SetMargins(0);
        clock->SetShowBorder(0);
        clock->SetFormat(L"HH:mm:ss", FALSE);
    }
    void TearDown() override
    {
        if (clock && clock->m_hWnd) clock->DestroyWindow();
        else delete clock;
        ClearProfile();
    }
    void Create()
    {
        ASSERT_TRUE(clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP,
                                    20000, 20000, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
        hwnd = clock->m_hWnd;
    }
    ProbeClock* Probe() { return static_cast<ProbeClock*>(clock); }
    CDigitClock* clock = nullptr;
    HWND hwnd = nullptr;
    SwitchableZone zone;   // outlives the window
};

TEST_F(ClockWindowTest, CustomColoursDeriveTheBorderEdgesFromTheBackground)
{
    const COLORREF backgrounds[] = {RGB(0, 0, 128), RGB(255, 0, 0), RGB(240, 240, 240), RGB(0, 0, 0)};
    for (COLORREF bg : backgrounds) {
        clock->SetCustomColours(bg, RGB(1, 2, 3));
        EXPECT_EQ(ClockFields(clock).m_customColours(), 1);
        EXPECT_EQ(ClockFields(clock).m_backgroundColour(), bg);
        EXPECT_EQ(ClockFields(clock).m_textColour(), RGB(1, 2, 3));
        EXPECT_EQ(ClockFields(clock).m_highlightColour(), TintColor(bg));
        EXPECT_EQ(ClockFields(clock).m_shadowColour(), DimColor(bg));
    }
    clock->UseSystemColours();
    EXPECT_EQ(ClockFields(clock).m_customColours(), 0);
    EXPECT_EQ(ClockFields(clock).m_textColour(), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(ClockFields(clock).m_backgroundColour(), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ClockFields(clock).m_highlightColour(), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(ClockFields(clock).m_shadowColour(), GetSysColor(COLOR_BTNSHADOW));
}

TEST_F(ClockWindowTest, FormatIsStoredAsTypedAndABlankOneShowsEmptyClock)
{
    Create();
    struct Case {
        const wchar_t* format;
        const wchar_t* stored;
        const wchar_t* shown;  // null: any non-empty text
    } cases[] = {
        {L"", L"'Empty Clock'", L"Empty Clock"},
        {L" \t \r\n", L"'Empty Clock'", L"Empty Clock"},
        {L" 'x' ", L" 'x' ", L" x "},
        {L" HH:mm ", L" HH:mm ", nullptr},
    };
    for (const Case& c : cases) {
        clock->SetFormat(c.format, TRUE);
        EXPECT_EQ(ClockFields(clock).m_format(), c.stored);
        CString text = clock->GetWindowText();
        if (c.shown) EXPECT_EQ(text, c.shown);
        else EXPECT_FALSE(text.IsEmpty());
    }
}

TEST_F(ClockWindowTest, MillisecondsSwitchTheDisplayTimerAndBack)
{
    Create();
    EXPECT_EQ(ClockFields(clock).m_timerInterval(), 250);
    EXPECT_NE(ClockFields(clock).m_timerId(), 0u);
    clock->SetFormat(L"HH:mm:ss.SSS", FALSE);
    EXPECT_EQ(ClockFields(clock).m_timerInterval(), 1);
    clock->SetFormat(L"HH:mm", FALSE);
    EXPECT_EQ(ClockFields(clock).m_timerInterval(), 250);
}

TEST_F(ClockWindowTest, MarginAndBorderGrowTheOpaqueWindow)
{
    Create();
    SIZE plain = WindowSize(hwnd);
    ASSERT_GT(plain.cx, 0);
    clock->SetMargins(3);
    clock->SetShowBorder(1);
    SIZE framed = WindowSize(hwnd);
    EXPECT_EQ(framed.cx, plain.cx + 2 * 3 + 4);
    EXPECT_EQ(framed.cy, plain.cy + 2 * 3 + 4);

    ClockFields(clock).m_gdiplusOpaque() = 1;
    clock->Refresh();
    SIZE gp = WindowSize(hwnd);
    SIZE box = clock->MeasureClockText(FALSE, clock->GetWindowText());
    EXPECT_EQ(gp.cx, box.cx);
    clock->SetMargins(0);
    clock->SetShowBorder(0);
    SIZE bare = WindowSize(hwnd);
    EXPECT_EQ(gp.cx - bare.cx, 2 * 3 + 4);
}

TEST_F(ClockWindowTest, MultiLineTextMeasuresAsSeveralLines)
{
    Create();
    for (int gdiplus = 0; gdiplus <= 1; ++gdiplus) {
        ClockFields(clock).m_gdiplusOpaque() = gdiplus;
        SIZE one = clock->MeasureClockText(FALSE, L"12:00");
        SIZE two = clock->MeasureClockText(FALSE, L"12:00\nMonday");
        EXPECT_GE(two.cy, one.cy * 2 - 2) << "GDI+ " << gdiplus;
        EXPECT_GT(two.cx, one.cx);
    }
}

TEST_F(ClockWindowTest, LockedRightEdgeStaysWhenTheTextGrows)
{
    clock->SetAlignment(1);
    clock->SetLockRightBorder(1);
    Create();
    clock->SetFormat(L"'8:59'", FALSE);
    RECT before = WindowRect(hwnd);
    clock->SetFormat(L"'10:00 and more'", FALSE);
    RECT after = WindowRect(hwnd);
    EXPECT_GT(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.top, before.top);

    clock->SetLockRightBorder(0);
    RECT left = WindowRect(hwnd);
    clock->SetFormat(L"'1'", FALSE);
    EXPECT_EQ(WindowRect(hwnd).left, left.left) << "unlocked: the left edge stays";
}

TEST_F(ClockWindowTest, TransparencyFollowsTheLayeredSupport)
{
    Create();
    ASSERT_TRUE(clock->HasLayeredSupport());
    clock->SetTransparent(1);
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    clock->SetTransparent(0);
    EXPECT_FALSE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);

    // Without the function the clock stays opaque.
    ClockFields(clock).m_pfnUpdateLayeredWindow() = nullptr;
    clock->SetTransparent(1);
    EXPECT_FALSE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST_F(ClockWindowTest, SavePlacementWritesThePositionRecordUnlessTheSessionEnds)
{
    const wchar_t* common = GetStr(SID_SECTION_COMMON);
    g_app.WriteProfileInt(common, GetStr(SID_KEY_XY), 0x00640064);
    Create();  // creation saves once
    EXPECT_EQ(g_app.GetProfileInt(common, GetStr(SID_KEY_XY), 12345), 12345u) << "XY deleted";
    SetWindowPos(hwnd, nullptr, 150, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    clock->SavePlacement();
    RECT cr{}, mr{}, dr{};
    ASSERT_TRUE(ReadRect(SID_KEY_CR, cr));
    ASSERT_TRUE(ReadRect(SID_KEY_MR, mr));
    ASSERT_TRUE(ReadRect(SID_KEY_DR, dr));
    RECT now = WindowRect(hwnd);
    EXPECT_TRUE(EqualRect(&cr, &now));
    EXPECT_TRUE(EqualRect(&mr, &dr));
    EXPECT_EQ(mr.left, 0);
    HDC screen = GetDC(nullptr);
    UINT dpi = (static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY)) << 16) |
               static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(g_app.GetProfileInt(common, GetStr(SID_KEY_DP), 0), dpi);

    ClockFields(clock).m_placementMayBeSaved() = 0;
    SetWindowPos(hwnd, nullptr, 300, 310, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    clock->SavePlacement();
    ASSERT_TRUE(ReadRect(SID_KEY_CR, cr));
    EXPECT_EQ(cr.left, 150) << "a session's end keeps the previous record";
}

// Alpha values of the layered image, counted.
std::map<int, int> AlphaHistogram(const CPaintBuffer& buffer)
{
    std::map<int, int> h;
    const BYTE* p = static_cast<const BYTE*>(buffer.m_pPixels);
    for (int i = 0; i < buffer.m_size.cx * buffer.m_size.cy; ++i) ++h[p[i * 4 + 3]];
    return h;
}

TEST_F(ClockWindowTest, LayeredAlphaOfBodyAndOutline)
{
    LOGFONTW lf = Tahoma(48, FW_BOLD);
    clock->SetClockFont(&lf);
    clock->SetOutline(1, RGB(255, 0, 0), 2);
    Create();
    clock->SetTransparent(1);
    clock->SetFormat(L"'88'", FALSE);
    SIZE size = WindowSize(hwnd);

    struct Case {
        int textAlpha, outlineAlpha, bodyAlpha;
    } cases[] = {
        {100, 200, 255},  // an outline stronger than the text makes the body opaque
        {200, 100, 200},
        {255, 255, 255},
    };
    for (const Case& c : cases) {
        ClockFields(clock).m_textAlpha() = c.textAlpha;
        ClockFields(clock).m_outlineAlpha() = c.outlineAlpha;
        clock->DrawLayered(size, L"88");
        auto h = AlphaHistogram(ClockFields(clock).m_paintBuffer());
        EXPECT_GT(h[0], size.cx * size.cy / 4) << "transparent background";
        EXPECT_GT(h[c.bodyAlpha], 50) << c.textAlpha << "/" << c.outlineAlpha;
        int above = 0;
        for (auto& kv : h)
            if (kv.first > c.bodyAlpha) above += kv.second;
        if (c.bodyAlpha == 200) {
            EXPECT_LT(above, h[200]) << "body pixels keep the text alpha";
        }
    }
}

TEST_F(ClockWindowTest, PlainGdiLayeredTextTurnsBrightnessIntoCoverage)
{
    ClockFields(clock).m_gdiplusLayered() = 0;
    clock->SetOutline(0, 0, 1);
    clock->SetCustomColours(RGB(0, 0, 0), RGB(200, 100, 50));
    Create();
    clock->SetTransparent(1);
    SIZE size = WindowSize(hwnd);
    clock->DrawLayered(size, L"88:88");
    const BYTE* p = static_cast<const BYTE*>(ClockFields(clock).m_paintBuffer().m_pPixels);
    int opaque = 0, clear = 0;
    for (int i = 0; i < size.cx * size.cy; ++i, p += 4) {
        int a = p[3];
        if (a == 255) {
            ++opaque;
            EXPECT_EQ(p[2], 200);
            EXPECT_EQ(p[1], 100);
            EXPECT_EQ(p[0], 50);
        }
        if (a == 0) ++clear;
        EXPECT_LE(p[2], a) << "premultiplied";
    }
    EXPECT_GT(opaque, 10);
    EXPECT_GT(clear, size.cx * size.cy / 3);
}

TEST_F(ClockWindowTest, ObjectCountsStayFlatOverAThousandTextChanges)
{
    ASSERT_TRUE(zntest::GdiCountWorks());
    Create();
    for (int layered = 0; layered <= 1; ++layered) {
        clock->SetTransparent(layered);
        clock->SetOutline(layered, RGB(255, 0, 0), 3);
        wchar_t text[32];
        auto churn = [&](int from, int count) {
            for (int i = from; i < from + count; ++i) {
                wsprintfW(text, L"%02d:%02d:%02d", i / 3600 % 24, i / 60 % 60, i % 60);
                clock->SetText(text);
                if (!layered) UpdateWindow(hwnd);
            }
        };
        churn(0, 100);
        DWORD gdi = zntest::GdiObjectCount();
        DWORD windows = zntest::WindowCount();
        churn(100, 1000);
        EXPECT_LE(zntest::GdiObjectCount(), gdi + 2) << "layered " << layered;
        EXPECT_EQ(zntest::WindowCount(), windows) << "layered " << layered;
    }
}

TEST_F(ClockWindowTest, ADpiCloseDuringADisplayChangeEndsTheHandlerWithTheWindow)
{
    g_app.WriteProfileInt(GetStr(SID_SECTION_COMMON), GetStr(SID_KEY_PDPI), 1);
    Create();
    ClockFields(clock).m_monitorRect() = RECT{0, 0, 100, 100};   // its monitor is gone: the change moves it
    Probe()->dpiChangeOnMove = true;
    clock = nullptr;                                // the close frees it
    PVOID handler = AddVectoredExceptionHandler(1, ProbeClock::NoteTouchOfFreed);
    SendMessageW(hwnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    RemoveVectoredExceptionHandler(handler);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(ProbeClock::s_touchedFreed) << "the handler went on with the freed clock";
}

TEST_F(ClockWindowTest, ATimeOrZoneChangeShowsTheNewZoneAtTheNextTick)
{
    clock->SetFormatEnvironment(&zone);
    clock->SetFormat(L"zz", FALSE);
    Create();
    EXPECT_STREQ(L"+01:00", clock->GetWindowText());
    const struct { UINT message; LONG bias; const wchar_t* shown; } cases[] = {
        {WM_TIMECHANGE, 300, L"-05:00"}, {WM_SETTINGCHANGE, -330, L"+05:30"}};
    for (const auto& c : cases) {
        zone.bias = c.bias;
        SendMessageW(hwnd, c.message, 0, 0);
        EXPECT_TRUE(zntest::PumpUntil([&] { return clock->GetWindowText() == c.shown; }, 2000)) << c.message;
    }
}

TEST_F(ClockWindowTest, ADisplayTimerThatCannotBeReArmedIsLoggedAndKnownGone)
{
    Create();
    Probe()->outOfTimers = true;
    LogCapture log;
    clock->SetFormat(L"HH:mm:ss.SS", FALSE);
    EXPECT_EQ(0u, ClockFields(clock).m_timerId());
    EXPECT_FALSE(KillTimer(hwnd, ZN_CLOCK_TIMER_ID)) << "no timer runs, as the id says";
    EXPECT_THAT(log.Entries(" * "), testing::ElementsAre(testing::HasSubstr("SetTimer")));
}

TEST_F(ClockWindowTest, ACancelledShutdownLetsTheClockSaveItsPlaceAgain)
{
    Create();
    for (const BOOL ending : {FALSE, TRUE}) {
        SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0);
        SendMessageW(hwnd, WM_ENDSESSION, ending, 0);
        SetWindowPos(hwnd, nullptr, ending ? 190 : 170, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        clock->SavePlacement();
        RECT cr{};
        EXPECT_TRUE(ReadRect(SID_KEY_CR, cr) && cr.left == 170) << "saved only after a cancel: " << ending;
    }
}

TEST_F(ClockWindowTest, StartUpNeverActivatesTheClock)
{
    g_app.WriteProfileInt(GetStr(SID_SECTION_COMMON), GetStr(SID_KEY_AT), 0);   // made not topmost again
    Create();
    EXPECT_FALSE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_THAT(Probe()->moves, testing::Each(testing::Truly([](UINT f) { return f & SWP_NOACTIVATE; })));
}

}  // namespace
