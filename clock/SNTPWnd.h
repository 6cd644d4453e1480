// CSNTPWnd: keeps the computer clock right with one SNTP request at a time. All network
// work is asynchronous through this invisible window's messages; the clock is set directly
// when the process may, else the time is handed to the time-setting service over its pipe.
#pragma once

#include "CHandle.h"
#include "ClassLib.h"
#include "Settings.h"
#include "SntpModalHost.h"

#include <ras.h>

#include <memory>
#include <vector>

// Where the client takes the time from and how it sets the clock; tests give their own.
class CSntpClock
{
public:
    virtual ~CSntpClock() = default;
    virtual DWORD TickCount() { return ::GetTickCount(); }
    virtual void UtcNow(FILETIME* now) { ::GetSystemTimeAsFileTime(now); }
    virtual BOOL SetSystemTime(const SYSTEMTIME& time) { return ::SetSystemTime(&time); }
};

constexpr UINT WM_SNTP_HOST_RESOLVED = WM_USER + 1;
constexpr UINT WM_SNTP_SOCKET_EVENT = WM_USER + 2;

// Control id of the client's window under the clock window.
constexpr UINT kSntpWndId = 777;

class CSNTPWnd : public CWnd
{
public:
    CSNTPWnd();
    ~CSNTPWnd() override;

    // The invisible window; a parent makes it a child window with id 777.
    BOOL Create(HWND parent);

    BOOL Start();
    void Shutdown();
    void LoadOptions(BOOL restart);
    void SyncNow(BOOL interactive);
    void Synchronize(const char* server, UINT port, BOOL remember);
    void SetLogListBox(HWND listBox) { m_listBox = listBox; }
    void SetMinutesSecondsOnly(BOOL on) { m_minutesSecondsOnly = on; }

    // Hands a UTC time to the time-setting service; TRUE when it answered 0.
    BOOL SendTimeToService(const SYSTEMTIME& time);
    // The service's current state (1..7), or 0 when the service manager cannot tell.
    virtual DWORD QueryServiceState();

    BOOL IsRequestRunning() const { return m_socket.IsValid() || m_lookup != nullptr; }
    void SetClock(CSntpClock* clock) { m_clock = clock ? clock : &s_systemClock; }
    void SetModalHost(CSntpModalHost* host) { m_modalHost = host; }

    CString m_strStatus;
    // The time-synchronisation log; empty: znc_log_sync.txt in the program's "sync" log folder.
    CString m_logFilePath;
    CString m_pipeName;
    CString m_serviceName;
    // The most each transfer of the pipe exchange may hold the user-interface thread.
    DWORD m_pipeTimeoutMs = 3000;
    // How long the client waits in all for the pipe while the service serves someone else
    // (the service lets any one client go after well under a second).
    DWORD m_pipeBusyWaitMs = 2500;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnTimer(UINT_PTR id);
    void OnHostResolved(HANDLE lookup, LPARAM packed);
    void OnSocketRead(SOCKET socket, LPARAM packed);

    // Starts the asynchronous look-up of a host name that posts WM_SNTP_HOST_RESOLVED to this
    // window; its handle, or null with the socket error set.
    virtual HANDLE StartHostLookup(const char* server, char* buffer, int size);

    void SendRequest(ULONG address);
    void HandleReply(const BYTE* reply, const sockaddr_in& from);
    void ApplyServerTime(DWORD seconds, DWORD fraction);
    BOOL EnablePrivilege();
    void RestorePrivilege();
    BOOL IsRasConnected();
    void Finish(const wchar_t* text);
    void ShowFailure();
    // Gives the pending look-up up; its buffer stays until its own completion arrives.
    void AbandonLookup();
    void LeaveAbandonedLookups();

    void Log(const wchar_t* text, BOOL result, BOOL success);
    void LogResult(const wchar_t* text, BOOL success) { Log(text, TRUE, success); }
    void LogErrorAt(DWORD code, int tag);
    void AppendToLogFile(const CString& line);

    static CSntpClock s_systemClock;

    CHandle m_token;
    TOKEN_PRIVILEGES m_tokenPrivileges{};
    BOOL m_privilegeEnabled = FALSE;
    BOOL m_writeToFile = Setting::kW2F.intDefault;
    UINT_PTR m_scheduleTimer = 0;
    UINT_PTR m_watchdogTimer = 0;
    UINT m_intervalHours = Setting::kAHR.intDefault;
    BOOL m_failurePending = FALSE;
    BOOL m_interactive = FALSE;
    BOOL m_awaitingReply = FALSE;
    BOOL m_automatic = Setting::kATA.intDefault;
    BOOL m_minutesSecondsOnly = Setting::kMSO.intDefault;
    BOOL m_dialUp = Setting::kNOD.intDefault;
    DWORD m_lookupStart = 0;
    DWORD m_sendTime = 0;
    decltype(&::RasEnumConnectionsW) m_rasEnumConnections = nullptr;
    decltype(&::RasGetConnectStatusW) m_rasGetConnectStatus = nullptr;
    CModuleHandle m_rasLibrary;
    std::unique_ptr<char[]> m_hostBuffer;
    // The pending look-up's task handle: an id to match completions with, nothing to close.
    HANDLE m_lookup = nullptr;
    CSocketHandle m_socket;
    UINT m_port = 123;
    CString m_server;
    HWND m_listBox = nullptr;

    // The running request's own server, port and mode, taken when it starts: a reload of the
    // options or a caller that replaces the stored ones meanwhile changes neither how its
    // reply is applied nor the host its lines name. The server is empty between requests.
    CString m_requestServer;
    UINT m_requestPort = 123;
    BOOL m_requestMinutesSecondsOnly = FALSE;

    BOOL m_started = FALSE;
    sockaddr_in m_peer{};
    // A datagram from another sender was logged during this request.
    BOOL m_strayLogged = FALSE;
    // Look-ups that a request gave up on. Cancelling cannot be trusted to stop one (it does
    // nothing under Wine), so each keeps its buffer until its own completion arrives.
    struct AbandonedLookup
    {
        HANDLE handle;
        std::unique_ptr<char[]> buffer;
    };
    std::vector<AbandonedLookup> m_abandonedLookups;
    CSntpClock* m_clock = &s_systemClock;
    CSntpModalHost* m_modalHost = nullptr;
};
