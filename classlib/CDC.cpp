#include "CDC.h"

#include "CWnd.h"

BOOL CDC::Attach(HDC dc)
{
    return m_hDC.Attach(dc);
}

HDC CDC::Detach()
{
    return m_hDC.Release();
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    DeleteDC();
    return Attach(::CreateCompatibleDC(dc ? dc->m_hDC.Get() : nullptr));
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC) return FALSE;
    return m_hDC.Close() == 0;
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* wnd) : m_lent(GetClientDC(wnd ? wnd->m_hWnd : nullptr))
{
    Attach(m_lent.Get());
}

// The context leaves the plain owner here; the lent-context owner gives it back after.
CClientDC::~CClientDC()
{
    Detach();
}
