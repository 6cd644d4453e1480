// CWaitCursor: the hourglass for the lifetime of the object; the previous cursor comes back
// when it goes.
#pragma once

#include "Win.h"

class CWaitCursor
{
public:
    CWaitCursor() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~CWaitCursor() { SetCursor(m_previous); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};
