// Start-up time of the clock: from CreateProcess to the visible clock window with its text,
// against a trivial Win32 window with a text started the same way (trivial_window.exe), and
// where the clock's time goes, phase by phase, in a fresh process that runs the start-up's
// own steps in their order. Runs alternate, so both programs see the same machine load.
#include "App.h"
#include "CrashReport/EventLogHelper.h"
#include "DigitClock.h"
#include "FirewallStatus.h"
#include "LocaleTimeFormats.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportMail.h"
#include "SupportRegistry.h"
#include "SupportSettings.h"
#include "SupportUtilities.h"
#include "SupportWindowsHelpers.h"
#include "SupportWindowsVersion.h"
#include "resource.h"

#include <curl/curl.h>
#include <gdiplus.h>
#include <uxtheme.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

// The bench's application object: the clock's own, so that the settings, the log and the
// window creation are the program's.
CApp theApp;

namespace {

const int kRuns = 9;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (to.QuadPart - from.QuadPart) * 1000.0 / frequency.QuadPart;
}

double FileTimeMs(const FILETIME& t)
{
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000.0;
}

const char* const kPhases[] = {"process start", "GDI+ start-up", "OLE, settings, locale", "log + environment lines",
                               "event log + firewall", "audio objects", "window creation",
                               "first render"};
const int kPhaseCount = static_cast<int>(std::size(kPhases));

// The environment lines of the start-up, through the same functions.
void LogEnvironmentLines()
{
    CLogMan& log = theApp.m_log;
    ZN_LOG(LOG_INFO, L"START " << theApp.m_pszAppName);
    ZN_LOG(LOG_INFO, GetTickCount() / 3600000 << L"h");
    ZN_LOG(LOG_INFO, log.GetFilePath().GetString() << L" [" << (log.m_flushAfterEachLine ? 1 : 0) << L"]");
    ZN_LOG(LOG_INFO, GetTickCount() << L" " << GetStr(SID_SHORT_PREFIX) << L" x64 "
                                    << GetFileVersionText(nullptr).GetString());
    wchar_t text[261] = {};
    GetWindowsName(text, 261);
    ZN_LOG(LOG_INFO, text);
    MEMORYSTATUSEX mem{};
    mem.dwLength = sizeof(mem);
    GlobalMemoryStatusEx(&mem);
    ZN_LOG(LOG_INFO, (mem.ullTotalPhys >> 20) << L" / " << (mem.ullAvailPhys >> 20) << L" MB");
    ZN_LOG(LOG_INFO, RegistryReadString(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS",
                                        L"SystemManufacturer", L"", FALSE)
                         .GetString());
    ZN_LOG(LOG_INFO, curl_version());
    ZN_LOG(LOG_INFO, GetACP());
    wchar_t user[261] = {};
    DWORD n = 261;
    GetComputerNameW(text, &n);
    n = 261;
    GetUserNameW(user, &n);
    BOOL elevated = FALSE;
    GetProcessElevation(GetCurrentProcess(), &elevated);
    ZN_LOG(LOG_INFO, text << L" [" << user << L"] " << (IsUserAdmin() ? L"admin" : L"std"));
    HDC screen = GetDC(nullptr);
    ZN_LOG(LOG_INFO, L"clr:" << GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(nullptr, screen);
    CString mailClient;
    GetDefaultMailClient(mailClient, true);
    ZN_LOG(LOG_INFO, L"DPI cx=" << GetScreenDpiX() << L" cy=" << GetScreenDpiY());
    ZN_LOG(LOG_INFO, GetSystemMetrics(SM_CMONITORS));
}

// The child: the start-up's steps in their order, each timed; prints one line of numbers.
// Without flush, the log skips the flush to disk after each entry: what that flush costs.
int RunPhases(bool flush)
{
    if (!flush) theApp.m_log.m_flushAfterEachLine = 0;
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&now);
    double t[kPhaseCount] = {FileTimeMs(now) - FileTimeMs(created)};
    LARGE_INTEGER mark[kPhaseCount + 1];
    QueryPerformanceCounter(&mark[0]);
    theApp.SetRegistryKey(GetStr(SID_COMPANY));
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&theApp.m_gdiplusToken, &input, nullptr);
    QueryPerformanceCounter(&mark[1]);
    AfxOleInit();
    ApplyFirstRunDefaults();
    setlocale(LC_TIME, ".ACP");
    InitLocaleTimeFormats();
    BufferedPaintInit();
    InitScreenDpi();
    QueryPerformanceCounter(&mark[2]);
    theApp.m_log.Open(GetLogFilePath(), L'-', 3, 51200);
    LogEnvironmentLines();
    theApp.InitRunValueAndRights();
    QueryPerformanceCounter(&mark[3]);
    {
        CEventLogHelper events(3);
        events.LogSystemEvents();
    }
    LogFirewallStatus();
    QueryPerformanceCounter(&mark[4]);
    theApp.StartAudioObjects();
    QueryPerformanceCounter(&mark[5]);
    auto* clock = new CDigitClock;
    theApp.m_pMainWnd = clock;
    BOOL created_ok = theApp.CreateClockWindow();
    if (created_ok) TrimWorkingSet();
    QueryPerformanceCounter(&mark[6]);
    if (created_ok) UpdateWindow(clock->m_hWnd);
    QueryPerformanceCounter(&mark[7]);
    for (int i = 1; i < kPhaseCount; ++i) t[i] = Milliseconds(mark[i - 1], mark[i]);
    for (double v : t) std::printf("%.3f ", v);
    std::printf("\n");
    std::fflush(stdout);
    if (created_ok) clock->DestroyWindow();
    theApp.m_pMainWnd = nullptr;
    theApp.ReleaseAudioObjects();
    BufferedPaintUnInit();
    Gdiplus::GdiplusShutdown(theApp.m_gdiplusToken);
    return created_ok ? 0 : 1;
}

std::wstring BinPath(const wchar_t* name)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

HWND FindOwnWindow(const wchar_t* windowClass, DWORD pid)
{
    for (HWND w = FindWindowExW(nullptr, nullptr, windowClass, nullptr); w;
         w = FindWindowExW(nullptr, w, windowClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid) return w;
    }
    return nullptr;
}

// Milliseconds from CreateProcess to the program's window shown with a text; -1 when it
// did not show within 20 s. The program is then asked to end and waited for.
double TimeToWindow(const std::wstring& program, const wchar_t* windowClass, UINT exitMsg, WPARAM exitWp)
{
    std::wstring cmd = L"\"" + program + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(program.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    double ms = -1;
    HWND hwnd = nullptr;
    const DWORD deadline = GetTickCount() + 20000;
    while (GetTickCount() < deadline) {
        hwnd = FindOwnWindow(windowClass, pi.dwProcessId);
        if (hwnd && IsWindowVisible(hwnd) && GetWindowTextLengthW(hwnd) > 0) {
            QueryPerformanceCounter(&t1);
            ms = Milliseconds(t0, t1);
            break;
        }
        if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
    }
    if (hwnd) PostMessageW(hwnd, exitMsg, exitWp, 0);
    if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ms;
}

// The phases of one fresh child process, read from its output.
bool RunPhaseChild(double (&t)[kPhaseCount], bool flush)
{
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof(sa);
    sa.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring program = BinPath(L"bench_startup.exe");
    std::wstring cmd = L"\"" + program + (flush ? L"\" --phases" : L"\" --phases-without-flush");
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    BOOL started = CreateProcessW(program.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    char buffer[512];
    DWORD got = 0;
    while (started && ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got) out.append(buffer, got);
    CloseHandle(readEnd);
    if (!started) return false;
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const char* p = out.c_str();
    for (double& v : t) {
        char* end = nullptr;
        v = std::strtod(p, &end);
        if (end == p) return false;
        p = end;
    }
    return true;
}

struct Spread
{
    double median, low, high;
};

Spread SpreadOf(std::vector<double> v)
{
    if (v.empty()) return {-1, -1, -1};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

void PrintSpread(const char* what, const std::vector<double>& v)
{
    Spread s = SpreadOf(v);
    std::printf("bench_startup: %-36s median %8.2f ms  (%.2f .. %.2f, %zu runs)\n", what, s.median, s.low, s.high,
                v.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && lstrcmpW(argv[1], L"--phases") == 0) return RunPhases(true);
    if (argc == 2 && lstrcmpW(argv[1], L"--phases-without-flush") == 0) return RunPhases(false);

    theApp.SetRegistryKey(GetStr(SID_COMPANY));
    // No synchronisation at start: the network is not what is measured.
    WriteSettingInt(Setting::kFST, 0);
    const std::wstring clock = BinPath(L"zarnock.exe"), trivial = BinPath(L"trivial_window.exe");
    // A first run of each, uncounted: first-run defaults, log folders, the disk cache.
    TimeToWindow(clock, GetStr(SID_CLOCK_WNDCLASS), WM_COMMAND, ID_APP_EXIT_CLOCK);
    TimeToWindow(trivial, L"zn_bench_trivial_window", WM_CLOSE, 0);

    std::vector<double> clockMs, trivialMs, phases[kPhaseCount], unflushed[kPhaseCount];
    for (int run = 0; run < kRuns; ++run) {
        double c = TimeToWindow(clock, GetStr(SID_CLOCK_WNDCLASS), WM_COMMAND, ID_APP_EXIT_CLOCK);
        double w = TimeToWindow(trivial, L"zn_bench_trivial_window", WM_CLOSE, 0);
        if (c >= 0) clockMs.push_back(c);
        if (w >= 0) trivialMs.push_back(w);
        double t[kPhaseCount];
        if (RunPhaseChild(t, true))
            for (int i = 0; i < kPhaseCount; ++i) phases[i].push_back(t[i]);
        if (RunPhaseChild(t, false))
            for (int i = 0; i < kPhaseCount; ++i) unflushed[i].push_back(t[i]);
    }
    PrintSpread("zarnock.exe to its visible clock", clockMs);
    PrintSpread("trivial window to its visible text", trivialMs);
    if (!clockMs.empty() && !trivialMs.empty())
        std::printf("bench_startup: ratio of the medians %.2f (aim: 1.30 or less)\n",
                    SpreadOf(clockMs).median / SpreadOf(trivialMs).median);
    for (int i = 0; i < kPhaseCount; ++i) PrintSpread(kPhases[i], phases[i]);
    // Every log entry is flushed to disk before the next step: the same phases without it.
    std::printf("bench_startup: the same phases with the log not flushed after each entry:\n");
    for (int i = 1; i < kPhaseCount; ++i) PrintSpread(kPhases[i], unflushed[i]);
    return 0;
}
