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
#include <vector>

namespace {

int MinuteOfDay(double timeOfDay)
{
    // A time of day on the zero date, in days; to the nearest minute, which for whole-minute
    // bounds is the same as "equal within half a second".
    double frac = timeOfDay - std::floor(timeOfDay);
    int minute = static_cast<int>(std::lround(frac * 1440.0));
    return minute >= 1440 ? 0 : minute;
}

// Adds the monitor's size; a monitor that does not answer stops the enumeration.
BOOL CALLBACK AddMonitorSize(HMONITOR monitor, HDC, RECT*, LPARAM sizes)
{
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (!GetMonitorInfoW(monitor, &mi)) return FALSE;
    reinterpret_cast<std::vector<SIZE>*>(sizes)->push_back(
        SIZE{mi.rcMonitor.right - mi.rcMonitor.left, mi.rcMonitor.bottom - mi.rcMonitor.top});
    return TRUE;
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

bool CDigitClock::HasMonitorSize(const RECT& window)
{
    if (m_monitorSizes.empty() &&
        !EnumDisplayMonitors(nullptr, nullptr, AddMonitorSize, reinterpret_cast<LPARAM>(&m_monitorSizes)))
        m_monitorSizes.clear();
    // Sizes not known: the whole test decides, and they are asked again next time.
    if (m_monitorSizes.empty()) return true;
    for (const SIZE& size : m_monitorSizes)
        if (window.right - window.left == size.cx && window.bottom - window.top == size.cy) return true;
    return false;
}

BOOL CDigitClock::WatchFullScreen()
{
    HWND foreground = GetForegroundWindow();
    bool full = false;
    HMONITOR clockMonitor = nullptr, foregroundMonitor = nullptr;
    RECT window;
    // The foreground window and its rectangle may change at any time without a word to the
    // clock, and are asked every tick. A window of no monitor's size cannot cover its own,
    // and that is the window in front on nearly every tick: the shell and monitor queries,
    // which cost several times more, are left for the rest.
    if (foreground && foreground != GetDesktopWindow() && foreground != m_hWnd &&
        ::GetWindowRect(foreground, &window) && HasMonitorSize(window) && foreground != GetShellWindow()) {
        clockMonitor = MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST);
        foregroundMonitor = MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST);
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        if (clockMonitor && foregroundMonitor && GetMonitorInfoW(foregroundMonitor, &mi))
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

bool CDigitClock::IsTopOfZOrder() const
{
    return (GetExStyle() & WS_EX_TOPMOST) && !::GetWindow(m_hWnd, GW_HWNDPREV);
}

void CDigitClock::OnTimer(UINT_PTR id)
{
    if (id != ZN_CLOCK_TIMER_ID) return;
    if (m_alwaysOnTop && m_watchFullScreen) WatchFullScreen();

    ChimeClock now = CChimeSchedule::Now();
    CString text;
    FormatTime(now.local, text);

    // Another window may have come above the clock since the last tick; when none has,
    // moving it to the top would change nothing, and a z-order move is by far the dearest
    // call of a tick under Wine.
    if (m_alwaysOnTop && m_reassertTopmost && !m_fullScreen && !IsTopOfZOrder())
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
    // Only a changed text is drawn again: a 1 ms timer formats every time but redraws as
    // often as the text changes.
    if (!IsWindowText(text)) SetText(text);

    if (m_soundEnabled && (m_soundOverFullScreen || !m_fullScreen)) ChimeStep(now);
}

bool CDigitClock::IsWindowText(const CString& text)
{
    if (m_windowTextKnown)
        return m_windowText.size() == static_cast<size_t>(text.GetLength()) &&
               wmemcmp(m_windowText.data(), text.GetString(), m_windowText.size()) == 0;
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
