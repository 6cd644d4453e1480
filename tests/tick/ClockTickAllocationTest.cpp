// What the display tick allocates. Counts the program's own heap requests while one tick is
// handled; the application object and GDI+ are those of the clock window tests.
#include "DigitClock.h"
#include "Settings.h"
#include "StringTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};
}  // namespace

// Replaces the library's one: the default delete frees what malloc gave.
void* operator new(std::size_t size)
{
    if (g_counting) ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

namespace {

TEST(ClockTickAllocation, AnUnchangedTextCostsTheTickOnlyItsOutputText)
{
    WriteSettingInt(Setting::kFST, 0);
    WriteSettingInt(Setting::kSE, 0);
    auto* clock = new CDigitClock;
    // Longer than any small-string buffer, and the same on every tick of the test.
    clock->SetFormat(L"'an unchanging display text' yyyy", FALSE);
    ASSERT_TRUE(clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100,
                                100, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
    HWND hwnd = clock->m_hWnd;
    SendMessageW(hwnd, WM_TIMER, ZN_CLOCK_TIMER_ID, 0);  // the first tick may set up its buffers

    int most = 0;
    for (int i = 0; i < 5; ++i) {
        g_allocations = 0;
        g_counting = true;
        SendMessageW(hwnd, WM_TIMER, ZN_CLOCK_TIMER_ID, 0);
        g_counting = false;
        if (g_allocations > most) most = g_allocations;
    }
    EXPECT_LE(most, 1) << "a tick whose text did not change allocates beyond its output text";
    DestroyWindow(hwnd);
    WriteSettingInt(Setting::kSE, 1);
}

}  // namespace
