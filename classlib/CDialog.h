// CDialog: a modal dialog from a resource template or an in-memory template, or a modeless
// one. The dialog window is routed through CWnd: WindowProc sees every message and is the
// one dispatch of the class; it reflects what concerns one control (owner drawing, custom
// drawing, the control's own notifications) to the control's object, then calls OnCommand
// and OnNotify; Default reaches the system's dialog procedure, which brings OnInitDialog,
// OnOK and OnCancel. Values move between members and controls in DoDataExchange, one
// function for both directions (UpdateData).
#pragma once

#include "CWnd.h"

class CDataExchange;

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
    // A modeless dialog takes its keyboard messages through IsDialogMessage (Tab, arrows,
    // mnemonics), as a modal one gets them from the system's own loop.
    BOOL PreTranslateMessage(MSG* msg) override;
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }

    // Runs DoDataExchange: save (TRUE) takes the controls' values into the members and
    // validates them, FALSE puts the members into the controls. FALSE when a value was
    // refused (the refusal was shown and the focus put on the control).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // Base: the members into the controls. TRUE lets the system set the focus to the first control.
    virtual BOOL OnInitDialog();
    // Base: takes and validates the controls' values, then ends with IDOK.
    virtual void OnOK();
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
    virtual void DoDataExchange(CDataExchange* /*dx*/) {}
    // WM_COMMAND that no control took for itself: TRUE when handled.
    virtual BOOL OnCommand(UINT /*id*/, UINT /*code*/, HWND /*control*/) { return FALSE; }
    // WM_NOTIFY: TRUE when handled, with the message's result in *result.
    virtual BOOL OnNotify(NMHDR* /*header*/, LRESULT* /*result*/) { return FALSE; }

    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    // Every modal box of the program runs between these two: the application's modal state,
    // the owner (found by GetSafeOwner) kept disabled while the box is up, and the thread's
    // message filter that gives PreTranslateMessage its turn inside the box's modal loop.
    HWND PreModal();
    void PostModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND m_hWndOwner = nullptr;
    HWND m_hWndTop = nullptr;
    BOOL m_modeless = FALSE;
};
