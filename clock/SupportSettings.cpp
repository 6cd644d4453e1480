#include "SupportSettings.h"

#include "Log/LogMan.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportRegistry.h"
#include "SupportText.h"
#include "SupportWindowsHelpers.h"
#include "SupportWindowsVersion.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kMinPoints = 6;
constexpr int kMaxPoints = 2304;
// CLEARTYPE_QUALITY; stored qualities 2..6 are the user's own choice and are kept.
constexpr BYTE kDefaultQuality = 5;
constexpr BYTE kMaxQuality = 6;

// The 60-byte LOGFONTA: the same fields as LOGFONTW, then 32 bytes of face name in the
// ANSI code page, converted from the bytes read (never past them) into a terminated name.
void CopyNarrowFont(const BYTE* data, LOGFONTW* font)
{
    std::memcpy(font, data, offsetof(LOGFONTA, lfFaceName));
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, data + offsetof(LOGFONTA, lfFaceName), LF_FACESIZE);
    std::fill(std::begin(font->lfFaceName), std::end(font->lfFaceName), L'\0');
    lstrcpynW(font->lfFaceName, MultiByteToWide(face, CP_ACP), LF_FACESIZE);
}

} // namespace

int ReadProfileFont(LOGFONTW* font, const wchar_t* section, const wchar_t* entry, int defaultPoints)
{
    *font = LOGFONTW{};
    bool read = false;
    CWinApp* app = AfxGetApp();
    const std::vector<BYTE> data = app ? app->GetProfileBinary(section, entry) : std::vector<BYTE>();
    // Only a whole font record counts; anything else (the restore switch's single byte
    // among them) is absent and gets the full defaults.
    if (data.size() == sizeof(LOGFONTW)) {
        std::memcpy(font, data.data(), sizeof(LOGFONTW));
        font->lfFaceName[LF_FACESIZE - 1] = 0;
        read = true;
    } else if (data.size() == sizeof(LOGFONTA)) {
        CopyNarrowFont(data.data(), font);
        read = true;
    }

    int points = font->lfHeight ? font->lfHeight : defaultPoints;
    points = std::clamp(points, kMinPoints, kMaxPoints);
    if (!read) {
        font->lfWeight = FW_BOLD;
        font->lfItalic = 1;
        font->lfCharSet = DEFAULT_CHARSET;
    }
    font->lfHeight = -MulDiv(points, GetScreenDpiY(), 72);
    if (!font->lfFaceName[0]) {
        const unsigned face = IsWindowsAtLeast(WINLEVEL_VISTA) ? SID_FONT_NEW : SID_FONT_OLD;
        lstrcpynW(font->lfFaceName, GetStr(face), LF_FACESIZE);
    }

    int quality = GetSettingInt(Setting::kCFQ);
    BYTE low = static_cast<BYTE>(quality & 0xFF);
    if (low) font->lfQuality = std::min(low, kMaxQuality);
    else if (font->lfQuality < 2) font->lfQuality = kDefaultQuality;
    return quality;
}

void WriteProfileFont(const LOGFONTW& font, const wchar_t* section, const wchar_t* entry)
{
    CWinApp* app = AfxGetApp();
    if (!app) return;
    LOGFONTW stored = font;
    stored.lfHeight = -MulDiv(font.lfHeight, 72, GetScreenDpiY());
    if (!app->WriteProfileBinary(section, entry, reinterpret_cast<const BYTE*>(&stored), sizeof(stored)))
        ZN_LOG(LOG_ERROR, L"Setting not written: " << section << L"\\" << entry);
}

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

CString GetDefaultClockFormat()
{
    return GetStr(SID_DEFAULT_FORMAT);
}
