// Counts of a process's kernel handles and GDI objects that also work under Wine, where
// GetProcessHandleCount and GetGuiResources answer 0.
#pragma once

#include <windows.h>

namespace zntest {

// Kernel handles of a process (this one when omitted).
DWORD HandleCount();
DWORD HandleCount(DWORD processId);
// The least of a few counts: the system keeps a handle of its own open for a moment now and
// then, which a leak count must not see.
DWORD SettledHandleCount(DWORD processId);

// Live GDI objects of this process.
DWORD GdiObjectCount();
// GdiObjectCount is trusted only when it sees objects come and go.
bool GdiCountWorks();

// Windows of this process: top-level, message-only and their children. Under Wine the
// count of user objects (GetGuiResources) is always 0; windows are what can be counted.
DWORD WindowCount();

} // namespace zntest
