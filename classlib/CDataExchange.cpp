#include "CDataExchange.h"

#include "CWinApp.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <cwctype>

namespace {
// The class library's own refusal, as every dialog of the program shows it.
const wchar_t kEnterInteger[] = L"Enter an integer.";

void Refuse(CDataExchange* dx, const wchar_t* text)
{
    CWinApp* app = AfxGetApp();
    ::MessageBoxW(dx->m_pDlgWnd->m_hWnd, text, app && app->m_pszAppName ? app->m_pszAppName : L"",
                  MB_OK | MB_ICONEXCLAMATION);
    dx->Fail();
}
}  // namespace

HWND CDataExchange::PrepareCtrl(int id)
{
    m_lastControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    return m_lastControl;
}

void CDataExchange::Fail()
{
    m_failed = true;
    if (!m_lastControl) return;
    ::SetFocus(m_lastControl);
    wchar_t cls[16];
    if (::GetClassNameW(m_lastControl, cls, 16) && ::lstrcmpiW(cls, L"Edit") == 0)
        ::SendMessageW(m_lastControl, EM_SETSEL, 0, -1);
}

BOOL ParseDialogInt(const wchar_t* text, int* value)
{
    const wchar_t* p = text;
    while (iswspace(*p)) ++p;
    if (!*p) return FALSE;
    wchar_t* end = nullptr;
    errno = 0;
    long long n = wcstoll(p, &end, 10);
    if (end == p || errno == ERANGE || n < INT_MIN || n > INT_MAX) return FALSE;
    while (iswspace(*end)) ++end;
    if (*end) return FALSE;
    *value = static_cast<int>(n);
    return TRUE;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (dx->m_failed || control.m_hWnd) return;
    if (HWND h = dx->PrepareCtrl(id)) control.SubclassWindow(h);
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    if (dx->m_failed) return;
    HWND h = dx->PrepareCtrl(id);
    if (!h) return;
    if (!dx->m_bSaveAndValidate) {
        ::SetWindowTextW(h, value);
        return;
    }
    value = CWnd::GetWindowText(h);
}

void DDX_Text(CDataExchange* dx, int id, int& value)
{
    if (dx->m_failed) return;
    CString text;
    if (!dx->m_bSaveAndValidate) text.Format(L"%d", value);
    DDX_Text(dx, id, text);
    if (!dx->m_bSaveAndValidate || dx->m_failed) return;
    if (!ParseDialogInt(text, &value)) Refuse(dx, kEnterInteger);
}

namespace {
// A control whose state is one number that one message reads and another sets.
void ExchangeState(CDataExchange* dx, int id, int& value, UINT getMessage, UINT setMessage)
{
    if (dx->m_failed) return;
    HWND h = dx->PrepareCtrl(id);
    if (!h) return;
    if (dx->m_bSaveAndValidate) value = static_cast<int>(::SendMessageW(h, getMessage, 0, 0));
    else ::SendMessageW(h, setMessage, static_cast<WPARAM>(value), 0);
}
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index)
{
    ExchangeState(dx, id, index, CB_GETCURSEL, CB_SETCURSEL);
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    ExchangeState(dx, id, value, BM_GETCHECK, BM_SETCHECK);
}

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    if (dx->m_failed) return;
    HWND h = dx->PrepareCtrl(id);
    if (!h) return;
    if (dx->m_bSaveAndValidate) value = -1;
    int index = 0;
    // The group runs from the first button to the next control that starts a group.
    for (HWND b = h; b; b = ::GetWindow(b, GW_HWNDNEXT)) {
        if (b != h && (::GetWindowLongPtrW(b, GWL_STYLE) & WS_GROUP)) break;
        if (!(::SendMessageW(b, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) continue;
        if (dx->m_bSaveAndValidate) {
            if (::SendMessageW(b, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            ::SendMessageW(b, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    }
}
