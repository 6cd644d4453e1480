// The clock window's placement on its monitor and the window-procedure cases of display,
// DPI, power and session changes.
#include "DigitClock.h"

#include "ClockPlacement.h"
#include "Log/LogMan.h"
#include "Settings.h"

#include <pbt.h>

int g_clockMoving = 0;

namespace {

CString PlaceText(const RECT& r)
{
    std::wostringstream s;
    s << r.left << L"," << r.top << L" " << (r.right - r.left) << L"x" << (r.bottom - r.top);
    return CString(s.str());
}

}  // namespace

void CDigitClock::AdjustWindowPos(BOOL transparent, BOOL forced)
{
    RECT r;
    GetWindowRect(&r);
    RECT m = GetMonitorRectForWindow(r);
    ZN_LOG(LOG_INFO, PlaceText(r).GetString() << L" [" << m_alwaysOnTop << L"] " << PlaceText(m).GetString() << L" {"
                                              << m_alwaysOnTop << L"}");
    if (!KeepOnMonitor(r, m, transparent)) return;
    if (!forced && !m_adjustAllowed) {
        ZN_LOG(LOG_WARNING, L"aswp ignored " << r.left << L"," << r.top);
        return;
    }
    ZN_LOG(LOG_INFO, L"aswp " << r.left << L"," << r.top);
    SetWindowPos(m_hWnd, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CDigitClock::AfterMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        // A cancelled shutdown (WM_ENDSESSION with FALSE) lets the clock save its place again.
        m_placementMayBeSaved = (msg == WM_ENDSESSION && !wp) ? 1 : 0;
        ZN_LOG(LOG_INFO, (msg == WM_ENDSESSION ? L"ES " : L"QES ") << HexText(static_cast<DWORD>(wp), true).GetString()
                                                                   << L" " << HexText(static_cast<DWORD>(lp), true).GetString());
        break;
    case WM_DISPLAYCHANGE:
        OnDisplayChange(wp, lp);
        break;
    case WM_POWERBROADCAST:
        OnPowerBroadcast(wp);
        break;
    case WM_ENTERSIZEMOVE:
        g_clockMoving = 1;
        break;
    case WM_EXITSIZEMOVE:
        OnExitSizeMove();
        break;
    case WM_DPICHANGED:
        OnDpiChanged(wp, reinterpret_cast<const RECT*>(lp));
        break;
    default:
        break;
    }
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
    ZN_LOG(LOG_INFO, PlaceText(newMonitor).GetString() << L" " << PlaceText(r).GetString());
    if (EqualRect(&newMonitor, &oldMonitor)) return;

    ShiftForDisplayChange(r, oldMonitor, newMonitor, GetSettingInt(Setting::kLX), GetSettingInt(Setting::kLY));
    ZN_LOG(LOG_INFO, PlaceText(r).GetString());
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
                                            << PlaceText(s).GetString() << L" move " << g_clockMoving);
        return;
    }
    ZN_LOG(LOG_INFO, PlaceText(s).GetString());
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
    ZN_LOG(LOG_INFO, PlaceText(r).GetString() << L" " << PlaceText(m_monitorRect).GetString() << L" ESM");
    SavePlacement();
    g_clockMoving = 0;
}
