// The clock's own application object in a test program, with a settings store and an
// install key that no other test program uses (test programs run in parallel in one Wine
// prefix). A program that has one defines g_app with a company and profile of its own.
#pragma once

#include "App.h"
#include "SupportSettings.h"

#include <string>

class ClockTestApp : public CApp
{
public:
    // The install key lies below the company name too.
    ClockTestApp(const wchar_t* company, const wchar_t* profile)
    {
        SetRegistryKey(company);
        m_pszProfileName = profile;
    }

    // Deletes the settings store and the install key of this program.
    void ClearStore() const
    {
        const std::wstring key = std::wstring(L"Software\\") + m_pszRegistryKey.GetString();
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, GetInstallKeyPath());
    }

    // Writes the install key's "Path".
    void SetInstallPath(const wchar_t* folder) const
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, GetInstallKeyPath(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                       static_cast<DWORD>((wcslen(folder) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
};

extern ClockTestApp g_app;
