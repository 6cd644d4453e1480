#include "App.h"

#include "ClockLook.h"
#include "ClockPlacement.h"
#include "CrashReport/DumpDlg.h"
#include "CrashReport/ErrorReportingHelper.h"
#include "CrashReport/EventLogHelper.h"
#include "CrashReport/SupportMapi.h"
#include "DigitClock.h"
#include "FirewallStatus.h"
#include "Globals.h"
#include "GivenUpWorkers.h"
#include "LocaleTimeFormats.h"
#include "MessageBoxEx.h"
#include "RTLLayout.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportSettings.h"
#include "SupportRegistry.h"
#include "SupportFiles.h"
#include "SupportMail.h"
#include "SupportUtilities.h"
#include "SupportWindowsHelpers.h"
#include "SupportWindowsVersion.h"
#include "resource.h"

#include <curl/curl.h>
#include <gdiplus.h>
#include <shellapi.h>
#include <uxtheme.h>

#include <algorithm>
#include <clocale>
#include <vector>

namespace {

const wchar_t kMutexName[] = L"m_zarnock32";
const int kLevelXp = 2;
const int kLevelVista = 3;
// A running clock that does not answer the hand-over within this time is given up (it may
// hang, or be showing a modal box for its own reasons).
const UINT kHandOverTimeoutMs = 3000;
// A z-order change only, and posted rather than sent: a running clock that hangs cannot
// hang the second start.
const UINT kRaiseFlags = kZOrderOnly | SWP_ASYNCWINDOWPOS;
// An update check cut short by the quit message ends within about a second, unless libcurl
// is held by something it cannot cut short (a name look-up); a sound worker stuck in the
// device may never end: exit waits this long for the workers given up on.
const DWORD kGivenUpExitWaitMs = 5000;

// Before Windows Vista the clock's own Run value goes with "-uninstall"; later the
// installer removes it.
void DeleteRunValueBeforeVista()
{
    if (IsWindowsAtLeast(kLevelVista)) return;
    DeleteRunValue(GetStr(SID_PRODUCT));
}

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM param)
{
    reinterpret_cast<std::vector<RECT>*>(param)->push_back(*rect);
    return TRUE;
}

// A locale number of at most one digit (the two-character buffer of the settings' readers).
bool ReadLocaleNumber(LCTYPE type, int& value)
{
    char buf[2] = {};
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof(buf))) return false;
    value = atoi(buf);
    return true;
}

// The process ends under the crash dialog: its tray icon goes first, or the shell would
// keep it until the mouse passes over it.
void RemoveClockTrayIcon()
{
    CWinApp* app = AfxGetApp();
    if (auto* clock = dynamic_cast<CDigitClock*>(app ? app->m_pMainWnd : nullptr))
        if (clock->m_hWnd) clock->NotifyIcon(NIM_DELETE, 0, nullptr);
}

}  // namespace

CString GetLogFilePath()
{
    return BuildLogFilePath(GetStr(SID_LOGS_FOLDER), GetStr(SID_LOG_EXEC), GetStr(SID_LOG_NAME_FORMAT),
                            GetStr(SID_LOG_EXEC));
}

AppSwitch ParseAppSwitch(int argc, const wchar_t* const* argv)
{
    if (argc != 2 || !argv || !argv[1]) return AppSwitch::None;
    const wchar_t* arg = argv[1];
    if (arg[0] != L'-' && arg[0] != L'/') return AppSwitch::None;
    if (lstrcmpW(arg + 1, L"uninstall") == 0) return AppSwitch::Uninstall;
    if (lstrcmpiW(arg + 1, L"restore") == 0) return AppSwitch::Restore;
    return AppSwitch::None;
}

int FirstWeekOfYearFrom(int localeValue, bool localeOk, const int* storedValue)
{
    int def = 0;
    if (localeOk && localeValue > 0) def = localeValue == 1 ? 2 : 1;
    if (!storedValue) return def;
    return (*storedValue < 0 || *storedValue > 2) ? 2 : *storedValue;
}

int FirstDayOfWeekFrom(int localeValue, bool localeOk, const int* storedValue)
{
    int def = 0;
    if (localeOk && localeValue > 0) def = localeValue > 6 ? 6 : localeValue;
    if (!storedValue) return def;
    return (*storedValue < 0 || *storedValue > 6) ? 6 : *storedValue;
}

CApp::CApp() : CWinApp(L"Zarnock")
{
    SetAppLogMan(&m_log);
}

CApp::~CApp()
{
    if (GetAppLogMan() == &m_log) SetAppLogMan(nullptr);
}

BOOL CApp::HandOverToRunningCopy(bool uninstall)
{
    HWND running = FindWindowW(GetStr(SID_CLOCK_WNDCLASS), nullptr);
    if (!running) {
        MessageBeep(MB_ICONEXCLAMATION);
        return FALSE;
    }
    DWORD_PTR reply = 0;
    if (uninstall) {
        DeleteRunValueBeforeVista();
        SendMessageTimeoutW(running, WM_COMMAND, ID_APP_EXIT_CLOCK, 0, SMTO_ABORTIFHUNG, kHandOverTimeoutMs, &reply);
        return FALSE;
    }
    // Raised over everything; an always-on-top clock stays topmost afterwards.
    SetWindowPos(running, HWND_TOPMOST, 0, 0, 0, 0, kRaiseFlags);
    if (!GetSettingInt(Setting::kAT)) SetWindowPos(running, HWND_NOTOPMOST, 0, 0, 0, 0, kRaiseFlags);
    if (GetSettingInt(Setting::kSOR) != 0)
        SendMessageTimeoutW(running, WM_COMMAND, ID_OPTIONS, 0, SMTO_ABORTIFHUNG, kHandOverTimeoutMs, &reply);
    return FALSE;
}

BOOL CApp::InitInstance()
{
    SetRegistryKey(GetStr(SID_COMPANY));
    InstallCrashHandler(true, kCrashDumpType);
    SetCrashTrayIconRemover(RemoveClockTrayIcon);

    int argc = 0;
    CLocalMemory argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    AppSwitch sw = ParseAppSwitch(argc, static_cast<LPWSTR*>(argv.Get()));

    m_hMutex.Reset(CreateMutexW(nullptr, TRUE, kMutexName));
    if (m_hMutex && GetLastError() == ERROR_ALREADY_EXISTS) return HandOverToRunningCopy(sw == AppSwitch::Uninstall);

    if (sw == AppSwitch::Uninstall) {
        DeleteRunValueBeforeVista();
        m_hMutex.Reset();
        return FALSE;
    }
    if (sw == AppSwitch::Restore) {
        RestoreDisplaySettings();
        // A saved placement would win over the reset "XY": the clock returns to its default place.
        DeleteSetting(Setting::kCR);
    }

    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);

    if (!AfxOleInit()) return FALSE;

    ApplyFirstRunDefaults();
    setlocale(LC_TIME, ".ACP");
    InitLocaleTimeFormats();
    if (IsWindowsAtLeast(kLevelVista) && BufferedPaintInit() == S_OK) m_bufferedPaintOn = TRUE;
    InitScreenDpi();

    m_log.SetTempFileSource(CreateTempFileName);
    m_log.Open(GetLogFilePath(), L'-', 3, 51200);
    LogEnvironment();
    WaitForMissingMonitor();
    InitRunValueAndRights();

    if (!IsWindowsAtLeast(kLevelXp)) {
        RefuseUnknownWindows();
        return FALSE;
    }

    if (GetSettingInt(Setting::kLEV) != 0) {
        CEventLogHelper events(3);
        events.LogSystemEvents();
    } else {
        ZN_LOG(LOG_WARNING, L"EVR");
    }
    LogFirewallStatus();

    LoadProcessWideValues();
    StartAudioObjects();

    CDigitClock* clock = new CDigitClock;
    m_pMainWnd = clock;
    if (!CreateClockWindow()) {
        // The window was never made, so nothing else deletes the object.
        if (m_pMainWnd == clock) {
            m_pMainWnd = nullptr;
            delete clock;
        }
        return FALSE;
    }
    TrimWorkingSet();
    return TRUE;
}

void CApp::InitRunValueAndRights()
{
    ZN_LOG(LOG_INFO, L"Run (" << ReadRunValue(GetStr(SID_PRODUCT)).GetString() << L")");
    InitRTLLayout();
    if (IsRTLLayout()) ZN_LOG(LOG_INFO, L"RTL");
    // Read here too: the environment step reads nothing while the log is closed.
    g_canSetClock = IsWindowsAtLeast(kLevelVista) ? IsElevated() : 1;
    ZN_LOG(LOG_INFO, g_canSetClock);
}

int CApp::IsElevated()
{
    if (m_elevated < 0) {
        BOOL elevated = FALSE;
        if (IsWindowsAtLeast(kLevelVista)) {
            HRESULT hr = GetProcessElevation(GetCurrentProcess(), &elevated);
            if (FAILED(hr)) ZN_LOG_ERROR(hr, L"GetProcessElevation", LOG_ERROR);
        }
        m_elevated = elevated ? 1 : 0;
    }
    return m_elevated;
}

void CApp::LogEnvironment()
{
    if (!m_log.IsOpen()) return;
    ZN_LOG(LOG_INFO, L"START " << m_pszAppName);
    ZN_LOG(LOG_INFO, GetTickCount() / 3600000 << L"h");
    ZN_LOG(LOG_INFO, m_log.GetFilePath().GetString() << L" [" << (m_log.m_flushAfterEachLine ? 1 : 0) << L","
                                                     << (m_log.m_secondFlag ? 1 : 0) << L"]");
    ZN_LOG(LOG_INFO, GetTickCount() << L" " << GetStr(SID_SHORT_PREFIX) << L" x64 "
                                    << GetFileVersionText(nullptr).GetString());
    wchar_t windows[261] = {};
    GetWindowsName(windows, 261);
    ZN_LOG(LOG_INFO, windows);
    MEMORYSTATUSEX mem{};
    mem.dwLength = sizeof(mem);
    if (GlobalMemoryStatusEx(&mem))
        ZN_LOG(LOG_INFO, (mem.ullTotalPhys >> 20) << L" / " << (mem.ullAvailPhys >> 20) << L" MB");
    else
        ZN_LOG_ERROR(GetLastError(), L"GlobalMemoryStatusEx", LOG_ERROR);
    ZN_LOG(LOG_INFO, RegistryReadString(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS",
                                        L"SystemManufacturer", L"", FALSE)
                         .GetString());
    ZN_LOG(LOG_INFO, curl_version());
    ZN_LOG(LOG_INFO, GetACP());

    wchar_t computer[261] = L"<null>", user[261] = L"<null>";
    DWORD n = 261;
    if (!GetComputerNameW(computer, &n)) {
        ZN_LOG_ERROR(GetLastError(), L"GetComputerNameW", LOG_ERROR);
        lstrcpyW(computer, L"<null>");
    }
    n = 261;
    if (!GetUserNameW(user, &n)) {
        ZN_LOG_ERROR(GetLastError(), L"GetUserNameW", LOG_ERROR);
        lstrcpyW(user, L"<null>");
    }
    const int elevated = IsElevated();
    ZN_LOG(LOG_INFO, computer << L" [" << user << L"] " << (IsUserAdmin() ? L"admin" : L"std") << L" "
                              << (elevated ? L"[RAA]" : L""));

    CClientDC screen(nullptr);
    ZN_LOG(LOG_INFO, L"clr:" << (screen.m_hDC ? screen.GetDeviceCaps(BITSPIXEL) : 0));
    CString mailClient;
    GetDefaultMailClient(mailClient, true);
    ZN_LOG(LOG_INFO, L"MAPI " << IsMapiUsable());
    ZN_LOG(LOG_INFO, L"DPI cx=" << GetScreenDpiX() << L" cy=" << GetScreenDpiY());
    ZN_LOG(LOG_INFO, GetSystemMetrics(SM_CMONITORS));
}

void CApp::RefuseUnknownWindows()
{
    CString text = CString(L"Unknown Windows version.") + L"\n\nDo you want to view log file?";
    if (AfxMessageBox(text, MB_TOPMOST | MB_ICONERROR | MB_YESNOCANCEL) != IDYES) return;
    CString path = m_log.GetFilePath();
    m_log.Flush();
    if (FileExists(path)) {
        OpenTextFileInEditor(path);
        return;
    }
    ZN_LOG(LOG_INFO, path.GetString());
    AfxMessageBox(CString(L"The file does not exist.\n\n") + path, MB_TOPMOST | MB_ICONWARNING);
}

void CApp::WaitForMissingMonitor()
{
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    RECT saved;
    if (!GetSettingRect(Setting::kDR, &saved)) {
        ZN_LOG(LOG_WARNING, L"0");
        return;
    }

    for (const RECT& m : monitors) {
        if (EqualRect(&m, &saved)) return;
        RECT common;
        IntersectRect(&common, &m, &saved);
        if (EqualRect(&common, &saved)) {
            ZN_LOG(LOG_WARNING, RectText(m).GetString());
            ZN_LOG(LOG_WARNING, RectText(saved).GetString());
            return;
        }
    }
    ZN_LOG(LOG_WARNING, RectText(saved).GetString());
    int wait = std::clamp(GetSettingInt(Setting::kWPM), 5000, 30000);
    ZN_LOG(LOG_WARNING, wait);
    Sleep(static_cast<DWORD>(wait));
}

void CApp::LoadProcessWideValues()
{
    int locale = 0;
    bool ok = ReadLocaleNumber(LOCALE_IFIRSTWEEKOFYEAR, locale);
    int stored = 0;
    g_firstWeekOfYear = FirstWeekOfYearFrom(locale, ok, GetStoredSettingInt(Setting::kFWOY, &stored) ? &stored : nullptr);
    ok = ReadLocaleNumber(LOCALE_IFIRSTDAYOFWEEK, locale);
    g_firstDayOfWeek = FirstDayOfWeekFrom(locale, ok, GetStoredSettingInt(Setting::kFDOW, &stored) ? &stored : nullptr);

    g_zonePrefixMode = GetSettingInt(Setting::kFTZ);
    g_zoneTimeMode = GetSettingInt(Setting::kFTZTM);
    g_chimePeriodOn = GetSettingInt(Setting::kPS);
    int tip = GetSettingInt(Setting::kTPS);
    g_tipTarget = (tip == 1 || tip == 2) ? tip : 0;
    g_positionLocked = GetSettingInt(Setting::kLW);

    SetChimePeriod(static_cast<unsigned>(GetSettingInt(Setting::kPST)));
}

BOOL CApp::CreateClockWindow()
{
    CDigitClock* clock = static_cast<CDigitClock*>(m_pMainWnd);
    if (!clock) return FALSE;

    ClockLook look = ClockLook::Load();
    if (look.KeepOutlineDrawable() == ClockLook::OutlineFace::Drawable) ZN_LOG(LOG_INFO, look.font.lfFaceName);
    look.ApplyTo(*clock, TRUE);

    int mode = GetSettingInt(Setting::kCH0);
    int flags = mode == 1 ? GetSettingInt(Setting::kCH1) : mode == 2 ? GetSettingInt(Setting::kCH2) : 0;
    clock->SetChimeOptions(mode, GetSettingInt(Setting::kH1), flags, GetSettingString(Setting::kH0),
                           GetSettingString(Setting::kH2), GetSettingString(Setting::kH4),
                           GetSettingString(Setting::kH5));

    // Per-monitor aware while the window is made, so it is sized in the monitor's own pixels.
    DPI_AWARENESS_CONTEXT previous = SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    BOOL created = clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP,
                                   20000, 20000, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr);
    SetThreadDpiAwareness(previous);
    if (!created) {
        ZN_LOG_ERROR(GetLastError(), L"CreateEx", LOG_ERROR);
        return FALSE;
    }
    clock->ShowWindow(SW_SHOW);
    return TRUE;
}

int CApp::ExitInstance()
{
    // A mail program that never returns from its dialog must not hold the exit for ever.
    m_mailWorker.Stop(30000);
    if (m_mailNotice) DestroyWindow(m_mailNotice);
    m_mailNotice = nullptr;
    if (!ReleaseAudioObjects()) ReportStillRegistered(L"volume monitor");
    // Nothing gives a worker up after this, and nothing is torn down before it: a worker
    // given up on (an update check, a sound in a hung device) or a monitor Core Audio can still
    // call writes to the log and the sound player's platform, which go with the static
    // objects after this returns. One still there is ended with the process here.
    CString pending;
    if (!WaitForGivenUpWorkers(kGivenUpExitWaitMs, &pending)) {
        ZN_LOG(LOG_WARNING, L"Still running at exit: " << pending.GetString());
        FlushLog();
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CWinApp::ExitInstance()));
    }
    ZN_LOG(LOG_INFO, L"END");
    if (m_gdiplusToken) {
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
        m_gdiplusToken = 0;
    }
    m_hMutex.Reset();
    if (m_bufferedPaintOn) {
        BufferedPaintUnInit();
        m_bufferedPaintOn = FALSE;
    }
    RemoveCrashHandler();
    return CWinApp::ExitInstance();
}
