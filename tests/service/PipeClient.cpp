#include "PipeClient.h"

#include <vector>

namespace kestrom_test {

namespace {

constexpr ULONGLONG kTicksPerSecond = 10000000ULL;
constexpr DWORD kNoReply = 0xFFFFFFFF;

bool ReadReply(HANDLE pipe, DWORD* reply)
{
    DWORD read = 0;
    *reply = kNoReply;
    DWORD value = 0;
    if (!ReadFile(pipe, &value, sizeof value, &read, nullptr) || read != sizeof value)
        return false;
    *reply = value;
    return true;
}

} // namespace

SYSTEMTIME UtcNowPlus(LONGLONG seconds)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value;
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart += static_cast<ULONGLONG>(seconds * static_cast<LONGLONG>(kTicksPerSecond));
    now.dwLowDateTime = value.LowPart;
    now.dwHighDateTime = value.HighPart;
    SYSTEMTIME result;
    FileTimeToSystemTime(&now, &result);
    return result;
}

SYSTEMTIME Month13()
{
    SYSTEMTIME time = UtcNowPlus(0);
    time.wMonth = 13;
    return time;
}

CHandle OpenPipe(const wchar_t* name, DWORD timeoutMs, DWORD* error)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        CHandle pipe(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (pipe) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            if (!SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr)) {
                *error = GetLastError();
                return CHandle();
            }
            *error = 0;
            return pipe;
        }
        *error = GetLastError();
        ULONGLONG now = GetTickCount64();
        // Busy: the one instance is serving someone else, or between two clients.
        if ((*error != ERROR_PIPE_BUSY && *error != ERROR_FILE_NOT_FOUND) || now >= deadline)
            return CHandle();
        if (*error == ERROR_PIPE_BUSY)
            WaitNamedPipeW(name, static_cast<DWORD>(deadline - now));
        else
            Sleep(10);
    }
}

DWORD Exchange(const wchar_t* name, const void* request, DWORD size, DWORD* reply, DWORD timeoutMs)
{
    *reply = kNoReply;
    DWORD error = 0;
    CHandle pipe = OpenPipe(name, timeoutMs, &error);
    if (!pipe)
        return error;
    DWORD written = 0;
    if (!WriteFile(pipe, request, size, &written, nullptr))
        error = GetLastError();
    else if (!ReadReply(pipe, reply))
        error = GetLastError() ? GetLastError() : ERROR_INVALID_DATA;
    return error;
}

DWORD SendTime(const wchar_t* name, const SYSTEMTIME& utc, DWORD* reply, DWORD timeoutMs)
{
    return Exchange(name, &utc, sizeof utc, reply, timeoutMs);
}

DWORD PlayHostile(const wchar_t* name, Hostile kind, DWORD* reply, DWORD timeoutMs)
{
    *reply = kNoReply;
    DWORD size = 0;
    switch (kind) {
    case Hostile::Empty: size = 0; break;
    case Hostile::OneByte: size = 1; break;
    case Hostile::Fifteen: size = 15; break;
    case Hostile::Seventeen: size = 17; break;
    case Hostile::Huge: size = 4096; break;
    default: break;
    }
    DWORD error = 0;
    CHandle pipe = OpenPipe(name, timeoutMs, &error);
    if (!pipe)
        return error;
    switch (kind) {
    case Hostile::OpenAndClose:
        break;
    case Hostile::WriteAndClose: {
        SYSTEMTIME request = Month13();
        DWORD written;
        WriteFile(pipe, &request, sizeof request, &written, nullptr);
        break;
    }
    case Hostile::Silent: {
        // Blocks until the server gives up on us and disconnects.
        DWORD value;
        ReadReply(pipe, &value);
        break;
    }
    case Hostile::Lingering: {
        // The genuine exchange, then the pipe kept open until the server lets go.
        SYSTEMTIME request = Month13();
        DWORD written;
        if (WriteFile(pipe, &request, sizeof request, &written, nullptr) && ReadReply(pipe, reply)) {
            DWORD value;
            ReadReply(pipe, &value);
        }
        break;
    }
    default: {
        // Bytes that would make a valid-looking time if the server ever used them.
        std::vector<BYTE> request(size + 1, 0x07);
        DWORD written;
        if (WriteFile(pipe, request.data(), size, &written, nullptr))
            ReadReply(pipe, reply);
        break;
    }
    }
    return 0;
}

} // namespace kestrom_test
