#include "CCommonDialog.h"

CFontDialog::CFontDialog(const LOGFONTW* font, DWORD flags, HWND parent)
{
    m_hWndParent = parent;
    m_cf.lStructSize = sizeof(m_cf);
    m_cf.lpLogFont = &m_lf;
    m_cf.Flags = flags;
    if (font) {
        m_lf = *font;
        m_cf.Flags |= CF_INITTOLOGFONTSTRUCT;
    }
}

INT_PTR CFontDialog::DoModal()
{
    m_cf.hwndOwner = PreModal();
    BOOL ok = ::ChooseFontW(&m_cf);
    PostModal();
    return ok ? IDOK : IDCANCEL;
}

CColorDialog::CColorDialog(COLORREF initial, DWORD flags, COLORREF* customColors, HWND parent)
{
    m_hWndParent = parent;
    m_cc.lStructSize = sizeof(m_cc);
    m_cc.rgbResult = initial;
    m_cc.lpCustColors = customColors;
    m_cc.Flags = flags | CC_RGBINIT;
}

INT_PTR CColorDialog::DoModal()
{
    m_cc.hwndOwner = PreModal();
    BOOL ok = ::ChooseColorW(&m_cc);
    PostModal();
    return ok ? IDOK : IDCANCEL;
}

CFileDialog::CFileDialog(const wchar_t* fileName, DWORD flags, const wchar_t* filter, HWND parent)
{
    m_hWndParent = parent;
    if (fileName) ::lstrcpynW(m_file, fileName, MAX_PATH);
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.lpstrFile = m_file;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrFilter = filter;
    m_ofn.Flags = flags;
}

INT_PTR CFileDialog::DoModal()
{
    m_ofn.hwndOwner = PreModal();
    BOOL ok = ::GetOpenFileNameW(&m_ofn);
    PostModal();
    return ok ? IDOK : IDCANCEL;
}
