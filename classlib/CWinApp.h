// CWinApp: the application object. Exactly one exists per program; its constructor makes
// it reachable through AfxGetApp. The program's entry point calls AfxWinMain, which runs
// InitInstance, the standard message loop while InitInstance succeeded, then ExitInstance.
#pragma once

#include "CWnd.h"

// The defaults that mark a setting as absent when read back.
constexpr int kProfileAbsentInt = 0x0EEDBEEF;
constexpr const wchar_t* kProfileAbsentText = L"0EEDBEEF";

class CWinApp
{
public:
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The settings store: HKEY_CURRENT_USER\Software\<key>\<profile name>\<section>.
    // Until SetRegistryKey is called the profile functions find and write nothing.
    void SetRegistryKey(const wchar_t* company);
    // The per-user key of one section, created when missing; nullptr when it cannot be had.
    HKEY GetSectionKey(const wchar_t* section, bool create = true) const;

    // Integers are REG_DWORD; a value of another type or size counts as absent.
    UINT GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue) const;
    BOOL WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value);
    // Texts are REG_SZ (REG_EXPAND_SZ is read as it is); another type counts as absent.
    CString GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue = nullptr) const;
    // A null value deletes the entry; a null entry deletes the whole section.
    BOOL WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value);
    // Binary values: *data is allocated with new[] and owned by the caller; FALSE when absent.
    BOOL GetProfileBinary(const wchar_t* section, const wchar_t* entry, BYTE** data, UINT* bytes) const;
    BOOL WriteProfileBinary(const wchar_t* section, const wchar_t* entry, const BYTE* data, UINT bytes);

    // Modal boxes and dialogs bracket themselves with FALSE and TRUE; nested boxes count.
    void EnableModeless(BOOL enable) { m_modalDepth += enable ? (m_modalDepth > 0 ? -1 : 0) : 1; }
    BOOL InModalState() const { return m_modalDepth > 0; }

    // With onlyIfAbsent 1 the setting is written only when reading it back with the
    // sentinel as default gives the sentinel (a stored sentinel counts as absent too).
    // TRUE when written.
    BOOL WriteProfileIntIfAbsent(const wchar_t* section, const wchar_t* entry, int value, int onlyIfAbsent);
    BOOL WriteProfileStringIfAbsent(const wchar_t* section, const wchar_t* entry, const wchar_t* value,
                                    int onlyIfAbsent);

    // The program's help (HELP_FINDER: its contents); the program that has a help file
    // overrides this.
    virtual void WinHelp(DWORD_PTR /*data*/, UINT /*command*/) {}

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return m_exitCode; }
    virtual int Run();

    HINSTANCE m_hInstance = nullptr;
    const wchar_t* m_pszAppName = nullptr;
    CString m_pszRegistryKey;     // the company part; empty until SetRegistryKey
    CString m_pszProfileName;     // the product part; the application name unless changed
    CWnd* m_pMainWnd = nullptr;
    int m_exitCode = 0;

private:
    int m_modalDepth = 0;
};

CWinApp* AfxGetApp();
// COM and OLE for the calling (user-interface) thread, undone when the application object goes.
BOOL AfxOleInit();
// A message box owned by the main window (when there is one), captioned with the application name.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);
int AfxWinMain(HINSTANCE instance, LPWSTR cmdLine, int showCmd);
