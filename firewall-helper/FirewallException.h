// The Windows Firewall exception that lets the clock send its time requests: an outbound
// UDP rule to remote port 123 (Windows Vista and later), or an authorised-application
// entry (before). vostrel.dll's AddInfo is this with the library's own version level.
#pragma once

#include "Win.h"

// Windows version level as the system reports it to this library: 1 the Windows 9x family,
// 2 XP and Server 2003, 3 Vista, 4 Windows 7, 5 Windows 8, 6 Windows 8.1, 7 anything else.
// Cached after the first call.
int GetWindowsVersionLevel();
int WindowsVersionLevelFrom(DWORD getVersion, const OSVERSIONINFOW* version);

// 0 on success. Level 3 or more: 1 on any failure. Below: the failing step's FW_ERROR_CODE.
// A path that is not a full path of fewer than MAX_PATH characters is refused before any
// call (1 for the rule model, 8 for the older one).
int AddFirewallException(const wchar_t* path, int windowsLevel);
