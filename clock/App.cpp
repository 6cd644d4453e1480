#include "App.h"

#include "ClockSettings.h"
#include "DigitClock.h"
#include "LocaleTimeFormats.h"
#include "RTLLayout.h"
#include "StringTable.h"
#include "SupportRegistry.h"
#include "SupportUtilities.h"
#include "SupportWindowsHelpers.h"
#include "resource.h"

#include <curl/curl.h>
#include <gdiplus.h>
#include <shellapi.h>
#include <uxtheme.h>

#include <clocale>
#include <vector>

int g_firstWeekOfYear = 0;
int g_firstDayOfWeek = 0;
int g_zonePrefixMode = 0;
int g_zoneTimeMode = 0;
int g_chimePeriodOn = 0;
int g_tipTarget = 0;
int g_positionLocked = 0;
double g_chimePeriodStart = 0;
double g_chimePeriodEnd = 0;
int g_canSetClock = 0;
int g_sendingLogs = 0;
int g_chimeDays = 127;

namespace {

const wchar_t kMutexName[] = L"m_zarnock32";
const int kPositionUnset = 0x4E204E20;

CString RectText(const RECT& r)
{
    std::wostringstream s;
    s << r.left << L"," << r.top << L" " << (r.right - r.left) << L"x" << (r.bottom - r.top);
    return CString(s.str());
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

double TimeOfDay(int hour, int minute)
{
    return (hour * 60 + minute) / 1440.0;
}

}  // namespace

AppSwitch ParseAppSwitch(int argc, const wchar_t* const* argv)
{
    if (argc != 2 || !argv || !argv[1]) return AppSwitch::None;
    const wchar_t* arg = argv[1];
    if (arg[0] != L'-' && arg[0] != L'/') return AppSwitch::None;
    if (lstrcmpW(arg + 1, L"uninstall") == 0) return AppSwitch::Uninstall;
    if (lstrcmpiW(arg + 1, L"restore") == 0) return AppSwitch::Restore;
    return AppSwitch::None;
}

void RestoreDisplaySettings(CWinApp* app)
{
    const wchar_t* section = GetStr(SID_SECTION_COMMON);
    app->WriteProfileString(section, GetStr(SID_KEY_FT), GetStr(SID_DEFAULT_FORMAT));
    app->WriteProfileInt(section, GetStr(SID_KEY_XY), kPositionUnset);
    app->WriteProfileInt(section, GetStr(SID_KEY_CC), 1);
    app->WriteProfileInt(section, GetStr(SID_KEY_CF), 1);
    // One zero byte is no font record: the font reader then applies its defaults.
    const BYTE none = 0;
    app->WriteProfileBinary(section, GetStr(SID_KEY_FN), &none, 1);
    app->WriteProfileInt(section, GetStr(SID_KEY_TR), 0);
    app->WriteProfileInt(section, GetStr(SID_KEY_AT), 1);
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
    if (uninstall) {
        SendMessageW(running, WM_COMMAND, ID_APP_EXIT_CLOCK, 0);
        return FALSE;
    }
    SetWindowPos(running, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowPos(running, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    if (GetProfileInt(GetStr(SID_SECTION_COMMON), GetStr(SID_KEY_SOR), 1) != 0)
        SendMessageW(running, WM_COMMAND, ID_OPTIONS, 0);
    return FALSE;
}

BOOL CApp::InitInstance()
{
    SetRegistryKey(GetStr(SID_COMPANY));

    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    AppSwitch sw = ParseAppSwitch(argc, argv);
    if (argv) LocalFree(argv);

    m_hMutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (m_hMutex && GetLastError() == ERROR_ALREADY_EXISTS) return HandOverToRunningCopy(sw == AppSwitch::Uninstall);

    if (sw == AppSwitch::Uninstall) {
        if (m_hMutex) CloseHandle(m_hMutex);
        m_hMutex = nullptr;
        return FALSE;
    }
    if (sw == AppSwitch::Restore) RestoreDisplaySettings(this);

    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);

    if (!AfxOleInit()) return FALSE;

    setlocale(LC_TIME, ".ACP");
    InitLocaleTimeFormats();
    if (BufferedPaintInit() == S_OK) m_bufferedPaintOn = TRUE;
    InitScreenDpi();

    LogEnvironment();
    WaitForMissingMonitor();

    CString runKey = CString(GetStr(SID_REG_CURRENT_VERSION)) + L"Run";
    ZN_LOG(LOG_INFO, L"Run (" << RegistryReadString(HKEY_CURRENT_USER, runKey, GetStr(SID_PRODUCT), L"", FALSE).GetString()
                              << L")");
    InitRTLLayout();
    if (IsRTLLayout()) ZN_LOG(LOG_INFO, L"RTL");
    g_canSetClock = m_elevated;
    ZN_LOG(LOG_INFO, g_canSetClock);

    LoadProcessWideValues();

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

void CApp::LogEnvironment()
{
    if (!m_log.IsOpen()) return;
    ZN_LOG(LOG_INFO, L"START " << m_pszAppName);
    ZN_LOG(LOG_INFO, GetTickCount() / 3600000 << L"h");
    ZN_LOG(LOG_INFO, m_log.GetFilePath().GetString() << L" [" << (m_log.m_flushAfterEachLine ? 1 : 0) << L","
                                                     << (m_log.m_secondFlag ? 1 : 0) << L"]");
    ZN_LOG(LOG_INFO, GetTickCount() << L" " << GetStr(SID_SHORT_PREFIX) << L" x64 "
                                    << GetFileVersionText(nullptr).GetString());
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
    BOOL elevated = FALSE;
    HRESULT hr = GetProcessElevation(GetCurrentProcess(), &elevated);
    if (FAILED(hr)) ZN_LOG_ERROR(hr, L"GetProcessElevation", LOG_ERROR);
    m_elevated = elevated ? 1 : 0;
    ZN_LOG(LOG_INFO, computer << L" [" << user << L"] " << (IsUserAdmin() ? L"admin" : L"std") << L" "
                              << (m_elevated ? L"[RAA]" : L""));

    HDC screen = GetDC(nullptr);
    ZN_LOG(LOG_INFO, L"clr:" << (screen ? GetDeviceCaps(screen, BITSPIXEL) : 0));
    if (screen) ReleaseDC(nullptr, screen);
    ZN_LOG(LOG_INFO, L"DPI cx=" << GetScreenDpiX() << L" cy=" << GetScreenDpiY());
    ZN_LOG(LOG_INFO, GetSystemMetrics(SM_CMONITORS));
}

void CApp::WaitForMissingMonitor()
{
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    BYTE* data = nullptr;
    UINT bytes = 0;
    GetProfileBinary(GetStr(SID_SECTION_COMMON), GetStr(SID_KEY_DR), &data, &bytes);
    if (!data || bytes != sizeof(RECT)) {
        ZN_LOG(LOG_WARNING, L"0");
        delete[] data;
        return;
    }
    RECT saved;
    memcpy(&saved, data, sizeof(saved));
    delete[] data;

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
    int wait = ClampInt(GetCommonInt(SID_KEY_WPM, 0), 5000, 30000);
    ZN_LOG(LOG_WARNING, wait);
    Sleep(static_cast<DWORD>(wait));
}

void CApp::LoadProcessWideValues()
{
    const wchar_t* section = GetStr(SID_SECTION_COMMON);
    // The absence test of the settings store: a value that reads back as the sentinel is not there.
    const int absent = 0x0EEDBEEF;
    int locale = 0;
    bool ok = ReadLocaleNumber(LOCALE_IFIRSTWEEKOFYEAR, locale);
    int stored = static_cast<int>(GetProfileInt(section, GetStr(SID_KEY_FWOY), absent));
    g_firstWeekOfYear = FirstWeekOfYearFrom(locale, ok, stored == absent ? nullptr : &stored);
    ok = ReadLocaleNumber(LOCALE_IFIRSTDAYOFWEEK, locale);
    stored = static_cast<int>(GetProfileInt(section, GetStr(SID_KEY_FDOW), absent));
    g_firstDayOfWeek = FirstDayOfWeekFrom(locale, ok, stored == absent ? nullptr : &stored);

    g_zonePrefixMode = GetCommonInt(SID_KEY_FTZ, 0);
    g_zoneTimeMode = GetCommonInt(SID_KEY_FTZTM, 0);
    g_chimePeriodOn = GetCommonInt(SID_KEY_PS, 0);
    int tip = GetCommonInt(SID_KEY_TPS, 0);
    g_tipTarget = (tip == 1 || tip == 2) ? tip : 0;
    g_positionLocked = GetCommonInt(SID_KEY_LW, 0);

    DWORD pst = static_cast<DWORD>(GetCommonInt(SID_KEY_PST, 0x11000800));
    int startMinute = std::min<int>(pst & 0xFF, 59), startHour = std::min<int>((pst >> 8) & 0xFF, 23);
    int endMinute = std::min<int>((pst >> 16) & 0xFF, 59), endHour = std::min<int>((pst >> 24) & 0xFF, 23);
    g_chimePeriodStart = TimeOfDay(startHour, startMinute);
    g_chimePeriodEnd = TimeOfDay(endHour, endMinute);
}

BOOL CApp::CreateClockWindow()
{
    CDigitClock* clock = static_cast<CDigitClock*>(m_pMainWnd);
    if (!clock) return FALSE;
    const wchar_t* section = GetStr(SID_SECTION_COMMON);
    auto common = GetCommonInt;

    if (common(SID_KEY_CC, 1))
        clock->SetCustomColours(static_cast<COLORREF>(common(SID_KEY_CB, 0x800000)) & 0xFFFFFF,
                                static_cast<COLORREF>(common(SID_KEY_CT, 0xFFFF)) & 0xFFFFFF);
    else
        clock->UseSystemColours();

    if (common(SID_KEY_CF, 1)) {
        LOGFONTW lf;
        ReadClockFont(lf);
        clock->SetClockFont(&lf);
    } else {
        clock->SetClockFont(nullptr);
    }

    int useOutline = common(SID_KEY_UO, 1);
    if (common(SID_KEY_TR, 0) && useOutline) {
        LOGFONTW lf{};
        clock->m_font.GetLogFont(&lf);
        Gdiplus::GpFontFamily* family = nullptr;
        if (Gdiplus::DllExports::GdipCreateFontFamilyFromName(lf.lfFaceName, nullptr, &family) != Gdiplus::Ok ||
            !family) {
            ZN_LOG(LOG_ERROR, lf.lfFaceName);
            useOutline = 0;
            WriteProfileInt(section, GetStr(SID_KEY_UO), 0);
        } else {
            Gdiplus::DllExports::GdipDeleteFontFamily(family);
            ZN_LOG(LOG_INFO, lf.lfFaceName);
        }
    }

    // The settings' own ranges: a damaged store can never give a negative or giant window.
    clock->SetOutline(useOutline, static_cast<COLORREF>(common(SID_KEY_CO, 255)) & 0xFFFFFF,
                      ClampInt(common(SID_KEY_OT, 4), 1, 99));
    clock->SetShowBorder(common(SID_KEY_3D, 0));
    clock->SetShowReminders(common(SID_KEY_TT, 1));
    clock->SetMargins(ClampInt(common(SID_KEY_MS, 2), 0, 99));
    clock->SetFormat(GetProfileString(section, GetStr(SID_KEY_FT), GetStr(SID_DEFAULT_FORMAT)), TRUE);
    clock->SetAlignment(ClampInt(common(SID_KEY_AL, 0), 0, 2));

    int mode = common(SID_KEY_CH0, 1);
    int flags = mode == 1 ? common(SID_KEY_CH1, 0x010101) : mode == 2 ? common(SID_KEY_CH2, 0x0101) : 0;
    clock->SetChimeOptions(mode, common(SID_KEY_H1, 0), flags, GetProfileString(section, GetStr(SID_KEY_H0), L""),
                           GetProfileString(section, GetStr(SID_KEY_H2), L""),
                           GetProfileString(section, GetStr(SID_KEY_H4), L""),
                           GetProfileString(section, GetStr(SID_KEY_H5), L""));
    clock->SetLockRightBorder(common(SID_KEY_LR, 0));

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
    ZN_LOG(LOG_INFO, L"END");
    if (m_gdiplusToken) {
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
        m_gdiplusToken = 0;
    }
    if (m_hMutex) {
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    if (m_bufferedPaintOn) {
        BufferedPaintUnInit();
        m_bufferedPaintOn = FALSE;
    }
    return CWinApp::ExitInstance();
}
