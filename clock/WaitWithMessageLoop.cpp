#include "WaitWithMessageLoop.h"

#include "CHandle.h"
#include "Log/LogMan.h"

#include <vector>

namespace {
// Dispatches everything queued; true when WM_QUIT came (it is not dispatched, and what
// follows it stays queued).
bool DispatchQueued()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return true;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return false;
}
}

DWORD WaitWithMessageLoop(DWORD count, const HANDLE* handles, DWORD timeout, DWORD wakeMask)
{
    const bool timed = timeout != INFINITE;
    DWORD result;
    {
        // The one-shot timer carries the time-out as handle 0 of the wait.
        CWaitableTimerHandle timer;
        std::vector<HANDLE> all;
        if (timed) {
            timer.Reset(CreateWaitableTimerW(nullptr, FALSE, nullptr));
            LARGE_INTEGER due;
            due.QuadPart = -static_cast<LONGLONG>(timeout) * 10000;  // relative, in 100 ns units
            if (!timer || !SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
                ZN_LOG_ERROR(GetLastError(), L"waitable timer", LOG_ERROR);
                return ZN_LOG_ERROR(ERROR_INVALID_HANDLE, L"", LOG_ERROR);
            }
            all.push_back(timer);
        }
        if (handles) all.insert(all.end(), handles, handles + count);
        const DWORD n = static_cast<DWORD>(all.size());

        for (;;) {
            DWORD r = MsgWaitForMultipleObjects(n, all.data(), FALSE, INFINITE, wakeMask);
            if (r == WAIT_OBJECT_0 + n) {
                // MsgWaitForMultipleObjects wakes only for input that is new since the last
                // look at the queue, so everything queued is dispatched now.
                if (DispatchQueued()) {
                    ZN_LOG_ERROR(0x12, L"WM_QUIT", LOG_ERROR);
                    result = kWaitQuitReceived;
                    break;
                }
                continue;
            }
            if (r < WAIT_OBJECT_0 + n) {
                result = !timed ? r : (r == WAIT_OBJECT_0 ? WAIT_TIMEOUT : r - 1);
                break;
            }
            if (r == WAIT_FAILED) {
                DWORD error = GetLastError();
                // A worker thread that closes its own handle while it is waited on ends here.
                if (error == ERROR_INVALID_HANDLE) ZN_LOG(LOG_INFO, L"0");
                else {
                    ZN_LOG_ERROR(1, L"MsgWaitForMultipleObjects", LOG_ERROR);
                    ZN_LOG_ERROR(error, L"MsgWaitForMultipleObjects", LOG_ERROR);
                }
                result = WAIT_FAILED;
                break;
            }
            DWORD error = GetLastError();
            ZN_LOG_ERROR(r, L"Unknown", LOG_ERROR);
            ZN_LOG_ERROR(error, L"", LOG_ERROR);
            ZN_LOG_ERROR(1, L"", LOG_ERROR);
            result = r;
            break;
        }
        if (const DWORD error = timer.Close()) ZN_LOG_ERROR(error, L"CloseHandle", LOG_ERROR);
    }
    if (result == kWaitQuitReceived) PostQuitMessage(1);
    return result;
}
