// The class library first: it sets the order of the Windows headers.
#include "DibSurface.h"

#include "ClockProcess.h"

#include <cstdio>
#include <cstdlib>

namespace clocktest {

namespace {

HKEY OpenSection(const wchar_t* section, bool create)
{
    std::wstring path = std::wstring(kClockKey) + L"\\" + section;
    HKEY key = nullptr;
    LSTATUS st = create ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                          &key, nullptr)
                        : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    return st == ERROR_SUCCESS ? key : nullptr;
}

bool Query(const wchar_t* section, const wchar_t* name, DWORD wantType, std::vector<BYTE>& data)
{
    HKEY key = OpenSection(section, false);
    if (!key) return false;
    DWORD type = 0, size = 0;
    bool ok = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == wantType;
    if (ok) {
        data.resize(size);
        ok = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
        data.resize(size);
    }
    RegCloseKey(key);
    return ok;
}

void Set(const wchar_t* section, const wchar_t* name, DWORD type, const void* data, DWORD bytes)
{
    HKEY key = OpenSection(section, true);
    if (!key) return;
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
}

struct FindData
{
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM param)
{
    auto* fd = reinterpret_cast<FindData*>(param);
    wchar_t cls[64];
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == fd->pid && GetClassNameW(hwnd, cls, 64) && lstrcmpW(cls, kClockClass) == 0) {
        fd->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void ResetClockStore()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kClockKey);
    SetInt(L"TimeSync", L"FST", 0);
}

void SetInt(const wchar_t* section, const wchar_t* name, DWORD value)
{
    Set(section, name, REG_DWORD, &value, sizeof(value));
}

void SetString(const wchar_t* section, const wchar_t* name, const wchar_t* value)
{
    Set(section, name, REG_SZ, value, static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

void SetBinary(const wchar_t* section, const wchar_t* name, const void* data, DWORD bytes)
{
    Set(section, name, REG_BINARY, data, bytes);
}

bool GetInt(const wchar_t* section, const wchar_t* name, DWORD& value)
{
    std::vector<BYTE> data;
    if (!Query(section, name, REG_DWORD, data) || data.size() != sizeof(DWORD)) return false;
    memcpy(&value, data.data(), sizeof(value));
    return true;
}

bool GetString(const wchar_t* section, const wchar_t* name, std::wstring& value)
{
    std::vector<BYTE> data;
    if (!Query(section, name, REG_SZ, data)) return false;
    value.assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!value.empty() && value.back() == 0) value.pop_back();
    return true;
}

bool GetBinary(const wchar_t* section, const wchar_t* name, std::vector<BYTE>& data)
{
    return Query(section, name, REG_BINARY, data);
}

ClockProcess::~ClockProcess()
{
    Close();
}

bool ClockProcess::Start(const std::wstring& args)
{
    const wchar_t* bin = _wgetenv(L"ZARNOCK_TEST_BIN");
    std::wstring exe = bin ? std::wstring(bin) : std::wstring(L".");
    // CTest hands the folder over in Unix form.
    if (!exe.empty() && exe[0] == L'/') exe = L"Z:" + exe;
    exe += L"\\zarnock.exe";
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty()) cmd += L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    if (CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi)) return true;
    fprintf(stderr, "CreateProcess of %ls failed with %lu\n", exe.c_str(), GetLastError());
    return false;
}

HWND FindClockWindow(DWORD pid)
{
    FindData fd{pid, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&fd));
    return fd.found;
}

HWND ClockProcess::WaitForWindow(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND h = FindClockWindow(m_pi.dwProcessId);
        if (h && IsWindowVisible(h)) {
            // Start-up has reached the message loop and the first tick has given the clock
            // its text (a blank format never does: that wait is short); then the first
            // image still has to reach the screen. A busy machine stretches each step.
            const DWORD elapsed = GetTickCount() - start;
            const DWORD left = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
            WaitForInputIdle(m_pi.hProcess, left);
            const DWORD textStart = GetTickCount();
            while (GetWindowTextLengthW(h) == 0 && GetTickCount() - textStart < 2000 && IsRunning()) Sleep(50);
            Sleep(300);
            return h;
        }
        if (!IsRunning()) return nullptr;
        Sleep(50);
    }
    return nullptr;
}

int ClockProcess::WaitForExit(DWORD timeoutMs)
{
    if (!m_pi.hProcess) return -1;
    if (WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return static_cast<int>(code);
}

bool ClockProcess::IsRunning() const
{
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

void ClockProcess::Close()
{
    if (!m_pi.hProcess) return;
    if (IsRunning()) {
        if (HWND h = FindClockWindow(m_pi.dwProcessId)) PostMessageW(h, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(m_pi.hProcess, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(m_pi.hProcess, 1);
            WaitForSingleObject(m_pi.hProcess, 5000);
        }
    }
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
    m_pi = PROCESS_INFORMATION{};
}

COLORREF Shot::At(int x, int y) const
{
    DWORD p = pixels[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int Shot::Count(COLORREF colour, int tolerance) const
{
    int n = 0;
    for (DWORD p : pixels) {
        int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (abs(r - GetRValue(colour)) <= tolerance && abs(g - GetGValue(colour)) <= tolerance &&
            abs(b - GetBValue(colour)) <= tolerance)
            ++n;
    }
    return n;
}

Shot CaptureScreen(const RECT& r)
{
    Shot shot;
    shot.width = r.right - r.left;
    shot.height = r.bottom - r.top;
    if (shot.width <= 0 || shot.height <= 0) return shot;
    DibSurface surface(shot.width, shot.height);
    HDC screen = GetDC(nullptr);
    BitBlt(surface.m_dc, 0, 0, shot.width, shot.height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    ReleaseDC(nullptr, screen);
    shot.pixels.assign(surface.Bits(), surface.Bits() + shot.width * shot.height);
    return shot;
}

}  // namespace clocktest
