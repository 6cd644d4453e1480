#include "Kestrom.h"

#include "LogMan.h"
#include "Support.h"

#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cwchar>

const wchar_t kServiceDisplayName[] = L"Zarnock Synchronization Service www.mervale-software.example";
const wchar_t kServiceDescription[] = L"Synchronizes your computer clock with an Internet time server. If this "
                                      L"service is not running, Zarnock will not be able to update your computer "
                                      L"clock.";
const wchar_t CTimeSetPipe::kPipeSecurity[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;WD)";

namespace {

constexpr DWORD kStartWaitHint = 3000;
constexpr DWORD kStopWaitHint = 10000;
// Advisory pipe buffer sizes, as the service has always asked for them.
constexpr DWORD kOutBufferSize = 16;
constexpr DWORD kInBufferSize = 4;
// The image path is quoted into a buffer of MAX_PATH characters.
constexpr DWORD kMaxModulePath = MAX_PATH - 2;

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
// Set by the control handler on the dispatcher thread, waited for by the service thread.
std::atomic<HANDLE> g_stopEvent{nullptr};

bool MatchesSwitch(const wchar_t* argument, size_t length, const wchar_t* name)
{
    int nameLength = lstrlenW(name);
    int compared = static_cast<int>(std::min(length, static_cast<size_t>(nameLength)));
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, argument, compared, name, nameLength) == CSTR_EQUAL;
}

void SetServiceDescription(SC_HANDLE service)
{
    CModuleHandle advapi(LoadLibraryW(L"ADVAPI32.DLL"));
    if (!advapi) {
        KS_LOG_FAILED(GetLastError());
        return;
    }
    using ChangeConfig2Fn = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);
    FARPROC proc = GetProcAddress(advapi.Get(), "ChangeServiceConfig2W");
    if (!proc) {
        KS_LOG_FAILED(GetLastError());
    } else {
        auto changeConfig2 = reinterpret_cast<ChangeConfig2Fn>(reinterpret_cast<void*>(proc));
        SERVICE_DESCRIPTIONW description = {const_cast<LPWSTR>(kServiceDescription)};
        if (!changeConfig2(service, SERVICE_CONFIG_DESCRIPTION, &description))
            KS_LOG_FAILED(GetLastError());
    }
    if (DWORD error = advapi.Close())
        KS_LOG_FAILED(error);
}

bool CreateAndStartService(SC_HANDLE manager)
{
    wchar_t module[kMaxModulePath + 1];
    DWORD length = GetModuleFileNameW(nullptr, module, kMaxModulePath + 1);
    // A cut-off path would register a program that does not exist.
    if (length == 0 || length > kMaxModulePath) {
        KS_LOG_FAILED(length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::wstring imagePath = L"\"";
    imagePath.append(module, length);
    imagePath += L"\"";

    CServiceHandle service(CreateServiceW(manager, kTimeServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, imagePath.c_str(), nullptr, nullptr,
        nullptr, nullptr, nullptr));
    if (!service) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_EXISTS)
            return true;
        KS_LOG_FAILED(error);
        return false;
    }
    SetServiceDescription(service.Get());

    // The started service creates "kestrom.log" anew, which it cannot while this process
    // still holds it.
    if (CLogMan* log = GetLogMan())
        log->Close();
    if (!StartServiceW(service.Get(), 0, nullptr))
        KS_LOG_FAILED(GetLastError());
    if (DWORD error = service.Close())
        KS_LOG_FAILED(error);
    return true;
}

bool StopAndDeleteService(SC_HANDLE manager)
{
    CServiceHandle service(OpenServiceW(manager, kTimeServiceName, SERVICE_STOP | DELETE));
    if (!service) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST)
            return true;
        KS_LOG_FAILED(error);
        return false;
    }
    SERVICE_STATUS status;
    if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE)
            KS_LOG_FAILED(error);
    }
    Sleep(200);
    bool deleted = DeleteService(service.Get()) != 0;
    if (!deleted)
        KS_LOG_FAILED(GetLastError());
    if (DWORD error = service.Close())
        KS_LOG_FAILED(error);
    return deleted;
}

// Start-up steps and the serve loop. checkPoint is the last start-pending checkpoint tried,
// so the stop-pending report can count on from it. Returns the error that ended the service.
DWORD StartAndServe(CTimeSetPipe& pipe, CHandle& stopEvent, DWORD& checkPoint)
{
    checkPoint = 1;
    if (!ReportServiceStatus(SERVICE_START_PENDING, 0, checkPoint, kStartWaitHint))
        return GetLastError();
    stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent)
        return KS_LOG_FAILED(GetLastError());
    g_stopEvent = stopEvent.Get();

    checkPoint = 2;
    if (!ReportServiceStatus(SERVICE_START_PENDING, 0, checkPoint, kStartWaitHint))
        return GetLastError();
    if (DWORD error = pipe.CreateEvents())
        return error;

    checkPoint = 3;
    if (!ReportServiceStatus(SERVICE_START_PENDING, 0, checkPoint, kStartWaitHint))
        return GetLastError();
    if (DWORD error = pipe.CreatePipe())
        return error;

    checkPoint = 4;
    if (!ReportServiceStatus(SERVICE_START_PENDING, 0, checkPoint, kStartWaitHint))
        return GetLastError();
    ReportServiceStatus(SERVICE_RUNNING, 0, 0, 0);
    return pipe.Serve(stopEvent.Get());
}

} // namespace

KestromCommand ParseCommandLine(const wchar_t* commandLine)
{
    KestromCommand command;
    const wchar_t* p = commandLine ? commandLine : L"";
    if (*p == L'"') {
        p = wcschr(p + 1, L'"');
        if (!p)
            return command;
        ++p;
    } else {
        p = wcschr(p, L' ');
        if (!p)
            return command;
    }
    while (*p == L' ')
        ++p;
    const wchar_t* end = p;
    while (*end && *end != L' ')
        ++end;
    if (end == p)
        return command;

    command.argument.assign(p, end);
    size_t length = static_cast<size_t>(end - p);
    if (MatchesSwitch(p, length, L"-install"))
        command.kind = KestromCommand::Install;
    else if (MatchesSwitch(p, length, L"-uninstall"))
        command.kind = KestromCommand::Uninstall;
    else
        command.kind = KestromCommand::Unknown;
    return command;
}

int KestromMain(const wchar_t* commandLine)
{
    KestromCommand command = ParseCommandLine(commandLine);
    switch (command.kind) {
    case KestromCommand::Run: {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kTimeServiceName), ServiceMain}, {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table))
            KS_LOG_FAILED(GetLastError());
        break;
    }
    case KestromCommand::Install:
        InstallService();
        break;
    case KestromCommand::Uninstall:
        UninstallService();
        break;
    case KestromCommand::Unknown:
        KS_LOG(GetLastError(), command.argument.c_str());
        break;
    }
    return 0;
}

namespace {

// Runs one task on the Service Control Manager opened with the access the task needs; a
// failed close of the manager is logged as well, whatever the task's result.
bool WithServiceManager(DWORD access, bool (*task)(SC_HANDLE manager))
{
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, access));
    if (!manager) {
        KS_LOG_FAILED(GetLastError());
        return false;
    }
    bool result = task(manager.Get());
    if (DWORD error = manager.Close())
        KS_LOG_FAILED(error);
    return result;
}

} // namespace

bool InstallService()
{
    return WithServiceManager(SC_MANAGER_CREATE_SERVICE, CreateAndStartService);
}

bool UninstallService()
{
    return WithServiceManager(SC_MANAGER_CONNECT, StopAndDeleteService);
}

bool ReportServiceStatus(DWORD state, DWORD exitCode, DWORD checkPoint, DWORD waitHint)
{
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    // Stop is taken only while running: during start-up the event may not exist yet, and
    // once stopping, the event is about to be closed.
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwServiceSpecificExitCode = 0;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    if (!SetServiceStatus(g_statusHandle, &status)) {
        KS_LOG_FAILED(GetLastError());
        return false;
    }
    return true;
}

void WINAPI ServiceCtrlHandler(DWORD control)
{
    if (control != SERVICE_CONTROL_STOP)
        return;
    if (!SetEvent(g_stopEvent.load()))
        KS_LOG_FAILED(GetLastError());
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    g_statusHandle = RegisterServiceCtrlHandlerW(kTimeServiceName, ServiceCtrlHandler);
    if (!g_statusHandle) {
        KS_LOG_FAILED(GetLastError());
        return;
    }
    CTimeSetPipe pipe;
    CHandle stopEvent;
    DWORD checkPoint = 0;
    DWORD exitCode = StartAndServe(pipe, stopEvent, checkPoint);

    ReportServiceStatus(SERVICE_STOP_PENDING, 0, checkPoint + 1, kStopWaitHint);
    pipe.Close();
    g_stopEvent = nullptr;
    if (DWORD error = stopEvent.Close())
        KS_LOG_FAILED(error);
    ReportServiceStatus(SERVICE_STOPPED, exitCode, 0, 0);
}

CTimeSetPipe::CTimeSetPipe(const wchar_t* name, DWORD clientTimeoutMs) : m_name(name), m_clientTimeoutMs(clientTimeoutMs)
{
}

DWORD CTimeSetPipe::CreateEvents()
{
    for (CHandle* event : {&m_connectEvent, &m_readEvent, &m_writeEvent}) {
        event->Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!*event)
            return KS_LOG_FAILED(GetLastError());
    }
    return 0;
}

DWORD CTimeSetPipe::CreatePipe()
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSecurity, SDDL_REVISION_1, &descriptor, nullptr))
        attributes.lpSecurityDescriptor = descriptor;
    else
        KS_LOG_FAILED(GetLastError());
    CLocalMemory descriptorOwner(descriptor);

    // One instance, and the first: nobody else can hold the name before the service, or
    // put up a second instance that the clock would talk to instead.
    m_pipe.Reset(CreateNamedPipeW(m_name.c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE, kPipeMode, 1, kOutBufferSize,
        kInBufferSize, 0, &attributes));
    DWORD error = m_pipe ? 0 : GetLastError();
    if (error)
        KS_LOG_FAILED(error);
    return error;
}

void CTimeSetPipe::Close()
{
    for (DWORD error : {m_pipe.Close(), m_connectEvent.Close(), m_readEvent.Close(), m_writeEvent.Close()}) {
        if (error)
            KS_LOG_FAILED(error);
    }
}

void CTimeSetPipe::Disconnect()
{
    if (!DisconnectNamedPipe(m_pipe.Get()))
        KS_LOG_CLIENT_FAILED(GetLastError());
}

DWORD CTimeSetPipe::Serve(HANDLE stopEvent)
{
    HANDLE pipe = m_pipe.Get();
    for (;;) {
        OVERLAPPED connect = {};
        connect.hEvent = m_connectEvent.Get();
        bool pending = false;
        if (ConnectNamedPipe(pipe, &connect)) {
            if (!SetEvent(connect.hEvent))
                KS_LOG_FAILED(GetLastError());
        } else {
            DWORD error = GetLastError();
            if (error == ERROR_PIPE_CONNECTED) {
                if (!SetEvent(connect.hEvent))
                    KS_LOG_FAILED(GetLastError());
            } else if (error == ERROR_IO_PENDING) {
                pending = true;
            } else if (error == ERROR_NO_DATA) {
                // A client came and went before the connect: only that connection is lost.
                KS_LOG_CLIENT_FAILED(error);
                Disconnect();
                continue;
            } else {
                return KS_LOG_FAILED(error);
            }
        }

        // The connect event first: a client already waiting is served before a stop.
        HANDLE events[] = {connect.hEvent, stopEvent};
        DWORD wait = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (wait != WAIT_OBJECT_0) {
            DWORD result = 0;
            if (wait != WAIT_OBJECT_0 + 1)
                result = KS_LOG(wait == WAIT_FAILED ? GetLastError() : wait, L"Unknown");
            if (pending) {
                DWORD ignored;
                CancelIoEx(pipe, &connect);
                GetOverlappedResult(pipe, &connect, &ignored, TRUE);
            }
            return result;
        }
        DWORD ignored;
        if (pending && !GetOverlappedResult(pipe, &connect, &ignored, FALSE)) {
            DWORD error = GetLastError();
            if (error != ERROR_PIPE_CONNECTED) {
                KS_LOG_CLIENT_FAILED(error);
                Disconnect();
                if (!ResetEvent(connect.hEvent))
                    KS_LOG_FAILED(GetLastError());
                continue;
            }
        }

        bool stop = ServeClient(stopEvent);
        Disconnect();
        if (!ResetEvent(connect.hEvent))
            KS_LOG_FAILED(GetLastError());
        if (stop)
            return 0;
    }
}

bool CTimeSetPipe::ServeClient(HANDLE stopEvent)
{
    // One deadline for the whole connection: a client that writes slowly, or reads its
    // reply slowly, or lingers after it, holds the one instance no longer than the genuine
    // exchange needs, whatever it does in between.
    const ULONGLONG deadline = GetTickCount64() + m_clientTimeoutMs;
    // Zeroed, so a short request can never hand undefined bytes to SetSystemTime.
    SYSTEMTIME request = {};
    DWORD read = 0;
    DWORD error = 0;
    bool stop = false;
    IoResult result = Transfer(false, &request, kTimeSetRequestSize, &read, &error, stopEvent, deadline);
    if (EndsExchange(result, error, false, &stop))
        return stop;

    DWORD reply;
    if (error == ERROR_MORE_DATA) {
        KS_LOG_CLIENT_FAILED(error);
        reply = ERROR_INVALID_DATA;
    } else if (read != kTimeSetRequestSize) {
        KS_LOG_CLIENT_FAILED(read);
        reply = ERROR_INVALID_DATA;
    } else {
        reply = CSystemTimeModifier().SetTime(request);
    }

    DWORD written = 0;
    result = Transfer(true, &reply, kTimeSetReplySize, &written, &error, stopEvent, deadline);
    if (EndsExchange(result, error, false, &stop))
        return stop;
    if (written < kTimeSetReplySize) {
        KS_LOG_CLIENT_FAILED(written);
        return false;
    }
    return WaitForClientToLeave(stopEvent, deadline);
}

CTimeSetPipe::IoResult CTimeSetPipe::Transfer(bool write, void* buffer, DWORD size, DWORD* transferred,
    DWORD* error, HANDLE stopEvent, ULONGLONG deadline)
{
    HANDLE pipe = m_pipe.Get();
    OVERLAPPED io = {};
    io.hEvent = write ? m_writeEvent.Get() : m_readEvent.Get();
    *transferred = 0;
    *error = 0;
    BOOL done = write ? WriteFile(pipe, buffer, size, nullptr, &io) : ReadFile(pipe, buffer, size, nullptr, &io);
    if (!done) {
        DWORD started = GetLastError();
        if (started == ERROR_IO_PENDING) {
            ULONGLONG now = GetTickCount64();
            DWORD timeout = deadline > now ? static_cast<DWORD>(deadline - now) : 0;
            HANDLE events[] = {io.hEvent, stopEvent};
            DWORD wait = WaitForMultipleObjects(2, events, FALSE, timeout);
            if (wait != WAIT_OBJECT_0) {
                DWORD ignored;
                CancelIoEx(pipe, &io);
                GetOverlappedResult(pipe, &io, &ignored, TRUE);
                if (wait == WAIT_OBJECT_0 + 1)
                    return IoResult::Stopped;
                if (wait == WAIT_TIMEOUT)
                    return IoResult::TimedOut;
                *error = wait == WAIT_FAILED ? GetLastError() : wait;
                return IoResult::Failed;
            }
        } else if (started != ERROR_MORE_DATA) {
            *error = started;
            return IoResult::Failed;
        }
    }
    if (!GetOverlappedResult(pipe, &io, transferred, FALSE)) {
        *error = GetLastError();
        if (*error != ERROR_MORE_DATA)
            return IoResult::Failed;
    }
    return IoResult::Done;
}

bool CTimeSetPipe::WaitForClientToLeave(HANDLE stopEvent, ULONGLONG deadline)
{
    // The genuine client closes its end once it has the reply; whatever else a client
    // still sends is read and dropped until then.
    char scratch[64];
    for (;;) {
        DWORD read = 0;
        DWORD error = 0;
        bool stop = false;
        IoResult result = Transfer(false, scratch, sizeof scratch, &read, &error, stopEvent, deadline);
        if (EndsExchange(result, error, true, &stop))
            return stop;
        if (GetTickCount64() >= deadline) {
            KS_LOG_CLIENT_FAILED(WAIT_TIMEOUT);
            return false;
        }
    }
}

bool CTimeSetPipe::EndsExchange(IoResult result, DWORD error, bool leaving, bool* stop)
{
    *stop = result == IoResult::Stopped;
    switch (result) {
    case IoResult::Done:
        return false;
    case IoResult::Stopped:
        break;
    case IoResult::TimedOut:
        KS_LOG_CLIENT_FAILED(WAIT_TIMEOUT);
        break;
    case IoResult::Failed:
        if (!leaving || (error != ERROR_BROKEN_PIPE && error != ERROR_PIPE_NOT_CONNECTED))
            KS_LOG_CLIENT_FAILED(error);
        break;
    }
    return true;
}
