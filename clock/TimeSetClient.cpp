#include "TimeSetClient.h"

#include "Globals.h"
#include "Log/LogMan.h"
#include "PipeProtocol.h"
#include "SupportWindowsVersion.h"

namespace {

constexpr DWORD kServiceRunning = SERVICE_RUNNING;

// One overlapped transfer on the service pipe, bounded by timeoutMs; the error code (0 on
// success). A transfer that runs out of time is cancelled and waited for before its
// OVERLAPPED goes.
DWORD PipeTransfer(HANDLE pipe, bool write, void* buffer, DWORD size, DWORD* done, DWORD timeoutMs)
{
    *done = 0;
    CHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return GetLastError();
    OVERLAPPED ov{};
    ov.hEvent = event.Get();
    BOOL ok = write ? WriteFile(pipe, buffer, size, nullptr, &ov) : ReadFile(pipe, buffer, size, nullptr, &ov);
    DWORD error = ok ? 0 : GetLastError();
    if (error == ERROR_IO_PENDING) {
        if (WaitForSingleObject(ov.hEvent, timeoutMs) != WAIT_OBJECT_0) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &ov, done, TRUE);
            *done = 0;
            return WAIT_TIMEOUT;
        }
        error = 0;
    }
    if (error == 0 && !GetOverlappedResult(pipe, &ov, done, FALSE)) error = GetLastError();
    return error;
}

// Opens the service's pipe, waiting while its one instance serves another client, but no
// longer than busyWaitMs in all; INVALID_HANDLE_VALUE with the last error on failure.
HANDLE OpenServicePipe(const wchar_t* name, DWORD busyWaitMs)
{
    const ULONGLONG deadline = GetTickCount64() + busyWaitMs;
    for (;;) {
        // Identification only: the service may learn who asks, never act as this user. The
        // exchange is overlapped so that a service that does not answer cannot hold the
        // user-interface thread for longer than the time-out.
        HANDLE pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) return pipe;
        const DWORD error = GetLastError();
        const ULONGLONG now = GetTickCount64();
        if (error != ERROR_PIPE_BUSY || now >= deadline) return INVALID_HANDLE_VALUE;
        // Whatever the wait says, the next open tells; a failed open keeps the busy error.
        WaitNamedPipeW(name, static_cast<DWORD>(deadline - now));
        SetLastError(error);
    }
}

} // namespace

CTimeSetClient::CTimeSetClient() : m_pipeName(kTimeSetPipeName), m_serviceName(kTimeServiceName)
{
    m_tokenPrivileges.PrivilegeCount = 1;
}

BOOL CTimeSetClient::SetTime(const SYSTEMTIME& time, const DirectSet& setDirectly)
{
    BOOL set = FALSE;
    if (!IsWindowsAtLeast(WINLEVEL_VISTA) || g_canSetClock) {
        if (EnablePrivilege()) {
            set = setDirectly(time);
            if (!set) ZN_LOG_ERROR(GetLastError(), L"SetSystemTime", LOG_ERROR);
        }
        RestorePrivilege();
    } else {
        set = SendTimeToService(time);
        if (!set) ZN_LOG_ERROR(GetLastError(), L"SendTimeToService", LOG_ERROR);
    }
    return set;
}

BOOL CTimeSetClient::EnablePrivilege()
{
    m_privilegeEnabled = FALSE;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, m_token.Out())) {
        DWORD error = ZN_LOG_ERROR(GetLastError(), L"OpenProcessToken", LOG_ERROR);
        m_token.Release();
        if (error != ERROR_CALL_NOT_IMPLEMENTED) return FALSE;
        // A system without token security.
        SetLastError(0);
        return TRUE;
    }
    if (!LookupPrivilegeValueW(nullptr, SE_SYSTEMTIME_NAME, &m_tokenPrivileges.Privileges[0].Luid)) {
        ZN_LOG_ERROR(GetLastError(), L"LookupPrivilegeValue", LOG_ERROR);
        return FALSE;
    }
    m_tokenPrivileges.PrivilegeCount = 1;
    m_tokenPrivileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    m_privilegeEnabled = TRUE;
    BOOL ok = AdjustTokenPrivileges(m_token, FALSE, &m_tokenPrivileges, 0, nullptr, nullptr);
    // ERROR_NOT_ALL_ASSIGNED (privilege not held) is logged while the call counts as done.
    if (DWORD error = GetLastError()) ZN_LOG_ERROR(error, L"AdjustTokenPrivileges", LOG_ERROR);
    return ok;
}

void CTimeSetClient::RestorePrivilege()
{
    if (m_privilegeEnabled) {
        m_tokenPrivileges.Privileges[0].Attributes = 0;
        if (!AdjustTokenPrivileges(m_token, FALSE, &m_tokenPrivileges, 0, nullptr, nullptr))
            ZN_LOG_ERROR(GetLastError(), L"AdjustTokenPrivileges", LOG_ERROR);
        m_privilegeEnabled = FALSE;
    }
    if (DWORD error = m_token.Close()) ZN_LOG_ERROR(error, L"CloseHandle token", LOG_ERROR);
}

DWORD CTimeSetClient::QueryServiceState()
{
    if (!IsWindowsAtLeast(WINLEVEL_VISTA)) return 0;
    DWORD state = 0;
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, GENERIC_READ));
    if (!manager) {
        ReportErrorAt(GetLastError(), 126);
        return 0;
    }
    CServiceHandle service(OpenServiceW(manager, m_serviceName, SERVICE_QUERY_STATUS));
    if (!service) {
        ReportErrorAt(GetLastError(), 118);
    } else {
        SERVICE_STATUS status{};
        if (QueryServiceStatus(service, &status))
            state = status.dwCurrentState;
        else
            ReportErrorAt(GetLastError(), 109);
        if (DWORD error = service.Close()) ReportErrorAt(error, 113);
    }
    if (DWORD error = manager.Close()) ReportErrorAt(error, 122);
    return state;
}

BOOL CTimeSetClient::SendTimeToService(const SYSTEMTIME& time)
{
    DWORD state = QueryServiceState();
    if (state != kServiceRunning) {
        ZN_LOG_ERROR(state, L"service state", LOG_ERROR);
        switch (state) {
        case 0: ReportErrorAt(0, 537); break;
        case SERVICE_STOPPED: ReportFailure(L"service stopped"); break;
        case SERVICE_START_PENDING: ReportFailure(L"service start pending"); break;
        case SERVICE_STOP_PENDING: ReportFailure(L"service stop pending"); break;
        case SERVICE_CONTINUE_PENDING: ReportFailure(L"service continue pending"); break;
        case SERVICE_PAUSE_PENDING: ReportFailure(L"service pause pending"); break;
        case SERVICE_PAUSED: ReportFailure(L"service paused"); break;
        default: ReportFailure(L"service status unknown"); break;
        }
        return FALSE;
    }

    CHandle pipe(OpenServicePipe(m_pipeName, m_pipeBusyWaitMs));
    if (!pipe) {
        ReportErrorAt(GetLastError(), 595);
        return FALSE;
    }
    auto closePipe = [&](int tag) {
        if (DWORD error = pipe.Close()) ReportErrorAt(error, tag);
    };

    static_assert(sizeof(time) == kTimeSetRequestSize && sizeof(DWORD) == kTimeSetReplySize, "the pipe's formats");
    SYSTEMTIME request = time;
    DWORD done = 0;
    if (DWORD error = PipeTransfer(pipe, true, &request, sizeof(request), &done, m_pipeTimeoutMs)) {
        ReportErrorAt(error, 606);
        closePipe(608);
        return FALSE;
    }
    if (done != sizeof(request)) {
        ReportErrorAt(GetLastError(), 613);
        closePipe(615);
        return FALSE;
    }
    DWORD reply = 0xFFFFFFFF;
    if (DWORD error = PipeTransfer(pipe, false, &reply, sizeof(reply), &done, m_pipeTimeoutMs)) {
        ReportErrorAt(error, 626);
        closePipe(628);
        return FALSE;
    }
    if (done != sizeof(reply)) {
        ReportErrorAt(done, 633);
        closePipe(635);
        return FALSE;
    }
    closePipe(643);
    if (reply != 0) {
        ReportErrorAt(reply, 640);
        return FALSE;
    }
    return TRUE;
}

void CTimeSetClient::ReportFailure(const wchar_t* text)
{
    if (m_statusSink) m_statusSink(text, TRUE);
}

void CTimeSetClient::ReportErrorAt(DWORD code, int tag)
{
    CString line;
    line.Format(L"error %#08x L:%d", code, tag);
    if (m_statusSink) m_statusSink(line, FALSE);
}
