// Cost of the stopwatches: processor time of the ticking clock alone and with two running
// stopwatches (each redrawing its display every 25 ms), and the cost of one seven-segment
// paint of the display's full text.
#include "DigitClock.h"
#include "ProfileTestApp.h"
#include "Settings.h"
#include "StopWatchTimerDlg.h"
#include "StringTable.h"
#include "resource.h"

#include <gdiplus.h>

#include <cstdio>

namespace {

ProfileTestApp g_app(L"ZarnockStopwatchBench");

ULONGLONG ProcessCpu100ns()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER k{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u{{user.dwLowDateTime, user.dwHighDateTime}};
    return k.QuadPart + u.QuadPart;
}

void RunLoop(DWORD milliseconds)
{
    MSG msg;
    const DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, end - GetTickCount(), QS_ALLINPUT) != WAIT_OBJECT_0) break;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

// Per cent of one core used by this process while its message loop runs for the time given.
double MeasureCpu(DWORD milliseconds)
{
    RunLoop(500);  // settle
    const ULONGLONG cpu0 = ProcessCpu100ns();
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    RunLoop(milliseconds);
    QueryPerformanceCounter(&t1);
    const double seconds = double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart);
    return 100.0 * (double(ProcessCpu100ns() - cpu0) / 1e7) / seconds;
}

}  // namespace

int wmain()
{
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    g_app.ClearStore();
    WriteSettingInt(Setting::kFST, 0);
    WriteSettingInt(Setting::kSE, 0);  // chimes are not what is measured

    auto* clock = new CDigitClock;
    clock->SetFormat(L"HH:mm:ss", FALSE);
    if (!clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100, 100,
                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr)) {
        std::printf("clock window could not be created (%lu)\n", GetLastError());
        return 1;
    }
    g_app.m_pMainWnd = clock;
    ShowWindow(clock->m_hWnd, SW_SHOWNOACTIVATE);
    std::printf("clock alone: CPU %.2f %% of one core\n", MeasureCpu(5000));

    CStopWatchTimerDlg* first = OpenStopWatch();
    CStopWatchTimerDlg* second = OpenStopWatch();
    if (!first || !second) {
        std::printf("stopwatches could not be opened\n");
        return 1;
    }
    for (CStopWatchTimerDlg* sw : {first, second}) SendMessageW(sw->m_hWnd, WM_COMMAND, ID_SW_START, 0);
    std::printf("clock and two running stopwatches: CPU %.2f %% of one core\n", MeasureCpu(10000));

    // One paint: the whole "HH:MM:SS:hh" text, two texts in turn so none is skipped as unchanged.
    const int kPaints = 2000;
    SendMessageW(first->m_hWnd, WM_COMMAND, ID_SW_STOP, 0);
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < kPaints; ++i) first->m_display.SetText(i & 1 ? L"88:88:88:88" : L"01:23:45:67");
    GdiFlush();
    QueryPerformanceCounter(&t1);
    std::printf("one seven-segment paint of the display: %.3f ms\n",
                1000.0 * double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart) / kPaints);

    SendMessageW(clock->m_hWnd, WM_CLOSE, 0, 0);
    g_app.m_pMainWnd = nullptr;
    g_app.ClearStore();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
