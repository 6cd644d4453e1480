// Cost of the ticking clock: processor time of the display timer with a seconds format, and
// with a hundredths format how often the window is redrawn against how often its text
// changes. Runs the clock window in this process for a few seconds per format.
#include "BenchSupport.h"
#include "DigitClock.h"
#include "ProfileTestApp.h"
#include "Settings.h"
#include "StringTable.h"

#include <gdiplus.h>

#include <cstdio>

namespace {

ProfileTestApp g_app(L"ZarnockTickBench");

// The clock with counters of its timer ticks, text changes and paints.
class CountingClock : public CDigitClock
{
public:
    long ticks = 0, texts = 0, paints = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_TIMER) ++ticks;
        else if (msg == WM_SETTEXT) ++texts;
        else if (msg == WM_PAINT) ++paints;
        return CDigitClock::WindowProc(msg, wp, lp);
    }
};

void Measure(const wchar_t* format, DWORD milliseconds)
{
    g_app.ClearStore();
    WriteSettingInt(Setting::kFST, 0);
    WriteSettingInt(Setting::kSE, 0);  // no sound device here; chimes are not what is measured
    auto* clock = new CountingClock;
    clock->SetFormat(format, FALSE);
    if (!clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100, 100,
                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr)) {
        std::printf("clock window could not be created (%lu)\n", GetLastError());
        delete clock;
        return;
    }
    HWND hwnd = clock->m_hWnd;
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
    // Settle, then count from zero.
    MSG msg;
    DWORD settle = GetTickCount() + 500;
    while (GetTickCount() < settle && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    clock->ticks = clock->texts = clock->paints = 0;

    ULONGLONG cpu0 = bench::ProcessCpu100ns();
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    QueryPerformanceCounter(&t1);
    ULONGLONG cpu = bench::ProcessCpu100ns() - cpu0;
    double seconds = double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart);

    std::wprintf(L"format \"%ls\": %.1f s, ticks %.1f/s, text changes %.1f/s, redraws %.1f/s, CPU %.2f %% of one core\n",
                 format, seconds, clock->ticks / seconds, clock->texts / seconds, clock->paints / seconds,
                 100.0 * (cpu / 1e7) / seconds);
    DestroyWindow(hwnd);
}

}  // namespace

int wmain()
{
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    Measure(L"HH:mm:ss", 30000);  // thread times move in 10 ms steps
    Measure(L"HH:mm:ss.SS", 5000);
    Measure(L"HH:mm:ss.SSS", 5000);
    g_app.ClearStore();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
