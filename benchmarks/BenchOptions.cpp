// The Options sheet: the time from the Options command to the sheet shown and initialised,
// the time from a change on the Clock page to the clock's new render, and the GDI objects
// of the process before and after 100 open-and-cancel cycles.
#include "DigitClock.h"
#include "OptionsSheet.h"
#include "Settings.h"
#include "StringTable.h"
#include "resource.h"

#include "DialogDriver.h"
#include "HandleCount.h"
#include "ProfileTestApp.h"

#include <gdiplus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using namespace zntest;
using Clock = std::chrono::steady_clock;

ProfileTestApp g_app(L"ZarnockBenchOptions");

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> ms)
{
    if (ms.empty()) {
        std::printf("%-52s no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s median %7.2f ms   max %7.2f ms   (%zu runs)\n", what, ms[ms.size() / 2], ms.back(), ms.size());
}

// Used entries of the process's GDI handle table by kind: device contexts (with the bitmap and
// region each one holds) apart from fonts, brushes and pens, which the sheet itself makes.
// Under Wine, GetGuiResources answers 0; the table is where the objects are.
struct GdiKinds
{
    int dcs = 0, fontsBrushesPens = 0;
};

GdiKinds CountGdiKinds()
{
    struct Entry { UINT64 object; ULONG owner; USHORT unique; UCHAR type; UCHAR flags; UINT64 user; };
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    struct { LONG_PTR exitStatus; const BYTE* peb; ULONG_PTR rest[4]; } basic{};
    GdiKinds kinds;
    if (!query || query(GetCurrentProcess(), 0, &basic, sizeof(basic), nullptr) != 0 || !basic.peb) return kinds;
    const Entry* table = *reinterpret_cast<const Entry* const*>(basic.peb + 0xF8);
    for (int i = 0; table && i < 0x10000; ++i) {
        if (table[i].type == 0x01) ++kinds.dcs;
        else if (table[i].type == 0x0a || table[i].type == 0x10 || table[i].type == 0x30) ++kinds.fontsBrushesPens;
    }
    return kinds;
}

// The sheet of the thread, once its Clock page exists.
HWND ReadySheet(DWORD thread)
{
    HWND sheet = FindThreadDialog(thread, COptionsSheet::Caption());
    return sheet && SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) ? sheet : nullptr;
}

}  // namespace

int main()
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    g_app.ClearStore();
    g_app.WriteProfileInt(GetStr(SID_SECTION_TIMESYNC), GetStr(SID_KEY_FST), 0);
    WriteSettingInt(Setting::kTR, 1);
    WriteSettingInt(Setting::kCF, 0);

    CDigitClock* clock = new CDigitClock;
    clock->SetCustomColours(0x800000, 0xFFFF);
    clock->SetFormat(GetStr(SID_DEFAULT_FORMAT), FALSE);
    if (!clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100, 100,
                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr)) {
        std::printf("clock window could not be created\n");
        return 1;
    }
    // Layered: every change is pushed to the screen within the setter, so its time is the render's.
    clock->SetTransparent(1);
    g_app.m_pMainWnd = clock;
    HWND hwnd = clock->m_hWnd;

    std::vector<double> open, formatChange, colourChange;
    DWORD gdiBefore = 0, gdiHalf = 0, gdiAfter = 0;
    GdiKinds kindsBefore, kindsAfter;
    const int cycles = 100;
    for (int i = 0; i < cycles + 1; ++i) {
        if (i == 1) {
            // After the first sheet: the system's own caches are made.
            gdiBefore = GdiObjectCount();
            kindsBefore = CountGdiKinds();
        }
        if (i == cycles / 2 + 1) gdiHalf = GdiObjectCount();
        Clock::time_point start = Clock::now();
        RunModal([&] { clock->SendMessage(WM_COMMAND, ID_OPTIONS); },
                 [&](DWORD thread) {
                     HWND sheet = nullptr;
                     const Clock::time_point limit = Clock::now() + std::chrono::seconds(10);
                     while (!(sheet = ReadySheet(thread)) && Clock::now() < limit) SwitchToThread();
                     if (!sheet) return;
                     open.push_back(Ms(Clock::now() - start));
                     if (i % 10 == 0) {
                         HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
                         Clock::time_point t = Clock::now();
                         SetItemText(page, IDC_FORMAT, (i / 10) % 2 ? L"HH:mm:ss" : L"'Now' HH:mm");
                         formatChange.push_back(Ms(Clock::now() - t));
                         t = Clock::now();
                         SetCheck(page, IDC_CUSTOM_COLORS, false);
                         colourChange.push_back(Ms(Clock::now() - t));
                         SetCheck(page, IDC_CUSTOM_COLORS, true);
                     }
                     PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
                     WaitForWindowGone(sheet, 5000);
                 });
    }
    gdiAfter = GdiObjectCount();
    kindsAfter = CountGdiKinds();

    std::printf("Options sheet (%s)\n", GdiCountWorks() ? "GDI count trusted" : "GDI count not available here");
    Report("Options command to the sheet shown and initialised", open);
    Report("Clock page format change to the clock's new render", formatChange);
    Report("Clock page colour switch to the clock's new render", colourChange);
    std::printf("%-52s before %lu   after %d: %lu   after %d: %lu\n", "GDI objects over open-and-cancel cycles",
                gdiBefore, cycles / 2, gdiHalf, cycles, gdiAfter);
    std::printf("%-52s before %d   after %d\n", "  of them fonts, brushes and pens", kindsBefore.fontsBrushesPens,
                kindsAfter.fontsBrushesPens);
    std::printf("%-52s before %d   after %d\n", "  of them device contexts (the system's DC cache)", kindsBefore.dcs,
                kindsAfter.dcs);

    g_app.m_pMainWnd = nullptr;
    DestroyWindow(hwnd);
    g_app.ClearStore();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
