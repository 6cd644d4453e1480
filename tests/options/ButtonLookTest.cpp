// The colour and image buttons in both looks: the classic one (owner-drawn, reached through
// the constructor's look switch, since Wine runs the themed one) and the themed one (custom
// draw reflected from the parent). Each button is printed into a surface of the test's own.
#include "ButtonEx.h"
#include "ColorPickerButton.h"
#include "resource.h"

#include "DibSurface.h"

#include <gmock/gmock.h>

namespace {

// A dialog with a plain push button ("&Other..." of the colour popup's template) bound to
// the button under test.
class CButtonHost : public CDialog
{
public:
    explicit CButtonHost(CWnd& wide) : m_wide(wide) {}
    CWnd& m_wide;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, IDC_COLOR_OTHER, m_wide);
    }
};

struct Print
{
    explicit Print(HWND button) : rect(Rect(button)), surface(rect.right, rect.bottom)
    {
        surface.m_dc.FillSolidRect(&rect, RGB(1, 1, 1));
        SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(static_cast<HDC>(surface.m_dc)), PRF_CLIENT | PRF_ERASEBKGND);
    }
    static RECT Rect(HWND h)
    {
        RECT r;
        GetClientRect(h, &r);
        return r;
    }
    int Count(COLORREF c) const
    {
        int n = 0;
        for (int y = 0; y < rect.bottom; ++y)
            for (int x = 0; x < rect.right; ++x) n += surface.Pixel(x, y) == c;
        return n;
    }
    // Pixels of the colour in the left half of the button less those in its right half.
    int Balance(COLORREF c) const
    {
        int balance = 0;
        for (int y = 0; y < rect.bottom; ++y)
            for (int x = 2; x < rect.right - 2; ++x)
                if (surface.Pixel(x, y) == c) balance += x < rect.right / 2 ? 1 : -1;
        return balance;
    }
    RECT rect;
    DibSurface surface;
};

class ButtonLookTest : public testing::TestWithParam<bool>
{
};

TEST_P(ButtonLookTest, ColourButtonShowsItsSwatchOnlyWhileEnabled)
{
    const BOOL classic = GetParam();
    CColorPickerButton button(classic);
    CButtonHost host(button);
    ASSERT_TRUE(host.Create(IDD_COLOR_POPUP, nullptr));
    const LONG_PTR type = GetWindowLongPtrW(button.m_hWnd, GWL_STYLE) & BS_TYPEMASK;
    EXPECT_EQ(classic ? BS_OWNERDRAW : BS_PUSHBUTTON, type) << "owner-drawn only in the classic look";
    button.SetColor(RGB(255, 0, 0));
    EXPECT_GT(Print(button.m_hWnd).Count(RGB(255, 0, 0)), 10);
    EnableWindow(button.m_hWnd, FALSE);
    EXPECT_EQ(0, Print(button.m_hWnd).Count(RGB(255, 0, 0))) << "no swatch while disabled";
    EXPECT_FALSE(SendMessageW(button.m_hWnd, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
    SendMessageW(button.m_hWnd, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_TRUE(SendMessageW(button.m_hWnd, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(classic ? BS_OWNERDRAW : BS_DEFPUSHBUTTON, GetWindowLongPtrW(button.m_hWnd, GWL_STYLE) & BS_TYPEMASK);
    host.DestroyWindow();
}

TEST_P(ButtonLookTest, ImageButtonShowsTheImageOfItsIndex)
{
    const BOOL classic = GetParam();
    CButtonEx button(classic);
    CButtonHost host(button);
    ASSERT_TRUE(host.Create(IDD_COLOR_POPUP, nullptr));
    ASSERT_TRUE(button.SetImage(IDB_ALIGNMENT, 16));
    int balance[3];
    for (int index = 0; index < 3; ++index) {
        button.SetImageIndex(index);
        balance[index] = Print(button.m_hWnd).Balance(RGB(0, 0, 0));
    }
    EXPECT_GT(balance[0], balance[2]) << "left-aligned lines lie more to the left than centred ones";
    EXPECT_GT(balance[2], balance[1]) << "centred lines lie more to the left than right-aligned ones";
    host.DestroyWindow();
}

// Classic look, pressed with the focus: a sunken frame inside the black focus frame.
TEST(ImageButtonClassicLook, PressedWithTheFocusIsSunken)
{
    CButtonEx button(TRUE);
    CButtonHost host(button);
    ASSERT_TRUE(host.Create(IDD_COLOR_POPUP, nullptr));
    const RECT r = Print::Rect(button.m_hWnd);
    DibSurface surface(r.right, r.bottom);
    DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, ODA_DRAWENTIRE, ODS_SELECTED | ODS_FOCUS, button.m_hWnd, surface.m_dc, r, 0};
    button.DrawItem(&item);
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), surface.Pixel(1, r.bottom / 2));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), surface.Pixel(r.right - 2, r.bottom / 2));
    host.DestroyWindow();
}

INSTANTIATE_TEST_SUITE_P(Looks, ButtonLookTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Classic" : "Themed"; });

}  // namespace
