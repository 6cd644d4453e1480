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
    return g_helper ? g_helper->m_zipPath : L"";
}

// The stack overflow road on a fresh thread: all the overflowing thread cannot do with the
// little stack it has left.
struct OverflowParam
{
    EXCEPTION_POINTERS* pointers;
    DWORD threadId;
    LONG entry;
};

DWORD WINAPI StackOverflowThreadProc(void* argument)
{
    auto* overflow = static_cast<OverflowParam*>(argument);
    BoundLogLock();
    ZN_LOG(LOG_ERROR, overflow->entry);
    FlushLog();
    if (overflow->entry <= 1) {
        CrashReportThreadParam param{overflow->pointers, overflow->threadId, true};
        WriteCrashReport(&param);
    }
    ShowCrashMessageBox(overflow->pointers, StoredZipPath());
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
    if (!m_writeDump) {
        DllLoader dbghelp(L"DBGHelp.dll", nullptr, false);
        if (!dbghelp.m_module) return false;
        m_writeDump = reinterpret_cast<MiniDumpWriteDumpFn>(
            reinterpret_cast<void*>(GetProcAddress(dbghelp.m_module, "MiniDumpWriteDump")));
    }

    if (GetTempPathW(MAX_PATH, m_dumpPath) == 0) {
        ZN_LOG_ERROR(GetLastError(), L"GetTempPathW", LOG_ERROR);
        lstrcpynW(m_dumpPath, L"c:\\temp\\", MAX_PATH);
    }
    wchar_t name[MAX_PATH] = {};
    swprintf(name, MAX_PATH, L"zn_bug_dump-%X.dmp", static_cast<unsigned>(GetCurrentThreadId()));
    const size_t used = wcslen(m_dumpPath);
    if (used < MAX_PATH) wcsncat(m_dumpPath, name, MAX_PATH - used);
    ZN_LOG(LOG_ERROR, m_dumpPath);

    if (g_inFilterSlot == TLS_OUT_OF_INDEXES) g_inFilterSlot = TlsAlloc();
    if (installFilter) {
        m_previousFilter = SetUnhandledExceptionFilter(TopLevelExceptionFilter);
        m_filterInstalled = true;
        m_overflowHandler = AddVectoredExceptionHandler(1, StackOverflowHandler);
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
        RunCrashReportOnWorkerThread(pointers, true);
        if (pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW)
            ShowCrashMessageBox(pointers, StoredZipPath());
        else
            ShowCrashReportDialog(pointers, GetStr(SID_PRODUCT), StoredZipPath());
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
    // About 2 KB of stack are left here: count, flag, and hand everything else to a thread.
    OverflowParam param{pointers, GetCurrentThreadId(), InterlockedIncrement(&g_crashEntryCount)};
    if (param.entry <= 1 && g_helper) g_helper->m_crashing = true;
    HANDLE worker = CreateThread(nullptr, 0, StackOverflowThreadProc, &param, 0, nullptr);
    if (worker) WaitForSingleObject(worker, INFINITE);
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

void RunCrashReportOnWorkerThread(EXCEPTION_POINTERS* pointers, bool fullReport)
{
    CrashReportThreadParam param{pointers, GetCurrentThreadId(), fullReport};
    CHandle worker(CreateThread(nullptr, 0, CrashReportThreadProc, &param, 0, nullptr));
    if (!worker) {
        ZN_LOG_ERROR(GetLastError(), L"CreateThread", LOG_ERROR);
        return;
    }
    WaitForSingleObject(worker, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeThread(worker, &exitCode);
}

DWORD WINAPI CrashReportThreadProc(void* argument)
{
    auto* param = static_cast<CrashReportThreadParam*>(argument);
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
    lstrcpynW(g_helper->m_zipPath, request.m_zipPath, MAX_PATH + 1);
    return true;
}
