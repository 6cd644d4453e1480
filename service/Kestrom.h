// kestrom: the time-setting service. It installs and uninstalls itself from its command
// line, and as a service it serves the pipe "\\.\Pipe\Kestrom": one 16-byte UTC SYSTEMTIME
// in, one 4-byte result out, per connection, one client at a time.
#pragma once

#include "CHandle.h"
#include "PipeProtocol.h"

#include "Win.h"

#include <string>

extern const wchar_t kServiceDisplayName[];
extern const wchar_t kServiceDescription[];

// How long one client may hold the one pipe instance, from its connection to its leaving:
// the genuine client writes at once and leaves as soon as it has read the reply (a few
// milliseconds), and every other client waits while one is connected.
constexpr DWORD kClientTimeoutMs = 500;

// What the command line asks for.
struct KestromCommand {
    enum Kind { Run, Install, Uninstall, Unknown };
    Kind kind = Run;
    std::wstring argument;
};

KestromCommand ParseCommandLine(const wchar_t* commandLine);

// The whole program after the log is open; the exit code is always 0.
int KestromMain(const wchar_t* commandLine);

bool InstallService();
bool UninstallService();

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
void WINAPI ServiceCtrlHandler(DWORD control);
// Keeps the caller's last error when the report fails, so the caller can pass it on.
bool ReportServiceStatus(DWORD state, DWORD exitCode, DWORD checkPoint, DWORD waitHint);

// The server end of the time-setting pipe. ServiceMain runs one; the tests run their own
// under a name of their own.
class CTimeSetPipe
{
public:
    // Message pipe, and only clients on this computer: a LocalSystem service must not set
    // the clock for the network.
    static constexpr DWORD kPipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    // Everyone may read and write (the clock runs as an ordinary user); only SYSTEM and
    // Administrators have full control.
    static const wchar_t kPipeSecurity[];

    explicit CTimeSetPipe(const wchar_t* name = kTimeSetPipeName, DWORD clientTimeoutMs = kClientTimeoutMs);

    // The connect, read and write events; 0 or the error.
    DWORD CreateEvents();
    // The security descriptor (a failure is logged, not fatal) and the one pipe instance;
    // 0 or the error.
    DWORD CreatePipe();
    // Serves clients one after another until the stop event is set (result 0) or a step the
    // service cannot go on without fails (result: its error).
    DWORD Serve(HANDLE stopEvent);
    // Pipe, then events; failures logged.
    void Close();

    HANDLE PipeHandle() const { return m_pipe.Get(); }

private:
    enum class IoResult { Done, Failed, TimedOut, Stopped };

    // Serves one connected client; true when the stop event ended it.
    bool ServeClient(HANDLE stopEvent);
    // One overlapped read or write, waited for together with the stop event until deadline.
    IoResult Transfer(bool write, void* buffer, DWORD size, DWORD* transferred, DWORD* error, HANDLE stopEvent,
        ULONGLONG deadline);
    // Whether a transfer's result ends the exchange; *stop then tells a stop request from a
    // lost client. A timeout or failure is logged, but not a client that has gone when its
    // leaving is what the exchange waits for.
    static bool EndsExchange(IoResult result, DWORD error, bool leaving, bool* stop);
    // Waits until the client has closed its end, so disconnecting cannot discard a reply it
    // has not read yet.
    bool WaitForClientToLeave(HANDLE stopEvent, ULONGLONG deadline);
    void Disconnect();

    std::wstring m_name;
    DWORD m_clientTimeoutMs;
    CHandle m_pipe;
    CHandle m_connectEvent;
    CHandle m_readEvent;
    CHandle m_writeEvent;
};
