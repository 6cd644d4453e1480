// The Windows version level (worked out once per process from the kernel's own version
// record) and the one-line description of the running Windows for the log header.
#pragma once

#include "ClassLib.h"

// Levels: 2 XP and Server 2003, 3 Vista, 4 Windows 7, 5 Windows 8, 6 Windows 8.1,
// 7 anything else (Windows 10 and later, Windows 2000, a failed version query).
enum WindowsLevel : int {
    WINLEVEL_XP = 2,
    WINLEVEL_VISTA = 3,
    WINLEVEL_7 = 4,
    WINLEVEL_8 = 5,
    WINLEVEL_81 = 6,
    WINLEVEL_LATER = 7,
};

// 1 on success; the record is zeroed (its size set) before the query.
int GetRtlVersion(RTL_OSVERSIONINFOEXW* out);
int WindowsLevelFromVersion(const RTL_OSVERSIONINFOEXW& version);
// Computed on the first call and cached for the process.
int GetWindowsLevel();
int IsWindowsAtLeast(int level);
int IsWindowsExactly(int level);

// The file version of the system's kernel32.dll; 1 when it could be read.
int GetKernel32Version(WORD parts[4]);

// Everything the description is made of, as the system reports it.
struct WindowsNameFacts {
    bool versionRead = false;
    RTL_OSVERSIONINFOEXW version{};
    bool kernel32Read = false;
    WORD kernel32Major = 0;
    WORD architecture = 0;     // PROCESSOR_ARCHITECTURE_*
    int serverR2 = 0;          // GetSystemMetrics(SM_SERVERR2)
    DWORD productType = 0;     // GetProductInfo
    DWORD updateRevision = 0;  // "UBR"
    CString productName;
    CString displayVersion;
    CString installDate;       // "InstallDate" as local "%c" text
};

WindowsNameFacts ReadWindowsNameFacts();
// Fills buffer (capacity characters, terminator included); every piece is cut to fit.
void BuildWindowsName(const WindowsNameFacts& facts, wchar_t* buffer, size_t capacity);
void GetWindowsName(wchar_t* buffer, size_t capacity);

// Seconds since 1970-01-01 UTC as local time formatted "%c"; "<unk>" when that fails.
CString InstallDateText(DWORD seconds);
