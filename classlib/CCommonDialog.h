// The system's font, colour and open-file dialogs, each a thin object over its structure
// and call. DoModal gives IDOK or IDCANCEL; CommDlgExtendedError tells a failure from a cancel.
#pragma once

#include "CDialog.h"

#include <commdlg.h>

class CFontDialog : public CDialog
{
public:
    // Starts from the font when given; CF_INITTOLOGFONTSTRUCT is added then.
    CFontDialog(const LOGFONTW* font, DWORD flags, HWND parent = nullptr);
    INT_PTR DoModal() override;
    const LOGFONTW& GetCurrentFont() const { return m_lf; }
    CHOOSEFONTW m_cf{};

private:
    LOGFONTW m_lf{};
};

class CColorDialog : public CDialog
{
public:
    CColorDialog(COLORREF initial, DWORD flags, COLORREF* customColors, HWND parent = nullptr);
    INT_PTR DoModal() override;
    COLORREF GetColor() const { return m_cc.rgbResult; }
    CHOOSECOLORW m_cc{};
};

class CFileDialog : public CDialog
{
public:
    // filter: pairs of NUL-terminated texts ending in a double NUL, as the system takes them.
    CFileDialog(const wchar_t* fileName, DWORD flags, const wchar_t* filter, HWND parent = nullptr);
    INT_PTR DoModal() override;
    CString GetPathName() const { return CString(m_file); }
    OPENFILENAMEW m_ofn{};

private:
    wchar_t m_file[MAX_PATH] = L"";
};
