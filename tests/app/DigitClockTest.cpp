// The clock window in the test's own process: what the setters store and save, how the
// look changes the window's size, the layered image's alpha, and GDI and USER objects over
// many text changes.
#include "ColorHelpers.h"
#include "DigitClock.h"
#include "StringTable.h"

#include "GdiplusSession.h"
#include "HandleCount.h"
#include "LogCapture.h"
#include "MessagePump.h"
#include "ProfileTestApp.h"

#include <gmock/gmock.h>

#include <atomic>
#include <map>
#include <thread>

namespace {

ProfileTestApp g_app(L"ZarnockAppTests");
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
    BYTE* data = nullptr;
    UINT bytes = 0;
    bool ok = g_app.GetProfileBinary(GetStr(SID_SECTION_COMMON), GetStr(key), &data, &bytes) && bytes == sizeof(RECT);
    if (ok) memcpy(&r, data, sizeof(r));
    delete[] data;
    return ok;
}

// A clock window object owned by the test; destroying the window frees it.
class ClockWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ClearProfile();
        clock = new CDigitClock;
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
    CDigitClock* clock = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(ClockWindowTest, CustomColoursDeriveTheBorderEdgesFromTheBackground)
{
    const COLORREF backgrounds[] = {RGB(0, 0, 128), RGB(255, 0, 0), RGB(240, 240, 240), RGB(0, 0, 0)};
    for (COLORREF bg : backgrounds) {
        clock->SetCustomColours(bg, RGB(1, 2, 3));
        EXPECT_EQ(clock->m_customColours, 1);
        EXPECT_EQ(clock->m_backgroundColour, bg);
        EXPECT_EQ(clock->m_textColour, RGB(1, 2, 3));
        EXPECT_EQ(clock->m_highlightColour, TintColor(bg));
        EXPECT_EQ(clock->m_shadowColour, DimColor(bg));
    }
    clock->UseSystemColours();
    EXPECT_EQ(clock->m_customColours, 0);
    EXPECT_EQ(clock->m_textColour, GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(clock->m_backgroundColour, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(clock->m_highlightColour, GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(clock->m_shadowColour, GetSysColor(COLOR_BTNSHADOW));
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
        EXPECT_EQ(clock->m_format, c.stored);
        CString text = clock->GetWindowText();
        if (c.shown) EXPECT_EQ(text, c.shown);
        else EXPECT_FALSE(text.IsEmpty());
    }
}

TEST_F(ClockWindowTest, MillisecondsSwitchTheDisplayTimerAndBack)
{
    Create();
    EXPECT_EQ(clock->m_timerInterval, 250);
    EXPECT_NE(clock->m_timerId, 0u);
    clock->SetFormat(L"HH:mm:ss.SSS", FALSE);
    EXPECT_EQ(clock->m_timerInterval, 1);
    clock->SetFormat(L"HH:mm", FALSE);
    EXPECT_EQ(clock->m_timerInterval, 250);
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

    clock->m_gdiplusOpaque = 1;
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
        clock->m_gdiplusOpaque = gdiplus;
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
    clock->m_pfnUpdateLayeredWindow = nullptr;
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

    clock->m_placementMayBeSaved = 0;
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
        clock->m_textAlpha = c.textAlpha;
        clock->m_outlineAlpha = c.outlineAlpha;
        clock->DrawLayered(size, L"88");
        auto h = AlphaHistogram(clock->m_paintBuffer);
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
    clock->m_gdiplusLayered = 0;
    clock->SetOutline(0, 0, 1);
    clock->SetCustomColours(RGB(0, 0, 0), RGB(200, 100, 50));
    Create();
    clock->SetTransparent(1);
    SIZE size = WindowSize(hwnd);
    clock->DrawLayered(size, L"88:88");
    const BYTE* p = static_cast<const BYTE*>(clock->m_paintBuffer.m_pPixels);
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
        DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
        churn(100, 1000);
        EXPECT_LE(zntest::GdiObjectCount(), gdi + 2) << "layered " << layered;
        EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user + 2) << "layered " << layered;
    }
}

// A clock whose memory is poisoned and fenced off when it is freed. The first touch of the
// freed object is noted by a vectored handler, which opens the fence again so the program
// goes on (under Wine a crash would bring up the debugger's box and hang the run).
std::atomic<bool> g_freedClockTouched{false};
BYTE* g_freedClock = nullptr;
size_t g_freedClockSize = 0;

LONG CALLBACK NoteTouchOfFreedClock(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2 || !g_freedClock)
        return EXCEPTION_CONTINUE_SEARCH;
    const BYTE* address = reinterpret_cast<const BYTE*>(record->ExceptionInformation[1]);
    if (address < g_freedClock || address >= g_freedClock + g_freedClockSize) return EXCEPTION_CONTINUE_SEARCH;
    g_freedClockTouched = true;
    DWORD old = 0;
    VirtualProtect(g_freedClock, g_freedClockSize, PAGE_READWRITE, &old);
    return EXCEPTION_CONTINUE_EXECUTION;
}

class GuardedClock : public CDigitClock
{
public:
    static void* operator new(size_t size)
    {
        void* p = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!p) throw std::bad_alloc();
        g_freedClockSize = size;
        return p;
    }
    // Kept, never given back: the test looks for touches after the free.
    static void operator delete(void* p)
    {
        memset(p, 0xDD, g_freedClockSize);
        g_freedClock = static_cast<BYTE*>(p);
        DWORD old = 0;
        VirtualProtect(p, g_freedClockSize, PAGE_NOACCESS, &old);
    }

    // The next move brings WM_DPICHANGED, as a move onto a monitor of another DPI does.
    bool dpiChangeOnMove = false;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg != WM_WINDOWPOSCHANGED || !dpiChangeOnMove) return CDigitClock::WindowProc(msg, wp, lp);
        dpiChangeOnMove = false;
        const HWND self = m_hWnd;
        const LRESULT r = CDigitClock::WindowProc(msg, wp, lp);
        RECT suggested{0, 0, 100, 30};
        ::SendMessageW(self, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
        return r;
    }
};

TEST_F(ClockWindowTest, ADpiCloseDuringADisplayChangeEndsTheHandlerWithTheWindow)
{
    delete clock;
    auto* guarded = new GuardedClock;
    clock = guarded;
    clock->SetFormat(L"HH:mm:ss", FALSE);
    g_app.WriteProfileInt(GetStr(SID_SECTION_COMMON), GetStr(SID_KEY_PDPI), 1);
    Create();
    ASSERT_EQ(1, clock->m_proportionalDpi);
    // The monitor the clock was on is gone: the display change moves it.
    clock->m_monitorRect = RECT{0, 0, 100, 100};
    guarded->dpiChangeOnMove = true;
    clock = nullptr;   // the close frees it
    PVOID handler = AddVectoredExceptionHandler(1, NoteTouchOfFreedClock);
    SendMessageW(hwnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    RemoveVectoredExceptionHandler(handler);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_NE(nullptr, g_freedClock) << "the close freed the clock";
    EXPECT_FALSE(g_freedClockTouched) << "the handler went on with the freed clock";
}

// The machine's zone, with the zone query in the test's hands.
class SwitchableZone : public CSystemFormatEnvironment
{
public:
    LONG bias = -60;

protected:
    DWORD QueryTimeZone(TIME_ZONE_INFORMATION& tzi) override
    {
        tzi = TIME_ZONE_INFORMATION{};
        tzi.Bias = bias;
        return TIME_ZONE_ID_UNKNOWN;
    }
};

TEST_F(ClockWindowTest, ATimeOrZoneChangeShowsTheNewZoneAtTheNextTick)
{
    SwitchableZone zone;
    clock->SetFormatEnvironment(&zone);
    clock->SetFormat(L"zz", FALSE);
    Create();
    EXPECT_STREQ(L"+01:00", clock->GetWindowText());
    const struct { UINT message; LONG bias; const wchar_t* shown; } cases[] = {
        {WM_TIMECHANGE, 300, L"-05:00"},
        {WM_SETTINGCHANGE, -330, L"+05:30"},
    };
    for (const auto& c : cases) {
        zone.bias = c.bias;
        SendMessageW(hwnd, c.message, 0, 0);
        EXPECT_TRUE(zntest::PumpUntil([&] { return clock->GetWindowText() == c.shown; }, 2000))
            << c.message << ": " << clock->GetWindowText().GetString();
    }
    clock->SetFormatEnvironment(&GetSystemFormatEnvironment());
}

// A clock on a system whose timers run out once the window exists.
class TimerlessClock : public CDigitClock
{
public:
    bool outOfTimers = false;

protected:
    UINT_PTR SetDisplayTimer(UINT interval) override
    {
        if (!outOfTimers) return CDigitClock::SetDisplayTimer(interval);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
};

TEST_F(ClockWindowTest, ADisplayTimerThatCannotBeReArmedIsLoggedAndKnownGone)
{
    delete clock;
    auto* timerless = new TimerlessClock;
    clock = timerless;
    clock->SetFormat(L"HH:mm:ss", FALSE);
    Create();
    ASSERT_NE(0u, clock->m_timerId);
    timerless->outOfTimers = true;
    LogCapture log;
    clock->SetFormat(L"HH:mm:ss.SS", FALSE);
    EXPECT_EQ(0u, clock->m_timerId);
    EXPECT_FALSE(KillTimer(hwnd, ZN_CLOCK_TIMER_ID)) << "no timer runs, as the id says";
    const std::vector<std::string> errors = log.Entries(" * ");
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find("SetTimer")) << errors[0];
}

TEST_F(ClockWindowTest, ACancelledShutdownLetsTheClockSaveItsPlaceAgain)
{
    Create();
    const struct { BOOL ending; LONG left; LONG saved; const char* why; } cases[] = {
        {FALSE, 170, 170, "the shutdown was cancelled"},
        {TRUE, 190, 170, "the session ends"},
    };
    for (const auto& c : cases) {
        SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0);
        SendMessageW(hwnd, WM_ENDSESSION, c.ending, 0);
        SetWindowPos(hwnd, nullptr, c.left, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        clock->SavePlacement();
        RECT cr{};
        ASSERT_TRUE(ReadRect(SID_KEY_CR, cr));
        EXPECT_EQ(c.saved, cr.left) << c.why;
    }
}

// A clock that notes the flags of every change of its position or z-order.
class MoveRecordingClock : public CDigitClock
{
public:
    std::vector<UINT> flags;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_WINDOWPOSCHANGING || msg == WM_WINDOWPOSCHANGED)
            flags.push_back(reinterpret_cast<const WINDOWPOS*>(lp)->flags);
        return CDigitClock::WindowProc(msg, wp, lp);
    }
};

TEST_F(ClockWindowTest, StartUpNeverActivatesTheClock)
{
    // Not always on top: creation takes the topmost state away again.
    g_app.WriteProfileInt(GetStr(SID_SECTION_COMMON), GetStr(SID_KEY_AT), 0);
    delete clock;
    auto* recording = new MoveRecordingClock;
    clock = recording;
    clock->SetFormat(L"HH:mm:ss", FALSE);
    Create();
    EXPECT_FALSE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    ASSERT_FALSE(recording->flags.empty());
    for (UINT f : recording->flags) EXPECT_TRUE(f & SWP_NOACTIVATE) << std::hex << f;
}

}  // namespace
