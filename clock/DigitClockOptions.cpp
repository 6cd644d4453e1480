// The clock window's "&Options..." command: the Options sheet, modal, while the clock goes
// on ticking; a second request meanwhile only brings the open sheet forward.
#include "DigitClock.h"

#include "OptionsSheet.h"
#include "Settings.h"
#include "SupportWindowsHelpers.h"

void CDigitClock::OnOptions()
{
    // A second start hands the command over with a send: it must not wait for the sheet.
    if (InSendMessage()) ReplyMessage(0);
    if (m_stateFlags & STATE_OPTIONS_OPEN) {
        ActivateOpenOptions();
        return;
    }
    const int firstStart = GetSettingInt(Setting::kFST);
    const int alwaysOnTop = m_alwaysOnTop;
    {
        // A close that comes while the sheet is open waits for it.
        CModalGate::CScope scope(m_modal);
        m_stateFlags |= STATE_OPTIONS_OPEN;
        COptionsSheet sheet(COptionsSheet::Caption(), GetDesktopWindow(),
                            firstStart ? COptionsSheet::kTimeSyncPage : COptionsSheet::kClockPage);
        sheet.DoModal();
        m_stateFlags &= ~STATE_OPTIONS_OPEN;
    }
    if (m_hWnd && m_alwaysOnTop != alwaysOnTop) AdjustWindowPos((GetExStyle() & WS_EX_LAYERED) != 0, TRUE);
    if (firstStart) WriteSettingInt(Setting::kFST, 0);
    TrimWorkingSet();
}
