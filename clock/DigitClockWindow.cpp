// The clock window's placement: where it comes up, how it keeps to its monitor and saves its
// place, and the window-procedure cases of display, DPI, power and session changes.
#include "DigitClock.h"

#include "ClockPlacement.h"
#include "Log/LogMan.h"
#include "Settings.h"
#include "SupportWindowsHelpers.h"

#include <pbt.h>

int g_clockMoving = 0;

namespace {

bool IsEmptyRect(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

RECT GetMonitorRectForWindow(const RECT& window)
{
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    HMONITOR monitor = MonitorFromRect(&window, MONITOR_DEFAULTTOPRIMARY);
    if (monitor && GetMonitorInfoW(monitor, &mi)) return mi.rcMonitor;
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return r;
}

void CDigitClock::SavePlacement()
{
    if (!m_hWnd) return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    if (!GetWindowPlacement(m_hWnd, &wp)) {
        ZN_LOG_ERROR(GetLastError(), L"GetWindowPlacement", LOG_ERROR);
        return;
    }
    RECT window;
    GetWindowRect(&window);
    m_monitorArea = m_monitorRect = GetMonitorRectForWindow(window);

    if (!m_placementMayBeSaved || GetSystemMetrics(SM_SHUTTINGDOWN)) {
        ZN_LOG(LOG_INFO, L"skip wp");
        ZN_LOG(LOG_WARNING, m_placementMayBeSaved << (GetSystemMetrics(SM_SHUTTINGDOWN) ? L" SD " : L" NSD ")
                                << RectText(m_monitorRect).GetString() << L" "
                                << RectText(m_monitorArea).GetString() << L" " << RectText(window).GetString()
                                << L" " << RectText(wp.rcNormalPosition).GetString());
        return;
    }
    ZN_LOG(LOG_INFO, L"save wp " << RectText(m_monitorRect).GetString() << L" " << RectText(m_monitorArea).GetString()
                                 << L" " << RectText(window).GetString() << L" "
                                 << RectText(wp.rcNormalPosition).GetString());
    DeleteSetting(Setting::kXY);
    WriteSettingRect(Setting::kMR, m_monitorRect);
    WriteSettingRect(Setting::kDR, m_monitorArea);
    WriteSettingInt(Setting::kDP, (GetScreenDpiY() << 16) | (GetScreenDpiX() & 0xFFFF));
    WriteSettingRect(Setting::kCR, wp.rcNormalPosition);
}

void CDigitClock::PlaceAtCreation(const SIZE& size, int transparent)
{
    (void)transparent;
    const int w = size.cx, h = size.cy;

    RECT cr{}, mr{}, dr{};
    if (GetSettingRect(Setting::kCR, &cr)) ZN_LOG(LOG_INFO, L"CR " << RectText(cr).GetString());
    if (GetSettingRect(Setting::kMR, &mr)) ZN_LOG(LOG_INFO, L"MR " << RectText(mr).GetString());
    if (GetSettingRect(Setting::kDR, &dr)) ZN_LOG(LOG_INFO, L"DR " << RectText(dr).GetString());
    if (IsEmptyRect(dr)) {
        ZN_LOG(LOG_WARNING, L"0");
        RECT none{};
        dr = mr = GetMonitorRectForWindow(none);
        ZN_LOG(LOG_INFO, L"DR " << RectText(dr).GetString() << L" MR " << RectText(mr).GetString());
    }

    int x = 0, y = 0;
    bool placed = false;
    if (IsEmptyRect(cr)) {
        int xy = GetSettingInt(Setting::kXY);
        if (xy != kPositionUnset) {
            x = static_cast<short>(LOWORD(xy));
            if (m_lockRightBorder) x -= w;
            y = static_cast<short>(HIWORD(xy));
            RECT r{x, y, x + w, y + h};
            m_monitorArea = GetMonitorRectForWindow(r);
            placed = true;
        }
    } else if (!m_proportionalDpi) {
        x = m_lockRightBorder ? cr.right - w : cr.left;
        y = cr.top;
        RECT r{x, y, x + w, y + h};
        m_monitorArea = GetMonitorRectForWindow(r);
        placed = true;
    } else {
        bool rightAnchor = (cr.left - dr.left) > (dr.right - cr.right);
        bool bottomAnchor = (cr.top - dr.top) > (dr.bottom - cr.bottom);
        int ax = rightAnchor ? cr.right : cr.left;
        int ay = bottomAnchor ? cr.bottom : cr.top;
        SIZE cur{GetScreenDpiX(), GetScreenDpiY()};
        int dp = GetSettingInt(Setting::kDP, (cur.cy << 16) | cur.cx);
        int sx = static_cast<short>(LOWORD(dp)), sy = static_cast<short>(HIWORD(dp));
        // A zero or negative half is damage, not a DPI: it counts as the current one.
        if (sx <= 0 || sy <= 0) sx = cur.cx, sy = cur.cy;
        int x0 = ax, y0 = ay;
        if (sx == cur.cx && sy == cur.cy) {
            ZN_LOG(LOG_INFO, ax << L"," << ay);
        } else {
            ZN_LOG(LOG_WARNING, sx << L" " << sy << L" " << cur.cx << L" " << cur.cy);
            RECT none{};
            m_monitorArea = GetMonitorRectForWindow(none);
            const RECT& area = m_monitorArea;
            x0 = rightAnchor ? area.right - MulDiv(dr.right - ax, cur.cx, sx)
                             : area.left + MulDiv(ax - area.left, cur.cx, sx);
            y0 = bottomAnchor ? area.bottom - MulDiv(area.bottom - ay, cur.cy, sy)
                              : area.top + MulDiv(ay - area.top, cur.cy, sy);
        }
        x = rightAnchor ? x0 - w : x0;
        y = bottomAnchor ? y0 - h : y0;
        RECT r{x, y, x + w, y + h};
        m_monitorArea = m_monitorRect = GetMonitorRectForWindow(r);
        if (!EqualRect(&m_monitorRect, &mr)) {
            ZN_LOG(LOG_WARNING, L"MR " << RectText(mr).GetString() << L" DR " << RectText(dr).GetString());
            if (GetSettingInt(Setting::kLX) == 0 && (r.left - dr.left) > (dr.right - r.right))
                x += m_monitorArea.right - dr.right;
            if (GetSettingInt(Setting::kLY) == 0 && (r.top - dr.top) > (dr.bottom - r.bottom))
                y += m_monitorArea.bottom - dr.bottom;
        }
        placed = true;
    }

    // A stored position that leaves the clock on no monitor at all (damaged settings, or a
    // monitor long gone) would give an invisible clock: such a position counts as unset.
    if (placed) {
        RECT r{x, y, x + w, y + h};
        if (!MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) {
            ZN_LOG(LOG_WARNING, L"off screen " << RectText(r).GetString());
            placed = false;
        }
    }
    if (!placed) {
        RECT r{0, 0, w, h};
        m_monitorArea = GetMonitorRectForWindow(r);
        x = m_monitorArea.right - 3 * GetSystemMetrics(SM_CXSIZE) - w - MulDiv(4, GetScreenDpiY(), 96);
        y = m_monitorArea.top + 1;
    }

    m_stateFlags |= STATE_INITIAL_PLACEMENT;
    ZN_LOG(LOG_INFO, L"set wp " << x << L"," << y << L" " << w << L"x" << h);
    SetWindowPos(m_hWnd, HWND_TOP, x, y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CDigitClock::AdjustWindowPos(BOOL transparent, BOOL forced)
{
    RECT r;
    GetWindowRect(&r);
    RECT m = GetMonitorRectForWindow(r);
    ZN_LOG(LOG_INFO, RectText(r).GetString() << L" [" << m_alwaysOnTop << L"] " << RectText(m).GetString() << L" {"
                                              << m_alwaysOnTop << L"}");
    if (!KeepOnMonitor(r, m, transparent)) return;
    if (!forced && !m_adjustAllowed) {
        ZN_LOG(LOG_WARNING, L"aswp ignored " << r.left << L"," << r.top);
        return;
    }
    ZN_LOG(LOG_INFO, L"aswp " << r.left << L"," << r.top);
    SetWindowPos(m_hWnd, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CDigitClock::OnSessionEnding(UINT msg, WPARAM wp, LPARAM lp)
{
    // A cancelled shutdown (WM_ENDSESSION with FALSE) lets the clock save its place again.
    m_placementMayBeSaved = (msg == WM_ENDSESSION && !wp) ? 1 : 0;
    ZN_LOG(LOG_INFO, (msg == WM_ENDSESSION ? L"ES " : L"QES ") << HexText(static_cast<DWORD>(wp), true).GetString()
                                                               << L" " << HexText(static_cast<DWORD>(lp), true).GetString());
}

void CDigitClock::OnDisplayChange(WPARAM depth, LPARAM size)
{
    ZN_LOG(LOG_INFO, L"DisplayChange: " << depth << L" " << LOWORD(size) << L"x" << HIWORD(size));
    if (!m_proportionalDpi) return;

    RECT r;
    GetWindowRect(&r);
    RECT oldMonitor = m_monitorRect;
    RECT newMonitor = GetMonitorRectForWindow(r);
    m_monitorRect = newMonitor;
    ZN_LOG(LOG_INFO, RectText(newMonitor).GetString() << L" " << RectText(r).GetString());
    if (EqualRect(&newMonitor, &oldMonitor)) return;

    ShiftForDisplayChange(r, oldMonitor, newMonitor, GetSettingInt(Setting::kLX), GetSettingInt(Setting::kLY));
    ZN_LOG(LOG_INFO, RectText(r).GetString());
    // Either move may bring WM_DPICHANGED, whose close (with "PDPI") frees this object: the
    // handle is kept first, and nothing of the object is touched once the window is gone.
    const HWND self = m_hWnd;
    ::SetWindowPos(self, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (!::IsWindow(self)) {
        ZN_LOG_ERROR(ERROR_INVALID_WINDOW_HANDLE, L"DisplayChange", LOG_ERROR);
        return;
    }
    AdjustWindowPos(GetSettingInt(Setting::kTR), FALSE);
    if (!::IsWindow(self)) {
        ZN_LOG_ERROR(ERROR_INVALID_WINDOW_HANDLE, L"DisplayChange", LOG_ERROR);
        return;
    }
    SavePlacement();
}

void CDigitClock::OnPowerBroadcast(WPARAM event)
{
    ZN_LOG(LOG_INFO, L"PBT " << event);
    if (!GetSettingInt(Setting::kLCS)) return;
    CLogMan* log = GetAppLogMan();
    if (!log) return;
    if (event == PBT_APMSUSPEND) {
        // The log file is let go while the machine sleeps (it may sit on a share, or the
        // system may be moved to another disk image).
        if (log->IsOpen()) {
            m_suspendedLogPath = log->GetFilePath();
            log->Close();
        }
    } else if (event == PBT_APMRESUMESUSPEND) {
        if (log->IsOpen() || m_suspendedLogPath.IsEmpty()) return;
        HRESULT hr = log->OpenFile(m_suspendedLogPath, L'-', TRUE, 0, 102400);
        if (hr == S_OK)
            ZN_LOG(LOG_WARNING, m_suspendedLogPath.GetString());
        else
            ZN_LOG_ERROR(static_cast<DWORD>(hr), m_suspendedLogPath, LOG_ERROR);
    }
}

void CDigitClock::OnDpiChanged(WPARAM dpi, const RECT* suggested)
{
    RECT s = suggested ? *suggested : RECT{};
    if ((m_stateFlags & (STATE_INITIAL_PLACEMENT | STATE_TEXT_RESIZE)) || g_clockMoving) {
        // A hundredths display changes size with every tick: its DPI notices are noise.
        if (m_format.Find(L"SS") >= 0) return;
        ZN_LOG(LOG_INFO, L"DPI CHANGED cx=" << LOWORD(dpi) << L" cy=" << HIWORD(dpi) << L" "
                                            << RectText(s).GetString() << L" move " << g_clockMoving);
        return;
    }
    ZN_LOG(LOG_INFO, RectText(s).GetString());
    if (m_proportionalDpi) {
        ZN_LOG(LOG_WARNING, L"CLOSE");
        // Nothing may touch this object after the send: the close destroys it.
        SendMessage(WM_CLOSE);
    }
}

void CDigitClock::OnExitSizeMove()
{
    AdjustWindowPos(GetSettingInt(Setting::kTR), TRUE);
    RECT r;
    GetWindowRect(&r);
    m_monitorRect = GetMonitorRectForWindow(r);
    ZN_LOG(LOG_INFO, RectText(r).GetString() << L" " << RectText(m_monitorRect).GetString() << L" ESM");
    SavePlacement();
    g_clockMoving = 0;
}
