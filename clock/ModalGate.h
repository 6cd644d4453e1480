// CModalGate: the clock window's count of its handlers that run a message loop of their own
// (a menu, a dialog, a send to another program, the SNTP client's failure box). A close
// that arrives meanwhile is held and posted again once the last of them has returned, so
// the window object is never freed under a running handler.
#pragma once

#include <windows.h>

class CModalGate
{
public:
    // window: the owner's handle member, read when a held close is posted.
    explicit CModalGate(const HWND& window) : m_window(window) {}
    CModalGate(const CModalGate&) = delete;
    CModalGate& operator=(const CModalGate&) = delete;

    void EnterModal();
    void LeaveModal();
    // A close that comes while a handler runs is held for later (TRUE); else FALSE.
    BOOL HoldClose();
    int Depth() const { return m_depth; }

    // Holds the gate for as long as it lives.
    class CScope
    {
    public:
        explicit CScope(CModalGate& gate) : m_gate(gate) { m_gate.EnterModal(); }
        ~CScope() { m_gate.LeaveModal(); }
        CScope(const CScope&) = delete;
        CScope& operator=(const CScope&) = delete;

    private:
        CModalGate& m_gate;
    };

private:
    const HWND& m_window;
    int m_depth = 0;
    BOOL m_closePending = FALSE;
};
