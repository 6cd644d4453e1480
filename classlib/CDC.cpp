#include "CDC.h"

#include "CWnd.h"

#include <utility>

BOOL CDC::Attach(HDC dc)
{
    return m_hDC.Attach(dc);
}

HDC CDC::Detach()
{
    m_own.Release();
    return m_hDC.Release();
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    DeleteDC();
    CMemDCHandle made(::CreateCompatibleDC(dc ? dc->m_hDC.Get() : nullptr));
    if (!made) return FALSE;
    m_hDC.Attach(made.Get());
    m_own = std::move(made);
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    m_hDC.Release();
    return m_own && m_own.Close() == 0;
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* wnd) : m_lent(GetClientDC(wnd ? wnd->m_hWnd : nullptr))
{
    Attach(m_lent.Get());
}
