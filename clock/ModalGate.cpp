#include "ModalGate.h"

void CModalGate::EnterModal()
{
    ++m_depth;
}

void CModalGate::LeaveModal()
{
    if (--m_depth == 0 && m_closePending) {
        m_closePending = FALSE;
        PostMessageW(m_window, WM_CLOSE, 0, 0);
    }
}

BOOL CModalGate::HoldClose()
{
    if (m_depth <= 0) return FALSE;
    m_closePending = TRUE;
    return TRUE;
}
