#include "SupportSettings.h"

#include "Settings.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportRegistry.h"
#include "SupportWindowsVersion.h"

#include <shlobj.h>

CString GetInstallKeyPath()
{
    CWinApp* app = AfxGetApp();
    CString company = app && !app->m_pszRegistryKey.IsEmpty() ? app->m_pszRegistryKey : CString(GetStr(SID_COMPANY));
    return CString(GetStr(SID_REG_SOFTWARE)) + L"\\" + company + L"\\" + GetStr(SID_PRODUCT_KEY) + L"\\" +
           GetStr(SID_REG_INSTALL);
}

CString ReadInstallValue(const wchar_t* name)
{
    const CString key = GetInstallKeyPath();
    CString value = RegistryReadString(HKEY_LOCAL_MACHINE, key, name, L"", FALSE);
    // Installers before Vista could write for the current user only.
    if (value.IsEmpty() && !IsWindowsAtLeast(WINLEVEL_VISTA))
        value = RegistryReadString(HKEY_CURRENT_USER, key, name, L"", FALSE);
    return value.Trim();
}

CString GetMainExePath()
{
    CString path = ReadInstallValue(GetStr(SID_KEY_PATH));
    return path.IsEmpty() ? path : path + L"\\" + L"Zarnock.exe";
}

CString GetInstallDate()
{
    CString stamp = ReadInstallValue(GetStr(SID_KEY_STAMP));
    if (stamp.IsEmpty()) return L"no";
    if (stamp.GetLength() != 12) return stamp;
    int f[6] = {};
    if (swscanf(stamp, L"%02d%02d%02d%02d%02d%02d", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]) != 6) return stamp;
    CString text;
    text.Format(L"%02d%02d%02d", f[1], f[3], f[4]);
    return text;
}

bool GetSharedDataFilePath(const wchar_t* folderName, const wchar_t* fileName, CString* path)
{
    if (!folderName || lstrcmpiW(folderName, GetStr(SID_SOUNDS_FOLDER)) != 0) return false;
    CString folder;
    if (IsWindowsAtLeast(WINLEVEL_VISTA)) {
        wchar_t common[MAX_PATH] = {};
        if (!GetShellFolderPath(nullptr, common, CSIDL_COMMON_APPDATA, true)) return false;
        folder = common;
        for (const wchar_t* part : {GetStr(SID_COMPANY), GetStr(SID_PRODUCT)}) {
            folder += CString(L"\\") + part;
            if (!CreateDirectoryW(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
        }
        folder += L"\\";
    } else {
        folder = ReadInstallValue(GetStr(SID_KEY_PATH));
        if (folder.IsEmpty()) {
            wchar_t own[MAX_PATH] = {};
            DWORD n = GetModuleFileNameW(nullptr, own, MAX_PATH);
            if (n == 0 || n >= MAX_PATH) return false;
            folder = own;
            folder = folder.Left(folder.ReverseFind(L'\\'));
        }
        if (folder.Right(1) != L"\\") folder += L"\\";
    }
    *path = folder + folderName + L"\\";
    if (fileName) *path += fileName;
    return true;
}

bool ApplyFirstRunDefaults()
{
    CWinApp* app = AfxGetApp();
    if (!app) return false;
    const CString stamp = ReadInstallValue(GetStr(SID_KEY_STAMP));
    if (stamp.IsEmpty()) return false;
    if (GetSettingString(Setting::kStamp) == stamp) return false;

    WriteSettingIntIfAbsent(Setting::kCC, 1);
    WriteSettingIntIfAbsent(Setting::kCF, 1);
    CString sounds;
    // Without the shared folder the chimes are the bare file names.
    if (!GetSharedDataFilePath(GetStr(SID_SOUNDS_FOLDER), nullptr, &sounds)) sounds.Empty();
    WriteSettingStringIfAbsent(Setting::kH0, sounds + L"Cuckoo.wav");
    WriteSettingStringIfAbsent(Setting::kH2, sounds + L"Chimes.wav");

    const CString exe = GetMainExePath();
    if (!exe.IsEmpty()) WriteRunValue(GetStr(SID_PRODUCT), L"\"" + exe + L"\"");
    WriteSettingString(Setting::kStamp, stamp);
    return true;
}
