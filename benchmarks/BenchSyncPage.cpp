// The Time Synchronization page and the zone dialog as a user meets them: the page's first
// show with a 200-server list, the "Add Time Zone" dialog's first show with the system's
// zones, and "Adjust &Now" to the last line of the list against chrony on loopback (started
// by scripts/bench.sh; its address is in ZARNOCK_CHRONY_DIR\address). A first show is timed
// from the call that makes the window to the end of its first paint. Prints the figures.
#include "AddTimeZoneDlg.h"
#include "DigitClock.h"
#include "Globals.h"
#include "LocaleTimeFormats.h"
#include "SNTPage.h"
#include "SNTPWnd.h"
#include "Settings.h"
#include "StringTable.h"
#include "resource.h"

#include "ProfileTestApp.h"

#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

LARGE_INTEGER g_frequency;

double Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

std::string ReadAddress(const char* dir)
{
    std::string path = std::string(dir) + "\\address";
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return {};
    char buffer[64] = {};
    size_t n = fread(buffer, 1, sizeof(buffer) - 1, f);
    fclose(f);
    std::string a(buffer, n);
    while (!a.empty() && (a.back() == '\n' || a.back() == '\r')) a.pop_back();
    return a;
}

class RecordingClock : public CSntpClock
{
public:
    BOOL SetSystemTime(const SYSTEMTIME&) override { return TRUE; }
};

const UINT WM_BENCH_ADJUST = WM_APP + 40;

// The page, timing its own set-up and its first paint; in adjust mode it then runs the
// "Adjust &Now" rounds before it closes the sheet.
class BenchPage : public CSNTPage
{
public:
    BOOL OnInitDialog() override
    {
        const double t0 = Now();
        const BOOL r = CSNTPage::OnInitDialog();
        initMs = Now() - t0;
        return r;
    }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_BENCH_ADJUST) {
            RunAdjustRounds();
            ::PostMessageW(GetSheetWindow(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            return 0;
        }
        const LRESULT r = CSNTPage::WindowProc(msg, wp, lp);
        if (msg == WM_PAINT && paintedAt == 0) {
            paintedAt = Now();
            if (adjustRounds > 0) PostMessage(WM_BENCH_ADJUST);
            else ::PostMessageW(GetSheetWindow(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
        return r;
    }
    void RunAdjustRounds()
    {
        HWND button = GetDlgItem(IDC_SNTP_ADJUST_NOW);
        for (int i = 0; i < adjustRounds; ++i) {
            const int before = m_logList.GetCount();
            const double t0 = Now();
            SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SNTP_ADJUST_NOW, BN_CLICKED), reinterpret_cast<LPARAM>(button));
            MSG msg;
            while (m_logList.GetCount() < before + 2 && Now() - t0 < 3000) {
                if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                } else {
                    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
                }
            }
            if (m_logList.GetCount() >= before + 2) adjustMs.push_back(Now() - t0);
        }
        wchar_t last[256] = L"";
        const int n = m_logList.GetCount();
        if (n > 0) m_logList.SendMessage(LB_GETTEXT, static_cast<WPARAM>(n - 1), reinterpret_cast<LPARAM>(last));
        lastLine = last;
    }

    double initMs = 0, paintedAt = 0;
    int adjustRounds = 0;
    std::vector<double> adjustMs;
    std::wstring lastLine;
};

class BenchZoneDlg : public CAddTimeZoneDlg
{
public:
    BenchZoneDlg() : CAddTimeZoneDlg(nullptr) {}
    BOOL OnInitDialog() override
    {
        const double t0 = Now();
        const BOOL r = CAddTimeZoneDlg::OnInitDialog();
        initMs = Now() - t0;
        return r;
    }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        const LRESULT r = CAddTimeZoneDlg::WindowProc(msg, wp, lp);
        if (msg == WM_PAINT && paintedAt == 0) {
            paintedAt = Now();
            PostMessage(WM_COMMAND, IDCANCEL);
        }
        return r;
    }
    double initMs = 0, paintedAt = 0;
};

double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    QueryPerformanceFrequency(&g_frequency);
    const char* dir = getenv("ZARNOCK_CHRONY_DIR");
    const std::string address = dir ? ReadAddress(dir) : std::string();
    if (address.empty()) {
        printf("bench_syncpage: no chrony address (run through scripts/bench.sh)\n");
        return 1;
    }
    ProfileTestApp app(L"Zarnock SyncPage Bench", L"Zarnock");
    app.ClearStore();
    g_canSetClock = 1;
    InitLocaleTimeFormats();
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    // 200 servers, chrony among them; short section names, so that all fit the name buffer.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring listPath = std::wstring(temp) + L"bench_timesvrs.dat";
    std::string list;
    for (int i = 1; i < 200; ++i)
        list += "[" + std::to_string(i) + "]\r\nLoc=Time server number " + std::to_string(i) + " of the list\r\nAdr=ntp" +
                std::to_string(i) + ".example.org\r\n";
    list += "[200]\r\nLoc=Chrony on loopback\r\nAdr=" + address + "\r\n";
    FILE* f = _wfopen(listPath.c_str(), L"wb");
    if (!f) return 1;
    fwrite(list.data(), 1, list.size(), f);
    fclose(f);
    CSNTPage::s_serverListPath = listPath.c_str();
    WriteSettingInt(Setting::kFST, 0);
    WriteSettingInt(Setting::kCF, 0);

    auto* clock = new CDigitClock;
    clock->SetClockFont(nullptr);
    app.m_pMainWnd = clock;
    if (!clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100, 100,
                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr)) {
        printf("bench_syncpage: no clock window\n");
        return 1;
    }
    RecordingClock recorder;
    clock->GetSntpWnd()->SetClock(&recorder);
    clock->GetSntpWnd()->m_logFilePath = (std::wstring(temp) + L"bench_syncpage_sync_log.txt").c_str();
    WriteSettingString(Setting::kSVR, std::wstring(address.begin(), address.end()).c_str());

    const int showRounds = 3;
    std::vector<double> pageShow, pageInit, zoneShow, zoneInit;
    size_t servers = 0, zones = 0;
    for (int i = 0; i < showRounds; ++i) {
        CPropertySheet sheet(L"Zarnock bench: Time Synchronization", nullptr, 0);
        BenchPage page;
        sheet.AddPage(&page);
        const double t0 = Now();
        sheet.DoModal();
        pageShow.push_back(page.paintedAt - t0);
        pageInit.push_back(page.initMs);
        servers = page.m_addresses.size() - 1;
    }
    for (int i = 0; i < showRounds; ++i) {
        BenchZoneDlg dlg;
        const double t0 = Now();
        dlg.DoModal();
        zoneShow.push_back(dlg.paintedAt - t0);
        zoneInit.push_back(dlg.initMs);
        zones = dlg.m_zones.size();
    }
    BenchPage adjustPage;
    adjustPage.adjustRounds = 30;
    {
        CPropertySheet sheet(L"Zarnock bench: Adjust Now", nullptr, 0);
        sheet.AddPage(&adjustPage);
        sheet.DoModal();
    }

    printf("bench_syncpage: page first show, %zu servers: median %.1f ms (its own set-up %.1f ms) [aim < 150 ms]\n",
           servers, Median(pageShow), Median(pageInit));
    printf("bench_syncpage: Add Time Zone first show, %zu zones: median %.1f ms (its own set-up %.1f ms) [aim < 150 ms]\n",
           zones, Median(zoneShow), Median(zoneInit));
    printf("bench_syncpage: Adjust Now to the last list line against chrony: median %.2f ms, max %.2f ms over %zu rounds"
           " [aim < 50 ms]\n",
           Median(adjustPage.adjustMs), adjustPage.adjustMs.empty() ? 0.0 : *std::max_element(adjustPage.adjustMs.begin(), adjustPage.adjustMs.end()),
           adjustPage.adjustMs.size());
    wprintf(L"bench_syncpage: last line \"%ls\"\n", adjustPage.lastLine.c_str());

    app.m_pMainWnd = nullptr;
    DestroyWindow(clock->m_hWnd);
    app.ClearStore();
    DeleteFileW(listPath.c_str());
    Gdiplus::GdiplusShutdown(gdiplusToken);
    return adjustPage.adjustMs.empty() ? 1 : 0;
}
