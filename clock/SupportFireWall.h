// Thin wrappers over the Windows Firewall's COM interfaces: CSupportFireWall over the
// authorised-applications model (before Windows Vista), CSupportFireWall2 over the rule
// model (Windows Vista and later). Each object is used by one thread inside one operation.
//
// The clock logs every failure; vostrel.dll compiles these same sources with
// ZARNOCK_FIREWALL_NO_LOG, which turns every log entry into nothing and leaves out the two
// operations that only log (LogStatus, LogRule).
#pragma once

#include "Win.h"
#include "CComPtr.h"

#include <netfw.h>

#ifdef ZARNOCK_FIREWALL_NO_LOG
#define FW_LOG(level, streamExpr) \
    do {                          \
    } while (0)
#define FW_LOG_ERROR(code, level) FwPassCode(static_cast<DWORD>(code))
inline DWORD FwPassCode(DWORD code) { return code; }
#else
#include "Log/LogMan.h"
#define FW_LOG(level, streamExpr) ZN_LOG(level, streamExpr)
#define FW_LOG_ERROR(code, level) ZN_LOG_ERROR((code), L"", (level))
#endif

// Leaves the COM apartment that an object's Initialize entered, once.
inline void LeaveComApartment(BOOL& entered)
{
    if (!entered) return;
    CoUninitialize();
    entered = FALSE;
}

// Results of the older model's operations (0 success).
enum FW_ERROR_CODE {
    FW_NOERROR = 0,
    FW_ERR_INITIALIZE_COM = 1,
    FW_ERR_WRONG_STATE = 2,
    FW_ERR_CREATE_SETTING_MANAGER = 3,
    FW_ERR_LOCAL_POLICY = 4,
    FW_ERR_PROFILE = 5,
    FW_ERR_FIREWALL_IS_ENABLED = 6,
    FW_ERR_INVALID_ARG = 8,
    FW_ERR_AUTH_APPLICATIONS = 9,
    FW_ERR_APP_ENABLED = 10,
    FW_ERR_CREATE_APP_INSTANCE = 11,
    FW_ERR_SYS_ALLOC_STRING = 12,
    FW_ERR_PUT_PROCESS_IMAGE_NAME = 13,
    FW_ERR_PUT_REGISTER_NAME = 14,
    FW_ERR_ADD_TO_COLLECTION = 15,
    FW_ERR_EXCEPTION_NOT_ALLOWED = 23,
    FW_ERR_NOTIFICATION_DISABLED = 24,
    FW_ERR_UNICAST_MULTICAST = 25,
};

class CSupportFireWall
{
public:
    CSupportFireWall() = default;
    ~CSupportFireWall() { Cleanup(); }
    CSupportFireWall(const CSupportFireWall&) = delete;
    CSupportFireWall& operator=(const CSupportFireWall&) = delete;

    // COM (RPC_E_CHANGED_MODE tolerated), then the current profile of the local policy.
    FW_ERROR_CODE Initialize();
    // enabled is TRUE only for an authorised application whose entry is enabled; an image
    // that is not authorised at all is a success with enabled FALSE.
    FW_ERROR_CODE IsAppEnabled(const wchar_t* imagePath, BOOL& enabled);
    // Adds the image with its defaults; an image already authorised and enabled is left as it is.
    FW_ERROR_CODE AddApp(const wchar_t* imagePath, const wchar_t* name);
#ifndef ZARNOCK_FIREWALL_NO_LOG
    // One entry: path, firewall enabled, application enabled, exceptions not allowed,
    // notifications disabled, unicast responses disabled; or the first failure's code.
    DWORD LogStatus(const wchar_t* imagePath);
#endif
    void Cleanup();

private:
    BOOL m_comInitialized = FALSE;
    CComPtr<INetFwProfile> m_profile;
};

class CSupportFireWall2
{
public:
    CSupportFireWall2() = default;
    ~CSupportFireWall2() { Cleanup(); }
    CSupportFireWall2(const CSupportFireWall2&) = delete;
    CSupportFireWall2& operator=(const CSupportFireWall2&) = delete;

    // COM in an apartment (RPC_E_CHANGED_MODE tolerated), then the policy object.
    HRESULT Initialize();
    // 0 and the rule; 1 when there is no policy or no such rule; else the failing call's code.
    // Without a rules collection the policy's own is read.
    HRESULT FindRule(INetFwRules* rules, BSTR name, CComPtr<INetFwRule>& rule);
    // Creates the rule, or updates the rule of that name, as an enabled allow rule for the
    // current profiles (PUBLIC dropped when another profile is current too). Absent
    // description or ports become empty texts. 0 on success, 1 or the failing call's code.
    HRESULT AddOrUpdateRule(const wchar_t* name, const wchar_t* description, const wchar_t* applicationPath,
                            const wchar_t* localPorts, const wchar_t* remotePorts, long protocol,
                            NET_FW_RULE_DIRECTION direction);
#ifndef ZARNOCK_FIREWALL_NO_LOG
    // One entry per profile (PUBLIC, PRIVATE, DOMAIN), then the rule's own entry or "NO RULE".
    HRESULT LogRule(const wchar_t* name);
#endif
    void Cleanup();

private:
    BOOL m_comInitialized = FALSE;
    CComPtr<INetFwPolicy2> m_policy;
};
