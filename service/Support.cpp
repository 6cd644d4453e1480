#include "Support.h"

#include "LogMan.h"

// Every step here runs once per request, so a client can repeat its failures at will: they
// are logged as failures of clients, at a bounded rate.

CSystemTimeModifier::CSystemTimeModifier() : m_privileges(), m_privilegeEnabled(0), m_lastError(0)
{
}

CSystemTimeModifier::~CSystemTimeModifier()
{
    RestorePrivilege();
}

bool CSystemTimeModifier::EnablePrivilege()
{
    m_privileges = TOKEN_PRIVILEGES();
    m_privilegeEnabled = 0;
    m_lastError = 0;

    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, m_token.Out())) {
        DWORD error = GetLastError();
        // A system without token security: nothing to enable.
        if (error == ERROR_CALL_NOT_IMPLEMENTED)
            return true;
        m_lastError = KS_LOG_CLIENT_FAILED(error);
        return false;
    }

    if (!LookupPrivilegeValueW(nullptr, SE_SYSTEMTIME_NAME, &m_privileges.Privileges[0].Luid)) {
        m_lastError = KS_LOG_CLIENT_FAILED(GetLastError());
        return false;
    }
    m_privileges.PrivilegeCount = 1;
    m_privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // A privilege the token does not hold still "succeeds" here (ERROR_NOT_ALL_ASSIGNED);
    // SetSystemTime then reports the refusal itself.
    if (!AdjustTokenPrivileges(m_token.Get(), FALSE, &m_privileges, 0, nullptr, nullptr)) {
        m_lastError = KS_LOG_CLIENT_FAILED(GetLastError());
        return false;
    }
    m_privilegeEnabled = 1;
    return true;
}

void CSystemTimeModifier::RestorePrivilege()
{
    if (m_privilegeEnabled) {
        m_privileges.Privileges[0].Attributes = 0;
        if (!AdjustTokenPrivileges(m_token.Get(), FALSE, &m_privileges, 0, nullptr, nullptr))
            m_lastError = KS_LOG_CLIENT_FAILED(GetLastError());
        m_privilegeEnabled = 0;
    }
    if (DWORD error = m_token.Close())
        m_lastError = KS_LOG_CLIENT_FAILED(error);
}

DWORD CSystemTimeModifier::SetTime(const SYSTEMTIME& utc)
{
    DWORD result;
    if (EnablePrivilege())
        result = SetSystemTime(&utc) ? 0 : KS_LOG_CLIENT_FAILED(GetLastError());
    else
        result = m_lastError != 0 ? m_lastError : kUnexpectedFailure;
    RestorePrivilege();
    return result;
}
