#include "SupportFireWall.h"

namespace {

// The rule model's profile types, in the order the status entries list them.
const struct {
    NET_FW_PROFILE_TYPE2 type;
    const wchar_t* name;
} kProfiles[] = {
    {NET_FW_PROFILE2_PUBLIC, L"PUBLIC"},
    {NET_FW_PROFILE2_PRIVATE, L"PRIVATE"},
    {NET_FW_PROFILE2_DOMAIN, L"DOMAIN"},
};

}  // namespace

HRESULT CSupportFireWall2::Initialize()
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Another apartment model on this thread is the caller's own COM; it is left alone.
    if (hr != RPC_E_CHANGED_MODE) {
        if (FAILED(hr)) return static_cast<HRESULT>(FW_LOG_ERROR(hr, LOG_ERROR));
        m_comInitialized = TRUE;
    }
    hr = CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER, __uuidof(INetFwPolicy2),
                          m_policy.OutVoid());
    if (SUCCEEDED(hr) && !m_policy) hr = E_NOINTERFACE;
    if (FAILED(hr)) return static_cast<HRESULT>(FW_LOG_ERROR(hr, LOG_ERROR));
    return S_OK;
}

HRESULT CSupportFireWall2::FindRule(INetFwRules* rules, BSTR name, CComPtr<INetFwRule>& rule)
{
    rule.Release();
    if (!m_policy) return static_cast<HRESULT>(FW_LOG_ERROR(1, LOG_ERROR));
    CComPtr<INetFwRules> own;
    if (!rules) {
        HRESULT hr = m_policy->get_Rules(own.Out());
        if (FAILED(hr)) return static_cast<HRESULT>(FW_LOG_ERROR(hr, LOG_ERROR));
        if (!own) return static_cast<HRESULT>(FW_LOG_ERROR(E_POINTER, LOG_ERROR));
        rules = own.Get();
    }
    HRESULT hr = rules->Item(name, rule.Out());
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
        FW_LOG_ERROR(hr, LOG_WARNING);
        rule.Release();
        return 1;
    }
    if (FAILED(hr)) {
        rule.Release();
        return static_cast<HRESULT>(FW_LOG_ERROR(hr, LOG_ERROR));
    }
    // A collection that answers success without a rule has no such rule either.
    return rule ? S_OK : 1;
}

HRESULT CSupportFireWall2::AddOrUpdateRule(const wchar_t* name, const wchar_t* description,
                                           const wchar_t* applicationPath, const wchar_t* localPorts,
                                           const wchar_t* remotePorts, long protocol,
                                           NET_FW_RULE_DIRECTION direction)
{
    if (!m_policy) return static_cast<HRESULT>(FW_LOG_ERROR(1, LOG_ERROR));
    HRESULT hr = S_OK;
    // Each step runs only when every step before it succeeded; the first failure is the result.
    auto step = [&hr](HRESULT result) {
        if (FAILED(result)) hr = static_cast<HRESULT>(FW_LOG_ERROR(result, LOG_ERROR));
        return hr == S_OK;
    };

    CComPtr<INetFwRules> rules;
    if (step(m_policy->get_Rules(rules.Out())) && !rules) step(E_POINTER);
    CComBSTR nameText(name), descriptionText(description ? description : L""), pathText(applicationPath),
        localText(localPorts ? localPorts : L""), remoteText(remotePorts ? remotePorts : L"");
    if (hr == S_OK && (!nameText.IsValid() || !descriptionText.IsValid() || !pathText.IsValid() ||
                          !localText.IsValid() || !remoteText.IsValid()))
        hr = static_cast<HRESULT>(FW_LOG_ERROR(1, LOG_ERROR));

    CComPtr<INetFwRule> rule;
    bool isNew = false;
    if (hr == S_OK) {
        HRESULT found = FindRule(rules.Get(), nameText.Get(), rule);
        if (found < 0) {
            hr = static_cast<HRESULT>(FW_LOG_ERROR(found, LOG_ERROR));
        } else if (found != S_OK) {
            isNew = true;
            if (step(CoCreateInstance(__uuidof(NetFwRule), nullptr, CLSCTX_INPROC_SERVER, __uuidof(INetFwRule),
                                      rule.OutVoid())) &&
                !rule)
                step(E_OUTOFMEMORY);
        }
    }

    long profiles = 0;
    if (hr == S_OK && step(m_policy->get_CurrentProfileTypes(&profiles))) {
        // A rule for the public profile too would open the port on every untrusted network
        // the machine joins; it is kept only when public is the sole current profile.
        if ((profiles & NET_FW_PROFILE2_PUBLIC) && (profiles & ~NET_FW_PROFILE2_PUBLIC))
            profiles &= ~NET_FW_PROFILE2_PUBLIC;
        step(rule->put_Name(nameText.Get())) && step(rule->put_Description(descriptionText.Get())) &&
            step(rule->put_ApplicationName(pathText.Get())) && step(rule->put_Protocol(protocol)) &&
            step(rule->put_LocalPorts(localText.Get())) && step(rule->put_RemotePorts(remoteText.Get())) &&
            step(rule->put_Action(NET_FW_ACTION_ALLOW)) && step(rule->put_Profiles(profiles)) &&
            step(rule->put_Enabled(VARIANT_TRUE)) && step(rule->put_Direction(direction)) &&
            (!isNew || step(rules->Add(rule.Get())));
    }
    return static_cast<HRESULT>(FW_LOG_ERROR(hr, LOG_ERROR));
}

#ifndef ZARNOCK_FIREWALL_NO_LOG
HRESULT CSupportFireWall2::LogRule(const wchar_t* name)
{
    if (!m_policy) return static_cast<HRESULT>(FW_LOG_ERROR(1, LOG_ERROR));

    for (const auto& profile : kProfiles) {
        // Each value 1 or 0, or -1 when its query failed.
        auto flag = [](HRESULT hr, const VARIANT_BOOL& value) {
            if (FAILED(hr)) {
                FW_LOG_ERROR(hr, LOG_ERROR);
                return -1;
            }
            return value == VARIANT_TRUE ? 1 : 0;
        };
        auto allow = [](HRESULT hr, const NET_FW_ACTION& value) {
            if (FAILED(hr)) {
                FW_LOG_ERROR(hr, LOG_ERROR);
                return -1;
            }
            return value == NET_FW_ACTION_ALLOW ? 1 : 0;
        };
        VARIANT_BOOL enabled = VARIANT_FALSE, blockInbound = VARIANT_FALSE, noNotifications = VARIANT_FALSE,
                     noUnicast = VARIANT_FALSE;
        NET_FW_ACTION inbound = NET_FW_ACTION_BLOCK, outbound = NET_FW_ACTION_BLOCK;
        // The values are passed by reference: they are read only after their query has run.
        int e = flag(m_policy->get_FirewallEnabled(profile.type, &enabled), enabled);
        int b = flag(m_policy->get_BlockAllInboundTraffic(profile.type, &blockInbound), blockInbound);
        int n = flag(m_policy->get_NotificationsDisabled(profile.type, &noNotifications), noNotifications);
        int u = flag(m_policy->get_UnicastResponsesToMulticastBroadcastDisabled(profile.type, &noUnicast), noUnicast);
        int in = allow(m_policy->get_DefaultInboundAction(profile.type, &inbound), inbound);
        int out = allow(m_policy->get_DefaultOutboundAction(profile.type, &outbound), outbound);
        FW_LOG(LOG_INFO, profile.name << L"," << e << L"," << b << L"," << n << L"," << u << L"," << in << L","
                                      << out);
    }

    HRESULT hr = S_OK;
    auto step = [&hr](HRESULT result) {
        if (FAILED(result)) hr = static_cast<HRESULT>(FW_LOG_ERROR(result, LOG_ERROR));
        return hr == S_OK;
    };
    CComPtr<INetFwRules> rules;
    CComBSTR nameText(name);
    CComPtr<INetFwRule> rule;
    if (step(m_policy->get_Rules(rules.Out())) && (rules || step(E_POINTER))) {
        if (!nameText.IsValid()) {
            hr = static_cast<HRESULT>(FW_LOG_ERROR(1, LOG_ERROR));
        } else {
            HRESULT found = FindRule(rules.Get(), nameText.Get(), rule);
            if (found < 0) hr = static_cast<HRESULT>(FW_LOG_ERROR(found, LOG_ERROR));
            else if (found != S_OK) {
                FW_LOG(LOG_ERROR, L"NO RULE");
                hr = 1;
            }
        }
    }
    if (hr == S_OK) {
        CComBSTR application, local, remote;
        long protocol = 0, profiles = 0;
        NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
        VARIANT_BOOL enabled = VARIANT_FALSE;
        NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
        if (step(rule->get_ApplicationName(application.Out())) && step(rule->get_Protocol(&protocol)) &&
            step(rule->get_LocalPorts(local.Out())) && step(rule->get_RemotePorts(remote.Out())) &&
            step(rule->get_Action(&action)) && step(rule->get_Profiles(&profiles)) &&
            step(rule->get_Enabled(&enabled)) && step(rule->get_Direction(&direction)))
            FW_LOG(LOG_INFO, nameText.Text() << L"," << static_cast<int>(direction) << L","
                                             << (enabled == VARIANT_TRUE ? 1 : 0) << L","
                                             << (action == NET_FW_ACTION_ALLOW ? 1 : 0) << L"," << protocol << L","
                                             << profiles << L"," << local.Text() << L"," << remote.Text() << L","
                                             << application.Text());
    }
    return static_cast<HRESULT>(FW_LOG_ERROR(hr, LOG_ERROR));
}
#endif

void CSupportFireWall2::Cleanup()
{
    m_policy.Release();
    LeaveComApartment(m_comInitialized);
}
