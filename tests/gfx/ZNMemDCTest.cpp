#include "ZNMemDC.h"

#include "DibSurface.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

// A theme library whose buffered paint comes without a context: this program exports the two
// functions, and a test tells the surface to look them up in the program itself.
int g_fakeEnds = 0;
BOOL g_fakeEndUpdate = TRUE;
extern "C" __declspec(dllexport) HANDLE WINAPI BeginBufferedPaint(HDC, const RECT*, int, void*, HDC* dc)
{
    *dc = nullptr;
    return &g_fakeEnds;
}
extern "C" __declspec(dllexport) HRESULT WINAPI EndBufferedPaint(HANDLE paint, BOOL update)
{
    g_fakeEnds += paint == &g_fakeEnds;
    g_fakeEndUpdate = update;
    return S_OK;
}

namespace {
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);

class TestWnd : public CWnd
{
public:
    TestWnd(int cx, int cy, DWORD style = WS_POPUP)
    {
        RegisterClass(L"zn_gfx_test_wnd", 0);
        CreateEx(0, L"zn_gfx_test_wnd", L"", style, 0, 0, cx, cy, nullptr, nullptr);
    }
};

// A target whose pixels can be read back: a memory context over a 32-bit top-down DIB.
class Target : public DibSurface
{
public:
    Target(int cx, int cy) : DibSurface(cx, cy)
    {
        RECT all{0, 0, cx, cy};
        FillRect(m_dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
};

void FillRed(CDC* dc, const RECT& r)
{
    HBRUSH red = CreateSolidBrush(kRed);
    FillRect(dc->m_hDC, &r, red);
    DeleteObject(red);
}

// Buffered painting out of reach for one test.
class NoThemeLibrary
{
public:
    NoThemeLibrary() : m_saved(CZNMemDC::s_themeLibrary) { CZNMemDC::s_themeLibrary = L"zn_no_such_theme.dll"; }
    ~NoThemeLibrary() { CZNMemDC::s_themeLibrary = m_saved; }

private:
    const wchar_t* m_saved;
};
}

TEST(CZNMemDC, CompatibleContextDrawsOffScreenAndCopiesBackOnDestruction)
{
    NoThemeLibrary noThemes;
    TestWnd wnd(40, 30);
    ASSERT_NE(nullptr, wnd.m_hWnd);
    Target target(40, 30);
    {
        CZNMemDC mem(&target.m_dc, &wnd, TRUE);
        ASSERT_TRUE(mem.IsValid());
        EXPECT_FALSE(mem.IsBufferedPaint());
        EXPECT_EQ(&mem.GetMemDC(), mem.GetDrawDC());
        FillRed(mem.GetDrawDC(), RECT{0, 0, 40, 30});
        EXPECT_EQ(kWhite, target.Pixel(5, 5)) << "nothing reaches the target before the end";
    }
    EXPECT_EQ(kRed, target.Pixel(0, 0));
    EXPECT_EQ(kRed, target.Pixel(39, 29));
}

TEST(CZNMemDC, WithoutCreateFlagAndWithoutThemesNothingIsOffScreen)
{
    NoThemeLibrary noThemes;
    TestWnd wnd(10, 10);
    Target target(10, 10);
    CZNMemDC mem(&target.m_dc, &wnd, FALSE);
    EXPECT_FALSE(mem.IsValid());
    EXPECT_EQ(&target.m_dc, mem.GetDrawDC());
}

TEST(CZNMemDC, CopyBackFollowsTheTargetsClipRegion)
{
    NoThemeLibrary noThemes;
    TestWnd wnd(40, 30);

    struct Case {
        const char* why;
        std::vector<RECT> clip;
        std::vector<POINT> red, white;
    } cases[] = {
        {"empty clip: nothing copied", {{0, 0, 0, 0}}, {}, {{0, 0}, {20, 20}}},
        {"simple clip: only the box", {{10, 10, 20, 20}}, {{10, 10}, {19, 19}}, {{9, 9}, {20, 20}}},
        {"complex clip: the whole surface, as far as the clip lets it",
         {{0, 0, 5, 5}, {30, 20, 40, 30}},
         {{0, 0}, {4, 4}, {30, 20}, {39, 29}},
         {{20, 10}, {6, 6}}},
    };
    for (const Case& c : cases) {
        Target target(40, 30);
        HRGN clip = CreateRectRgn(0, 0, 0, 0);
        for (const RECT& part : c.clip) {
            HRGN piece = CreateRectRgnIndirect(&part);
            CombineRgn(clip, clip, piece, RGN_OR);
            DeleteObject(piece);
        }
        SelectClipRgn(target.m_dc, clip);
        DeleteObject(clip);
        {
            CZNMemDC mem(&target.m_dc, &wnd, TRUE);
            ASSERT_TRUE(mem.IsValid()) << c.why;
            FillRed(mem.GetDrawDC(), RECT{0, 0, 40, 30});
        }
        for (POINT p : c.red) EXPECT_EQ(kRed, target.Pixel(p.x, p.y)) << c.why << " at " << p.x << "," << p.y;
        for (POINT p : c.white) EXPECT_EQ(kWhite, target.Pixel(p.x, p.y)) << c.why << " at " << p.x << "," << p.y;
    }
}

TEST(CZNMemDC, SurfaceGrowsByTheScrollPositions)
{
    TestWnd wnd(60, 50, WS_POPUP | WS_HSCROLL | WS_VSCROLL);
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    si.nMax = 100;
    si.nPage = 10;
    si.nPos = 7;
    SetScrollInfo(wnd, SB_HORZ, &si, FALSE);
    si.nPos = 11;
    SetScrollInfo(wnd, SB_VERT, &si, FALSE);
    RECT client;
    wnd.GetClientRect(&client);

    Target target(100, 100);
    CZNMemDC mem(&target.m_dc, &wnd, TRUE);
    EXPECT_EQ(0, mem.GetRect().left);
    EXPECT_EQ(client.right + 7, mem.GetRect().right);
    EXPECT_EQ(client.bottom + 11, mem.GetRect().bottom);
}

TEST(CZNMemDC, BufferedPaintWhenTheThemeLibraryIsLoaded)
{
    HMODULE theme = LoadLibraryW(L"uxtheme.dll");
    ASSERT_NE(nullptr, theme);
    TestWnd wnd(40, 30);
    Target target(40, 30);
    {
        CZNMemDC mem(&target.m_dc, &wnd, TRUE);
        ASSERT_TRUE(mem.IsValid());
        EXPECT_TRUE(mem.IsBufferedPaint());
        EXPECT_NE(target.m_dc.m_hDC, mem.GetDrawDC()->m_hDC);
        FillRed(mem.GetDrawDC(), RECT{0, 0, 40, 30});
        EXPECT_EQ(kWhite, target.Pixel(5, 5));
    }
    EXPECT_EQ(kRed, target.Pixel(0, 0));
    EXPECT_EQ(kRed, target.Pixel(39, 29));
    FreeLibrary(theme);
}

TEST(CZNMemDC, ABufferedPaintWithoutAContextIsEndedAndTheSurfaceFallsBack)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const wchar_t* const saved = std::exchange(CZNMemDC::s_themeLibrary, self);
    TestWnd wnd(40, 30);
    Target target(40, 30);
    {
        CZNMemDC mem(&target.m_dc, &wnd, TRUE);
        EXPECT_EQ(1, g_fakeEnds) << "ended at once";
        EXPECT_FALSE(g_fakeEndUpdate) << "nothing was drawn into it";
        ASSERT_TRUE(mem.IsValid() && !mem.IsBufferedPaint());
        FillRed(mem.GetDrawDC(), RECT{0, 0, 40, 30});
    }
    CZNMemDC::s_themeLibrary = saved;
    EXPECT_EQ(1, g_fakeEnds) << "ended once only";
    EXPECT_EQ(kRed, target.Pixel(20, 15));
}
