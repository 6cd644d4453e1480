// CCmdUI: the state of one menu command while its window's update handler decides whether
// it is enabled or checked. Filled by the menu update walk, one item at a time.
#pragma once

#include "CWnd.h"

class CCmdUI
{
public:
    // Updates the item through target's handlers; when target has none for the item and
    // disableIfNoHandler is set, the item is disabled.
    void DoUpdate(CWnd* target, BOOL disableIfNoHandler);

    void Enable(BOOL on = TRUE);
    void SetCheck(int check = 1);

    UINT m_nID = 0;
    UINT m_nIndex = 0;
    HMENU m_pMenu = nullptr;
    HMENU m_pSubMenu = nullptr;
    HMENU m_pParentMenu = nullptr;
    UINT m_nIndexMax = 0;
    BOOL m_bEnableChanged = FALSE;
};
