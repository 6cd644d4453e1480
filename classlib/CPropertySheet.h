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

    // IDOK when the sheet was closed with OK, IDCANCEL otherwise, -1 when it could not be made.
    INT_PTR DoModal() override;

    PROPSHEETHEADERW m_psh{};
    CString m_strCaption;

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT msg, LPARAM lp);

    std::vector<CPropertyPage*> m_pages;
    std::vector<PROPSHEETPAGEW> m_pageHeaders;
};
