#include "AboutDlg.h"

#include "Log/LogMan.h"
#include "RTLLayout.h"
#include "StringTable.h"
#include "SupportShell.h"
#include "SupportUtilities.h"
#include "SupportWindowsHelpers.h"
#include "VersionInfo.h"
#include "resource.h"

namespace {

HICON LoadProgramIcon(int size)
{
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                           size, size, size ? 0 : LR_DEFAULTSIZE));
}

void DestroyDialogIcon(HWND dialog, WPARAM which)
{
    CIconHandle old(reinterpret_cast<HICON>(::SendMessageW(dialog, WM_SETICON, which, 0)));
}

}  // namespace

CAboutDlg::CAboutDlg(HWND parent) : CDialog(IDD_ABOUT, parent)
{
}

CString CAboutDlg::AboutAddress()
{
    return CString(GetStr(SID_WEB_URL)) + GetStr(SID_ABOUT_PATH) + L"&" + GetStr(SID_VERSION_QUERY) +
           GetStr(SID_VERSION_FULL);
}

CString CAboutDlg::FileVersionLine(const wchar_t* label, const wchar_t* path)
{
    CString line = CString(label) + GetStr(SID_VERSION) + L"  File version ";
    CVersionInfo info(path);
    WORD parts[4] = {};
    CString number;
    if (path && *path && info.Load() && info.GetFileVersion(parts)) {
        number.Format(L"%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
        wchar_t special[64] = {};
        if (info.QueryString(L"SpecialBuild", special) && lstrcmpiW(special, L"beta") == 0) number += L" beta";
    } else {
        DWORD error = GetLastError();
        number.Format(L"(%#010x)", error ? error : ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    return line + number;
}

void CAboutDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_ABOUT_LINK, m_link);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    m_handCursor = ::LoadCursorW(inst, MAKEINTRESOURCEW(IDC_CLOCK_CURSOR));
    m_arrowCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    m_windowBrush.Reset(::CreateSolidBrush(::GetSysColor(COLOR_WINDOW)));

    HWND version = GetDlgItem(IDC_ABOUT_VERSION);
    wchar_t label[64] = {};
    ::GetWindowTextW(version, label, 64);
    m_versionLabel = label;
    ::SetWindowTextW(version, m_versionLabel + GetStr(SID_VERSION));

    LOGFONTW font{};
    HFONT dialogFont = reinterpret_cast<HFONT>(::SendMessageW(GetDlgItem(IDC_ABOUT_TITLE), WM_GETFONT, 0, 0));
    if (dialogFont && ::GetObjectW(dialogFont, sizeof(font), &font)) {
        LOGFONTW link = font;
        link.lfUnderline = TRUE;
        m_linkFont.Reset(::CreateFontIndirectW(&link));
        LOGFONTW ten = font;
        ten.lfHeight = -(10 * GetScreenDpiY() / 72);
        ten.lfUnderline = FALSE;
        m_versionFont.Reset(::CreateFontIndirectW(&ten));
        ten.lfWeight = FW_BOLD;
        m_titleFont.Reset(::CreateFontIndirectW(&ten));
        m_link.SetFont(m_linkFont, FALSE);
        ::SendMessageW(version, WM_SETFONT, reinterpret_cast<WPARAM>(m_versionFont.Get()), FALSE);
        ::SendMessageW(GetDlgItem(IDC_ABOUT_TITLE), WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont.Get()), FALSE);
    }

    // The separator lines run across the whole box, whatever the dialog units gave.
    RECT window;
    GetWindowRect(&window);
    for (int id : {IDC_ABOUT_LINE_TOP, IDC_ABOUT_LINE_BOTTOM}) {
        HWND line = GetDlgItem(id);
        RECT r;
        ::GetWindowRect(line, &r);
        ::SetWindowPos(line, nullptr, 0, 0, window.right - window.left, r.bottom - r.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    const int small = ::GetSystemMetrics(SM_CXSMICON);
    DestroyDialogIcon(m_hWnd, ICON_SMALL);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadProgramIcon(small < 24 ? 16 : small < 32 ? 24 : 32)));
    DestroyDialogIcon(m_hWnd, ICON_BIG);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadProgramIcon(0)));

    RECT desktop;
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    const int width = window.right - window.left, height = window.bottom - window.top;
    ::SetWindowPos(m_hWnd, nullptr, desktop.left + (desktop.right - desktop.left - width) / 2,
                   desktop.top + (desktop.bottom - desktop.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyRTLLayout(m_hWnd);
    return TRUE;
}

void CAboutDlg::OpenAddress(const wchar_t* address)
{
    ShellExecuteOpen(address, TRUE, m_hWnd);
}

HBRUSH CAboutDlg::OnCtlColor(HDC dc, HWND control, LRESULT defaultBrush)
{
    switch (::GetDlgCtrlID(control)) {
    case IDC_ABOUT_LINK:
        ::SetTextColor(dc, RGB(0, 0, 255));
        break;
    case IDC_ABOUT_TITLE:
    case IDC_ABOUT_VERSION:
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return m_windowBrush;
    case IDC_ABOUT_ICON:
    case IDC_ABOUT_BANNER:
        return m_windowBrush;
    default:
        break;
    }
    return reinterpret_cast<HBRUSH>(defaultBrush);
}

bool CAboutDlg::IsOverLink(POINT client) const
{
    return m_link.m_hWnd && ::ChildWindowFromPointEx(m_hWnd, client, CWP_SKIPINVISIBLE) == m_link.m_hWnd;
}

void CAboutDlg::OnLButtonDown(POINT client)
{
    if (IsOverLink(client)) ::SetCapture(m_hWnd);
}

void CAboutDlg::OnLButtonUp(POINT client)
{
    // Only a click that began on the link opens it.
    if (::GetCapture() != m_hWnd) return;
    ::ReleaseCapture();
    if (IsOverLink(client)) OpenAddress(AboutAddress());
}

void CAboutDlg::OnMouseMove(POINT client)
{
    ::SetCursor(IsOverLink(client) || ::GetCapture() == m_hWnd ? m_handCursor : m_arrowCursor);
}

BOOL CAboutDlg::OnSetCursor(HWND window, UINT hitTest)
{
    // The mouse-move handler chose the cursor over the box's own client area.
    return window == m_hWnd && hitTest == HTCLIENT;
}

void CAboutDlg::OnIconDoubleClick()
{
    wchar_t path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = 0;
    ::SetWindowTextW(GetDlgItem(IDC_ABOUT_VERSION), FileVersionLine(m_versionLabel, path));
}

void CAboutDlg::OnSysColorChange()
{
    m_windowBrush.Reset(::CreateSolidBrush(::GetSysColor(COLOR_WINDOW)));
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CAboutDlg::OnDestroy()
{
    m_versionFont.Reset();
    m_titleFont.Reset();
    m_linkFont.Reset();
    m_windowBrush.Reset();
    DestroyDialogIcon(m_hWnd, ICON_SMALL);
    DestroyDialogIcon(m_hWnd, ICON_BIG);
}

BOOL CAboutDlg::OnCommand(UINT id, UINT code, HWND)
{
    if (id != IDC_ABOUT_ICON || code != STN_DBLCLK) return FALSE;
    OnIconDoubleClick();
    return TRUE;
}

LRESULT CAboutDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    const POINT client{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN: {
        LRESULT brush = CDialog::WindowProc(msg, wp, lp);
        return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), brush));
    }
    case WM_LBUTTONDOWN:
        OnLButtonDown(client);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(client);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(client);
        return 0;
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wp), LOWORD(lp))) return TRUE;
        break;
    case WM_SYSCOLORCHANGE: {
        LRESULT r = CDialog::WindowProc(msg, wp, lp);
        OnSysColorChange();
        return r;
    }
    case WM_DESTROY: {
        LRESULT r = CDialog::WindowProc(msg, wp, lp);
        OnDestroy();
        return r;
    }
    default:
        break;
    }
    return CDialog::WindowProc(msg, wp, lp);
}
