#include "CPropertySheet.h"

#include "CWinApp.h"

namespace {
// The sheet being made on this thread: the system's callback names only the window.
thread_local CPropertySheet* t_creatingSheet = nullptr;

CString LoadCaption(UINT id)
{
    wchar_t buffer[256] = L"";
    ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, 256);
    return CString(buffer);
}
}  // namespace

CPropertyPage::CPropertyPage(UINT templateId, UINT captionId) : CDialog(templateId)
{
    m_psp.dwSize = sizeof(m_psp);
    m_psp.hInstance = ::GetModuleHandleW(nullptr);
    m_psp.pszTemplate = MAKEINTRESOURCEW(templateId);
    m_psp.pfnDlgProc = &CPropertyPage::PageProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
    if (captionId) {
        m_psp.dwFlags |= PSP_USETITLE;
        m_psp.pszTitle = MAKEINTRESOURCEW(captionId);
    }
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hwnd, UINT msg, WPARAM, LPARAM lp)
{
    if (msg != WM_INITDIALOG) return FALSE;
    // The page's own header travels in lParam of WM_INITDIALOG; from here on every message
    // of the page passes WindowProc first.
    auto* page = reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lp)->lParam);
    if (!page || !page->SubclassWindow(hwnd)) return FALSE;
    return page->OnInitDialog();
}

LRESULT CPropertyPage::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NOTIFY) {
        const auto* header = reinterpret_cast<NMHDR*>(lp);
        switch (header->code) {
        case PSN_SETACTIVE:
            return OnSetActive() ? 0 : -1;
        case PSN_KILLACTIVE:
            return OnKillActive() ? FALSE : TRUE;
        case PSN_APPLY:
            OnOK();
            return PSNRET_NOERROR;
        case PSN_RESET:
            OnCancel();
            return 0;
        case PSN_QUERYCANCEL:
            return OnQueryCancel() ? FALSE : TRUE;
        default:
            break;
        }
    }
    return CDialog::WindowProc(msg, wp, lp);
}

CPropertySheet::CPropertySheet(const wchar_t* caption, HWND parent, UINT startPage) : m_strCaption(caption)
{
    m_hWndParent = parent;
    m_psh.dwSize = sizeof(m_psh);
    m_psh.nStartPage = startPage;
}

CPropertySheet::CPropertySheet(UINT captionId, HWND parent, UINT startPage)
    : CPropertySheet(LoadCaption(captionId).GetString(), parent, startPage)
{
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    m_pages.push_back(page);
}

int CALLBACK CPropertySheet::SheetCallback(HWND hwnd, UINT msg, LPARAM)
{
    if (msg != PSCB_INITIALIZED || !t_creatingSheet) return 0;
    CPropertySheet* sheet = t_creatingSheet;
    t_creatingSheet = nullptr;
    if (sheet->SubclassWindow(hwnd)) sheet->OnInitDialog();
    return 0;
}

INT_PTR CPropertySheet::DoModal()
{
    m_pageHeaders.clear();
    for (CPropertyPage* page : m_pages) m_pageHeaders.push_back(page->m_psp);
    if (m_pageHeaders.empty()) return -1;
    // Caption exactly as given: no PSH_PROPTITLE ("Properties for").
    m_psh.dwFlags = (m_psh.dwFlags & ~(PSH_PROPTITLE | PSH_MODELESS)) | PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    m_psh.hInstance = ::GetModuleHandleW(nullptr);
    m_psh.pszCaption = m_strCaption;
    m_psh.nPages = static_cast<UINT>(m_pageHeaders.size());
    m_psh.ppsp = m_pageHeaders.data();
    m_psh.pfnCallback = &CPropertySheet::SheetCallback;
    if (m_psh.nStartPage >= m_psh.nPages) m_psh.nStartPage = 0;
    m_psh.hwndParent = PreModal();
    // A sheet "owned by the desktop" is an unowned top-level window: disabling the desktop
    // for the modal loop would take the input from every other window.
    if (m_psh.hwndParent == ::GetDesktopWindow()) m_psh.hwndParent = nullptr;
    CPropertySheet* outer = t_creatingSheet;
    t_creatingSheet = this;
    INT_PTR result = ::PropertySheetW(&m_psh);
    DWORD error = ::GetLastError();
    t_creatingSheet = outer;
    PostModal();
    ::SetLastError(error);
    return result < 0 ? -1 : result > 0 ? IDOK : IDCANCEL;
}
