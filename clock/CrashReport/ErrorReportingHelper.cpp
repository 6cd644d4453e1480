#include "ErrorReportingHelper.h"
#include "CHandle.h"

#include "CrashReport/DumpDlg.h"
#include "CrashReport/PrepareLogsData.h"
#include "Log/LogMan.h"
#include "StringTable.h"
#include "SupportUtilities.h"

#include <dbghelp.h>

#include <cstdio>
#include <cstdlib>

bool g_crashHandlerInstalled = false;
volatile LONG g_crashEntryCount = 0;

namespace {

CErrorReportingHelper* g_helper = nullptr;

// Marks the threads that are inside the filter, so a crash in the report road itself ends
// the process at once instead of entering the filter again.
DWORD g_inFilterSlot = TLS_OUT_OF_INDEXES;

// The thread that crashed may hold the log's lock until the process ends.
constexpr DWORD kLogLockWaitMs = 1000;

[[noreturn]] void EndProcess()
{
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(-1));
    // TerminateProcess of the own process does not return; this keeps the promise if it did.
    ExitProcess(static_cast<UINT>(-1));
}

void BoundLogLock()
{
    if (CLogMan* log = GetAppLogMan()) log->SetCrashLockWait(kLogLockWaitMs);
}

const wchar_t* StoredZipPath()
{
    return g_helper ? g_helper->ZipPath() : L"";
}

// The one report of the run; it outlives the wait for its worker.
CrashReportThreadParam g_reportParam{};

// Runs the report on a fresh thread for the thread that crashed and waits a bounded time.
bool RunReportWorker(EXCEPTION_POINTERS* pointers, DWORD crashingThread, bool fullReport)
{
    g_reportParam = CrashReportThreadParam{pointers, crashingThread, fullReport};
    CHandle worker(CreateThread(nullptr, 0, CrashReportThreadProc, &g_reportParam, 0, nullptr));
    if (!worker) {
        ZN_LOG_ERROR(GetLastError(), L"CreateThread", LOG_ERROR);
        return false;
    }
    // A crash inside the heap or the loader leaves their locks held for good, and the worker
    // needs both: past the wait the report goes on as one without an archive.
    if (WaitForSingleObject(worker, g_helper ? g_helper->m_reportWaitMs : kCrashReportWaitMs) != WAIT_OBJECT_0) {
        ZN_LOG_ERROR(WAIT_TIMEOUT, L"CrashReportThreadProc", LOG_ERROR);
        return false;
    }
    DWORD exitCode = 0;
    GetExitCodeThread(worker, &exitCode);
    return true;
}

// What an overflowing thread hands to the standby thread.
struct OverflowRequest
{
    EXCEPTION_POINTERS* pointers;  // null: the handler is being removed
    DWORD threadId;
    LONG entry;
};
OverflowRequest g_overflow{};
volatile LONG g_overflowTaken = 0;

// What an overflowing thread waits beyond the report: File Explorer's few seconds and the log.
constexpr DWORD kOverflowRoadSlackMs = 30000;

// Made ready at install time: the overflowing thread has too little stack left to start a
// thread, so it only wakes this one, which does everything else.
DWORD WINAPI OverflowStandbyProc(void* go)
{
    WaitForSingleObject(static_cast<HANDLE>(go), INFINITE);
    const OverflowRequest request = g_overflow;
    if (!request.pointers) return 0;
    BoundLogLock();
    ZN_LOG(LOG_ERROR, request.entry);
    FlushLog();
    bool reported = true;
    if (request.entry <= 1) reported = RunReportWorker(request.pointers, request.threadId, true);
    ShowCrashMessageBox(request.pointers, reported ? StoredZipPath() : L"");
    InterlockedDecrement(&g_crashEntryCount);
    ZN_LOG(LOG_ERROR, L"END");
    FlushLog();
    return 0;
}

// The program's static clean-up.
struct CrashHandlerCleanup
{
    ~CrashHandlerCleanup() { RemoveCrashHandler(); }
} g_cleanup;

} // namespace

bool CErrorReportingHelper::Install(bool installFilter, int dumpType)
{
    m_dumpPath[0] = 0;
    m_zipPath[0] = 0;
    m_zipPathReady = 0;
    if (!m_writeDump) {
        DllLoader dbghelp(L"DBGHelp.dll", nullptr, false);
        if (!dbghelp.m_module) return false;
        m_writeDump = reinterpret_cast<MiniDumpWriteDumpFn>(
            reinterpret_cast<void*>(GetProcAddress(dbghelp.m_module, "MiniDumpWriteDump")));
    }

    wchar_t name[MAX_PATH] = {};
    swprintf(name, MAX_PATH, L"zn_bug_dump-%X.dmp", static_cast<unsigned>(GetCurrentThreadId()));
    // A folder too long for the whole dump path counts as none: a cut name, or (where the
    // call leaves the buffer empty) a path relative to the current folder, would put the
    // dump where nobody looks for it.
    const DWORD length = GetTempPathW(MAX_PATH, m_dumpPath);
    if (length == 0 || length + wcslen(name) >= MAX_PATH) {
        ZN_LOG_ERROR(length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE, L"GetTempPathW", LOG_ERROR);
        lstrcpynW(m_dumpPath, L"c:\\temp\\", MAX_PATH);
    }
    wcscat(m_dumpPath, name);
    ZN_LOG(LOG_ERROR, m_dumpPath);

    if (g_inFilterSlot == TLS_OUT_OF_INDEXES) g_inFilterSlot = TlsAlloc();
    if (installFilter) {
        m_previousFilter = SetUnhandledExceptionFilter(TopLevelExceptionFilter);
        m_filterInstalled = true;
        m_overflowHandler = AddVectoredExceptionHandler(1, StackOverflowHandler);
        if (!m_overflowStandby) {
            m_overflowGo.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            if (m_overflowGo)
                m_overflowStandby.Reset(CreateThread(nullptr, 0, OverflowStandbyProc, m_overflowGo.Get(), 0, nullptr));
            if (!m_overflowStandby) ZN_LOG_ERROR(GetLastError(), L"CreateThread", LOG_ERROR);
        }
    }
    m_dumpType = dumpType;
    g_crashHandlerInstalled = true;
    m_previousInvalidParameterHandler = _set_invalid_parameter_handler(InvalidParameterHandler);
    m_invalidParameterHandlerInstalled = true;
    return true;
}

void CErrorReportingHelper::Restore()
{
    // Put back even when there was none before: no handler of this object may outlive it.
    if (m_invalidParameterHandlerInstalled) _set_invalid_parameter_handler(m_previousInvalidParameterHandler);
    if (m_filterInstalled) SetUnhandledExceptionFilter(m_previousFilter);
    if (m_overflowHandler) RemoveVectoredExceptionHandler(m_overflowHandler);
    m_invalidParameterHandlerInstalled = false;
    m_filterInstalled = false;
    m_overflowHandler = nullptr;
    // The standby thread ends unless an overflow already woke it.
    if (m_overflowStandby && InterlockedExchange(&g_overflowTaken, 1) == 0) {
        g_overflow = OverflowRequest{};
        SetEvent(m_overflowGo);
        WaitForSingleObject(m_overflowStandby, 5000);
        g_overflowTaken = 0;
    }
    m_overflowStandby.Reset();
    m_overflowGo.Reset();
}

const wchar_t* CErrorReportingHelper::ZipPath() const
{
    return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_zipPathReady), 0, 0) ? m_zipPath : L"";
}

void CErrorReportingHelper::PublishZipPath(const wchar_t* path)
{
    lstrcpynW(m_zipPath, path ? path : L"", MAX_PATH + 1);
    // A thread that crashes meanwhile reads the path only after this: whole or not at all.
    InterlockedExchange(&m_zipPathReady, 1);
}

bool InstallCrashHandler(bool installFilter, int dumpType)
{
    auto* helper = new CErrorReportingHelper;
    RemoveCrashHandler();
    g_helper = helper;
    return helper->Install(installFilter, dumpType);
}

void RemoveCrashHandler()
{
    CErrorReportingHelper* helper = g_helper;
    g_helper = nullptr;
    if (!helper) return;
    helper->Restore();
    delete helper;
}

CErrorReportingHelper* GetErrorReportingHelper()
{
    return g_helper;
}

bool IsCrashing()
{
    return g_crashHandlerInstalled && g_helper && g_helper->m_crashing;
}

LONG WINAPI TopLevelExceptionFilter(EXCEPTION_POINTERS* pointers)
{
    if (g_inFilterSlot != TLS_OUT_OF_INDEXES) {
        if (TlsGetValue(g_inFilterSlot)) EndProcess();
        TlsSetValue(g_inFilterSlot, reinterpret_cast<void*>(1));
    }
    const LONG entry = InterlockedIncrement(&g_crashEntryCount);
    BoundLogLock();
    if (entry <= 1) {
        CrashWaitCursor wait;
        if (g_helper) g_helper->m_crashing = true;
        ZN_LOG(LOG_ERROR, entry);
        FlushLog();
        const wchar_t* zipPath = RunCrashReportOnWorkerThread(pointers, true) ? StoredZipPath() : L"";
        if (pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW)
            ShowCrashMessageBox(pointers, zipPath);
        else
            ShowCrashReportDialog(pointers, GetStr(SID_PRODUCT), zipPath);
    } else {
        ZN_LOG(LOG_ERROR, entry);
        ShowCrashMessageBox(pointers, StoredZipPath());
    }
    InterlockedDecrement(&g_crashEntryCount);
    ZN_LOG(LOG_ERROR, L"END");
    FlushLog();
    EndProcess();
}

LONG WINAPI StackOverflowHandler(EXCEPTION_POINTERS* pointers)
{
    if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) return EXCEPTION_CONTINUE_SEARCH;
    // About 2 KB of stack are left here, less than starting a thread may need: count, flag,
    // wake the standby thread and wait. None of these calls needs more than a few hundred bytes.
    const LONG entry = InterlockedIncrement(&g_crashEntryCount);
    CErrorReportingHelper* helper = g_helper;
    if (!helper || !helper->m_overflowStandby) EndProcess();
    if (entry <= 1) helper->m_crashing = true;
    if (InterlockedExchange(&g_overflowTaken, 1) == 0) {
        g_overflow = OverflowRequest{pointers, GetCurrentThreadId(), entry};
        SetEvent(helper->m_overflowGo);
    }
    // A second overflow waits for the first one's road, which ends the process.
    WaitForSingleObject(helper->m_overflowStandby, helper->m_reportWaitMs + kOverflowRoadSlackMs);
    EndProcess();
}

void __cdecl InvalidParameterHandler(const wchar_t* expression, const wchar_t* function, const wchar_t* file,
                                     unsigned line, uintptr_t)
{
    CLogMan* log = GetAppLogMan();
    if (!log || !log->IsOpen()) return;
    ZN_LOG(LOG_ERROR, L"Invalid parameter detected. " << (expression ? expression : L"<null>") << L":"
                                                      << (function ? function : L"<null>") << L":"
                                                      << (file ? file : L"<null>") << L":" << line);
    log->Flush();
}

bool RunCrashReportOnWorkerThread(EXCEPTION_POINTERS* pointers, bool fullReport)
{
    return RunReportWorker(pointers, GetCurrentThreadId(), fullReport);
}

DWORD WINAPI CrashReportThreadProc(void* argument)
{
    auto* param = static_cast<CrashReportThreadParam*>(argument);
    BoundLogLock();
    const bool done = param->fullReport ? WriteCrashReport(param) : WriteCrashDump(param);
    return done ? 1 : 0;
}

bool WriteCrashDump(CrashReportThreadParam* param)
{
    if (!g_crashHandlerInstalled || !g_helper || !g_helper->m_writeDump) return false;
    CHandle file(CreateFileW(g_helper->m_dumpPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ZN_LOG_ERROR(GetLastError(), g_helper->m_dumpPath, LOG_ERROR);
        return false;
    }
    MINIDUMP_EXCEPTION_INFORMATION exception{};
    exception.ThreadId = param->threadId;
    exception.ExceptionPointers = param->pointers;
    exception.ClientPointers = FALSE;
    const BOOL written = g_helper->m_writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, g_helper->m_dumpType,
                                               &exception, nullptr, nullptr);
    if (!written) ZN_LOG_ERROR(GetLastError(), L"MiniDumpWriteDump", LOG_ERROR);
    return written != FALSE;
}

void LogCrashSystemInfo(CrashReportThreadParam* param)
{
    CLogMan* log = GetAppLogMan();
    if (!log || !log->IsOpen()) return;
    const EXCEPTION_RECORD* record = param->pointers->ExceptionRecord;
    ZN_LOG(LOG_WARNING, L"Exception code: " << HexText(record->ExceptionCode, TRUE).GetString() << L" address: "
                                            << HexText(reinterpret_cast<ULONG_PTR>(record->ExceptionAddress), TRUE)
                                                   .GetString());
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    ZN_LOG(LOG_WARNING, system.dwNumberOfProcessors << L" processor(s), type " << system.dwProcessorType);
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    if (!GlobalMemoryStatusEx(&memory)) return;
    ZN_LOG(LOG_WARNING, memory.dwMemoryLoad << L" percent of memory in use.");
    ZN_LOG(LOG_WARNING, (memory.ullTotalPhys >> 20) << L" MB physical memory.");
    ZN_LOG(LOG_WARNING, (memory.ullAvailPhys >> 20) << L" MB physical memory free.");
    ZN_LOG(LOG_WARNING, (memory.ullTotalPageFile >> 20) << L" MB paging file.");
    ZN_LOG(LOG_WARNING, (memory.ullAvailPageFile >> 20) << L" MB paging file free.");
    ZN_LOG(LOG_WARNING, (memory.ullTotalVirtual >> 20) << L" MB user address space.");
    ZN_LOG(LOG_WARNING, (memory.ullAvailVirtual >> 20) << L" MB user address space free.");
    ZN_LOG(LOG_WARNING, (memory.ullAvailExtendedVirtual >> 20) << L" MB extended memory free.");
}

bool WriteCrashReport(CrashReportThreadParam* param)
{
    if (!WriteCrashDump(param)) return false;
    LogCrashSystemInfo(param);
    CPrepareLogsData request;
    request.SetRequest(LOGS_NONE, 1, 1, g_helper->m_dumpPath);
    request.PrepareZipReal();
    g_helper->PublishZipPath(request.m_zipPath);
    return true;
}
