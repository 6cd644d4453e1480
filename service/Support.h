// CSystemTimeModifier: sets the system clock to a UTC time with "SeSystemtimePrivilege"
// enabled for just that call. One is made on the stack for each request.
#pragma once

#include "CHandle.h"

#include "Win.h"

// The privilege step failed without leaving an error code (E_UNEXPECTED).
constexpr DWORD kUnexpectedFailure = 0x8000FFFF;

class CSystemTimeModifier
{
public:
    CSystemTimeModifier();
    virtual ~CSystemTimeModifier();
    CSystemTimeModifier(const CSystemTimeModifier&) = delete;
    CSystemTimeModifier& operator=(const CSystemTimeModifier&) = delete;

    // 0 when the clock was set, else the error of the step that failed.
    DWORD SetTime(const SYSTEMTIME& utc);

    bool EnablePrivilege();
    void RestorePrivilege();

private:
    CHandle m_token;
    TOKEN_PRIVILEGES m_privileges;
    DWORD m_privilegeEnabled;
    DWORD m_lastError;
};
