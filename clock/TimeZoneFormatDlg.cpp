#include "TimeZoneFormatDlg.h"

#include "LocaleTimeFormats.h"
#include "RTLLayout.h"
#include "SupportShell.h"
#include "resource.h"

CTimeZoneFormatDlg::CTimeZoneFormatDlg(HWND parent) : CDialog(IDD_TIME_ZONE_FORMAT, parent)
{
}

void CTimeZoneFormatDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Radio(dx, IDC_TZF_TIME, m_format);
    DDX_Check(dx, IDC_TZF_MILITARY, m_military);
}

BOOL CTimeZoneFormatDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    UpdateSamples();
    ApplyRTLLayout(m_hWnd);
    return TRUE;
}

void CTimeZoneFormatDlg::UpdateSamples()
{
    const COleDateTime now = GetLocalDateTime();
    const CString time = FormatShortTime(now, m_military);
    const CString dayMonth = GetShortDateFormat();
    ::SetDlgItemTextW(m_hWnd, IDC_TZF_TIME, time);
    ::SetDlgItemTextW(m_hWnd, IDC_TZF_DAY_TIME, now.Format(L"%a ") + time);
    ::SetDlgItemTextW(m_hWnd, IDC_TZF_DATE_TIME, now.Format(dayMonth) + time);
    ::SetDlgItemTextW(m_hWnd, IDC_TZF_DAY_DATE_TIME, now.Format(CString(L"%a ") + dayMonth) + time);
}

void CTimeZoneFormatDlg::OnMilitaryClicked()
{
    m_military = IsDlgButtonChecked(m_hWnd, IDC_TZF_MILITARY) == BST_CHECKED;
    UpdateSamples();
}

BOOL CTimeZoneFormatDlg::OnCommand(UINT id, UINT code, HWND)
{
    if (id != IDC_TZF_MILITARY || code != BN_CLICKED) return FALSE;
    OnMilitaryClicked();
    return TRUE;
}
