// A wait for handles that keeps the user-interface thread's messages flowing.
#pragma once

#include "ClassLib.h"

// The result when a WM_QUIT arrived during the wait; a new WM_QUIT (exit code 1) is then
// posted, so the thread's own message loop ends as well.
constexpr DWORD kWaitQuitReceived = 0x1000000F;

// Waits for any of the handles while dispatching every message that arrives.
// timeout: milliseconds, or INFINITE (-1) for none. Results: the index of the signalled
// handle, WAIT_TIMEOUT, kWaitQuitReceived, WAIT_FAILED, or an abandoned-mutex result.
DWORD WaitWithMessageLoop(DWORD count, const HANDLE* handles, DWORD timeout, DWORD wakeMask);
