// CPropertySheet: a modal property sheet over PropertySheetW. Pages are added in order and
// made lazily by the system as they are first shown; the caption is shown exactly as given.
// The sheet's own window is routed like a dialog's (OnInitDialog, OnCommand, OnNotify,
// WindowProc) from the moment the system has made it.
#pragma once

#include "CPropertyPage.h"

#include <vector>

class CPropertySheet : public CDialog
{
public:
    CPropertySheet(const wchar_t* caption, HWND parent = nullptr, UINT startPage = 0);
    CPropertySheet(UINT captionId, HWND parent = nullptr, UINT startPage = 0);

    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const { return m_pages[static_cast<size_t>(index)]; }
    // The index of the page shown, -1 before the sheet exists.
    int GetActiveIndex() const;
    BOOL SetActivePage(int index) const { return static_cast<BOOL>(SendMessage(PSM_SETCURSEL, static_cast<WPARAM>(index))); }
    // PSBTN_OK, PSBTN_CANCEL, ...: as if the user pressed it.
    void PressButton(int button) const { PostMessage(PSM_PRESSBUTTON, static_cast<WPARAM>(button)); }

    // IDOK when the sheet was closed with OK, IDCANCEL otherwise, -1 when it could not be made.
    INT_PTR DoModal() override;

    PROPSHEETHEADERW m_psh{};
    CString m_strCaption;

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT msg, LPARAM lp);

    std::vector<CPropertyPage*> m_pages;
    std::vector<PROPSHEETPAGEW> m_pageHeaders;
};
