// vostrel.dll: one export, AddInfo, for an installer. It writes no log, no registry value
// and no file, and shows nothing.
#include "FirewallException.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

// Exported undecorated at ordinal 1 (vostrel.def); path is the program's full path.
extern "C" int WINAPI AddInfo(const wchar_t* path)
{
    return AddFirewallException(path, GetWindowsVersionLevel());
}
