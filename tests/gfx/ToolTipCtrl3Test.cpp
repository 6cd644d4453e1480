#include "ToolTipCtrl3.h"

#include "DibSurface.h"
#include "HandleCount.h"
#include "ProfileTestApp.h"
#include "StringTable.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
// The settings store of this test program alone ("TPS" is written here).
ProfileTestApp g_app(L"ZarnockGfxTests");

void SetPairedKind(int kind)
{
    g_app.WriteProfileInt(GetStr(SID_SECTION_COMMON), GetStr(SID_KEY_TPS), kind);
}

class AnchorWnd : public CWnd
{
public:
    AnchorWnd(int x, int y, int cx, int cy)
    {
        RegisterClass(L"zn_gfx_anchor", 0);
        CreateEx(0, L"zn_gfx_anchor", L"", WS_POPUP | WS_VISIBLE, x, y, cx, cy, nullptr, nullptr);
    }
};

// The tip's surface, read back row by row.
class Surface : public DibSurface
{
public:
    using DibSurface::DibSurface;

    // Rows inside the one-pixel frame that hold a pixel of colour c between columns left and right.
    std::vector<int> RowsWith(COLORREF c, int left, int right) const
    {
        std::vector<int> rows;
        for (int y = 1; y < m_cy - 1; ++y)
            for (int x = left; x < right; ++x)
                if (Pixel(x, y) == c) {
                    rows.push_back(y);
                    break;
                }
        return rows;
    }
    bool AnyIn(COLORREF c, const RECT& r) const
    {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (Pixel(x, y) == c) return true;
        return false;
    }
};

// Groups of neighbouring rows.
int Bands(const std::vector<int>& rows)
{
    int bands = 0;
    for (size_t i = 0; i < rows.size(); ++i)
        if (i == 0 || rows[i] != rows[i - 1] + 1) ++bands;
    return bands;
}

SYSTEMTIME Date(WORD year, WORD month, WORD day, WORD dayOfWeek)
{
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wDayOfWeek = dayOfWeek;
    return st;
}

// The stand-in icon's colours (tests/gfx/tip.ico).
const COLORREF kIconBlue = RGB(0x10, 0x60, 0xC0);

SIZE TipSize(CToolTipCtrl3& tip)
{
    RECT r;
    GetWindowRect(tip, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}
}

TEST(CToolTipCtrl3, HintLineByPairedProgramAndSibling)
{
    struct Case {
        int kind;
        BOOL found;
        UINT id;
        const wchar_t* text;
    } cases[] = {
        {1, FALSE, 61206, L"Almavera is not running."},
        {1, TRUE, 61214, L"Unable to access Almavera."},
        {2, FALSE, 61213, L"Almavera Network Edition is not running."},
        {2, TRUE, 61215, L"Unable to access Almavera Network Edition."},
        {0, FALSE, 61217, L"Quendle is not running."},
        {0, TRUE, 61218, L"Unable to access Quendle."},
        {3, FALSE, 61217, L"Quendle is not running."},
        {-1, TRUE, 61218, L"Unable to access Quendle."},
    };
    CToolTipCtrl3 tip;
    for (const Case& c : cases) {
        EXPECT_EQ(c.id, CToolTipCtrl3::GetHintStringId(c.kind, c.found)) << c.kind << "/" << c.found;
        SetPairedKind(c.kind);
        tip.m_bSiblingFound = c.found;
        EXPECT_STREQ(c.text, tip.GetHintText()) << c.kind << "/" << c.found;
    }
    CString reminders;
    ASSERT_TRUE(reminders.LoadString(61205));
    EXPECT_STREQ(L"Today's upcoming reminders:", reminders);
}

TEST(CToolTipCtrl3, IconSizeFromTheSmallIconWidth)
{
    const int cases[][2] = {{16, 16}, {20, 16}, {23, 16}, {24, 24}, {28, 24}, {31, 24}, {32, 32}, {40, 32}};
    for (const auto& c : cases) EXPECT_EQ(c[1], CToolTipCtrl3::GetIconSize(c[0])) << c[0];
}

TEST(CToolTipCtrl3, Placement)
{
    const RECT area{0, 0, 1000, 700};
    const SIZE tip{200, 60};
    struct Case {
        const char* why;
        RECT anchor;
        RECT area;
        POINT expected;
    } cases[] = {
        {"below the clock, left edges together", {100, 100, 300, 130}, area, {100, 131}},
        {"clock at the bottom of the area: above it", {100, 640, 300, 680}, area, {100, 579}},
        {"reaching the bottom exactly counts", {100, 600, 300, 640}, area, {100, 539}},
        {"clock at the right edge: ends one pixel inside", {900, 100, 1000, 130}, area, {799, 131}},
        {"reaching the right edge exactly counts", {800, 100, 990, 130}, area, {799, 131}},
        {"bottom-right corner", {900, 650, 1000, 690}, area, {799, 589}},
        {"left of the area: one pixel inside", {-50, 100, 50, 130}, area, {1, 131}},
        {"second monitor to the left", {-500, 100, -300, 130}, RECT{-1280, 0, 0, 1024}, {-500, 131}},
        {"too tall for above: back below", {100, 10, 300, 40}, RECT{0, 0, 1000, 90}, {100, 41}},
        {"narrow area: pushed inside from the left", {100, 100, 150, 130}, RECT{120, 0, 250, 700}, {121, 131}},
    };
    for (const Case& c : cases) {
        const POINT p = CToolTipCtrl3::PlaceTip(c.anchor, c.area, tip);
        EXPECT_EQ(c.expected.x, p.x) << c.why;
        EXPECT_EQ(c.expected.y, p.y) << c.why;
    }
}

TEST(CToolTipCtrl3, DateLine)
{
    const SYSTEMTIME monday = Date(2026, 3, 2, 1);
    wchar_t name[64];
    ASSERT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &monday, L"dddd", name, 64), 0);
    const CString weekday = name;

    struct Case {
        const char* why;
        const wchar_t* format;
        CString expected;
    } cases[] = {
        {"a format with the weekday is used as it is", L"dddd, MMMM d, yyyy", weekday + L", March 2, 2026"},
        {"the short weekday counts as a weekday", L"ddd d MMM yyyy", L"Mon 2 Mar 2026"},
        {"without one: the full weekday and a comma in front", L"d MMMM yyyy", weekday + L", 2 March 2026"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.expected, CToolTipCtrl3::FormatDateLine(monday, c.format)) << c.why;

    // When the system cannot format: the fixed fallback (its weekday and month names in English).
    EXPECT_STREQ(L"Monday, March 02, 2026", CToolTipCtrl3::FormatDateLine(monday, L"")) << "no locale format";
    EXPECT_STREQ(L"Monday, March 02, 1500", CToolTipCtrl3::FormatDateLine(Date(1500, 3, 2, 1), L"d MMMM yyyy"))
        << "a year before the system's calendar";

    // The first letter of a prefixed line is upper case even where weekday names are not.
    const CString prefixed = CToolTipCtrl3::FormatDateLine(monday, L"yyyy");
    ASSERT_FALSE(prefixed.IsEmpty());
    EXPECT_TRUE(IsCharUpperW(prefixed[0]));
    EXPECT_FALSE(CToolTipCtrl3::GetDateText().IsEmpty());
}

TEST(CToolTipCtrl3, DrawsFrameBothLinesAndTheIconOnItsSide)
{
    SetPairedKind(0);
    CToolTipCtrl3 tip;
    ASSERT_TRUE(tip.Create(nullptr));
    SIZE size;
    {
        CClientDC dc(&tip);
        size = tip.MeasureTip(dc, CToolTipCtrl3::GetIconSize(GetSystemMetrics(SM_CXSMICON)));
    }
    const int icon = CToolTipCtrl3::GetIconSize(GetSystemMetrics(SM_CXSMICON));
    const COLORREF background = GetSysColor(COLOR_INFOBK);
    const COLORREF text = GetSysColor(COLOR_INFOTEXT);
    ASSERT_NE(background, text);

    for (BOOL rtl : {FALSE, TRUE}) {
        Surface s(size.cx, size.cy);
        tip.Draw(s.m_dc, RECT{0, 0, size.cx, size.cy}, rtl);
        EXPECT_EQ(RGB(0, 0, 0), s.Pixel(0, 0)) << "frame";
        EXPECT_EQ(RGB(0, 0, 0), s.Pixel(size.cx - 1, size.cy - 1)) << "frame";
        EXPECT_EQ(background, s.Pixel(1, 1));

        // Date line, separator, reminders line and hint line: four bands of text-coloured rows
        // (the separator is the window-frame colour, the same as the text in the default scheme).
        const std::vector<int> rows = s.RowsWith(text, 5 + icon + 4, size.cx - 5 - icon - 4);
        EXPECT_GE(Bands(rows), 3) << "rtl " << rtl;
        ASSERT_FALSE(rows.empty());
        EXPECT_LE(rows.back(), size.cy - 5) << "the last line fits the measured size";

        const RECT left{5, 5, 5 + icon + 1, 5 + icon + 2};
        const RECT right{size.cx - 5 - icon - 1, 5, size.cx - 5, 5 + icon + 2};
        EXPECT_EQ(!rtl, s.AnyIn(kIconBlue, left)) << "icon on the left unless right-to-left";
        EXPECT_EQ(!!rtl, s.AnyIn(kIconBlue, right)) << "icon on the right under right-to-left";
    }
}

TEST(CToolTipCtrl3, CreatePopupHideUnderTheWindowingSystem)
{
    SetPairedKind(1);
    AnchorWnd clock(200, 150, 220, 40);
    ASSERT_NE(nullptr, clock.m_hWnd);

    CToolTipCtrl3 tip;
    ASSERT_TRUE(tip.Create(nullptr));
    wchar_t cls[64];
    GetClassNameW(tip, cls, 64);
    EXPECT_STREQ(L"qx_znctooltipctrl_32", cls);
    EXPECT_EQ(WS_POPUP, tip.GetStyle() & (WS_POPUP | WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, tip.GetExStyle() & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
    EXPECT_EQ(nullptr, GetWindow(tip, GW_OWNER));
    ASSERT_NE(nullptr, tip.m_fontRegular.m_hObject);
    LOGFONTW bold{};
    tip.m_fontBold.GetLogFont(&bold);
    EXPECT_EQ(700, bold.lfWeight);

    tip.m_hAnchor = clock;
    tip.m_bSiblingFound = FALSE;
    tip.Popup();
    EXPECT_TRUE(tip.IsWindowVisible());
    EXPECT_NE(GetForegroundWindow(), tip.m_hWnd) << "shown without activation";
    RECT r;
    tip.GetWindowRect(&r);
    EXPECT_EQ(200, r.left);
    EXPECT_EQ(191, r.top);
    SIZE measured;
    {
        CClientDC dc(&tip);
        measured = tip.MeasureTip(dc, CToolTipCtrl3::GetIconSize(GetSystemMetrics(SM_CXSMICON)));
    }
    EXPECT_EQ(measured.cx, TipSize(tip).cx) << "sized to its text";
    EXPECT_EQ(measured.cy, TipSize(tip).cy);

    // A longer hint makes a wider tip.
    const LONG narrow = TipSize(tip).cx;
    tip.m_bSiblingFound = TRUE;
    SetPairedKind(2);
    tip.ShowTip(TRUE);
    EXPECT_GT(TipSize(tip).cx, narrow);

    // Popup on a visible tip changes nothing.
    SetWindowPos(tip, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    tip.Popup();
    tip.GetWindowRect(&r);
    EXPECT_EQ(10, r.left);

    // What the window painted: frame and text. Read from the window's own context, which
    // other test programs' windows on the same display cannot cover.
    tip.ShowTip(TRUE);
    UpdateWindow(tip);
    tip.GetWindowRect(&r);
    Surface shot(r.right - r.left, r.bottom - r.top);
    {
        CClientDC window(&tip);
        BitBlt(shot.m_dc, 0, 0, shot.m_cx, shot.m_cy, window, 0, 0, SRCCOPY);
    }
    EXPECT_EQ(RGB(0, 0, 0), shot.Pixel(0, 0));
    EXPECT_EQ(GetSysColor(COLOR_INFOBK), shot.Pixel(2, 2));
    EXPECT_GE(Bands(shot.RowsWith(GetSysColor(COLOR_INFOTEXT), 40, shot.m_cx - 40)), 3);

    tip.Hide();
    EXPECT_EQ(nullptr, tip.m_hWnd);
    EXPECT_EQ(nullptr, tip.m_fontRegular.m_hObject) << "fonts go with the window";
    EXPECT_EQ(nullptr, tip.m_fontBold.m_hObject);
    tip.Hide();   // a second click before the tip is made again
}

TEST(CToolTipCtrl3, FontsFollowTheStatusBarFontOnAMetricsChange)
{
    CToolTipCtrl3 tip;
    ASSERT_TRUE(tip.Create(nullptr));
    HGDIOBJ regular = tip.m_fontRegular.m_hObject;
    tip.SendMessage(WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS);
    EXPECT_EQ(regular, tip.m_fontRegular.m_hObject) << "unchanged metrics keep the fonts";
    tip.SendMessage(WM_SETTINGCHANGE, SPI_SETWORKAREA);
    EXPECT_EQ(regular, tip.m_fontRegular.m_hObject);

    LOGFONTW other{};
    other.lfHeight = -31;
    wcscpy(other.lfFaceName, L"Marlett");
    tip.m_fontRegular.CreateFontIndirect(&other);
    tip.SendMessage(WM_SETTINGCHANGE, SPI_SETWORKAREA);
    LOGFONTW now{};
    tip.m_fontRegular.GetLogFont(&now);
    EXPECT_EQ(-31, now.lfHeight) << "only a change of the non-client metrics is looked at";

    tip.SendMessage(WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
    tip.m_fontRegular.GetLogFont(&now);
    EXPECT_EQ(0, memcmp(&metrics.lfStatusFont, &now, sizeof(now))) << "remade from the status-bar font";
    LOGFONTW bold{};
    tip.m_fontBold.GetLogFont(&bold);
    EXPECT_EQ(700, bold.lfWeight);
}

TEST(CToolTipCtrl3, ManyClicksLeakNoGdiOrUserObjects)
{
    ASSERT_TRUE(zntest::GdiCountWorks());
    SetPairedKind(0);
    AnchorWnd clock(300, 300, 200, 40);
    CToolTipCtrl3 tip;
    auto click = [&] {
        const HWND oldWnd = tip.m_hWnd;
        const HGDIOBJ oldFonts[] = {tip.m_fontRegular.m_hObject, tip.m_fontBold.m_hObject};
        tip.Hide();
        EXPECT_FALSE(oldWnd && IsWindow(oldWnd));
        for (HGDIOBJ font : oldFonts) EXPECT_FALSE(font && GetObjectType(font)) << "font deleted with its window";
        ASSERT_TRUE(tip.Create(nullptr));
        tip.m_hAnchor = clock;
        tip.m_bSiblingFound = FALSE;
        tip.Popup();
        UpdateWindow(tip);
    };
    for (int i = 0; i < 5; ++i) click();   // first-use allocations of the system
    const DWORD gdi = zntest::GdiObjectCount();
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 200; ++i) click();
    EXPECT_EQ(gdi, zntest::GdiObjectCount());
    EXPECT_EQ(user, GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) << "0 under Wine: windows checked above";
    tip.Hide();
}

TEST(CToolTipCtrl3, TheHintLineIsMeasuredInTheBoldFontItIsDrawnIn)
{
    SetPairedKind(2);   // the longest hint, wider than the date line
    CToolTipCtrl3 tip;
    ASSERT_TRUE(tip.Create(nullptr));
    tip.m_bSiblingFound = TRUE;
    const int icon = CToolTipCtrl3::GetIconSize(GetSystemMetrics(SM_CXSMICON));
    CClientDC dc(&tip);
    const SIZE size = tip.MeasureTip(dc, icon);
    RECT bold{0, 0, 800, 600};
    dc.SelectObject(&tip.m_fontBold);
    dc.DrawText(tip.GetHintText(), -1, &bold, DT_CALCRECT | DT_NOCLIP | DT_NOPREFIX | DT_EDITCONTROL);
    EXPECT_GE(size.cx, bold.right - bold.left + icon + 8);
    SetPairedKind(0);
}
