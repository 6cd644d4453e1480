#include "CCmdUI.h"

void CCmdUI::DoUpdate(CWnd* target, BOOL disableIfNoHandler)
{
    m_bEnableChanged = FALSE;
    if (!target) return;
    if (target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, false)) return;
    // An update handler that enabled or disabled the item has decided already.
    if (disableIfNoHandler && !m_bEnableChanged && !target->OnCmdMsg(m_nID, CN_COMMAND, this, true))
        Enable(FALSE);
}

void CCmdUI::Enable(BOOL on)
{
    if (m_pMenu) ::EnableMenuItem(m_pMenu, m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int check)
{
    if (m_pMenu) ::CheckMenuItem(m_pMenu, m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
}
