// CTimeSetClient: how the clock program gets the computer clock set to a UTC time. Where the
// process may set it (before Vista, or elevated) it does so itself under the system-time
// privilege; otherwise it checks that the time-setting service runs and hands it the time
// over the service's pipe (the client half of PipeProtocol.h).
#pragma once

#include "CHandle.h"
#include "ClassLib.h"

#include <functional>

class CTimeSetClient
{
public:
    // Receives each status line of the hand-off as it happens: a failure result (result
    // TRUE) or a plain "error %#08x L:%d" line (result FALSE).
    using StatusSink = std::function<void(const wchar_t* text, BOOL result)>;
    // Sets the clock itself; the privilege is enabled around it.
    using DirectSet = std::function<BOOL(const SYSTEMTIME& time)>;

    CTimeSetClient();
    virtual ~CTimeSetClient() = default;
    CTimeSetClient(const CTimeSetClient&) = delete;
    CTimeSetClient& operator=(const CTimeSetClient&) = delete;

    void SetStatusSink(StatusSink sink) { m_statusSink = std::move(sink); }

    // Sets the clock to a UTC time, directly or through the service; TRUE when it was set.
    BOOL SetTime(const SYSTEMTIME& time, const DirectSet& setDirectly);
    // Hands a UTC time to the time-setting service; TRUE when it answered 0.
    BOOL SendTimeToService(const SYSTEMTIME& time);
    // The service's current state (1..7), or 0 when the service manager cannot tell.
    virtual DWORD QueryServiceState();

    CString m_pipeName;
    CString m_serviceName;
    // The most each transfer of the pipe exchange may hold the user-interface thread.
    DWORD m_pipeTimeoutMs = 3000;
    // How long the client waits in all for the pipe while the service serves someone else
    // (the service lets any one client go after well under a second).
    DWORD m_pipeBusyWaitMs = 2500;

private:
    BOOL EnablePrivilege();
    void RestorePrivilege();
    void ReportFailure(const wchar_t* text);
    void ReportErrorAt(DWORD code, int tag);

    CHandle m_token;
    TOKEN_PRIVILEGES m_tokenPrivileges{};
    BOOL m_privilegeEnabled = FALSE;
    StatusSink m_statusSink;
};
