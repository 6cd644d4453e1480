// Rendering cost of the clock: one full render and push of the layered window, one opaque
// paint, and the processor time that the running clock uses per minute.
#include "DigitClock.h"
#include "ProfileTestApp.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportWindowsHelpers.h"

#include <gdiplus.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

ProfileTestApp g_app(L"ZarnockBench");

double Microseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

ULONGLONG ThreadCpu100ns()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER k{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u{{user.dwLowDateTime, user.dwHighDateTime}};
    return k.QuadPart + u.QuadPart;
}

ULONGLONG ProcessCpu100ns(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER k{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u{{user.dwLowDateTime, user.dwHighDateTime}};
    return k.QuadPart + u.QuadPart;
}

void BenchInProcess(bool layered, bool gdiplusText, int rounds)
{
    g_app.ClearStore();
    WriteSettingInt(Setting::kFST, 0);
    WriteSettingInt(Setting::kTR, layered ? 1 : 0);
    WriteSettingInt(Setting::kGPST, gdiplusText ? 1 : 0);
    CDigitClock* clock = new CDigitClock;
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(14, GetScreenDpiY(), 72);
    lf.lfWeight = FW_BOLD;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    clock->SetClockFont(&lf);
    clock->SetCustomColours(0x800000, 0xFFFF);
    clock->SetOutline(1, 255, 4);
    clock->SetMargins(2);
    clock->SetFormat(GetStr(SID_DEFAULT_FORMAT), FALSE);
    if (!clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 20000,
                         20000, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr)) {
        std::printf("clock window could not be created\n");
        delete clock;
        return;
    }
    HWND hwnd = clock->m_hWnd;
    // Alternate two texts of the same length, as a ticking seconds display does. Batches,
    // so that a busy machine shows as spread rather than as one skewed mean; the thread's
    // processor time beside the wall time.
    const wchar_t* texts[2] = {L" 10:00:01 AM - December 08, 2026 ", L" 10:00:02 AM - December 08, 2026 "};
    const int batches = 9, perBatch = rounds / batches;
    std::vector<double> wall, cpu;
    for (int b = 0; b < batches; ++b) {
        ULONGLONG cpu0 = ThreadCpu100ns();
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < perBatch; ++i) {
            clock->SetText(texts[i & 1]);
            if (!layered) UpdateWindow(hwnd);
        }
        wall.push_back(Microseconds(std::chrono::steady_clock::now() - start) / perBatch);
        cpu.push_back((ThreadCpu100ns() - cpu0) / 10.0 / perBatch);
    }
    // The drawing alone, without the window's text, size, paint cycle or push: the part of
    // the cost that the render path itself holds.
    RECT r;
    GetWindowRect(hwnd, &r);
    const SIZE size{r.right - r.left, r.bottom - r.top};
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(memory, size.cx, size.cy);
    HGDIOBJ old = SelectObject(memory, bitmap);
    std::vector<double> drawWall, drawCpu;
    for (int b = 0; b < batches; ++b) {
        ULONGLONG cpu0 = ThreadCpu100ns();
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < perBatch; ++i) {
            if (layered) clock->DrawLayered(size, texts[i & 1]);
            else clock->PaintOpaque(memory);
        }
        drawWall.push_back(Microseconds(std::chrono::steady_clock::now() - start) / perBatch);
        drawCpu.push_back((ThreadCpu100ns() - cpu0) / 10.0 / perBatch);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    std::sort(drawWall.begin(), drawWall.end());
    std::sort(drawCpu.begin(), drawCpu.end());
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-42s median %7.1f us (%.1f .. %.1f), processor %7.1f us  (%ldx%ld, %d x %d)\n",
                layered       ? "layered: render + UpdateLayeredWindow"
                : gdiplusText ? "opaque, GDI+ text: text change + WM_PAINT"
                              : "opaque, GDI text: text change + WM_PAINT",
                wall[batches / 2],
                wall.front(), wall.back(), cpu[batches / 2], r.right - r.left, r.bottom - r.top, batches, perBatch);
    std::printf("%-42s median %7.1f us (%.1f .. %.1f), processor %7.1f us\n",
                layered ? "  of which DrawLayered alone" : "  of which PaintOpaque alone", drawWall[batches / 2],
                drawWall.front(), drawWall.back(), drawCpu[batches / 2]);
    clock->DestroyWindow();
    g_app.ClearStore();
}

// The clock window of the program's own code, left running with the default format while
// nothing else happens in the process; its processor time over the span, scaled to a
// minute. (Under Wine another process's times read as zero, so the clock runs here.)
void BenchRunningClock(bool layered, DWORD spanMs)
{
    g_app.ClearStore();
    WriteSettingInt(Setting::kFST, 0);
    WriteSettingInt(Setting::kTR, layered ? 1 : 0);
    CDigitClock* clock = new CDigitClock;
    clock->SetClockFont(nullptr);
    clock->SetCustomColours(0x800000, 0xFFFF);
    clock->SetOutline(layered ? 1 : 0, 255, 4);
    clock->SetFormat(GetStr(SID_DEFAULT_FORMAT), FALSE);
    if (!clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 20000,
                         20000, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr)) {
        delete clock;
        return;
    }
    ULONGLONG before = ProcessCpu100ns(GetCurrentProcess());
    DWORD start = GetTickCount();
    UINT_PTR stop = SetTimer(nullptr, 0, spanMs, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == stop) break;
        DispatchMessageW(&msg);
    }
    KillTimer(nullptr, stop);
    DWORD elapsed = GetTickCount() - start;
    ULONGLONG used = ProcessCpu100ns(GetCurrentProcess()) - before;
    double msPerMinute = used / 10000.0 * (60000.0 / elapsed);
    std::printf("%-46s %9.1f ms per minute = %.3f %% of one core (measured over %lu s, scaled)\n",
                layered ? "running clock, default format, layered" : "running clock, default format, opaque",
                msPerMinute, msPerMinute / 600.0, elapsed / 1000);
    clock->DestroyWindow();
    g_app.ClearStore();
}

}  // namespace

int wmain()
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    InitScreenDpi();
    BenchInProcess(true, false, 900);
    BenchInProcess(false, false, 900);
    BenchInProcess(false, true, 900);
    BenchRunningClock(false, 20000);
    BenchRunningClock(true, 20000);
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
