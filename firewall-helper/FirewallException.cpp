#include "FirewallException.h"

#include "SupportFireWall.h"

#include <cwchar>

namespace {

const wchar_t kRuleName[] = L"Zarnock";
// The maker's web address names the rule's owner to whoever reads the firewall's list.
const wchar_t kRuleDescription[] = L"Digital clock (https://www.mervale-software.example)";
const wchar_t kRemotePorts[] = L"123";

int g_windowsLevel = 0;

// "X:\..." or "\\server\..." and shorter than MAX_PATH, read no further than that.
bool IsUsableFullPath(const wchar_t* path)
{
    if (!path) return false;
    size_t length = wcsnlen(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    bool drive = length >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
                 path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    bool unc = length >= 3 && path[0] == L'\\' && path[1] == L'\\';
    return drive || unc;
}

}  // namespace

int WindowsVersionLevelFrom(DWORD getVersion, const OSVERSIONINFOW* version)
{
    if (getVersion & 0x80000000u) return 1;
    if (!version) return 7;
    DWORD major = version->dwMajorVersion, minor = version->dwMinorVersion;
    if (major == 5 && minor >= 1) return 2;
    if (major == 6 && minor <= 3) return static_cast<int>(3 + minor);
    return 7;
}

int GetWindowsVersionLevel()
{
    // Written without a lock: every writer stores the same value.
    if (g_windowsLevel) return g_windowsLevel;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    bool read = GetVersionExW(&version) != FALSE;
    g_windowsLevel = WindowsVersionLevelFrom(GetVersion(), read ? &version : nullptr);
    return g_windowsLevel;
}

int AddFirewallException(const wchar_t* path, int windowsLevel)
{
    if (windowsLevel >= 3) {
        if (!IsUsableFullPath(path)) return 1;
        CSupportFireWall2 firewall;
        if (firewall.Initialize() != S_OK) return 1;
        HRESULT hr = firewall.AddOrUpdateRule(kRuleName, kRuleDescription, path, L"", kRemotePorts,
                                              NET_FW_IP_PROTOCOL_UDP, NET_FW_RULE_DIR_OUT);
        firewall.Cleanup();
        return hr == S_OK ? 0 : 1;
    }
    if (!IsUsableFullPath(path)) return FW_ERR_INVALID_ARG;
    HRESULT com = CoInitialize(nullptr);
    FW_ERROR_CODE code;
    {
        CSupportFireWall firewall;
        code = firewall.Initialize();
        if (code == FW_NOERROR) code = firewall.AddApp(path, kRuleName);
        firewall.Cleanup();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
