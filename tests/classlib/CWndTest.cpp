// The class library's window table: one object per window, and nothing left in it by a
// binding that was refused or failed.
#include "ClassLib.h"

#include <gtest/gtest.h>

// Asserted before any message is sent: a second binding, once taken, would route it round
// the router without end.
TEST(CWnd, AWindowIsBoundToOneObjectOnly)
{
    ASSERT_TRUE(CWnd::RegisterClass(L"ZnCWndTest", 0));
    CWnd first, second;
    ASSERT_TRUE(first.CreateEx(0, L"ZnCWndTest", L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr));
    ASSERT_FALSE(second.SubclassWindow(first.m_hWnd));
    EXPECT_EQ(nullptr, second.m_hWnd);
    EXPECT_EQ(&first, CWnd::FromHandlePermanent(first.m_hWnd));
    SendMessageW(first.m_hWnd, WM_NULL, 0, 0);

    // Let go by its object, a window of the router's class still has the router as procedure.
    const HWND unbound = first.UnsubclassWindow();
    ASSERT_FALSE(second.SubclassWindow(unbound));
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
