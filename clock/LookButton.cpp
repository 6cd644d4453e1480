#include "LookButton.h"

#include <uxtheme.h>

BOOL CLookButton::ClassicLookDefault()
{
    return !IsThemeActive();
}

void CLookButton::RecordStyle(UINT style)
{
    m_default = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

void CLookButton::PreSubclassWindow()
{
    RecordStyle(static_cast<UINT>(GetStyle()));
    if (!m_classic) return;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (GetStyle() & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

LRESULT CLookButton::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_GETDLGCODE:
        return (CButton::WindowProc(msg, wp, lp) & ~(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) |
               (m_default ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case BM_SETSTYLE: {
        // The dialog moves the default between buttons through this message.
        UINT style = static_cast<UINT>(wp);
        RecordStyle(style);
        if (m_classic) style = (style & ~BS_TYPEMASK) | BS_OWNERDRAW;
        return CButton::WindowProc(msg, style, lp);
    }
    default:
        return CButton::WindowProc(msg, wp, lp);
    }
}

BOOL CLookButton::OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == NM_CUSTOMDRAW) {
        if (m_classic) return FALSE;
        *result = OnCustomDraw(reinterpret_cast<NMCUSTOMDRAW*>(lp));
        return TRUE;
    }
    return CButton::OnChildNotify(msg, wp, lp, result);
}
