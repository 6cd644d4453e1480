// The class library's window table: one object per window, and nothing left in it by a
// binding that was refused or failed.
#include "ClassLib.h"

#include <gtest/gtest.h>

namespace {

const UINT kProbe = WM_APP + 7;

class CProbedWnd : public CWnd
{
public:
    int m_probes = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == kProbe) return ++m_probes;
        return CWnd::WindowProc(msg, wp, lp);
    }
};

// Asserts come before any message reaches the window: a second binding that was taken
// would send it round the router without end.
TEST(CWnd, AWindowIsBoundToOneObjectOnly)
{
    ASSERT_TRUE(CWnd::RegisterClass(L"ZnCWndTestRouted", 0));
    CProbedWnd made;
    ASSERT_TRUE(made.CreateEx(0, L"ZnCWndTestRouted", L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr));
    CProbedWnd subclassed;
    CUniqueAny<CHandleTraits<HWND, DestroyWindow, NullHandleValue<HWND>>> control(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(control);
    ASSERT_TRUE(subclassed.SubclassWindow(control.Get()));
    {
        CProbedWnd second;
        ASSERT_FALSE(second.SubclassWindow(made.m_hWnd)) << "a window made through CreateEx";
        ASSERT_FALSE(second.SubclassWindow(control.Get())) << "a subclassed control";
        EXPECT_EQ(nullptr, second.m_hWnd);
    }
    EXPECT_TRUE(IsWindow(made.m_hWnd)) << "the refused object destroyed nothing";
    EXPECT_EQ(&made, CWnd::FromHandlePermanent(made.m_hWnd));
    EXPECT_EQ(&subclassed, CWnd::FromHandlePermanent(control.Get()));
    EXPECT_EQ(1, SendMessageW(made.m_hWnd, kProbe, 0, 0));
    EXPECT_EQ(1, SendMessageW(control.Get(), kProbe, 0, 0));

    // Let go, the window may be bound again.
    EXPECT_EQ(control.Get(), subclassed.UnsubclassWindow());
    CProbedWnd next;
    ASSERT_TRUE(next.SubclassWindow(control.Get()));
    EXPECT_EQ(1, SendMessageW(control.Get(), kProbe, 0, 0));
    EXPECT_EQ(1, next.m_probes);

    // A window of the router's class that no object holds: its procedure is the router already.
    const HWND unbound = made.UnsubclassWindow();
    CProbedWnd late;
    ASSERT_FALSE(late.SubclassWindow(unbound));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(unbound));
    DestroyWindow(unbound);
}

// The desktop window is another process's under Wine, as on Windows: its procedure cannot
// be replaced.
TEST(CWnd, AFailedSubclassLeavesNoBinding)
{
    const HWND desktop = GetDesktopWindow();
    CWnd wnd;
    EXPECT_FALSE(wnd.SubclassWindow(desktop));
    EXPECT_EQ(nullptr, wnd.m_hWnd) << "the object's destructor would destroy the window";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(desktop));
}

}  // namespace
