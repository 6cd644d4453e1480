// The time from "Synchronize Now" to the logged result, against chrony on loopback (started
// by scripts/bench.sh; its address is in ZARNOCK_CHRONY_DIR\address). Prints the figures.
#include "BenchSupport.h"
#include "Globals.h"
#include "ProfileTestApp.h"
#include "SNTPWnd.h"
#include "Settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Ms(LONGLONG ticks, LONGLONG frequency) { return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency); }

bool RunOne(CSNTPWnd& wnd, BOOL interactive)
{
    wnd.SyncNow(interactive);
    MSG msg;
    while (wnd.IsRequestRunning() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return wnd.m_strStatus.Find(L"Synchronized : ") == 0;
}

} // namespace

int main()
{
    const char* dir = getenv("ZARNOCK_CHRONY_DIR");
    std::string address = dir ? bench::ReadChronyAddress(dir) : std::string();
    if (address.empty()) {
        printf("bench_sntp: no chrony address (run through scripts/bench.sh)\n");
        return 1;
    }
    ProfileTestApp app(L"Zarnock SNTP Bench", L"Zarnock");
    WriteSettingString(Setting::kSVR, std::wstring(address.begin(), address.end()).c_str());
    g_canSetClock = 1;

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring logPath = std::wstring(temp) + L"bench_sntp_sync_log.txt";
    DeleteFileW(logPath.c_str());

    CSNTPWnd wnd;
    if (!wnd.Create(nullptr) || !wnd.Start()) {
        printf("bench_sntp: the client did not start\n");
        return 1;
    }
    wnd.m_logFilePath = logPath.c_str();
    // A first, silent round: a failure here would otherwise show a box nobody closes.
    if (!RunOne(wnd, FALSE)) {
        wprintf(L"bench_sntp: no synchronisation with %hs: %ls\n", address.c_str(), wnd.m_strStatus.GetString());
        return 1;
    }

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const int rounds = 50;
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        bool ok = RunOne(wnd, TRUE);
        QueryPerformanceCounter(&b);
        if (!ok) {
            wprintf(L"bench_sntp: round %d failed: %ls\n", i, wnd.m_strStatus.GetString());
            return 1;
        }
        ms.push_back(Ms(b.QuadPart - a.QuadPart, frequency.QuadPart));
    }
    std::sort(ms.begin(), ms.end());
    printf("bench_sntp: %d synchronisations against chrony on %s:123, \"Synchronize Now\" to logged result:\n",
           rounds, address.c_str());
    printf("  min %.2f ms, median %.2f ms, 90%% %.2f ms, max %.2f ms (aim: under 50 ms)\n", ms.front(),
           ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());

    wnd.Shutdown();
    wnd.DestroyWindow();
    DeleteSetting(Setting::kSVR);
    DeleteFileW(logPath.c_str());
    return 0;
}
