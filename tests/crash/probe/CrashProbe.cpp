// A small program of the tests' own that links the crash road and crashes on purpose:
//   crash_probe <road> [dump type]
// ui: a null write in a window procedure of the user-interface thread; worker: a null write
// on a worker; overflow: endless recursion on a worker; two: two workers at once; during: a
// second worker crashes once the first one's report is under way; loaderlock: a null write
// on a worker that holds the loader's lock, as a fault in a library's thread start-up code
// does, so the report worker can never start (the probe waits 5 s for it instead of two
// minutes; the mail step's link goes into the log, not to a mail program). With a third argument
// naming an event, the probe shows its window "crash probe" and waits for the event before
// it crashes (the benchmark's start signal).
// The log is probe_log.txt in the temporary folder; the settings store is "CrashProbe".
#include "ProfileTestApp.h"

#include "CrashReport/ErrorReportingHelper.h"
#include "CrashReport/ThreadSendEmail.h"
#include "Log/LogMan.h"

#include <cstdio>
#include <cwchar>

namespace {

HANDLE g_go = nullptr;
// Read at run time, so the compiler cannot see that the recursion never ends.
volatile int g_depthLimit = 0x7FFFFFFF;

void NullWrite()
{
    *static_cast<volatile int*>(nullptr) = 1;
}

// Each frame keeps a buffer alive, so the stack runs out quickly.
int Recurse(int depth)
{
    volatile char frame[512];
    frame[depth % 512] = static_cast<char>(depth);
    if (depth >= g_depthLimit) return frame[0];
    return Recurse(depth + 1) + frame[0];
}

DWORD WINAPI CrashAfterGo(void*)
{
    WaitForSingleObject(g_go, INFINITE);
    NullWrite();
    return 0;
}

DWORD WINAPI CrashHoldingTheLoaderLock(void*)
{
    WaitForSingleObject(g_go, INFINITE);
    using LockFn = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
    auto lock = reinterpret_cast<LockFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock")));
    ULONG_PTR cookie = 0;
    if (lock) lock(0, nullptr, &cookie);
    NullWrite();
    return 0;
}

DWORD WINAPI CrashWhenReportRuns(void*)
{
    while (!IsCrashing()) Sleep(1);
    Sleep(200);
    NullWrite();
    return 0;
}

DWORD WINAPI OverflowThread(void*)
{
    return static_cast<DWORD>(Recurse(0));
}

int LogLink(const wchar_t* link, BOOL, HWND)
{
    ZN_LOG(LOG_INFO, link);
    return 1;
}

LRESULT CALLBACK ProbeWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP) NullWrite();
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        printf("usage: crash_probe ui|worker|overflow|two|during|loaderlock [dump type] [event]\n");
        return 2;
    }
    const std::wstring road = argv[1];
    const int dumpType = argc > 2 ? static_cast<int>(wcstol(argv[2], nullptr, 0)) : kCrashDumpType;

    ProfileTestApp app(L"CrashProbe");
    wchar_t logPath[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, logPath);
    wcscat(logPath, L"probe_log.txt");
    CLogMan log;
    log.OpenFile(logPath, L'-', FALSE, 0, 1 << 24);
    SetAppLogMan(&log);
    if (!InstallCrashHandler(true, dumpType)) return 3;

    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"zn_crash_probe";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"crash probe", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);

    if (argc > 3) {
        HANDLE start = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
        if (start) WaitForSingleObject(start, 30000);
    }
    g_go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (road == L"ui") {
        PostMessageW(window, WM_APP, 0, 0);
    } else if (road == L"worker") {
        CreateThread(nullptr, 0, CrashAfterGo, nullptr, 0, nullptr);
    } else if (road == L"overflow") {
        CreateThread(nullptr, 0, OverflowThread, nullptr, 0, nullptr);
    } else if (road == L"two") {
        CreateThread(nullptr, 0, CrashAfterGo, nullptr, 0, nullptr);
        CreateThread(nullptr, 0, CrashAfterGo, nullptr, 0, nullptr);
    } else if (road == L"loaderlock") {
        GetErrorReportingHelper()->m_reportWaitMs = 5000;
        GetSendEmailSystem().openLink = LogLink;
        CreateThread(nullptr, 0, CrashHoldingTheLoaderLock, nullptr, 0, nullptr);
    } else if (road == L"during") {
        CreateThread(nullptr, 0, CrashWhenReportRuns, nullptr, 0, nullptr);
        CreateThread(nullptr, 0, CrashAfterGo, nullptr, 0, nullptr);
    } else {
        return 2;
    }
    Sleep(50);
    SetEvent(g_go);

    // The user-interface thread keeps running while a worker's report is made.
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
