#include "CDialog.h"

#include "CDataExchange.h"
#include "CWinApp.h"

namespace {
// The dialog whose template is being created on this thread; its procedure binds the
// window to it on the first message it sees (WM_SETFONT or WM_INITDIALOG).
thread_local CDialog* t_initDialog = nullptr;

// The system's modal loops (dialog boxes, property sheets, common dialogs, menus) pass
// every message to the thread's message filter before they dispatch it: the one place
// where the class library's PreTranslateMessage can run inside them.
thread_local HHOOK t_msgFilter = nullptr;
thread_local int t_msgFilterUsers = 0;

LRESULT CALLBACK MsgFilterProc(int code, WPARAM wp, LPARAM lp)
{
    if (code >= 0 && code != MSGF_MENU && CWnd::WalkPreTranslateTree(reinterpret_cast<MSG*>(lp))) return TRUE;
    return CallNextHookEx(t_msgFilter, code, wp, lp);
}
}

CDialog::CDialog(UINT templateId, HWND parent)
    : m_lpszTemplateName(MAKEINTRESOURCEW(templateId)), m_hWndParent(parent)
{
}

CDialog::CDialog(const wchar_t* templateName, HWND parent) : m_lpszTemplateName(templateName), m_hWndParent(parent)
{
}

BOOL CDialog::InitModalIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent)
{
    m_lpDialogTemplate = dialogTemplate;
    m_hWndParent = parent;
    return dialogTemplate != nullptr;
}

HWND CDialog::GetSafeOwner(HWND parent, HWND* top)
{
    HWND owner = parent;
    if (!owner) {
        CWinApp* app = AfxGetApp();
        owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    }
    // A popup cannot be owned by a child window.
    while (owner && (::GetWindowLongPtrW(owner, GWL_STYLE) & WS_CHILD)) owner = ::GetParent(owner);
    HWND topLevel = owner;
    for (HWND up = topLevel ? ::GetParent(topLevel) : nullptr; up; up = ::GetParent(up)) topLevel = up;
    // Without an explicit parent, a box belongs in front of whatever the main window shows.
    if (!parent && owner) owner = ::GetLastActivePopup(owner);
    if (top) {
        *top = nullptr;
        if (topLevel && topLevel != owner && ::IsWindowEnabled(topLevel)) {
            ::EnableWindow(topLevel, FALSE);
            *top = topLevel;
        }
    }
    return owner;
}

HWND CDialog::PreModal()
{
    if (t_msgFilterUsers++ == 0)
        t_msgFilter = ::SetWindowsHookExW(WH_MSGFILTER, MsgFilterProc, nullptr, ::GetCurrentThreadId());
    if (CWinApp* app = AfxGetApp()) app->EnableModeless(FALSE);
    m_hWndOwner = GetSafeOwner(m_hWndParent, &m_hWndTop);
    return m_hWndOwner;
}

void CDialog::PostModal()
{
    if (m_hWndTop) ::EnableWindow(m_hWndTop, TRUE);
    m_hWndTop = nullptr;
    if (CWinApp* app = AfxGetApp()) app->EnableModeless(TRUE);
    if (--t_msgFilterUsers == 0 && t_msgFilter) {
        ::UnhookWindowsHookEx(t_msgFilter);
        t_msgFilter = nullptr;
    }
}

INT_PTR CDialog::DoModal()
{
    if (!m_lpszTemplateName && !m_lpDialogTemplate) return -1;
    HINSTANCE inst = m_hInstance ? m_hInstance : ::GetModuleHandleW(nullptr);
    HWND owner = PreModal();
    CDialog* outer = t_initDialog;
    t_initDialog = this;
    INT_PTR result = m_lpDialogTemplate
        ? ::DialogBoxIndirectParamW(inst, m_lpDialogTemplate, owner, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this))
        : ::DialogBoxParamW(inst, m_lpszTemplateName, owner, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    DWORD error = ::GetLastError();
    t_initDialog = outer;
    PostModal();
    ::SetLastError(error);
    return result;
}

BOOL CDialog::Create(UINT templateId, HWND parent)
{
    m_lpszTemplateName = MAKEINTRESOURCEW(templateId);
    m_hWndParent = parent;
    HINSTANCE inst = m_hInstance ? m_hInstance : ::GetModuleHandleW(nullptr);
    CDialog* outer = t_initDialog;
    t_initDialog = this;
    m_modeless = TRUE;
    HWND h = ::CreateDialogParamW(inst, m_lpszTemplateName, parent, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    DWORD error = ::GetLastError();
    t_initDialog = outer;
    ::SetLastError(error);
    return h != nullptr;
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    if (!m_modeless || !m_hWnd || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
    if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
    return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_failed;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    LRESULT result = 0;
    switch (msg) {
    case WM_DRAWITEM:
        if (ReflectChildNotify(msg, wp, lp, &result)) return TRUE;
        break;
    case WM_COMMAND:
        if (ReflectChildNotify(msg, wp, lp, &result)) return result;
        if (OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp))) return 0;
        break;
    case WM_NOTIFY:
        if (ReflectChildNotify(msg, wp, lp, &result)) return result;
        if (OnNotify(reinterpret_cast<NMHDR*>(lp), &result)) return result;
        break;
    default:
        break;
    }
    return Default(msg, wp, lp);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM)
{
    auto* dlg = static_cast<CDialog*>(FromHandlePermanent(hwnd));
    if (!dlg) {
        if (!t_initDialog) return FALSE;
        dlg = t_initDialog;
        t_initDialog = nullptr;
        // From here on every message of the window passes WindowProc first.
        dlg->SubclassWindow(hwnd);
    }
    switch (msg) {
    case WM_INITDIALOG:
        return dlg->OnInitDialog();
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED || HIWORD(wp) == 0) {
            if (LOWORD(wp) == IDOK) { dlg->OnOK(); return TRUE; }
            if (LOWORD(wp) == IDCANCEL) { dlg->OnCancel(); return TRUE; }
        }
        return FALSE;
    default:
        return FALSE;
    }
}
