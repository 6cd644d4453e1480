#include "AppHelp.h"

#include "App.h"
#include "Log/LogMan.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportSettings.h"
#include "SupportWindowsHelpers.h"

#include <htmlhelp.h>

namespace {

const wchar_t kHelpFileName[] = L"zarnock.chm";
const wchar_t kTimeSyncTopic[] = L"::/html/tips/addtimeserver.htm";
const wchar_t kCannotOpenHelp[] = L"Cannot open help.";

using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// The viewer lives in this process as long as one of its windows is open, so its library
// is loaded once and never freed.
HtmlHelpFn GetHtmlHelp()
{
    static HtmlHelpFn htmlHelp = [] {
        HMODULE viewer = LoadLibraryW(L"hhctrl.ocx");
        if (!viewer) {
            ZN_LOG_ERROR(GetLastError(), L"hhctrl.ocx", LOG_ERROR);
            return HtmlHelpFn(nullptr);
        }
        return reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpW")));
    }();
    return htmlHelp;
}

}  // namespace

CString GetHelpFilePath(const wchar_t* installFolder)
{
    CString path(installFolder ? installFolder : L"");
    if (path.IsEmpty()) return path;
    if (path[path.GetLength() - 1] != L'\\') path += L"\\";
    return path + kHelpFileName;
}

CString GetHelpTopic(const CString& helpFile, DWORD_PTR data)
{
    return data == kHelpContextTimeSync ? helpFile + kTimeSyncTopic : helpFile;
}

BOOL ShowHelp(HWND owner, const wchar_t* installFolder, DWORD_PTR data)
{
    const CString file = GetHelpFilePath(installFolder);
    HWND viewer = nullptr;
    if (!file.IsEmpty() && FileExists(file)) {
        if (HtmlHelpFn htmlHelp = GetHtmlHelp()) {
            viewer = htmlHelp(owner, GetHelpTopic(file, data), HH_DISPLAY_TOPIC, 0);
            if (!viewer) ZN_LOG_ERROR(GetLastError(), file.GetString(), LOG_ERROR);
        }
    }
    if (!viewer) AfxMessageBox(kCannotOpenHelp);
    return viewer != nullptr;
}

void CApp::WinHelp(DWORD_PTR data, UINT /*command*/)
{
    ShowHelp(m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr, ReadInstallValue(GetStr(SID_KEY_PATH)), data);
    TrimWorkingSet();
}
