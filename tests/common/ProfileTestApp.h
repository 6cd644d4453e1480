// The application object of one test program. Test programs run in parallel in one Wine
// prefix, so each passes a profile name no other program uses and clears only its own store.
#pragma once

#include "ClassLib.h"

class ProfileTestApp : public CWinApp
{
public:
    // The application name defaults to the profile name.
    explicit ProfileTestApp(const wchar_t* profile, const wchar_t* appName = nullptr)
        : CWinApp(appName ? appName : profile)
    {
        SetRegistryKey(L"Mervale Software");
        m_pszProfileName = profile;
    }

    // HKEY_CURRENT_USER path of the store: "Software\Mervale Software\<profile>".
    CString StoreKey() const { return CString(L"Software\\") + m_pszRegistryKey + L"\\" + m_pszProfileName; }
    // Deletes every section of the store and the store's key.
    void ClearStore() const
    {
        const CString key = StoreKey();
        RegDeleteTreeW(HKEY_CURRENT_USER, key);
        RegDeleteKeyW(HKEY_CURRENT_USER, key);
    }
};
