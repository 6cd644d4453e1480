#include "FirewallStatus.h"

#include "Log/LogMan.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportFireWall.h"

void LogFirewallStatus(int windowsLevel)
{
    if (windowsLevel >= WINLEVEL_VISTA) {
        CSupportFireWall2 firewall;
        if (firewall.Initialize() == S_OK) {
            ZN_LOG_ERROR(firewall.LogRule(GetStr(SID_PRODUCT)), L"", LOG_ERROR);
            firewall.Cleanup();
        }
        return;
    }
    CSupportFireWall firewall;
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        DWORD error = GetLastError();
        ZN_LOG(LOG_ERROR, HexText(error, TRUE).GetString() << L" " << path);
        return;
    }
    if (!FileExists(path)) {
        ZN_LOG(LOG_ERROR, path);
        return;
    }
    if (firewall.Initialize() == FW_NOERROR) {
        ZN_LOG_ERROR(firewall.LogStatus(path), L"", LOG_ERROR);
        firewall.Cleanup();
    }
}
