// Tests and benchmarks look into the clock window's state and set it up through this one
// friend of CDigitClock: ClockFields(clock).m_format() is the clock's own member.
#pragma once

#include "DigitClock.h"

#define ZN_CLOCK_FIELD(name) \
    auto& name() const { return clock.name; }

struct CDigitClockAccess
{
    CDigitClock& clock;

    ZN_CLOCK_FIELD(m_alignment)
    ZN_CLOCK_FIELD(m_alwaysOnTop)
    ZN_CLOCK_FIELD(m_backgroundColour)
    ZN_CLOCK_FIELD(m_chimeFlags)
    ZN_CLOCK_FIELD(m_chimeMode)
    ZN_CLOCK_FIELD(m_chimeSchedule)
    ZN_CLOCK_FIELD(m_customColours)
    ZN_CLOCK_FIELD(m_font)
    ZN_CLOCK_FIELD(m_format)
    ZN_CLOCK_FIELD(m_formatZones)
    ZN_CLOCK_FIELD(m_fullScreen)
    ZN_CLOCK_FIELD(m_gdiplusLayered)
    ZN_CLOCK_FIELD(m_gdiplusOpaque)
    ZN_CLOCK_FIELD(m_highlightColour)
    ZN_CLOCK_FIELD(m_lockRightBorder)
    ZN_CLOCK_FIELD(m_margin)
    ZN_CLOCK_FIELD(m_modal)
    ZN_CLOCK_FIELD(m_monitorRect)
    ZN_CLOCK_FIELD(m_monitorSizes)
    ZN_CLOCK_FIELD(m_outlineAlpha)
    ZN_CLOCK_FIELD(m_outlineColour)
    ZN_CLOCK_FIELD(m_outlineThickness)
    ZN_CLOCK_FIELD(m_paintBuffer)
    ZN_CLOCK_FIELD(m_pfnUpdateLayeredWindow)
    ZN_CLOCK_FIELD(m_placementMayBeSaved)
    ZN_CLOCK_FIELD(m_reassertTopmost)
    ZN_CLOCK_FIELD(m_shadowColour)
    ZN_CLOCK_FIELD(m_showBorder)
    ZN_CLOCK_FIELD(m_showReminders)
    ZN_CLOCK_FIELD(m_sntp)
    ZN_CLOCK_FIELD(m_soundEnabled)
    ZN_CLOCK_FIELD(m_soundOverFullScreen)
    ZN_CLOCK_FIELD(m_soundWithScreenSaver)
    ZN_CLOCK_FIELD(m_stateFlags)
    ZN_CLOCK_FIELD(m_textAlpha)
    ZN_CLOCK_FIELD(m_textColour)
    ZN_CLOCK_FIELD(m_timerId)
    ZN_CLOCK_FIELD(m_timerInterval)
    ZN_CLOCK_FIELD(m_tip)
    ZN_CLOCK_FIELD(m_trayIconAdded)
    ZN_CLOCK_FIELD(m_useOutline)
    ZN_CLOCK_FIELD(m_watchFullScreen)
};

#undef ZN_CLOCK_FIELD

inline CDigitClockAccess ClockFields(CDigitClock& clock) { return CDigitClockAccess{clock}; }
inline CDigitClockAccess ClockFields(CDigitClock* clock) { return CDigitClockAccess{*clock}; }
