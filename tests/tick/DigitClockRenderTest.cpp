// The clock's rendered pixels, one hash per look: opaque and layered, GDI and GDI+, outline,
// each alignment, border and margin, several lines, bold and italic, a text that grows and
// one that shrinks. The hashes were taken from this renderer on the test bed's Wine and
// fonts; any change to how the clock draws shows here as a changed hash.
#include "DigitClock.h"
#include "DigitClockAccess.h"
#include "Settings.h"
#include "StringTable.h"

#include <gmock/gmock.h>

#include <cstdint>
#include <vector>

namespace {

struct Look
{
    const char* name;
    bool layered;
    int gdiplus;  // "GPST" for opaque, "GPSTT" for layered
    int outline, alignment, border, margin, weight, italic;
    std::vector<const wchar_t*> texts;  // set in turn; the last one is drawn
    uint64_t hash;
};

// FNV-1a over the size and every pixel (the colour bytes alone for the opaque look, whose
// alpha byte never reaches the screen).
uint64_t HashPixels(int width, int height, const BYTE* pixels, bool withAlpha)
{
    uint64_t h = 14695981039346656037ull;
    auto add = [&h](BYTE b) {
        h ^= b;
        h *= 1099511628211ull;
    };
    for (int v : {width, height})
        for (int i = 0; i < 4; ++i) add(static_cast<BYTE>(v >> (8 * i)));
    for (int i = 0; i < width * height; ++i)
        for (int c = 0; c < (withAlpha ? 4 : 3); ++c) add(pixels[i * 4 + c]);
    return h;
}

// What draw puts into a 32-bit DIB of the client area's size.
template <typename Draw>
uint64_t HashClient(HWND hwnd, Draw draw)
{
    RECT client;
    GetClientRect(hwnd, &client);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !dib) {
        if (dc) DeleteDC(dc);
        return 0;
    }
    HGDIOBJ old = SelectObject(dc, dib);
    draw(dc, client);
    GdiFlush();
    uint64_t h = HashPixels(client.right, client.bottom, static_cast<const BYTE*>(bits), false);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return h;
}

// The opaque look as the clock draws it.
uint64_t HashOpaque(CDigitClock& clock)
{
    return HashClient(clock.m_hWnd, [&clock](HDC dc, const RECT&) { clock.PaintOpaque(dc); });
}

// The client area as the window shows it, read back from the window's own context.
uint64_t HashWindow(HWND hwnd)
{
    return HashClient(hwnd, [hwnd](HDC dc, const RECT& client) {
        HDC window = GetDC(hwnd);
        BitBlt(dc, 0, 0, client.right, client.bottom, window, 0, 0, SRCCOPY);
        ReleaseDC(hwnd, window);
    });
}

const Look kLooks[] = {
    // name                       layered GDI+ UO AL 3D MS weight  it texts                                   hash
    {"opaque GDI left", false, 0, 0, 0, 0, 2, FW_NORMAL, 0, {L"12:34:56"}, 0x528883749b981230ull},
    {"opaque GDI+ left", false, 1, 0, 0, 0, 2, FW_NORMAL, 0, {L"12:34:56"}, 0x71d0760b4039ed5bull},
    {"opaque GDI+ right, border, margin 3", false, 1, 0, 1, 1, 3, FW_NORMAL, 0, {L"12:34:56"}, 0xa0e85ed6604cc425ull},
    {"opaque GDI+ centred, two lines", false, 1, 0, 2, 0, 2, FW_NORMAL, 0, {L"12:34\nMonday"}, 0xf536097f43e07f40ull},
    {"opaque GDI centred, bold, border", false, 0, 0, 2, 1, 1, FW_BOLD, 0, {L"12:34:56"}, 0x43209a947214f4a8ull},
    {"opaque GDI+ italic", false, 1, 0, 0, 0, 2, FW_NORMAL, 1, {L"12:34:56"}, 0xcf8b1c7d22f9f40aull},
    {"opaque GDI+ shrinking text", false, 1, 0, 1, 1, 2, FW_NORMAL, 0, {L"10:00:00 Monday", L"9:00"}, 0x7080db875d8c232cull},
    {"layered outline left", true, 1, 1, 0, 0, 2, FW_BOLD, 0, {L"12:34:56"}, 0xc8db0b80b24c1becull},
    {"layered outline right", true, 1, 1, 1, 0, 2, FW_NORMAL, 0, {L"12:34:56"}, 0x59c9f7f1e1706d66ull},
    {"layered outline centred, two lines", true, 1, 1, 2, 0, 2, FW_NORMAL, 0, {L"12:34\nMonday"}, 0x1074b00a88de25cfull},
    {"layered outline, growing text", true, 1, 1, 0, 0, 2, FW_NORMAL, 0, {L"8:59", L"10:00:00"}, 0x6dcdd316578e5bd5ull},
    {"layered GDI+ bold", true, 1, 0, 0, 0, 2, FW_BOLD, 0, {L"12:34:56"}, 0xb16c377d5993c055ull},
    {"layered GDI+ italic right", true, 1, 0, 1, 0, 2, FW_NORMAL, 1, {L"12:34:56"}, 0x14d08dacf58cd353ull},
    {"layered GDI+ shrinking text", true, 1, 0, 2, 0, 2, FW_NORMAL, 0, {L"10:00:00\nMonday", L"9:00"}, 0x7716f1900c40ec80ull},
    {"layered plain GDI", true, 0, 0, 0, 0, 2, FW_NORMAL, 0, {L"12:34:56"}, 0x51aa1dae2b8df4acull},
};

// Applies a look through the setters that the Options sheet's preview uses, sets its
// texts and hashes what the window shows.
uint64_t Render(CDigitClock& clock, const Look& look)
{
    if (look.layered) ClockFields(clock).m_gdiplusLayered() = look.gdiplus;
    else ClockFields(clock).m_gdiplusOpaque() = look.gdiplus;
    LOGFONTW lf{};
    lf.lfHeight = -24;
    lf.lfWeight = look.weight;
    lf.lfItalic = static_cast<BYTE>(look.italic);
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    clock.SetClockFont(&lf);
    clock.SetCustomColours(RGB(0, 0, 128), RGB(255, 255, 0));
    clock.SetOutline(look.outline, RGB(200, 30, 40), 3);
    clock.SetShowBorder(look.border);
    clock.SetMargins(look.margin);
    clock.SetAlignment(look.alignment);
    if (clock.m_hWnd) clock.SetTransparent(look.layered ? 1 : 0);
    for (const wchar_t* text : look.texts) clock.SetText(text);
    if (!look.layered) return HashOpaque(clock);
    const SIZE size = ClockFields(clock).m_paintBuffer().m_size;
    const auto* pixels = static_cast<const BYTE*>(ClockFields(clock).m_paintBuffer().m_pPixels);
    return pixels ? HashPixels(size.cx, size.cy, pixels, true) : 0;
}

class DigitClockRenderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        WriteSettingInt(Setting::kFST, 0);
        WriteSettingInt(Setting::kCTA, 220);
        WriteSettingInt(Setting::kCOA, 160);
    }
    void TearDown() override
    {
        for (const SettingDef* s : {&Setting::kTR, &Setting::kCTA, &Setting::kCOA})
            WriteSettingInt(*s, s->intDefault);
    }
    // A literal format: the display timer never changes the text under the test.
    static bool Create(CDigitClock& clock, bool layered)
    {
        WriteSettingInt(Setting::kTR, layered ? 1 : 0);
        clock.SetFormat(L"'0'", FALSE);
        return clock.CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 20000,
                              20000, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr) != FALSE;
    }
};

TEST_F(DigitClockRenderTest, EachLookDrawsTheRecordedPixels)
{
    for (const Look& look : kLooks) {
        auto* clock = new CDigitClock;
        Render(*clock, look);  // the look's settings before the window exists, as at start-up
        ASSERT_TRUE(Create(*clock, look.layered)) << look.name;
        EXPECT_EQ(Render(*clock, look), look.hash) << look.name;
        clock->DestroyWindow();
    }
}

// The Options sheet's preview changes one clock's look again and again: every change of
// font, colours, outline, alignment, border, margin or mode shows exactly as on a new clock.
TEST_F(DigitClockRenderTest, OneClockTakesEveryLookInTurn)
{
    auto* clock = new CDigitClock;
    ASSERT_TRUE(Create(*clock, false));
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < std::size(kLooks); ++i) {
            const Look& look = kLooks[pass == 0 ? i : std::size(kLooks) - 1 - i];
            EXPECT_EQ(Render(*clock, look), look.hash) << look.name << ", pass " << pass;
        }
    }
    clock->DestroyWindow();
}

// The window's own paint shows what the opaque look draws, also after a text that makes the
// window wider, taller or smaller: the paint's back buffer follows the window's size.
TEST_F(DigitClockRenderTest, TheWindowShowsTheOpaqueLookAfterEveryResize)
{
    auto* clock = new CDigitClock;
    ASSERT_TRUE(Create(*clock, false));
    SetWindowPos(clock->m_hWnd, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const wchar_t* const texts[] = {L"12:34:56", L"10:00:00 Monday", L"12:34\nMonday", L"9:00", L"12:34:56"};
    for (const Look& look : kLooks) {
        if (look.layered) continue;
        Render(*clock, look);
        for (const wchar_t* text : texts) {
            clock->SetText(text);
            UpdateWindow(clock->m_hWnd);
            EXPECT_EQ(HashWindow(clock->m_hWnd), HashOpaque(*clock)) << look.name << ", text " << text;
        }
    }
    clock->DestroyWindow();
}

}  // namespace
