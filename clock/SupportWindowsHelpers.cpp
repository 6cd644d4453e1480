#include "SupportWindowsHelpers.h"

#include "Log/LogMan.h"
#include "CHandle.h"
#include "SupportWindowsVersion.h"

#include <atomic>

namespace {

std::atomic<int> g_screenDpiX{0};
std::atomic<int> g_screenDpiY{0};

} // namespace

CString GetErrorText(DWORD code)
{
    CLocalMemory buf;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0x400, reinterpret_cast<wchar_t*>(buf.Out()), 0, nullptr);
    CString text;
    if (n && buf) text = CString(static_cast<const wchar_t*>(buf.Get()), static_cast<int>(n));
    return text;
}

int IsUserAdmin()
{
    CHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) {
        ZN_LOG_ERROR(GetLastError(), L"OpenProcessToken", LOG_ERROR);
        return 0;
    }
    // A group list longer than this counts as "not an administrator", as it always has.
    alignas(TOKEN_GROUPS) BYTE buffer[1024];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenGroups, buffer, sizeof(buffer), &size)) {
        ZN_LOG_ERROR(GetLastError(), L"GetTokenInformation", LOG_ERROR);
        return 0;
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    CSidHandle admins;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  admins.Out())) {
        ZN_LOG_ERROR(GetLastError(), L"AllocateAndInitializeSid", LOG_ERROR);
        return 0;
    }
    const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);
    int found = 0;
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i)
        found = EqualSid(groups->Groups[i].Sid, admins) ? 1 : 0;
    return found;
}

HRESULT GetProcessElevation(HANDLE process, BOOL* elevated)
{
    if (elevated) *elevated = FALSE;
    CHandle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.Out())) {
        ZN_LOG_ERROR(GetLastError(), L"OpenProcessToken", LOG_ERROR);
        return E_FAIL;
    }
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size)) {
        ZN_LOG_ERROR(GetLastError(), L"GetTokenInformation", LOG_ERROR);
        return E_FAIL;
    }
    if (elevated) *elevated = elevation.TokenIsElevated != 0;
    return S_OK;
}

BOOL IsWow64()
{
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64)) {
        ZN_LOG_ERROR(GetLastError(), L"IsWow64Process", LOG_ERROR);
        return FALSE;
    }
    return wow64;
}

DPI_AWARENESS_CONTEXT SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT context)
{
    // Looked up on each call: Windows before 10 (1607) does not have it.
    return SetThreadDpiAwareness(context, GetModuleHandleW(L"User32.dll"), GetWindowsLevel());
}

DPI_AWARENESS_CONTEXT SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT context, HMODULE user32, int windowsLevel)
{
    using SetContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
    auto set = user32 ? reinterpret_cast<SetContextFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")))
                      : nullptr;
    if (set) return set(context);
    // Only a Windows 10 without it is worth an entry; older systems never had it.
    if (windowsLevel >= WINLEVEL_LATER)
        ZN_LOG_ERROR(user32 ? GetLastError() : static_cast<DWORD>(ERROR_MOD_NOT_FOUND), L"SetThreadDpiAwarenessContext",
                     LOG_ERROR);
    return DPI_AWARENESS_CONTEXT_UNAWARE;
}

void InitScreenDpi()
{
    int x = 96, y = 96;
    if (CClientDCHandle screen = GetClientDC(nullptr)) {
        x = GetDeviceCaps(screen.Get(), LOGPIXELSX);
        y = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    } else {
        ZN_LOG_ERROR(GetLastError(), L"GetDC", LOG_ERROR);
    }
    // A zero would divide font sizes by zero; 96 is the system's own base resolution.
    g_screenDpiX = x > 0 ? x : 96;
    g_screenDpiY = y > 0 ? y : 96;
}

int GetScreenDpiX()
{
    if (!g_screenDpiX) InitScreenDpi();
    return g_screenDpiX;
}

int GetScreenDpiY()
{
    if (!g_screenDpiY) InitScreenDpi();
    return g_screenDpiY;
}

HWND GetLastActivePopupWnd()
{
    CWinApp* app = AfxGetApp();
    HWND main = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    return main ? GetLastActivePopup(main) : nullptr;
}

int TrimWorkingSet()
{
    return 1;
}
