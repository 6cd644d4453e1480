// CErrorReportingHelper: the process-wide crash-report object. An unhandled exception on
// any thread becomes a minidump, a few lines of system information in the log, a
// diagnostic archive and the crash dialog (or a message box); the process then ends with
// exit code -1. It also logs the C runtime's invalid-parameter reports.
#pragma once

#include "CHandle.h"
#include "ClassLib.h"

#include <cstdint>

// The dump type the clock asks for: handle data, unloaded modules, process-thread data,
// full memory information, thread information, full auxiliary state, inaccessible memory
// ignored, token information.
constexpr int kCrashDumpType = 0x69924;
// How long a crashing thread waits for the report worker: enough for a minidump on a busy
// disk. A worker that takes longer is taken to be stuck on a lock the crash left held.
constexpr DWORD kCrashReportWaitMs = 120000;

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, int, const void*, const void*, const void*);
using InvalidParameterHandlerFn = void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t);

class CErrorReportingHelper
{
public:
    CErrorReportingHelper() = default;
    CErrorReportingHelper(const CErrorReportingHelper&) = delete;
    CErrorReportingHelper& operator=(const CErrorReportingHelper&) = delete;

    // False when DBGHelp.dll cannot be loaded: nothing is installed then. With installFilter
    // false the unhandled-exception filter is left as it is.
    bool Install(bool installFilter, int dumpType);
    // Puts back the handlers that were there before Install.
    void Restore();

    // The archive's path as the report made it, for any thread: empty until the whole path
    // is there.
    const wchar_t* ZipPath() const;
    void PublishZipPath(const wchar_t* path);

    volatile bool m_crashing = false;
    wchar_t m_dumpPath[MAX_PATH + 1] = {};
    int m_dumpType = 0;
    DWORD m_reportWaitMs = kCrashReportWaitMs;  // tests shorten it
    MiniDumpWriteDumpFn m_writeDump = nullptr;
    LPTOP_LEVEL_EXCEPTION_FILTER m_previousFilter = nullptr;
    InvalidParameterHandlerFn m_previousInvalidParameterHandler = nullptr;
    // The thread a stack overflow hands its report to, and the event that wakes it.
    CHandle m_overflowStandby;
    CHandle m_overflowGo;

private:
    wchar_t m_zipPath[MAX_PATH + 1] = {};
    volatile LONG m_zipPathReady = 0;
    bool m_filterInstalled = false;
    bool m_invalidParameterHandlerInstalled = false;
    void* m_overflowHandler = nullptr;
};

// The record the report worker gets. There is one for the run: a worker that outlives the
// crashing thread's wait still reads it.
struct CrashReportThreadParam
{
    EXCEPTION_POINTERS* pointers;
    DWORD threadId;    // the crashing thread
    bool fullReport;   // dump, system information and archive; else the dump only
};

extern bool g_crashHandlerInstalled;
extern volatile LONG g_crashEntryCount;

// Replaces the crash-report object (restoring and deleting an earlier one) and installs it.
bool InstallCrashHandler(bool installFilter, int dumpType);
// Restores and deletes the crash-report object; the pointer is cleared.
void RemoveCrashHandler();
CErrorReportingHelper* GetErrorReportingHelper();
// True once a crash report has begun.
bool IsCrashing();

// The unhandled-exception filter; it ends the process.
LONG WINAPI TopLevelExceptionFilter(EXCEPTION_POINTERS* pointers);
// Wine never calls the unhandled-exception filter for a stack overflow, so a vectored
// handler takes that one exception; it wakes the standby thread and ends the process.
LONG WINAPI StackOverflowHandler(EXCEPTION_POINTERS* pointers);
void __cdecl InvalidParameterHandler(const wchar_t* expression, const wchar_t* function, const wchar_t* file,
                                     unsigned line, uintptr_t reserved);

// True when the worker ended within the helper's report wait.
bool RunCrashReportOnWorkerThread(EXCEPTION_POINTERS* pointers, bool fullReport);
DWORD WINAPI CrashReportThreadProc(void* param);
bool WriteCrashDump(CrashReportThreadParam* param);
void LogCrashSystemInfo(CrashReportThreadParam* param);
bool WriteCrashReport(CrashReportThreadParam* param);
