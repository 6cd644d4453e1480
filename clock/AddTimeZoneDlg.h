// CAddTimeZoneDlg: "Add Time Zone": the user picks one of the system's time zones and gives
// it a label; "&Add" stores the zone's key name under its number in the settings section
// "TimeZones", and the opener puts the zone's token into the display format.
#pragma once

#include "ClassLib.h"

#include <memory>
#include <vector>

// One zone of the list.
struct CRegistryTimeZoneInfo
{
    int number = 0;     // the key's place in the enumeration of the system's zone keys
    int offset = 0;     // the display text's UTC offset: sign, hours x 1000 + minutes; for sorting
    CString keyName;
    CString display;
};

class CAddTimeZoneDlg : public CDialog
{
public:
    explicit CAddTimeZoneDlg(HWND parent);

    // The most a label can hold: the display format's 383 characters less the token round
    // the label ("['" and "' - #000]"); a longer label could never show whole.
    static constexpr int kLabelLimit = 372;

    // The offset of a display text such as "(UTC+05:30) Chennai": 5030; 0 without one.
    static int ParseOffset(const wchar_t* display);
    // By offset, then by display text without regard to case.
    static void SortZones(std::vector<std::unique_ptr<CRegistryTimeZoneInfo>>& zones);
    // The zones of the system's time-zone key that have a display text, in enumeration order.
    static std::vector<std::unique_ptr<CRegistryTimeZoneInfo>> ReadZones();

    BOOL OnInitDialog() override;
    void OnOK() override;

    CComboBox m_zoneList;
    std::vector<std::unique_ptr<CRegistryTimeZoneInfo>> m_zones;
    CString m_label;
    int m_number = -1;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;

private:
    void OnFormat();
};
