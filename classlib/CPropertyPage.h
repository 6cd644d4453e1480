// CPropertyPage: one page of a CPropertySheet. Its window is made by the sheet the first
// time the page is shown (a page never shown has no window and never hears OK or Cancel).
// The sheet's notifications arrive as handlers: OnSetActive when the page is about to be
// shown, OnKillActive when it is about to be left (FALSE keeps it shown), OnOK when the
// sheet's OK applies it, OnCancel when the sheet is cancelled, OnQueryCancel before that.
#pragma once

#include "CDialog.h"

#include <commctrl.h>
#include <prsht.h>

class CPropertyPage : public CDialog
{
public:
    // The page's dialog template; its caption becomes the tab's text unless captionId gives one.
    explicit CPropertyPage(UINT templateId, UINT captionId = 0);

    // TRUE: the page may be shown.
    virtual BOOL OnSetActive() { return TRUE; }
    // TRUE: the page may be left. Base: takes and validates the controls' values.
    virtual BOOL OnKillActive() { return UpdateData(TRUE); }
    void OnOK() override {}
    void OnCancel() override {}
    // TRUE: the sheet may be cancelled.
    virtual BOOL OnQueryCancel() { return TRUE; }

    // The sheet's window (the page's parent) once the page exists.
    HWND GetSheetWindow() const { return m_hWnd ? ::GetParent(m_hWnd) : nullptr; }

    PROPSHEETPAGEW m_psp{};

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};
