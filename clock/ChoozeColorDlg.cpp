#include "ChoozeColorDlg.h"

#include "resource.h"

#include <windowsx.h>

namespace {
const UINT kTakeCapture = WM_APP + 1;
}

COLORREF CChoozeColorDlg::s_colors[21] = {
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(192, 192, 192), RGB(128, 128, 128), RGB(255, 0, 0),
    RGB(128, 0, 0),     RGB(255, 255, 0),   RGB(128, 128, 0),   RGB(0, 255, 0),     RGB(0, 128, 0),
    RGB(0, 255, 255),   RGB(0, 128, 128),   RGB(0, 0, 255),     RGB(0, 0, 128),     RGB(255, 0, 255),
    RGB(128, 0, 128),   RGB(192, 220, 192), RGB(127, 127, 127), RGB(224, 224, 224), RGB(160, 160, 160),
    RGB(192, 192, 192),
};
COLORREF CChoozeColorDlg::s_customColors[16] = {};

CChoozeColorDlg::CChoozeColorDlg(CWnd* anchor, HWND parent) : CDialog(IDD_COLOR_POPUP, parent), m_anchor(anchor)
{
}

int CChoozeColorDlg::PaletteIndex(COLORREF colour)
{
    for (int i = 0; i < kPaletteSize; ++i)
        if (s_colors[i] == colour) return i;
    return -1;
}

POINT CChoozeColorDlg::PlacePopup(const RECT& anchor, SIZE popup, const RECT& work)
{
    POINT at{anchor.left, anchor.bottom};
    if (at.y + popup.cy > work.bottom) at.y = anchor.top - popup.cy;
    if (at.x + popup.cx > work.right) at.x -= at.x + popup.cx - work.right;
    return at;
}

BOOL CChoozeColorDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    RECT anchor{}, self{};
    if (m_anchor && m_anchor->m_hWnd) m_anchor->GetWindowRect(&anchor);
    GetWindowRect(&self);
    // The monitor the button lies on, which need not be the primary one.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    HWND anchorWindow = m_anchor && m_anchor->m_hWnd ? m_anchor->m_hWnd : m_hWnd;
    if (!::GetMonitorInfoW(::MonitorFromWindow(anchorWindow, MONITOR_DEFAULTTONEAREST), &monitor))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    const POINT at = PlacePopup(anchor, SIZE{self.right - self.left, self.bottom - self.top}, monitor.rcWork);
    ::SetWindowPos(m_hWnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const int index = PaletteIndex(s_colors[kCurrent]);
    if (index >= 0) {
        ::ShowWindow(GetDlgItem(IDC_COLOR_CURRENT), SW_HIDE);
        ::SetFocus(GetDlgItem(IDC_COLOR_FIRST + index));
    } else {
        ::SetFocus(GetDlgItem(IDC_COLOR_CURRENT));
    }
    // The capture is taken once the box shows: the dialog box's own start (disabling its
    // owner) would take a capture of this moment away again.
    PostMessage(kTakeCapture);
    return FALSE;
}

HWND CChoozeColorDlg::PickableAt(POINT client) const
{
    HWND child = ::ChildWindowFromPointEx(m_hWnd, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!child || child == m_hWnd) return nullptr;
    const int id = ::GetDlgCtrlID(child);
    return (id >= IDC_COLOR_FIRST && id <= IDC_COLOR_CURRENT) || id == IDC_COLOR_OTHER ? child : nullptr;
}

BOOL CChoozeColorDlg::PreTranslateMessage(MSG* msg)
{
    if (msg->message != WM_LBUTTONDOWN && msg->message != WM_LBUTTONUP) return FALSE;
    if (!m_hWnd || m_closing) return FALSE;
    // The popup holds the capture: every click comes here, whichever window it lies over.
    POINT screen{GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)};
    ::ClientToScreen(msg->hwnd, &screen);
    RECT self;
    GetWindowRect(&self);
    POINT client = screen;
    ::ScreenToClient(m_hWnd, &client);
    HWND target = PtInRect(&self, screen) ? PickableAt(client) : nullptr;
    const int id = target ? ::GetDlgCtrlID(target) : 0;
    if (msg->message == WM_LBUTTONDOWN) {
        if (!PtInRect(&self, screen)) Close(IDCANCEL);
        else if (id == IDC_COLOR_OTHER) OnOther();
        return TRUE;
    }
    if (id == IDC_COLOR_OTHER) OnOther();
    else if (id) SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(target));
    else Close(IDCANCEL);
    return TRUE;
}

BOOL CChoozeColorDlg::OnCommand(UINT id, UINT code, HWND)
{
    if (code != BN_CLICKED) return FALSE;
    if (id == IDC_COLOR_OTHER) {
        OnOther();
        return TRUE;
    }
    if (id < IDC_COLOR_FIRST || id > IDC_COLOR_CURRENT) return FALSE;
    s_colors[kCurrent] = s_colors[id - IDC_COLOR_FIRST];
    Close(IDOK);
    return TRUE;
}

void CChoozeColorDlg::OnOther()
{
    // The capture that the popup gives up itself is no cancel.
    m_releasingCapture = TRUE;
    ::ReleaseCapture();
    CColorDialog dialog(s_colors[kCurrent], CC_FULLOPEN | CC_SOLIDCOLOR, s_customColors, m_hWnd);
    if (dialog.DoModal() == IDOK) s_colors[kCurrent] = dialog.GetColor();
    Close(IDOK);
}

void CChoozeColorDlg::OnCaptureChanged()
{
    if (m_captured && !m_releasingCapture && !m_closing) Close(IDCANCEL);
}

void CChoozeColorDlg::Close(int result)
{
    // Ending hides the popup, which may take the capture away: that is no second answer.
    if (m_closing) return;
    m_closing = TRUE;
    EndDialog(result);
}

void CChoozeColorDlg::OnMouseMove(POINT client)
{
    if (HWND target = PickableAt(client))
        if (::GetFocus() != target) ::SetFocus(target);
}

void CChoozeColorDlg::OnDrawItem(DRAWITEMSTRUCT* item)
{
    CDC dc;
    dc.Attach(item->hDC);
    RECT r = item->rcItem;
    if (item->itemState & ODS_FOCUS) {
        dc.Draw3dRect(&r, RGB(0, 0, 0), RGB(0, 0, 0));
        InflateRect(&r, -1, -1);
        dc.Draw3dRect(&r, RGB(255, 255, 255), RGB(255, 255, 255));
        InflateRect(&r, -1, -1);
        dc.Draw3dRect(&r, RGB(0, 0, 0), RGB(0, 0, 0));
        InflateRect(&r, -1, -1);
    } else {
        dc.Draw3dRect(&r, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        InflateRect(&r, -1, -1);
        dc.Draw3dRect(&r, ::GetSysColor(COLOR_WINDOWFRAME), ::GetSysColor(COLOR_BTNFACE));
        InflateRect(&r, -1, -1);
    }
    dc.FillSolidRect(&r, s_colors[item->CtlID - IDC_COLOR_FIRST]);
}

LRESULT CChoozeColorDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        if (item->CtlID < IDC_COLOR_FIRST || item->CtlID > IDC_COLOR_CURRENT) break;
        OnDrawItem(item);
        return TRUE;
    }
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
    case kTakeCapture:
        if (!m_closing) {
            ::SetCapture(m_hWnd);
            m_captured = TRUE;
        }
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged();
        return 0;
    default:
        break;
    }
    return CDialog::WindowProc(msg, wp, lp);
}
