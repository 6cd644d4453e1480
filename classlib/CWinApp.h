// CWinApp: the application object. Exactly one exists per program; its constructor makes
// it reachable through AfxGetApp. The program's entry point calls AfxWinMain, which runs
// InitInstance, the standard message loop while InitInstance succeeded, then ExitInstance.
#pragma once

#include "CWnd.h"

class CWinApp
{
public:
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return m_exitCode; }
    virtual int Run();

    HINSTANCE m_hInstance = nullptr;
    const wchar_t* m_pszAppName = nullptr;
    CWnd* m_pMainWnd = nullptr;
    int m_exitCode = 0;
};

CWinApp* AfxGetApp();
int AfxWinMain(HINSTANCE instance, LPWSTR cmdLine, int showCmd);
