#include "AddTimeZoneDlg.h"

#include "Globals.h"
#include "RTLLayout.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportTime.h"
#include "TimeZoneFormatDlg.h"
#include "resource.h"

#include <algorithm>

namespace {
constexpr DWORD kKeyNameChars = 512;
constexpr DWORD kDisplayBytes = 512;
}

CAddTimeZoneDlg::CAddTimeZoneDlg(HWND parent) : CDialog(IDD_ADD_TIME_ZONE, parent)
{
}

int CAddTimeZoneDlg::ParseOffset(const wchar_t* display)
{
    if (!display || wcslen(display) <= 10) return 0;
    if ((display[4] != L'+' && display[4] != L'-') || display[7] != L':') return 0;
    wchar_t digits[7];
    wcsncpy(digits, display + 4, 6);
    digits[6] = 0;
    digits[3] = L'0';
    return static_cast<int>(wcstol(digits, nullptr, 10));
}

void CAddTimeZoneDlg::SortZones(std::vector<std::unique_ptr<CRegistryTimeZoneInfo>>& zones)
{
    std::stable_sort(zones.begin(), zones.end(), [](const auto& a, const auto& b) {
        if (a->offset != b->offset) return a->offset < b->offset;
        return a->display.CompareNoCase(b->display) < 0;
    });
}

std::vector<std::unique_ptr<CRegistryTimeZoneInfo>> CAddTimeZoneDlg::ReadZones()
{
    std::vector<std::unique_ptr<CRegistryTimeZoneInfo>> zones;
    const CString root = GetTimeZonesKeyPath();
    CRegKeyHandle key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, root, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return zones;
    // A zone token names its zone by three digits: a key past 999 could only be misread.
    for (DWORD number = 0; number <= 999; ++number) {
        wchar_t name[kKeyNameChars] = L"";
        DWORD nameChars = kKeyNameChars;
        const LSTATUS status = RegEnumKeyExW(key, number, name, &nameChars, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) break;
        if (status != ERROR_SUCCESS) continue;
        CRegKeyHandle zoneKey;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, root + L"\\" + name, 0, KEY_QUERY_VALUE, zoneKey.Out()) != ERROR_SUCCESS)
            continue;
        wchar_t display[kDisplayBytes / sizeof(wchar_t) + 1] = L"";
        DWORD bytes = kDisplayBytes, type = 0;
        if (RegQueryValueExW(zoneKey, L"Display", nullptr, &type, reinterpret_cast<BYTE*>(display), &bytes) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        display[std::min<DWORD>(bytes / sizeof(wchar_t), kDisplayBytes / sizeof(wchar_t))] = 0;
        auto zone = std::make_unique<CRegistryTimeZoneInfo>();
        zone->number = static_cast<int>(number);
        zone->keyName = name;
        zone->display = display;
        zone->offset = ParseOffset(display);
        zones.push_back(std::move(zone));
    }
    return zones;
}

void CAddTimeZoneDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_TZ_ZONE, m_zoneList);
}

BOOL CAddTimeZoneDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_zones = ReadZones();
    SortZones(m_zones);
    for (size_t i = 0; i < m_zones.size(); ++i) {
        const int item = m_zoneList.AddString(m_zones[i]->display);
        if (item >= 0) m_zoneList.SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(i));
    }
    if (m_zoneList.GetCount() > 0) m_zoneList.SetCurSel(0);
    ::SendDlgItemMessageW(m_hWnd, IDC_TZ_LABEL, EM_LIMITTEXT, kLabelLimit, 0);
    ApplyRTLLayout(m_hWnd);
    return TRUE;
}

void CAddTimeZoneDlg::OnOK()
{
    m_label = GetWindowText(GetDlgItem(IDC_TZ_LABEL));
    const int item = m_zoneList.GetCurSel();
    const size_t index = item >= 0 ? static_cast<size_t>(m_zoneList.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(item))) : 0;
    if (item < 0 || index >= m_zones.size()) {
        CWinApp* app = AfxGetApp();
        ::MessageBoxW(m_hWnd, LoadResString(IDS_SELECT_TIME_ZONE), app && app->m_pszAppName ? app->m_pszAppName : L"",
                      MB_ICONINFORMATION | MB_TOPMOST);
        return;
    }
    m_number = m_zones[index]->number;
    WriteZoneSetting(m_number, m_zones[index]->keyName);
    EndDialog(IDOK);
}

void CAddTimeZoneDlg::OnFormat()
{
    CTimeZoneFormatDlg dlg(m_hWnd);
    dlg.m_format = g_zonePrefixMode;
    dlg.m_military = g_zoneTimeMode;
    if (dlg.DoModal() != IDOK) return;
    g_zonePrefixMode = std::clamp(dlg.m_format, 0, 3);
    g_zoneTimeMode = dlg.m_military;
    WriteSettingInt(Setting::kFTZ, g_zonePrefixMode);
    WriteSettingInt(Setting::kFTZTM, g_zoneTimeMode);
}

BOOL CAddTimeZoneDlg::OnCommand(UINT id, UINT code, HWND)
{
    if (id != IDC_TZ_FORMAT || code != BN_CLICKED) return FALSE;
    OnFormat();
    return TRUE;
}
