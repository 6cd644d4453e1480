#include "AdvancedPage.h"

#include "RTLLayout.h"
#include "Settings.h"
#include "SupportText.h"
#include "resource.h"

CAdvancedPage::CAdvancedPage() : CPropertyPage(IDD_ADVANCED_PAGE)
{
}

int CAdvancedPage::ClampMultiplier(int stored)
{
    return stored < 0 ? 0 : stored > 38 ? 39 : stored;
}

int CAdvancedPage::SpinMultiplier(int position, int delta)
{
    const long long value = static_cast<long long>(position) + delta;
    return value > 38 ? 39 : value <= 0 ? 0 : static_cast<int>(value);
}

int CAdvancedPage::EditMultiplier(const wchar_t* text)
{
    return static_cast<int>(ReadTypedUnsigned(text));
}

void CAdvancedPage::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_SWM_SPIN, m_spin);
}

void CAdvancedPage::LoadSettings()
{
    m_multiplier = ClampMultiplier(GetSettingInt(Setting::kSWM));
}

void CAdvancedPage::SaveSettings()
{
    WriteSettingInt(Setting::kSWM, m_multiplier);
}

BOOL CAdvancedPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    ApplyRTLLayout(m_hWnd);
    LoadSettings();
    m_spin.SetRange(0, 39);
    m_spin.SetPos(m_multiplier);
    return TRUE;
}

BOOL CAdvancedPage::OnCommand(UINT id, UINT code, HWND)
{
    if (id != IDC_SWM_EDIT || code != EN_CHANGE) return FALSE;
    wchar_t text[16] = L"";
    ::GetDlgItemTextW(m_hWnd, IDC_SWM_EDIT, text, 16);
    m_multiplier = EditMultiplier(text);
    return TRUE;
}

BOOL CAdvancedPage::OnNotify(NMHDR* header, LRESULT* result)
{
    if (header->idFrom != IDC_SWM_SPIN || header->code != UDN_DELTAPOS) return FALSE;
    const auto* change = reinterpret_cast<NMUPDOWN*>(header);
    m_multiplier = SpinMultiplier(change->iPos, change->iDelta);
    *result = 0;
    return TRUE;
}
