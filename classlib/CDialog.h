// CDialog: a modal dialog from a resource template or an in-memory template. The dialog
// window is routed through CWnd (WindowProc sees every message; Default reaches the
// system's dialog procedure); OnInitDialog, OnOK and OnCancel come through the dialog
// procedure, so a derived class handles its own commands in WindowProc and lets the rest
// fall through to CDialog::WindowProc.
#pragma once

#include "CWnd.h"

class CDialog : public CWnd
{
public:
    CDialog() = default;
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    CDialog(const wchar_t* templateName, HWND parent = nullptr);

    // An in-memory template; it must stay alive until DoModal returns.
    BOOL InitModalIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent = nullptr);

    // The button id that ended the dialog, or -1 when it could not be created.
    virtual INT_PTR DoModal();
    // A modeless dialog from a resource template; the caller destroys its window.
    BOOL Create(UINT templateId, HWND parent);
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }

    // TRUE lets the system set the focus to the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

    // The owner of a modal box: the top-level window of parent (of the application's main
    // window when parent is null, then its last active popup). When that top-level window
    // is enabled and is not the owner itself it is disabled and returned in *top.
    static HWND GetSafeOwner(HWND parent, HWND* top);

    const wchar_t* m_lpszTemplateName = nullptr;
    const DLGTEMPLATE* m_lpDialogTemplate = nullptr;
    HWND m_hWndParent = nullptr;
    HINSTANCE m_hInstance = nullptr;  // the template's module; the program's own when null

protected:
    // Every modal box of the program runs between these two: the application's modal state,
    // and the owner (found by GetSafeOwner) kept disabled while the box is up.
    HWND PreModal();
    void PostModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND m_hWndOwner = nullptr;
    HWND m_hWndTop = nullptr;
};
