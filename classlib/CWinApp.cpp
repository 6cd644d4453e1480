#include "CWinApp.h"
#include "CHandle.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <ole2.h>

namespace {
CWinApp* g_app = nullptr;
bool g_oleInitialised = false;
}

CWinApp::CWinApp(const wchar_t* appName) : m_pszAppName(appName), m_pszProfileName(appName)
{
    g_app = this;
}

void CWinApp::SetRegistryKey(const wchar_t* company)
{
    m_pszRegistryKey = company;
}

HKEY CWinApp::GetSectionKey(const wchar_t* section, bool create) const
{
    if (m_pszRegistryKey.IsEmpty() || m_pszProfileName.IsEmpty() || !section) return nullptr;
    CString path = CString(L"Software\\") + m_pszRegistryKey + L"\\" + m_pszProfileName;
    if (*section) path += CString(L"\\") + section;
    HKEY key = nullptr;
    LSTATUS st = create
        ? RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
        : RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    return st == ERROR_SUCCESS ? key : nullptr;
}

UINT CWinApp::GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue) const
{
    CRegKeyHandle k(GetSectionKey(section, false));
    if (!k || !entry) return static_cast<UINT>(defaultValue);
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExW(k, entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return static_cast<UINT>(defaultValue);
    return value;
}

BOOL CWinApp::WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value)
{
    CRegKeyHandle k(GetSectionKey(section));
    if (!k || !entry) return FALSE;
    DWORD v = static_cast<DWORD>(value);
    return RegSetValueExW(k, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v)) == ERROR_SUCCESS;
}

CString CWinApp::GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue) const
{
    CRegKeyHandle k(GetSectionKey(section, false));
    if (!k || !entry) return CString(defaultValue);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k, entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return CString(defaultValue);
    CString text;
    // The stored data need not be terminated: room for one more character, zeroed.
    DWORD chars = size / sizeof(wchar_t) + 1;
    wchar_t* buf = text.GetBuffer(static_cast<int>(chars));
    std::memset(buf, 0, chars * sizeof(wchar_t));
    DWORD got = size;
    if (RegQueryValueExW(k, entry, nullptr, &type, reinterpret_cast<BYTE*>(buf), &got) != ERROR_SUCCESS) {
        text.ReleaseBuffer(0);
        return CString(defaultValue);
    }
    buf[std::min<DWORD>(got / sizeof(wchar_t), chars - 1)] = 0;
    text.ReleaseBuffer();
    return text;
}

BOOL CWinApp::WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value)
{
    if (!entry) {
        if (m_pszRegistryKey.IsEmpty() || !section) return FALSE;
        CRegKeyHandle app(GetSectionKey(L"", false));
        return app && RegDeleteTreeW(app, section) == ERROR_SUCCESS;
    }
    CRegKeyHandle k(GetSectionKey(section));
    if (!k) return FALSE;
    if (!value) {
        LSTATUS st = RegDeleteValueW(k, entry);
        return st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND;
    }
    DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    return RegSetValueExW(k, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) == ERROR_SUCCESS;
}

BOOL CWinApp::GetProfileBinary(const wchar_t* section, const wchar_t* entry, BYTE** data, UINT* bytes) const
{
    if (data) *data = nullptr;
    if (bytes) *bytes = 0;
    CRegKeyHandle k(GetSectionKey(section, false));
    if (!k || !entry || !data || !bytes) return FALSE;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k, entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_BINARY)
        return FALSE;
    BYTE* buf = new (std::nothrow) BYTE[size ? size : 1];
    if (!buf) return FALSE;
    if (RegQueryValueExW(k, entry, nullptr, &type, buf, &size) != ERROR_SUCCESS || type != REG_BINARY) {
        delete[] buf;
        return FALSE;
    }
    *data = buf;
    *bytes = size;
    return TRUE;
}

BOOL CWinApp::WriteProfileBinary(const wchar_t* section, const wchar_t* entry, const BYTE* data, UINT bytes)
{
    CRegKeyHandle k(GetSectionKey(section));
    if (!k || !entry) return FALSE;
    return RegSetValueExW(k, entry, 0, REG_BINARY, data, bytes) == ERROR_SUCCESS;
}

BOOL CWinApp::WriteProfileIntIfAbsent(const wchar_t* section, const wchar_t* entry, int value, int onlyIfAbsent)
{
    if (onlyIfAbsent == 1 && static_cast<int>(GetProfileInt(section, entry, kProfileAbsentInt)) != kProfileAbsentInt)
        return FALSE;
    return WriteProfileInt(section, entry, value);
}

BOOL CWinApp::WriteProfileStringIfAbsent(const wchar_t* section, const wchar_t* entry, const wchar_t* value,
                                         int onlyIfAbsent)
{
    if (onlyIfAbsent == 1 && GetProfileString(section, entry, kProfileAbsentText) != kProfileAbsentText)
        return FALSE;
    return WriteProfileString(section, entry, value);
}

CWinApp::~CWinApp()
{
    if (g_oleInitialised) {
        OleUninitialize();
        g_oleInitialised = false;
    }
    if (g_app == this) g_app = nullptr;
}

BOOL AfxOleInit()
{
    if (g_oleInitialised) return TRUE;
    if (FAILED(OleInitialize(nullptr))) return FALSE;
    g_oleInitialised = true;
    return TRUE;
}

int AfxMessageBox(const wchar_t* text, UINT type)
{
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    return MessageBoxW(owner, text, app && app->m_pszAppName ? app->m_pszAppName : L"", type);
}

CWinApp* AfxGetApp()
{
    return g_app;
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) break;
        if (CWnd::WalkPreTranslateTree(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return ExitInstance();
}

int AfxWinMain(HINSTANCE instance, LPWSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = instance;
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}
