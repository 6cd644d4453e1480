// kestrom_probe: the service test's hands inside the Wine prefix. Each command talks to the
// Service Control Manager or the service's pipe, prints "key=value" lines for the script to
// check, and exits 0 when it could do what it was asked.
//   status | wait running|stopped|missing SECONDS | start | stop | config | describe TEXT
//   send now|hour|month13 | hostile COUNT | stop-silent | hold-silent
#include "CHandle.h"
#include "PipeClient.h"
#include "PipeProtocol.h"

#include "Win.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t* const kService = kTimeServiceName;
const wchar_t* const kPipe = kTimeSetPipeName;
constexpr DWORD kMissing = 0;

struct Scm {
    CServiceHandle manager;
    CServiceHandle service;
    DWORD error = 0;
    explicit Scm(DWORD access)
    {
        manager.Reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (manager)
            service.Reset(OpenServiceW(manager, kService, access));
        if (!service)
            error = GetLastError();
    }
};

// The service's state (kMissing when it does not exist) and process id.
DWORD QueryState(DWORD* processId = nullptr, DWORD* exitCode = nullptr)
{
    Scm scm(SERVICE_QUERY_STATUS);
    if (!scm.service)
        return kMissing;
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(scm.service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
            &needed))
        return kMissing;
    if (processId)
        *processId = status.dwProcessId;
    if (exitCode)
        *exitCode = status.dwWin32ExitCode;
    return status.dwCurrentState;
}

DWORD StateByName(const wchar_t* name)
{
    if (!wcscmp(name, L"running"))
        return SERVICE_RUNNING;
    if (!wcscmp(name, L"stopped"))
        return SERVICE_STOPPED;
    return kMissing;
}

bool WaitForState(DWORD wanted, DWORD seconds)
{
    ULONGLONG deadline = GetTickCount64() + seconds * 1000ULL;
    while (QueryState() != wanted) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(50);
    }
    return true;
}

int Status()
{
    DWORD pid = 0, exitCode = 0;
    DWORD state = QueryState(&pid, &exitCode);
    printf("state=%lu\npid=%lu\nexit=%lu\n", state, pid, exitCode);
    return 0;
}

int Start()
{
    // Right after a fresh boot Wine's own services may still be coming up (1053): try again.
    DWORD error = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        Scm scm(SERVICE_START);
        if (!scm.service) {
            error = scm.error;
            break;
        }
        error = StartServiceW(scm.service, 0, nullptr) ? 0 : GetLastError();
        if (error != ERROR_SERVICE_REQUEST_TIMEOUT)
            break;
        Sleep(1000);
    }
    printf("start=%lu\n", error);
    return error == 0 || error == ERROR_SERVICE_ALREADY_RUNNING ? 0 : 1;
}

int Stop()
{
    Scm scm(SERVICE_STOP);
    SERVICE_STATUS status;
    DWORD error = !scm.service ? scm.error : ControlService(scm.service, SERVICE_CONTROL_STOP, &status) ? 0 : GetLastError();
    printf("stop=%lu\n", error);
    return error == 0 ? 0 : 1;
}

int Config()
{
    Scm scm(SERVICE_QUERY_CONFIG);
    if (!scm.service) {
        printf("error=%lu\n", scm.error);
        return 1;
    }
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(scm.service, config, static_cast<DWORD>(buffer.size()), &needed))
        return 1;
    printf("type=%lu\nstart=%lu\nerrorcontrol=%lu\n", config->dwServiceType, config->dwStartType,
        config->dwErrorControl);
    printf("display=%ls\naccount=%ls\npath=%ls\n", config->lpDisplayName,
        config->lpServiceStartName ? config->lpServiceStartName : L"", config->lpBinaryPathName);
    auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data());
    if (QueryServiceConfig2W(scm.service, SERVICE_CONFIG_DESCRIPTION, buffer.data(),
            static_cast<DWORD>(buffer.size()), &needed))
        printf("description=%ls\n", description->lpDescription ? description->lpDescription : L"");
    return 0;
}

int Describe(const wchar_t* text)
{
    Scm scm(SERVICE_CHANGE_CONFIG);
    SERVICE_DESCRIPTIONW description = {const_cast<LPWSTR>(text)};
    return scm.service && ChangeServiceConfig2W(scm.service, SERVICE_CONFIG_DESCRIPTION, &description) ? 0 : 1;
}

int Send(const wchar_t* what)
{
    SYSTEMTIME time = !wcscmp(what, L"hour") ? kestrom_test::UtcNowPlus(3600)
                      : !wcscmp(what, L"month13") ? kestrom_test::Month13()
                                                   : kestrom_test::UtcNowPlus(0);
    DWORD reply = 0;
    DWORD error = kestrom_test::SendTime(kPipe, time, &reply);
    printf("error=%lu\nreply=%lu\n", error, reply);
    return error == 0 ? 0 : 1;
}

int Hostile(int count)
{
    DWORD pid = 0;
    QueryState(&pid);
    DWORD reply = 0;
    kestrom_test::SendTime(kPipe, kestrom_test::Month13(), &reply);
    DWORD before = kestrom_test::SettledHandleCount(pid);
    int wrongSizeReplies = 0;
    for (int i = 0; i < count; ++i) {
        kestrom_test::Hostile kind = kestrom_test::kAllHostile[i % 7];
        reply = 0;
        kestrom_test::PlayHostile(kPipe, kind, &reply);
        wrongSizeReplies += reply == ERROR_INVALID_DATA;
    }
    // Silence last: the service lets it go after its client time-out.
    kestrom_test::PlayHostile(kPipe, kestrom_test::Hostile::Silent, &reply);
    DWORD genuine = 0;
    DWORD error = kestrom_test::SendTime(kPipe, kestrom_test::UtcNowPlus(0), &genuine);
    DWORD after = kestrom_test::SettledHandleCount(pid);
    DWORD samePid = 0;
    QueryState(&samePid);
    printf("invalid-data=%d\ngenuine-error=%lu\ngenuine=%lu\nhandles-before=%lu\nhandles-after=%lu\nsame-process=%d\n",
        wrongSizeReplies, error, genuine, before, after, samePid == pid);
    return 0;
}

// Holds the pipe without writing, asks the service to stop and times the stop.
int StopSilent()
{
    DWORD error = 0;
    CHandle pipe = kestrom_test::OpenPipe(kPipe, 10000, &error);
    if (!pipe) {
        printf("open=%lu\n", error);
        return 1;
    }
    ULONGLONG start = GetTickCount64();
    int result = Stop();
    bool stopped = WaitForState(SERVICE_STOPPED, 15);
    printf("stopped=%d\nstop-ms=%llu\n", stopped, GetTickCount64() - start);
    return result == 0 && stopped ? 0 : 1;
}

// Holds the pipe without writing until the service lets go, and says how long that was.
int HoldSilent()
{
    DWORD error = 0;
    CHandle pipe = kestrom_test::OpenPipe(kPipe, 10000, &error);
    if (!pipe) {
        printf("open=%lu\n", error);
        return 1;
    }
    ULONGLONG start = GetTickCount64();
    printf("held=1\n");
    DWORD value = 0, read = 0;
    ReadFile(pipe, &value, sizeof value, &read, nullptr);
    printf("hold-ms=%llu\n", GetTickCount64() - start);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2)
        return 2;
    std::wstring command = argv[1];
    if (command == L"status")
        return Status();
    if (command == L"wait" && argc >= 4) {
        bool reached = WaitForState(StateByName(argv[2]), static_cast<DWORD>(_wtoi(argv[3])));
        Status();
        return reached ? 0 : 1;
    }
    if (command == L"start")
        return Start();
    if (command == L"stop")
        return Stop();
    if (command == L"config")
        return Config();
    if (command == L"describe" && argc >= 3)
        return Describe(argv[2]);
    if (command == L"send" && argc >= 3)
        return Send(argv[2]);
    if (command == L"hostile" && argc >= 3)
        return Hostile(_wtoi(argv[2]));
    if (command == L"stop-silent")
        return StopSilent();
    if (command == L"hold-silent")
        return HoldSilent();
    return 2;
}
