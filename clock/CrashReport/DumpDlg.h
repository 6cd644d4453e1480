// The crash dialog (CDumpDlg) and the two ways a crash is told to the user: the dialog for
// the thread that made the report, a plain message box for a stack overflow and for threads
// that crash while a report runs. All of it runs on the crashing thread.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"

class CDumpDlg : public CDialog
{
public:
    CDumpDlg(const wchar_t* productName, const wchar_t* zipPath, HWND parent);

    CFontHandle m_boldFont;
    CBrushHandle m_background;
    CString m_zipPath;
    CString m_description;  // what the user typed, read by OK
    CString m_productName;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    HBRUSH OnCtlColor(HDC dc, HWND control, UINT msg);
    void OnDestroy();
    void OnSysColorChange();
    void ForceForeground(const WINDOWPOS* position);
    LRESULT OnShowReportControls();
};

// The ordinary crash flow: the dialog, then File Explorer on the archive's folder when the
// user asks for the report.
void ShowCrashReportDialog(EXCEPTION_POINTERS* pointers, const wchar_t* productName, const wchar_t* zipPath);
// The message-box flow; on a stack overflow only File Explorer on the archive's folder.
void ShowCrashMessageBox(EXCEPTION_POINTERS* pointers, const wchar_t* zipPath);

// "<product> <version>".
CString GetProductNameAndVersion();
// "[Bug Report] <product> <version> <code> [<low 32 bits of the address>]".
CString CrashReportSubject(DWORD exceptionCode, ULONG_PTR exceptionAddress);
// The text of the crash message box for that archive (empty: none).
CString CrashMessageBoxText(const wchar_t* zipPath);
// How the application's tray icon is taken away before the crash dialog shows (none: there
// is no icon to take).
void SetCrashTrayIconRemover(void (*remove)());

// The wait cursor for as long as it lives.
class CrashWaitCursor
{
public:
    CrashWaitCursor() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~CrashWaitCursor() { SetCursor(m_previous); }
    CrashWaitCursor(const CrashWaitCursor&) = delete;
    CrashWaitCursor& operator=(const CrashWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

// Set until the crash dialog has first been shown.
extern bool g_forceForegroundPending;
