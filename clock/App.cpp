#include "App.h"

CApp::CApp() : CWinApp(L"Zarnock")
{
}

BOOL CApp::InitInstance()
{
    return FALSE;
}

int CApp::ExitInstance()
{
    return CWinApp::ExitInstance();
}
