// CTimeZoneFormatDlg: "Time Zone Information": how the time of every further zone shows,
// one of four layouts with or without the 24-hour clock, each radio button showing the
// current time in its layout.
#pragma once

#include "ClassLib.h"

class CTimeZoneFormatDlg : public CDialog
{
public:
    explicit CTimeZoneFormatDlg(HWND parent);

    BOOL OnInitDialog() override;
    void UpdateSamples();

    int m_format = -1;   // 0..3, the radio buttons 1020..1023 ("FTZ")
    int m_military = 0;  // "FTZTM"

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;

private:
    void OnMilitaryClicked();
};
