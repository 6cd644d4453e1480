#include "StopwatchTestSupport.h"

#include "SupportSettings.h"

StopwatchTestApp g_app;

StopwatchTestApp::StopwatchTestApp()
{
    // A company name of its own: the install key lies below it too.
    SetRegistryKey(L"Mervale Software Stopwatch Tests");
    m_pszProfileName = L"ZarnockStopwatchTests";
}

void StopwatchTestApp::ClearStore() const
{
    const std::wstring company = std::wstring(L"Software\\") + m_pszRegistryKey.GetString();
    RegDeleteTreeW(HKEY_CURRENT_USER, company.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, company.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, GetInstallKeyPath());
}

void StopwatchTestApp::SetInstallPath(const wchar_t* folder) const
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, GetInstallKeyPath(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                   static_cast<DWORD>((wcslen(folder) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}
