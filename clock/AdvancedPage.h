// CAdvancedPage: the Options sheet's "Advanced" page: the stopwatch size multiplier ("SWM").
// No live preview: a stopwatch reads the value when it is next opened.
#pragma once

#include "ClassLib.h"
#include "Settings.h"

class CAdvancedPage : public CPropertyPage
{
public:
    CAdvancedPage();

    // A stored multiplier limited to 0..39: negative gives 0, above 38 gives 39.
    static int ClampMultiplier(int stored);
    // The spin arrows' new value: above 38 gives 39, 0 or below gives 0.
    static int SpinMultiplier(int position, int delta);
    // An edit text read as an unsigned integer (digits up to the first other character);
    // a longer number gives the largest unsigned value, stored as it is.
    static int EditMultiplier(const wchar_t* text);

    void LoadSettings();
    void SaveSettings();
    BOOL OnInitDialog() override;
    void OnOK() override { SaveSettings(); }

    int m_multiplier = Setting::kSWM.intDefault;  // "SWM"
    CSpinButtonCtrl m_spin;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    BOOL OnNotify(NMHDR* header, LRESULT* result) override;
};
