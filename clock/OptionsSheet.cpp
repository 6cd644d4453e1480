#include "OptionsSheet.h"

#include "RTLLayout.h"
#include "StringTable.h"
#include "resource.h"

COptionsSheet::COptionsSheet(const wchar_t* caption, HWND parent, UINT startPage)
    : CPropertySheet(caption, parent, StartIndex(startPage))
{
    AddPages();
}

COptionsSheet::COptionsSheet(UINT captionId, HWND parent, UINT startPage)
    : CPropertySheet(captionId, parent, StartIndex(startPage))
{
    AddPages();
}

void COptionsSheet::AddPages()
{
    // The Help button shows only when the sheet asks for it, and is enabled only on pages
    // that ask for it too: every page has it, and it opens the help at its contents.
    m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_HASHELP;
    for (CPropertyPage* page : {static_cast<CPropertyPage*>(&m_clockPage), static_cast<CPropertyPage*>(&m_sntpPage),
                                static_cast<CPropertyPage*>(&m_advancedPage)}) {
        page->m_psp.dwFlags |= PSP_HASHELP;
        AddPage(page);
    }
}

UINT COptionsSheet::StartIndex(UINT startPage)
{
    return startPage <= kAdvancedPage ? startPage : static_cast<UINT>(kClockPage);
}

CString COptionsSheet::Caption()
{
    CString caption;
    caption.Format(LoadResString(IDS_OPTIONS_TITLE), GetStr(SID_VERSION));
    return caption;
}

int COptionsSheet::SmallIconSize(int systemWidth)
{
    return systemWidth >= 32 ? 32 : systemWidth < 24 ? 16 : 24;
}

BOOL COptionsSheet::OnInitDialog()
{
    ApplyRTLLayout(m_hWnd);
    const HINSTANCE inst = ::GetModuleHandleW(nullptr);
    const int small = SmallIconSize(::GetSystemMetrics(SM_CXSMICON));
    // The window keeps both icons until WM_DESTROY takes them back.
    SendMessage(WM_SETICON, ICON_SMALL,
                reinterpret_cast<LPARAM>(::LoadImageW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, small, small, 0)));
    SendMessage(WM_SETICON, ICON_BIG,
                reinterpret_cast<LPARAM>(::LoadImageW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    RECT self{}, desktop{};
    GetWindowRect(&self);
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    const int w = self.right - self.left, h = self.bottom - self.top;
    ::SetWindowPos(m_hWnd, nullptr, desktop.left + (desktop.right - desktop.left - w) / 2,
                 desktop.top + (desktop.bottom - desktop.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return TRUE;
}

BOOL COptionsSheet::OnCommand(UINT id, UINT, HWND)
{
    if (id != IDHELP) return FALSE;
    if (CWinApp* app = AfxGetApp()) app->WinHelp(0, HELP_FINDER);
    return TRUE;
}

void COptionsSheet::OnDestroy()
{
    CIconHandle small(reinterpret_cast<HICON>(SendMessage(WM_SETICON, ICON_SMALL, 0)));
    CIconHandle big(reinterpret_cast<HICON>(SendMessage(WM_SETICON, ICON_BIG, 0)));
}

LRESULT COptionsSheet::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_DESTROY) {
        LRESULT r = CPropertySheet::WindowProc(msg, wp, lp);
        OnDestroy();
        return r;
    }
    return CPropertySheet::WindowProc(msg, wp, lp);
}
