// COptionsSheet: the modal Options sheet behind the clock's "&Options..." command. It keeps
// no settings itself: each page reads the profile when its window is made and writes it on
// OK; the Clock page previews its changes on the live clock and puts them back on Cancel.
#pragma once

#include "AdvancedPage.h"
#include "ClockPage.h"
#include "SNTPage.h"

class COptionsSheet : public CPropertySheet
{
public:
    // The pages' places in the sheet's order; the start page is one of them.
    enum Page { kClockPage = 0, kTimeSyncPage = 1, kAdvancedPage = 2 };

    COptionsSheet(const wchar_t* caption, HWND parent, UINT startPage);
    COptionsSheet(UINT captionId, HWND parent, UINT startPage);

    // The caption: "Zarnock %s : Options" with the short version. A second "Options..."
    // finds the open sheet by it, so it must stay exactly this.
    static CString Caption();
    // The small-icon size the sheet and the tray use: 32 from a system small-icon width of
    // 32, 16 below 24, else 24.
    static int SmallIconSize(int systemWidth);
    // The index of the page asked for; an unknown page opens the Clock page.
    static UINT StartIndex(UINT startPage);

    BOOL OnInitDialog() override;

    CClockPage m_clockPage;
    CSNTPage m_sntpPage;
    CAdvancedPage m_advancedPage;

protected:
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void AddPages();
    void OnDestroy();
};
