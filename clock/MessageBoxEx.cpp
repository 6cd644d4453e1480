#include "MessageBoxEx.h"

#include "Log/LogMan.h"
#include "StringTable.h"

#include <cwchar>

namespace {
// The box waiting for its system window on this thread.
thread_local CMessageBoxEx* t_hookedBox = nullptr;

const wchar_t kDialogClass[] = L"#32770";

bool IsDialogWindow(HWND hwnd)
{
    wchar_t name[16] = {};
    return GetClassNameW(hwnd, name, 16) > 0 && std::wcscmp(name, kDialogClass) == 0;
}

RECT RectInParent(HWND child, HWND parent)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void MoveTo(HWND child, const RECT& r)
{
    SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}
}

int ShowMessageBoxEx(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    if (!caption || !*caption) caption = GetStr(SID_PRODUCT);
    // MB_OK and MB_YESNO have nothing to rearrange.
    if ((type & 3) == 0) return MessageBoxW(owner, text, caption, type);
    CMessageBoxEx box(owner, text, caption, type);
    return static_cast<int>(box.DoModal());
}

CMessageBoxEx::CMessageBoxEx(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
    : m_caption(caption && *caption ? caption : GetStr(SID_PRODUCT)), m_text(text), m_owner(owner), m_type(type)
{
    m_hWndParent = owner;
}

CMessageBoxEx::~CMessageBoxEx()
{
    Unhook();
}

void CMessageBoxEx::Unhook()
{
    m_hook.Reset();
    if (t_hookedBox == this) t_hookedBox = nullptr;
}

LRESULT CALLBACK CMessageBoxEx::CreateHook(int code, WPARAM wp, LPARAM lp)
{
    // Only the box's dialog window is taken; a helper window the system may create first
    // (an input-method window) is left alone.
    if (code == HCBT_CREATEWND && t_hookedBox && IsDialogWindow(reinterpret_cast<HWND>(wp))) {
        CMessageBoxEx* box = t_hookedBox;
        t_hookedBox = nullptr;
        box->SubclassWindow(reinterpret_cast<HWND>(wp));
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

INT_PTR CMessageBoxEx::DoModal()
{
    t_hookedBox = this;
    m_hook.Reset(SetWindowsHookExW(WH_CBT, &CMessageBoxEx::CreateHook, nullptr, GetCurrentThreadId()));
    if (!m_hook) t_hookedBox = nullptr;

    HWND owner = PreModal();

    UINT type = m_type;
    UINT buttons = type & MB_TYPEMASK;
    if ((type & MB_ICONMASK) == 0 &&
        (buttons == MB_OK || buttons == MB_OKCANCEL || buttons == MB_YESNOCANCEL || buttons == MB_YESNO))
        type |= MB_ICONEXCLAMATION;

    int result;
    if (type & MB_USERICON) {
        MSGBOXPARAMSW params{};
        params.cbSize = sizeof(params);
        params.hwndOwner = owner;
        params.hInstance = m_iconModule;
        params.lpszText = m_text;
        params.lpszCaption = m_caption;
        params.dwStyle = type;
        params.lpszIcon = MAKEINTRESOURCEW(m_iconId);
        params.dwLanguageId = 0x400;  // the user's default language
        result = MessageBoxIndirectW(&params);
    } else {
        result = MessageBoxW(owner, m_text, m_caption, type);
    }

    Unhook();
    PostModal();
    return result;
}

LRESULT CMessageBoxEx::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: {
        if (OnCreate(reinterpret_cast<CREATESTRUCTW*>(lp)) == -1) return -1;
        return CDialog::WindowProc(msg, wp, lp);
    }
    case WM_INITDIALOG: {
        LRESULT r = CDialog::WindowProc(msg, wp, lp);
        OnInitDialog();
        return r;
    }
    default:
        return CDialog::WindowProc(msg, wp, lp);
    }
}

int CMessageBoxEx::OnCreate(CREATESTRUCTW*)
{
    Unhook();
    return 0;
}

BOOL CMessageBoxEx::OnInitDialog()
{
    if ((m_type & 3) == 0) return TRUE;
    HWND yes = GetDlgItem(IDYES), no = GetDlgItem(IDNO), cancel = GetDlgItem(IDCANCEL);
    if (!yes || !no || !cancel) return TRUE;
    // Cancel stays (hidden) so that Escape and the close box still answer it.
    RECT noRect = RectInParent(no, m_hWnd);
    RECT cancelRect = RectInParent(cancel, m_hWnd);
    ::ShowWindow(cancel, SW_HIDE);
    MoveTo(no, cancelRect);
    MoveTo(yes, noRect);
    return TRUE;
}

void DeleteProfileEntry(const wchar_t* section, const wchar_t* entry)
{
    // A null entry would make the profile function delete the whole section.
    if (!entry) return;
    CWinApp* app = AfxGetApp();
    if (app && !app->WriteProfileString(section, entry, nullptr))
        ZN_LOG(LOG_ERROR, L"Setting not written: " << (section ? section : L"") << L"\\" << entry);
}
