#include "ProgressDlg.h"

#include "Log/LogMan.h"
#include "HelperBase.h"
#include "resource.h"

#include <commctrl.h>

namespace {
constexpr UINT_PTR kStepTimer = 1;
constexpr UINT kStepPeriodMs = 500;
}

CProgressDlg::CProgressDlg(BOOL marquee, HWND parent) : CDialog(IDD_PROGRESS, parent), m_marquee(marquee)
{
}

BOOL CProgressDlg::Open(HWND parent, const wchar_t* text)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    if (!Create(IDD_PROGRESS, parent)) {
        ZN_LOG_ERROR(kThreadNotRun, L"CProgressDlg::Open", LOG_ERROR);
        return FALSE;
    }
    SetDlgItemTextW(m_hWnd, IDC_PROGRESS_TEXT, text ? text : L"");

    RECT me{}, around{};
    GetWindowRect(&me);
    if (!parent || !::GetWindowRect(parent, &around)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    int x = around.left + ((around.right - around.left) - (me.right - me.left)) / 2;
    int y = around.top + ((around.bottom - around.top) - (me.bottom - me.top)) / 2;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(SW_SHOW);
    UpdateWindow(m_hWnd);

    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return TRUE;
}

BOOL CProgressDlg::OnInitDialog()
{
    m_text = GetDlgItem(IDC_PROGRESS_TEXT);
    m_progress = GetDlgItem(IDC_PROGRESS_BAR);
    ::SendMessageW(m_progress, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(m_progress, PBM_SETSTEP, 1, 0);
    if (m_marquee) {
        SetWindowLongPtrW(m_progress, GWL_STYLE, GetWindowLongPtrW(m_progress, GWL_STYLE) | PBS_MARQUEE);
        ::SendMessageW(m_progress, PBM_SETMARQUEE, TRUE, 0);
    }
    ::ShowWindow(m_progress, SW_SHOW);
    m_timerId = SetTimer(kStepTimer, kStepPeriodMs);
    return TRUE;
}

LRESULT CProgressDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TIMER:
        OnTimer(wp);
        return Default(msg, wp, lp);
    case WM_DESTROY: {
        LRESULT r = Default(msg, wp, lp);
        OnDestroy();
        return r;
    }
    default:
        return CDialog::WindowProc(msg, wp, lp);
    }
}

void CProgressDlg::OnTimer(UINT_PTR id)
{
    if (id == kStepTimer) ::SendMessageW(m_progress, PBM_STEPIT, 0, 0);
}

void CProgressDlg::OnDestroy()
{
    if (m_timerId) KillTimer(m_timerId);
    m_timerId = 0;
}

void CProgressDlg::Complete()
{
    if (m_timerId && m_hWnd) KillTimer(m_timerId);
    m_timerId = 0;
    if (!m_marquee && m_progress) {
        ::SendMessageW(m_progress, PBM_SETPOS, 100, 0);
        ::RedrawWindow(m_progress, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}
