#include "SupportFireWall.h"

namespace {

// A BSTR of the text, or nothing when the text is absent or empty.
CComBSTR NonEmptyBstr(const wchar_t* text)
{
    return CComBSTR(text && *text ? text : nullptr);
}

#ifndef ZARNOCK_FIREWALL_NO_LOG
int Flag(VARIANT_BOOL value)
{
    return value == VARIANT_TRUE ? 1 : 0;
}
#endif

}  // namespace

FW_ERROR_CODE CSupportFireWall::Initialize()
{
    if (m_profile) return FW_ERR_WRONG_STATE;
    HRESULT hr = CoInitialize(nullptr);
    // Another apartment model on this thread is the caller's own COM; it is left alone.
    if (hr != RPC_E_CHANGED_MODE) {
        if (FAILED(hr)) {
            FW_LOG_ERROR(hr, LOG_ERROR);
            return FW_ERR_INITIALIZE_COM;
        }
        m_comInitialized = TRUE;
    }
    CComPtr<INetFwMgr> manager;
    if (FAILED(CoCreateInstance(__uuidof(NetFwMgr), nullptr, CLSCTX_INPROC_SERVER, __uuidof(INetFwMgr),
                                manager.OutVoid())) ||
        !manager)
        return FW_ERR_CREATE_SETTING_MANAGER;
    CComPtr<INetFwPolicy> policy;
    if (FAILED(manager->get_LocalPolicy(policy.Out())) || !policy) return FW_ERR_LOCAL_POLICY;
    if (FAILED(policy->get_CurrentProfile(m_profile.Out())) || !m_profile) {
        m_profile.Release();
        return FW_ERR_PROFILE;
    }
    return FW_NOERROR;
}

FW_ERROR_CODE CSupportFireWall::IsAppEnabled(const wchar_t* imagePath, BOOL& enabled)
{
    enabled = FALSE;
    if (!m_profile) return FW_ERR_WRONG_STATE;
    if (!imagePath) return FW_ERR_INVALID_ARG;
    CComPtr<INetFwAuthorizedApplications> apps;
    if (FAILED(m_profile->get_AuthorizedApplications(apps.Out())) || !apps) return FW_ERR_AUTH_APPLICATIONS;
    CComBSTR path = NonEmptyBstr(imagePath);
    if (!path.IsValid()) return FW_ERR_SYS_ALLOC_STRING;
    CComPtr<INetFwAuthorizedApplication> app;
    // The collection answers any failure for an image it does not hold.
    if (FAILED(apps->Item(path.Get(), app.Out())) || !app) return FW_NOERROR;
    VARIANT_BOOL value = VARIANT_FALSE;
    if (FAILED(app->get_Enabled(&value))) return FW_ERR_APP_ENABLED;
    enabled = value == VARIANT_TRUE;
    return FW_NOERROR;
}

FW_ERROR_CODE CSupportFireWall::AddApp(const wchar_t* imagePath, const wchar_t* name)
{
    if (!m_profile) return FW_ERR_WRONG_STATE;
    if (!imagePath || !name) return FW_ERR_INVALID_ARG;
    BOOL enabled = FALSE;
    FW_ERROR_CODE code = IsAppEnabled(imagePath, enabled);
    if (code != FW_NOERROR || enabled) return code;

    CComPtr<INetFwAuthorizedApplications> apps;
    if (FAILED(m_profile->get_AuthorizedApplications(apps.Out())) || !apps) return FW_ERR_AUTH_APPLICATIONS;
    CComPtr<INetFwAuthorizedApplication> app;
    if (FAILED(CoCreateInstance(__uuidof(NetFwAuthorizedApplication), nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(INetFwAuthorizedApplication), app.OutVoid())) ||
        !app)
        return FW_ERR_CREATE_APP_INSTANCE;
    CComBSTR path = NonEmptyBstr(imagePath);
    if (!path.IsValid()) return FW_ERR_SYS_ALLOC_STRING;
    if (FAILED(app->put_ProcessImageFileName(path.Get()))) return FW_ERR_PUT_PROCESS_IMAGE_NAME;
    CComBSTR appName = NonEmptyBstr(name);
    if (!appName.IsValid()) return FW_ERR_SYS_ALLOC_STRING;
    if (FAILED(app->put_Name(appName.Get()))) return FW_ERR_PUT_REGISTER_NAME;
    if (FAILED(apps->Add(app.Get()))) return FW_ERR_ADD_TO_COLLECTION;
    return FW_NOERROR;
}

#ifndef ZARNOCK_FIREWALL_NO_LOG
DWORD CSupportFireWall::LogStatus(const wchar_t* imagePath)
{
    if (!m_profile) return FW_LOG_ERROR(FW_ERR_WRONG_STATE, LOG_ERROR);
    VARIANT_BOOL firewallOn = VARIANT_FALSE, noExceptions = VARIANT_FALSE, noNotifications = VARIANT_FALSE,
                 noUnicast = VARIANT_FALSE;
    BOOL appEnabled = FALSE;
    if (FAILED(m_profile->get_FirewallEnabled(&firewallOn)))
        return FW_LOG_ERROR(FW_ERR_FIREWALL_IS_ENABLED, LOG_ERROR);
    if (FW_ERROR_CODE code = IsAppEnabled(imagePath, appEnabled)) return FW_LOG_ERROR(code, LOG_ERROR);
    if (FAILED(m_profile->get_ExceptionsNotAllowed(&noExceptions)))
        return FW_LOG_ERROR(FW_ERR_EXCEPTION_NOT_ALLOWED, LOG_ERROR);
    if (FAILED(m_profile->get_NotificationsDisabled(&noNotifications)))
        return FW_LOG_ERROR(FW_ERR_NOTIFICATION_DISABLED, LOG_ERROR);
    if (FAILED(m_profile->get_UnicastResponsesToMulticastBroadcastDisabled(&noUnicast)))
        return FW_LOG_ERROR(FW_ERR_UNICAST_MULTICAST, LOG_ERROR);
    FW_LOG(LOG_INFO, imagePath << L"," << Flag(firewallOn) << L"," << (appEnabled ? 1 : 0) << L","
                               << Flag(noExceptions) << L"," << Flag(noNotifications) << L"," << Flag(noUnicast));
    return FW_NOERROR;
}
#endif

void CSupportFireWall::Cleanup()
{
    m_profile.Release();
    LeaveComApartment(m_comInitialized);
}
