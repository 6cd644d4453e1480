#include "DigitClock.h"

#include "ClockRenderCache.h"
#include "Settings.h"
#include "StopWatchTimerDlg.h"
#include "WSoundThread.h"
#include "SupportWindowsHelpers.h"
#include "ColorHelpers.h"
#include "CrashReport/ErrorReportingHelper.h"
#include "Globals.h"
#include "Log/LogMan.h"
#include "StringTable.h"
#include "resource.h"
#include "ToolTipCtrl3.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>

namespace {

const int kMaxFontPixels = 1000;

// The log shows a format as its UTF-8 bytes read back in the ANSI code page, as the
// settings export and the older log readers expect.
CString AnsiReadOfUtf8(const wchar_t* text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return CString();
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], n, nullptr, nullptr);
    int w = MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), -1, nullptr, 0);
    CString out;
    if (w > 1) {
        MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), -1, out.GetBuffer(w), w);
        out.ReleaseBuffer();
    }
    return out;
}

}  // namespace

CDigitClock::CDigitClock() : m_formatEnvironment(&GetSystemFormatEnvironment())
{
    // The name is put together at run time, so the import is never bound at load time and
    // a system without the function still runs the clock, opaque.
    HMODULE user32 = GetModuleHandleW(L"USER32.DLL");
    if (user32) {
        char name[20];
        std::memcpy(name, "Upda", 4);
        std::memcpy(name + 4, "teLa", 4);
        std::memcpy(name + 8, "yere", 4);
        std::memcpy(name + 12, "dWin", 4);
        std::memcpy(name + 16, "dow", 4);
        m_pfnUpdateLayeredWindow = reinterpret_cast<UpdateLayeredWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, name)));
    }
    // Until the settings are applied, the colours are a fresh user's.
    SetCustomColours(m_backgroundColour, m_textColour);
}

CDigitClock::~CDigitClock() = default;

void CDigitClock::Refresh()
{
    if (!m_hWnd) return;
    CString text = GetWindowText();
    SetText(text);
}

void CDigitClock::UseSystemColours()
{
    m_customColours = 0;
    m_textColour = GetSysColor(COLOR_BTNTEXT);
    m_backgroundColour = GetSysColor(COLOR_BTNFACE);
    m_highlightColour = GetSysColor(COLOR_BTNHIGHLIGHT);
    m_shadowColour = GetSysColor(COLOR_BTNSHADOW);
    Refresh();
}

void CDigitClock::SetCustomColours(COLORREF background, COLORREF text)
{
    m_textColour = NearestColor(text);
    m_backgroundColour = NearestColor(background);
    m_highlightColour = TintColor(m_backgroundColour);
    m_shadowColour = DimColor(m_backgroundColour);
    m_customColours = 1;
    Refresh();
}

void CDigitClock::SetClockFont(const LOGFONTW* font)
{
    LOGFONTW lf{};
    if (font) {
        lf = *font;
    } else if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(lf), &lf, 0)) {
        ZN_LOG_ERROR(GetLastError(), L"SPI_GETICONTITLELOGFONT", LOG_ERROR);
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    }
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    // A height of 0 or beyond any screen (a damaged record) would give no usable clock: the
    // default 14 points instead.
    if (lf.lfHeight == 0 || lf.lfHeight > kMaxFontPixels || lf.lfHeight < -kMaxFontPixels)
        lf.lfHeight = -MulDiv(14, GetScreenDpiY(), 72);
    else if (lf.lfHeight > 0)
        lf.lfHeight = -lf.lfHeight;
    if (!m_font.CreateFontIndirect(&lf)) ZN_LOG_ERROR(GetLastError(), lf.lfFaceName, LOG_ERROR);
    Refresh();
}

void CDigitClock::SetOutline(int useOutline, COLORREF colour, int thickness)
{
    m_useOutline = useOutline;
    m_outlineColour = colour;
    m_outlineThickness = thickness;
    Refresh();
}

void CDigitClock::SetShowBorder(int show)
{
    if (show == m_showBorder) return;
    m_showBorder = show;
    Refresh();
}

void CDigitClock::SetShowReminders(int show)
{
    m_showReminders = show;
}

void CDigitClock::SetMargins(int pixels)
{
    if (pixels == m_margin) return;
    m_margin = pixels;
    Refresh();
}

void CDigitClock::SetLockRightBorder(int lock)
{
    if (lock == m_lockRightBorder) return;
    m_lockRightBorder = lock;
    Refresh();
}

void CDigitClock::SetAlignment(int alignment)
{
    if (alignment == m_alignment) return;
    m_alignment = alignment;
    if (m_hWnd && (GetExStyle() & WS_EX_LAYERED)) {
        // The same text would not be drawn again: pass through a different one.
        CString text = GetWindowText();
        SetText(L" ");
        SetText(text);
    } else {
        Refresh();
    }
}

void CDigitClock::SetFormat(const wchar_t* format, BOOL log)
{
    CString trimmed(format);
    trimmed.Trim();
    if (trimmed.IsEmpty()) {
        trimmed = LoadResString(IDS_EMPTY_CLOCK);
        if (log) ZN_LOG(LOG_WARNING, AnsiReadOfUtf8(trimmed).GetString());
        m_format = trimmed;
    } else {
        if (log) ZN_LOG(LOG_INFO, AnsiReadOfUtf8(trimmed).GetString());
        m_format = format;
    }
    LoadFormatTimeZones(trimmed, log);

    int interval = NeededTimerInterval();
    if (m_timerId && interval != m_timerInterval) {
        // The id and interval say what runs: none when the new timer could not be set
        // (logged, as at creation), the old one being gone.
        KillTimer(m_timerId);
        m_timerId = SetDisplayTimer(static_cast<UINT>(interval));
        if (!m_timerId) {
            ZN_LOG_ERROR(GetLastError(), L"SetTimer", LOG_ERROR);
        } else {
            m_timerInterval = interval;
            if (log) ZN_LOG(LOG_INFO, interval);
        }
    }

    SYSTEMTIME now;
    GetLocalTime(&now);
    CString text;
    FormatTime(now, text);
    SetText(text);
}

void CDigitClock::SetChimeOptions(int mode, int hourOnce, int flags, const wchar_t* hourSound,
                                  const wchar_t* halfHourSound, const wchar_t* quarterPastSound,
                                  const wchar_t* quarterToSound)
{
    m_chimeMode = mode;
    m_hourFileOnce = hourOnce;
    m_chimeFlags = flags;
    m_hourSound = hourSound;
    m_halfHourSound = halfHourSound;
    m_quarterPastSound = quarterPastSound;
    m_quarterToSound = quarterToSound;
}

void CDigitClock::EnableSound(int enable)
{
    m_soundEnabled = enable;
    if (!enable) StopSound();
}

void CDigitClock::SetTransparent(int transparent)
{
    if (!m_hWnd) return;
    LONG_PTR ex = GetExStyle();
    if (transparent && HasLayeredSupport()) ex |= WS_EX_LAYERED;
    else ex &= ~static_cast<LONG_PTR>(WS_EX_LAYERED);
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex);
    if (!(ex & WS_EX_LAYERED)) Invalidate(TRUE);
    Refresh();
}

void CDigitClock::SetText(const wchar_t* text)
{
    if (!m_hWnd) return;
    SetWindowText(text ? text : L"");
    if (!(GetExStyle() & WS_EX_LAYERED)) {
        InvalidateRect(m_hWnd, nullptr, TRUE);
        return;
    }
    PushLayered();
}

BOOL CDigitClock::PreCreateWindow(CREATESTRUCTW& cs)
{
    const wchar_t* cls = GetStr(SID_CLOCK_WNDCLASS);
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HICON icon = LoadIconW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME));
    HCURSOR cursor = LoadCursorW(inst, MAKEINTRESOURCEW(IDC_CLOCK_CURSOR));
    if (!CWnd::RegisterClass(cls, CS_DBLCLKS, icon, cursor, nullptr)) {
        ZN_LOG_ERROR(GetLastError(), cls, LOG_ERROR);
        return FALSE;
    }
    cs.lpszClass = cls;
    return TRUE;
}

int CDigitClock::OnCreate(CREATESTRUCTW* cs)
{
    if (Default(WM_CREATE, 0, reinterpret_cast<LPARAM>(cs)) == -1) return -1;

    g_soundThread.SetNotifyWindow(m_hWnd);
    TaskbarCreatedMessage();
    SiblingTipMessage();

    m_timerInterval = NeededTimerInterval();
    m_timerId = SetDisplayTimer(static_cast<UINT>(m_timerInterval));
    if (!m_timerId) {
        ZN_LOG_ERROR(GetLastError(), L"SetTimer", LOG_ERROR);
        return -1;
    }
    if (!m_sntp.Create(m_hWnd)) return -1;
    m_sntp.SetModalHook([this](BOOL entering) { entering ? m_modal.EnterModal() : m_modal.LeaveModal(); });

    m_proportionalDpi = GetSettingInt(Setting::kPDPI);
    g_soundThread.SetPause(GetSettingInt(Setting::kH3));
    m_textAlpha = std::clamp(GetSettingInt(Setting::kCTA), 0, 255);
    m_outlineAlpha = std::clamp(GetSettingInt(Setting::kCOA), 0, 255);
    m_gdiplusOpaque = GetSettingInt(Setting::kGPST);
    m_gdiplusLayered = GetSettingInt(Setting::kGPSTT);
    m_watchFullScreen = GetSettingInt(Setting::kFSW);
    m_soundEnabled = GetSettingInt(Setting::kSE);
    g_chimeDays = GetSettingInt(Setting::kSD) & 0x7F;
    m_soundWithScreenSaver = GetSettingInt(Setting::kSSA);
    m_soundOverFullScreen = GetSettingInt(Setting::kSFS);
    m_adjustAllowed = GetSettingInt(Setting::kAWP);
    int transparent = GetSettingInt(Setting::kTR);
    if (transparent) SetTransparent(1);

    SYSTEMTIME now;
    GetLocalTime(&now);
    CString text;
    FormatTime(now, text);
    SIZE size = MeasureClockText(transparent, text);

    m_alwaysOnTop = GetSettingInt(Setting::kAT);
    m_reassertTopmost = GetSettingInt(Setting::kATF);

    PlaceAtCreation(size, transparent);
    SetText(text);
    AdjustWindowPos(transparent, FALSE);
    SavePlacement();
    m_stateFlags &= ~STATE_INITIAL_PLACEMENT;

    m_sntp.Start();

    if (!m_alwaysOnTop) {
        // The clock never activates itself.
        SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
        OnTaskbarCreated();
    }

    if (GetSettingInt(Setting::kFST) != 0)
        SendMessage(WM_COMMAND, ID_OPTIONS);
    return 0;
}

void CDigitClock::OnDestroy()
{
    // The stopwatches have no owner to take them along: they go with the clock.
    CStopWatchTimerDlg::CloseAll();
    Default(WM_DESTROY, 0, 0);
    if (m_timerId) {
        KillTimer(m_timerId);
        m_timerId = 0;
    }
    m_sntp.Shutdown();
    if (m_tip.m_hWnd) m_tip.DestroyWindow();
    m_sntp.DestroyWindow();
    if (m_trayIconAdded) NotifyIcon(NIM_DELETE, 0, nullptr);
    if (g_soundThread.m_hNotifyWnd == m_hWnd) {
        StopSound();
        g_soundThread.SetNotifyWindow(nullptr);
    }
}

LRESULT CDigitClock::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lp));
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_PAINT:
        // The crash dialog's message loop runs on this thread: a paint that faulted once
        // would fault again there and end the process before the user is told.
        if (IsCrashing()) {
            ValidateRect(m_hWnd, nullptr);
            return 0;
        }
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTEXT:
        return OnSetText(wp, lp);
    case WM_TIMER:
        // As for the paint: the tick that faulted never runs again.
        if (IsCrashing()) {
            if (wp == ZN_CLOCK_TIMER_ID && m_timerId) {
                KillTimer(m_timerId);
                m_timerId = 0;
            }
            return 0;
        }
        OnTimer(wp);
        return 0;
    case MM_MCINOTIFY:
        g_soundThread.OnMciNotify(wp, lp);
        return 0;
    case kTrayCallbackMessage:
        return OnTrayNotify(wp, lp);
    case WM_CONTEXTMENU:
        OnContextMenu(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
    case WM_COMMAND:
        // A command may close the window and free this object: nothing follows it.
        OnCommand(LOWORD(wp));
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        OnMouseMessage(msg, wp, lp);
        return 0;
    case WM_TIMECHANGE:
    case WM_SETTINGCHANGE: {
        // The zone may have changed with either: the zone tokens follow it at the next tick.
        LRESULT r = CFrameWnd::WindowProc(msg, wp, lp);
        m_formatEnvironment->ResetZone();
        // So may the monitors' sizes that a program sees (its DPI scaling).
        if (msg == WM_SETTINGCHANGE) m_monitorSizes.clear();
        return r;
    }
    case WM_SYSCOLORCHANGE: {
        LRESULT r = Default(msg, wp, lp);
        if (!m_customColours) UseSystemColours();
        return r;
    }
    case WM_QUERYENDSESSION:
        ZN_LOG(LOG_INFO, L"OnQES");
        OnSessionEnding(msg, wp, lp);
        return TRUE;
    case WM_ENDSESSION:
        ZN_LOG(LOG_INFO, L"OnES");
        SavePlacement();
        OnSessionEnding(msg, wp, lp);
        return 0;
    case WM_DISPLAYCHANGE: {
        m_monitorSizes.clear();
        const LRESULT r = CFrameWnd::WindowProc(msg, wp, lp);
        // A move here may close the window (a DPI change with "PDPI"): nothing follows it.
        OnDisplayChange(wp, lp);
        return r;
    }
    case WM_DPICHANGED: {
        m_monitorSizes.clear();
        const LRESULT r = CFrameWnd::WindowProc(msg, wp, lp);
        // May close the window (with "PDPI"): nothing follows it.
        OnDpiChanged(wp, reinterpret_cast<const RECT*>(lp));
        return r;
    }
    case WM_POWERBROADCAST: {
        const LRESULT r = CFrameWnd::WindowProc(msg, wp, lp);
        OnPowerBroadcast(wp);
        return r;
    }
    case WM_ENTERSIZEMOVE: {
        const LRESULT r = CFrameWnd::WindowProc(msg, wp, lp);
        g_clockMoving = 1;
        return r;
    }
    case WM_EXITSIZEMOVE: {
        const LRESULT r = CFrameWnd::WindowProc(msg, wp, lp);
        OnExitSizeMove();
        return r;
    }
    default:
        if (msg == TaskbarCreatedMessage() && msg != 0) return OnTaskbarCreated();
        return CFrameWnd::WindowProc(msg, wp, lp);
    }
}
