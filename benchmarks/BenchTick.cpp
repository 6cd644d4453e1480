// Cost of the ticking clock: processor time of the display timer with a seconds format, and
// with a hundredths format how often the window is redrawn against how often its text
// changes; the hundredths clock against the least program that shows the same
// (TickReference.h), in alternating runs; and what each system call of the tick costs.
// Runs the clock window in this process, a few seconds per run, with another program's
// window in front, as on a desktop where the user works in some other program.
#include "BenchSupport.h"
#include "DigitClock.h"
#include "GdiplusObjects.h"
#include "PaintBuffer.h"
#include "ProfileTestApp.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportWindowsHelpers.h"
#include "TickReference.h"
#include "ZNMemDC.h"

#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

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

struct Run {
    double seconds = 0;
    double cpuPercent = 0;  // of one core
};

// Dispatches this thread's messages for the given time and measures it.
Run Pump(DWORD milliseconds)
{
    MSG msg;
    ULONGLONG cpu0 = bench::ProcessCpu100ns();
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    QueryPerformanceCounter(&t1);
    Run run;
    run.seconds = double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart);
    run.cpuPercent = 100.0 * (double(bench::ProcessCpu100ns() - cpu0) / 1e7) / run.seconds;
    return run;
}

void Settle()
{
    MSG msg;
    DWORD settle = GetTickCount() + 500;
    while (GetTickCount() < settle && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

CountingClock* CreateClock(const wchar_t* format)
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
        return nullptr;
    }
    ShowWindow(clock->m_hWnd, SW_SHOWNOACTIVATE);
    UpdateWindow(clock->m_hWnd);
    return clock;
}

// Runs the clock with the format; its window size goes to size when asked for.
Run Measure(const wchar_t* format, DWORD milliseconds, SIZE* size = nullptr)
{
    CountingClock* clock = CreateClock(format);
    if (!clock) return Run();
    HWND hwnd = clock->m_hWnd;
    Settle();
    clock->ticks = clock->texts = clock->paints = 0;
    Run run = Pump(milliseconds);
    std::wprintf(L"format \"%ls\": %.1f s, ticks %.1f/s, text changes %.1f/s, redraws %.1f/s, CPU %.2f %% of one core\n",
                 format, run.seconds, clock->ticks / run.seconds, clock->texts / run.seconds,
                 clock->paints / run.seconds, run.cpuPercent);
    if (size) {
        RECT r;
        GetWindowRect(hwnd, &r);
        *size = SIZE{r.right - r.left, r.bottom - r.top};
    }
    DestroyWindow(hwnd);
    return run;
}

Run MeasureReference(SIZE size, DWORD milliseconds)
{
    CTickReference reference;
    if (!reference.Create(100, 100, size)) {
        std::printf("the reference window could not be made (%lu)\n", GetLastError());
        return Run();
    }
    Settle();
    reference.ticks = reference.paints = 0;
    Run run = Pump(milliseconds);
    std::wprintf(L"reference: %.1f s, ticks %.1f/s, redraws %.1f/s, CPU %.2f %% of one core\n", run.seconds,
                 reference.ticks / run.seconds, reference.paints / run.seconds, run.cpuPercent);
    return run;
}

// The hundredths clock and the reference in turns, so both see the same machine load.
void CompareWithReference(int rounds, DWORD milliseconds)
{
    std::vector<double> ratios;
    double clockCpu = 0, clockSeconds = 0, referenceCpu = 0, referenceSeconds = 0;
    for (int i = 0; i < rounds; ++i) {
        SIZE size{0, 0};
        Run c = Measure(L"HH:mm:ss.SS", milliseconds, &size);
        Run r = MeasureReference(size, milliseconds);
        if (c.seconds <= 0 || r.seconds <= 0 || r.cpuPercent <= 0) continue;
        ratios.push_back(c.cpuPercent / r.cpuPercent);
        clockCpu += c.cpuPercent * c.seconds;
        clockSeconds += c.seconds;
        referenceCpu += r.cpuPercent * r.seconds;
        referenceSeconds += r.seconds;
    }
    if (ratios.empty() || referenceCpu <= 0) return;
    std::sort(ratios.begin(), ratios.end());
    std::printf("hundredths clock %.2f %% against the reference's %.2f %% of one core: %.2f times "
                "(rounds %.2f..%.2f, median %.2f)\n",
                clockCpu / clockSeconds, referenceCpu / referenceSeconds,
                (clockCpu / clockSeconds) / (referenceCpu / referenceSeconds), ratios.front(), ratios.back(),
                ratios[ratios.size() / 2]);
}

std::wstring BinPath(const wchar_t* name)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// trivial_window.exe, started to be the foreground window for the whole run.
class ForegroundProgram
{
public:
    ForegroundProgram()
    {
        std::wstring program = BinPath(L"trivial_window.exe");
        std::wstring cmd = L"\"" + program + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        if (!CreateProcessW(program.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_process))
            return;
        for (DWORD deadline = GetTickCount() + 20000; GetTickCount() < deadline; Sleep(10)) {
            HWND front = GetForegroundWindow();
            DWORD pid = 0;
            if (front) GetWindowThreadProcessId(front, &pid);
            if (pid == m_process.dwProcessId) {
                window = front;
                break;
            }
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0) break;
        }
    }
    ~ForegroundProgram()
    {
        if (!m_process.hProcess) return;
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(m_process.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(m_process.hProcess, 1);
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    HWND window = nullptr;

private:
    PROCESS_INFORMATION m_process{};
};

// Processor and wall time of one call, over many calls in a row.
template <typename Call>
void TimeCall(const char* name, Call call)
{
    const int n = 3000;
    ULONGLONG cpu0 = bench::ProcessCpu100ns();
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < n; ++i) call();
    QueryPerformanceCounter(&t1);
    double cpuUs = double(bench::ProcessCpu100ns() - cpu0) / 10.0 / n;
    double wallUs = 1e6 * double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart) / n;
    std::printf("  %-52s %7.1f us processor, %7.1f us wall\n", name, cpuUs, wallUs);
}

void MeasureCalls(HWND front)
{
    CountingClock* clock = CreateClock(L"HH:mm:ss");
    if (!clock) return;
    HWND hwnd = clock->m_hWnd;
    Settle();
    KillTimer(hwnd, ZN_CLOCK_TIMER_ID);  // the calls are made here, one after another
    std::printf("one call, with the clock's window and %s in front:\n",
                front ? "another program's window" : "no window");
    HWND target = front ? front : hwnd;
    HMONITOR monitor = MonitorFromWindow(target, MONITOR_DEFAULTTONEAREST);
    volatile UINT_PTR sink = 0;
    TimeCall("GetDesktopWindow", [&] { sink = sink + reinterpret_cast<UINT_PTR>(GetDesktopWindow()); });
    TimeCall("GetForegroundWindow", [&] { sink = sink + reinterpret_cast<UINT_PTR>(GetForegroundWindow()); });
    TimeCall("GetShellWindow", [&] { sink = sink + reinterpret_cast<UINT_PTR>(GetShellWindow()); });
    TimeCall("MonitorFromWindow (the clock)",
             [&] { sink = sink + reinterpret_cast<UINT_PTR>(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST)); });
    TimeCall("MonitorFromWindow (the window in front)",
             [&] { sink = sink + reinterpret_cast<UINT_PTR>(MonitorFromWindow(target, MONITOR_DEFAULTTONEAREST)); });
    TimeCall("GetMonitorInfoW", [&] {
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        sink = sink + GetMonitorInfoW(monitor, &mi);
    });
    TimeCall("GetWindowRect (the window in front)", [&] {
        RECT r;
        sink = sink + GetWindowRect(target, &r);
    });
    TimeCall("GetWindow (the clock, GW_HWNDPREV)",
             [&] { sink = sink + reinterpret_cast<UINT_PTR>(GetWindow(hwnd, GW_HWNDPREV)); });
    TimeCall("GetPropW (the clock)",
             [&] { sink = sink + reinterpret_cast<UINT_PTR>(GetPropW(hwnd, L"zn_bench_property")); });
    TimeCall("SetWindowPos (the clock, HWND_TOPMOST, z-order only)",
             [&] { sink = sink + SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly); });
    TimeCall("GetWindowTextLengthW + GetWindowTextW (the clock)", [&] {
        wchar_t text[64];
        sink = sink + GetWindowTextW(hwnd, text, GetWindowTextLengthW(hwnd) + 1);
    });
    TimeCall("the full-screen watch", [&] { sink = sink + clock->WatchFullScreen(); });
    TimeCall("a whole tick whose text does not change",
             [&] { sink = sink + SendMessageW(hwnd, WM_TIMER, ZN_CLOCK_TIMER_ID, 0); });
    // Text changes, each time another text of the same width.
    int turn = 0;
    auto nextText = [&] { return ++turn % 2 ? L"12:00:00.00" : L"12:00:00.01"; };
    TimeCall("SetWindowTextW (the clock)", [&] { sink = sink + SetWindowTextW(hwnd, nextText()); });
    TimeCall("InvalidateRect + UpdateWindow (the clock)", [&] {
        InvalidateRect(hwnd, nullptr, TRUE);
        sink = sink + UpdateWindow(hwnd);
    });
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    RECT client;
    GetClientRect(hwnd, &client);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    TimeCall("the clock's drawing alone (PaintOpaque)", [&] { clock->PaintOpaque(memory); });
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    {
        CClientDC target(clock);
        TimeCall("a paint buffer made for the paint (CZNMemDC)", [&] { CZNMemDC buffer(&target, clock, TRUE); });
        CPaintBuffer kept;
        TimeCall("the clock's kept paint buffer (CZNMemDC)", [&] { CZNMemDC buffer(&target, clock, kept); });
        CZNMemDC buffer(&target, clock, kept);
        TimeCall("a GDI+ graphics over the paint buffer (GPST 1)", [&] {
            CGpGraphics g;
            sink = sink + Gdiplus::DllExports::GdipCreateFromHDC(buffer.GetMemDC(), g.Out());
        });
    }
    TimeCall("a text change and its paint (the clock)", [&] {
        clock->SetText(nextText());
        sink = sink + UpdateWindow(hwnd);
    });
    RECT r;
    GetWindowRect(hwnd, &r);
    SIZE size{r.right - r.left, r.bottom - r.top};
    DestroyWindow(hwnd);
    CTickReference reference;
    if (!reference.Create(100, 100, size)) return;
    HWND rhwnd = reference.Handle();
    KillTimer(rhwnd, 1);
    TimeCall("SetWindowTextW (the reference)", [&] { sink = sink + SetWindowTextW(rhwnd, nextText()); });
    TimeCall("InvalidateRect + UpdateWindow (the reference)", [&] {
        InvalidateRect(rhwnd, nullptr, FALSE);
        sink = sink + UpdateWindow(rhwnd);
    });
    TimeCall("a tick and its paint (the reference)", [&] {
        SendMessageW(rhwnd, WM_TIMER, 1, 0);
        sink = sink + UpdateWindow(rhwnd);
    });
}

}  // namespace

// With "--calls" only the cost of each call is measured; with "--compare N" only N rounds of
// the hundredths clock against the reference are run.
int wmain(int argc, wchar_t** argv)
{
    const bool callsOnly = argc > 1 && wcscmp(argv[1], L"--calls") == 0;
    const int compareRounds = argc > 2 && wcscmp(argv[1], L"--compare") == 0 ? _wtoi(argv[2]) : 0;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    {
        ForegroundProgram front;
        std::printf("in front: %s\n", front.window ? "trivial_window.exe" : "no window (it did not take the foreground)");
        if (compareRounds > 0) {
            CompareWithReference(compareRounds, 5000);
        } else if (!callsOnly) {
            Measure(L"HH:mm:ss", 30000);  // thread times move in 10 ms steps
            Measure(L"HH:mm:ss.SSS", 5000);
            CompareWithReference(4, 5000);
        }
        if (compareRounds <= 0) MeasureCalls(front.window);
    }
    g_app.ClearStore();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
