// The clock window's display timer: the full-screen watch, the z-order rule, the display
// text and the chime step.
#include "DigitClock.h"

#include "App.h"
#include "Globals.h"
#include "ClockPlacement.h"
#include "Log/LogMan.h"
#include "SupportWindowsHelpers.h"
#include "WSoundThread.h"

#include <cmath>
#include <cwchar>

namespace {

int MinuteOfDay(double timeOfDay)
{
    // A time of day on the zero date, in days; to the nearest minute, which for whole-minute
    // bounds is the same as "equal within half a second".
    double frac = timeOfDay - std::floor(timeOfDay);
    int minute = static_cast<int>(std::lround(frac * 1440.0));
    return minute >= 1440 ? 0 : minute;
}

}  // namespace

ChimeSettings CDigitClock::GetChimeSettings() const
{
    ChimeSettings s;
    s.mode = m_chimeMode;
    s.flags = m_chimeFlags;
    s.hourOnce = m_hourFileOnce;
    s.periodOn = g_chimePeriodOn;
    s.periodStart = MinuteOfDay(g_chimePeriodStart);
    s.periodEnd = MinuteOfDay(g_chimePeriodEnd);
    s.days = g_chimeDays;
    return s;
}

BOOL CDigitClock::WatchFullScreen()
{
    HWND foreground = GetForegroundWindow();
    bool full = false;
    HMONITOR clockMonitor = nullptr, foregroundMonitor = nullptr;
    if (foreground && foreground != GetDesktopWindow() && foreground != GetShellWindow() && foreground != m_hWnd) {
        clockMonitor = MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST);
        foregroundMonitor = MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST);
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        RECT window;
        if (clockMonitor && foregroundMonitor && GetMonitorInfoW(foregroundMonitor, &mi) &&
            ::GetWindowRect(foreground, &window))
            full = CoversMonitor(window, mi.rcMonitor);
    }
    if (full == (m_fullScreen != FALSE)) return FALSE;
    m_fullScreen = full ? TRUE : FALSE;
    if (full) {
        // Only a full-screen window on the clock's own monitor sends the clock below it.
        if (clockMonitor == foregroundMonitor) SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, kZOrderOnly);
    } else {
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
    }
    return TRUE;
}

void CDigitClock::OnTimer(UINT_PTR id)
{
    if (id != ZN_CLOCK_TIMER_ID) return;
    if (m_alwaysOnTop && m_watchFullScreen) WatchFullScreen();

    ChimeClock now = CChimeSchedule::Now();
    CString text;
    FormatTime(now.local, text);

    if (m_alwaysOnTop && m_reassertTopmost && !m_fullScreen)
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
    // Only a changed text is drawn again: a 1 ms timer formats every time but redraws as
    // often as the text changes.
    if (!IsWindowText(text)) SetText(text);

    if (m_soundEnabled && (m_soundOverFullScreen || !m_fullScreen)) ChimeStep(now);
}

bool CDigitClock::IsWindowText(const CString& text)
{
    // Read into a buffer kept from tick to tick: the tick allocates only its output text.
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (length != text.GetLength()) return false;
    if (length == 0) return true;
    m_windowTextScratch.resize(static_cast<size_t>(length) + 1);
    const int read = ::GetWindowTextW(m_hWnd, &m_windowTextScratch[0], length + 1);
    return read == length && wmemcmp(m_windowTextScratch.data(), text.GetString(), static_cast<size_t>(length)) == 0;
}

void CDigitClock::ChimeStep(const ChimeClock& now)
{
    ChimeAction action = m_chimeSchedule.OnTick(now, GetChimeSettings());
    switch (action.kind) {
    case ChimeKind::HourStrike:
        PlayChime(1, action.number);
        break;
    case ChimeKind::QuarterChime:
        PlayChime(0, action.number);
        break;
    case ChimeKind::HourFile:
        PlaySoundFileRepeat(m_hourSound, action.number);
        break;
    case ChimeKind::HalfHourFile:
        PlaySoundFile(m_halfHourSound);
        break;
    case ChimeKind::QuarterPastFile:
        PlaySoundFile(m_quarterPastSound);
        break;
    case ChimeKind::QuarterToFile:
        PlaySoundFile(m_quarterToSound);
        break;
    case ChimeKind::None:
        break;
    }
    if (action.kind != ChimeKind::None)
        ZN_LOG(LOG_INFO, L"chime " << static_cast<int>(action.kind) << L" " << action.number);
    if (action.trim) TrimWorkingSet();
}
