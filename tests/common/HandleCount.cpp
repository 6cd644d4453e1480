#include "HandleCount.h"

#include <vector>

namespace zntest {

// Windows answers GetProcessHandleCount; Wine answers 0 there. Wine's system-wide handle table
// (NtQuerySystemInformation, class 64) is not used: its server crashed while listing it as
// other programs started and ended. Instead each handle value is tried: it is live when it can
// be duplicated out of the process. Wine hands out the lowest free value first, so the scan
// ends after a long run of free values past the last live one.
DWORD HandleCount(DWORD processId)
{
    const bool self = processId == GetCurrentProcessId();
    HANDLE process = self ? GetCurrentProcess()
                          : OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_DUP_HANDLE, FALSE, processId);
    if (!process)
        return 0;
    DWORD count = 0;
    if (!GetProcessHandleCount(process, &count) || count == 0) {
        constexpr ULONG_PTR kFreeRun = 4096;   // free values tried past the last live one
        count = 0;
        for (ULONG_PTR value = 4, lastLive = 0; value <= lastLive + kFreeRun * 4; value += 4) {
            HANDLE copy = nullptr;
            if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                    FALSE, DUPLICATE_SAME_ACCESS)) {
                CloseHandle(copy);
                ++count;
                lastLive = value;
            }
        }
    }
    if (!self)
        CloseHandle(process);
    return count;
}

DWORD HandleCount()
{
    return HandleCount(GetCurrentProcessId());
}

DWORD SettledHandleCount(DWORD processId)
{
    DWORD least = HandleCount(processId);
    for (int i = 0; i < 4; ++i) {
        Sleep(20);
        DWORD count = HandleCount(processId);
        if (count < least)
            least = count;
    }
    return least;
}

// Live GDI objects of this process. GetGuiResources is a stub under Wine (it answers 0);
// there the GDI handle table that the process environment block points to is per process,
// and its used entries are counted instead.
struct GdiTableEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 user;
};

DWORD GdiObjectCount()
{
    if (DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return n;
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    struct {
        LONG_PTR exitStatus;
        const BYTE* peb;
        ULONG_PTR rest[4];
    } basic{};   // ProcessBasicInformation (class 0)
    if (!query || query(GetCurrentProcess(), 0, &basic, sizeof(basic), nullptr) != 0 || !basic.peb) return 0;
    const GdiTableEntry* table = *reinterpret_cast<const GdiTableEntry* const*>(basic.peb + 0xF8);
    DWORD n = 0;
    for (int i = 0; table && i < 0x10000; ++i)
        if (table[i].type) ++n;
    return n;
}

bool GdiCountWorks()
{
    const DWORD before = GdiObjectCount();
    HBRUSH brushes[10];
    for (HBRUSH& b : brushes) b = CreateSolidBrush(RGB(1, 2, 3));
    const DWORD during = GdiObjectCount();
    for (HBRUSH b : brushes) DeleteObject(b);
    return during == before + 10 && GdiObjectCount() == before;
}

} // namespace zntest

namespace {

BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

void CountIfOwn(HWND window, DWORD* count)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId()) return;
    ++*count;
    EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(count));
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM count)
{
    CountIfOwn(window, reinterpret_cast<DWORD*>(count));
    return TRUE;
}

} // namespace

namespace zntest {

DWORD WindowCount()
{
    DWORD count = 0;
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
        CountIfOwn(w, &count);
    return count;
}

} // namespace zntest
