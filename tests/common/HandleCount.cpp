#include "HandleCount.h"

#include <vector>

namespace zntest {

// GetProcessHandleCount reports 0 for every process under Wine, so the count comes from
// the system's handle table, which Wine keeps; GetProcessHandleCount is the fallback.
DWORD HandleCount(DWORD processId)
{
    struct Entry {
        PVOID object;
        ULONG_PTR processId;
        ULONG_PTR handleValue;
        ULONG grantedAccess;
        USHORT creatorBackTraceIndex;
        USHORT objectTypeIndex;
        ULONG handleAttributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    constexpr ULONG kSystemExtendedHandleInformation = 64;
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    for (ULONG size = 1 << 20; query && size <= (1u << 26); size *= 4) {
        std::vector<BYTE> buffer(size);
        ULONG needed = 0;
        LONG status = query(kSystemExtendedHandleInformation, buffer.data(), size, &needed);
        if (status == 0) {
            const auto* table = reinterpret_cast<const Table*>(buffer.data());
            DWORD count = 0;
            for (ULONG_PTR i = 0; i < table->count; ++i)
                count += table->entries[i].processId == processId;
            return count;
        }
        if (status != static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
            break;
    }
    DWORD count = 0;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (process) {
        GetProcessHandleCount(process, &count);
        CloseHandle(process);
    }
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
