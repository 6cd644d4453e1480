#include "FakeFirewall.h"

#include <functional>

namespace {

std::wstring Text(BSTR s)
{
    return s ? std::wstring(s) : std::wstring(L"<null>");
}

// Records the call and, when it succeeds, hands out a value or a new object.
template <class T, class Value>
HRESULT Get(FakeFirewall& fw, const std::string& method, T* out, Value value)
{
    HRESULT hr = fw.Call(method);
    if (FAILED(hr)) return hr;
    if (!out) return E_POINTER;
    *out = static_cast<T>(value);
    return S_OK;
}

HRESULT GetText(FakeFirewall& fw, const std::string& method, BSTR* out, const std::wstring& value)
{
    HRESULT hr = fw.Call(method);
    if (FAILED(hr)) return hr;
    if (!out) return E_POINTER;
    *out = SysAllocString(value.c_str());
    return S_OK;
}

template <class T>
HRESULT Put(FakeFirewall& fw, const std::string& method, const std::wstring& shown, const T& value, T& field)
{
    HRESULT hr = fw.Call(method, shown);
    if (SUCCEEDED(hr)) field = value;
    return hr;
}

#define NOTIMPL(signature) HRESULT STDMETHODCALLTYPE signature override { return E_NOTIMPL; }
#define GET(method, Type, value) \
    HRESULT STDMETHODCALLTYPE method(Type* v) override { return Get(m_fw, m_name + #method, v, value); }
#define GET_TEXT(method, value) \
    HRESULT STDMETHODCALLTYPE method(BSTR* v) override { return GetText(m_fw, m_name + #method, v, value); }
#define PUT_TEXT(method, field) \
    HRESULT STDMETHODCALLTYPE method(BSTR v) override { return Put(m_fw, m_name + #method, Text(v), Text(v), field); }
#define PUT(method, Type, field)                                                                     \
    HRESULT STDMETHODCALLTYPE method(Type v) override                                                \
    {                                                                                                \
        return Put(m_fw, m_name + #method, std::to_wstring(static_cast<long>(v)), v, field);        \
    }
#define GET_PROFILE(method, Type, member)                                                            \
    HRESULT STDMETHODCALLTYPE method(NET_FW_PROFILE_TYPE2 p, Type* v) override                       \
    {                                                                                                \
        return Get(m_fw, m_name + #method, v, m_fw.profiles[p].member);                              \
    }
#define GET_OBJECT(method, Itf, make)                                                                \
    HRESULT STDMETHODCALLTYPE method(Itf** out) override                                             \
    {                                                                                                \
        HRESULT hr = m_fw.Call(m_name + #method);                                                   \
        if (FAILED(hr)) return hr;                                                                   \
        if (!out) return E_POINTER;                                                                  \
        *out = make;                                                                                 \
        return S_OK;                                                                                 \
    }

// IUnknown and IDispatch of every fake, counted in the firewall's live objects; calls are
// recorded as "<object>.<method>".
template <class Itf>
class FakeObject : public Itf
{
public:
    FakeObject(FakeFirewall& fw, const char* name) : m_fw(fw), m_name(std::string(name) + ".") { ++m_fw.liveObjects; }
    virtual ~FakeObject() { --m_fw.liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != __uuidof(IUnknown) && riid != __uuidof(IDispatch) && riid != __uuidof(Itf)) return E_NOINTERFACE;
        *out = static_cast<Itf*>(this);
        this->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    NOTIMPL(GetTypeInfoCount(UINT*)) NOTIMPL(GetTypeInfo(UINT, LCID, ITypeInfo**))
    NOTIMPL(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
    NOTIMPL(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))

protected:
    FakeFirewall& m_fw;
    std::string m_name;
    ULONG m_refs = 1;
};

class Rule : public FakeObject<INetFwRule>
{
public:
    Rule(FakeFirewall& fw, std::shared_ptr<FakeRule> rule) : FakeObject(fw, "Rule"), data(std::move(rule)) {}
    std::shared_ptr<FakeRule> data;

    GET_TEXT(get_Name, data->name) PUT_TEXT(put_Name, data->name)
    NOTIMPL(get_Description(BSTR*)) PUT_TEXT(put_Description, data->description)
    GET_TEXT(get_ApplicationName, data->application) PUT_TEXT(put_ApplicationName, data->application)
    NOTIMPL(get_ServiceName(BSTR*)) NOTIMPL(put_ServiceName(BSTR))
    GET(get_Protocol, LONG, data->protocol) PUT(put_Protocol, LONG, data->protocol)
    GET_TEXT(get_LocalPorts, data->localPorts) PUT_TEXT(put_LocalPorts, data->localPorts)
    GET_TEXT(get_RemotePorts, data->remotePorts) PUT_TEXT(put_RemotePorts, data->remotePorts)
    NOTIMPL(get_LocalAddresses(BSTR*)) NOTIMPL(put_LocalAddresses(BSTR))
    NOTIMPL(get_RemoteAddresses(BSTR*)) NOTIMPL(put_RemoteAddresses(BSTR))
    NOTIMPL(get_IcmpTypesAndCodes(BSTR*)) NOTIMPL(put_IcmpTypesAndCodes(BSTR))
    GET(get_Direction, NET_FW_RULE_DIRECTION, data->direction) PUT(put_Direction, NET_FW_RULE_DIRECTION, data->direction)
    NOTIMPL(get_Interfaces(VARIANT*)) NOTIMPL(put_Interfaces(VARIANT))
    NOTIMPL(get_InterfaceTypes(BSTR*)) NOTIMPL(put_InterfaceTypes(BSTR))
    GET(get_Enabled, VARIANT_BOOL, data->enabled) PUT(put_Enabled, VARIANT_BOOL, data->enabled)
    NOTIMPL(get_Grouping(BSTR*)) NOTIMPL(put_Grouping(BSTR))
    GET(get_Profiles, LONG, data->profiles) PUT(put_Profiles, LONG, data->profiles)
    NOTIMPL(get_EdgeTraversal(VARIANT_BOOL*)) NOTIMPL(put_EdgeTraversal(VARIANT_BOOL))
    GET(get_Action, NET_FW_ACTION, data->action) PUT(put_Action, NET_FW_ACTION, data->action)
};

class Rules : public FakeObject<INetFwRules>
{
public:
    explicit Rules(FakeFirewall& fw) : FakeObject(fw, "Rules") {}
    GET(get_Count, LONG, m_fw.rules.size())
    HRESULT STDMETHODCALLTYPE Add(INetFwRule* rule) override
    {
        Rule* r = static_cast<Rule*>(rule);
        HRESULT hr = m_fw.Call("Rules.Add", r ? r->data->name : L"<null>");
        if (SUCCEEDED(hr) && r) m_fw.rules.push_back(r->data);
        return hr;
    }
    NOTIMPL(Remove(BSTR)) NOTIMPL(get__NewEnum(IUnknown**))
    HRESULT STDMETHODCALLTYPE Item(BSTR name, INetFwRule** out) override
    {
        HRESULT hr = m_fw.Call("Rules.Item", Text(name));
        if (FAILED(hr) || !out) return FAILED(hr) ? hr : E_POINTER;
        auto data = m_fw.FindRule(Text(name));
        // S_FALSE asked of the fake: success without a rule.
        *out = data && hr == S_OK ? new Rule(m_fw, data) : nullptr;
        return hr == S_FALSE ? S_OK : data ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
};

class Policy2 : public FakeObject<INetFwPolicy2>
{
public:
    explicit Policy2(FakeFirewall& fw) : FakeObject(fw, "Policy2") {}
    GET(get_CurrentProfileTypes, LONG, m_fw.currentProfiles)
    GET_PROFILE(get_FirewallEnabled, VARIANT_BOOL, enabled)
    GET_PROFILE(get_BlockAllInboundTraffic, VARIANT_BOOL, blockInbound)
    GET_PROFILE(get_NotificationsDisabled, VARIANT_BOOL, notificationsOff)
    GET_PROFILE(get_UnicastResponsesToMulticastBroadcastDisabled, VARIANT_BOOL, unicastOff)
    GET_PROFILE(get_DefaultInboundAction, NET_FW_ACTION, inbound)
    GET_PROFILE(get_DefaultOutboundAction, NET_FW_ACTION, outbound)
    GET_OBJECT(get_Rules, INetFwRules, new Rules(m_fw))
    NOTIMPL(put_FirewallEnabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    NOTIMPL(get_ExcludedInterfaces(NET_FW_PROFILE_TYPE2, VARIANT*))
    NOTIMPL(put_ExcludedInterfaces(NET_FW_PROFILE_TYPE2, VARIANT))
    NOTIMPL(put_BlockAllInboundTraffic(NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    NOTIMPL(put_NotificationsDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    NOTIMPL(put_UnicastResponsesToMulticastBroadcastDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    NOTIMPL(get_ServiceRestriction(INetFwServiceRestriction**)) NOTIMPL(RestoreLocalFirewallDefaults())
    NOTIMPL(EnableRuleGroup(LONG, BSTR, VARIANT_BOOL)) NOTIMPL(IsRuleGroupEnabled(LONG, BSTR, VARIANT_BOOL*))
    NOTIMPL(put_DefaultInboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION))
    NOTIMPL(put_DefaultOutboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION))
    NOTIMPL(get_IsRuleGroupCurrentlyEnabled(BSTR, VARIANT_BOOL*)) NOTIMPL(get_LocalPolicyModifyState(NET_FW_MODIFY_STATE*))
};

class AuthorizedApp : public FakeObject<INetFwAuthorizedApplication>
{
public:
    AuthorizedApp(FakeFirewall& fw, std::shared_ptr<FakeApp> app) : FakeObject(fw, "App"), data(std::move(app)) {}
    std::shared_ptr<FakeApp> data;

    NOTIMPL(get_Name(BSTR*)) PUT_TEXT(put_Name, data->name)
    NOTIMPL(get_ProcessImageFileName(BSTR*)) PUT_TEXT(put_ProcessImageFileName, data->image)
    NOTIMPL(get_IpVersion(NET_FW_IP_VERSION*)) NOTIMPL(put_IpVersion(NET_FW_IP_VERSION))
    NOTIMPL(get_Scope(NET_FW_SCOPE*)) NOTIMPL(put_Scope(NET_FW_SCOPE))
    NOTIMPL(get_RemoteAddresses(BSTR*)) NOTIMPL(put_RemoteAddresses(BSTR))
    GET(get_Enabled, VARIANT_BOOL, data->enabled) NOTIMPL(put_Enabled(VARIANT_BOOL))
};

class AuthorizedApps : public FakeObject<INetFwAuthorizedApplications>
{
public:
    explicit AuthorizedApps(FakeFirewall& fw) : FakeObject(fw, "Apps") {}
    NOTIMPL(get_Count(LONG*)) NOTIMPL(Remove(BSTR)) NOTIMPL(get__NewEnum(IUnknown**))
    HRESULT STDMETHODCALLTYPE Add(INetFwAuthorizedApplication* app) override
    {
        AuthorizedApp* a = static_cast<AuthorizedApp*>(app);
        HRESULT hr = m_fw.Call("Apps.Add", a ? a->data->image : L"<null>");
        if (SUCCEEDED(hr) && a) m_fw.apps.push_back(a->data);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Item(BSTR image, INetFwAuthorizedApplication** out) override
    {
        HRESULT hr = m_fw.Call("Apps.Item", Text(image));
        if (FAILED(hr) || !out) return FAILED(hr) ? hr : E_POINTER;
        auto data = m_fw.FindApp(Text(image));
        *out = data ? new AuthorizedApp(m_fw, data) : nullptr;
        return data ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
};

class Profile : public FakeObject<INetFwProfile>
{
public:
    explicit Profile(FakeFirewall& fw) : FakeObject(fw, "Profile") {}
    GET(get_FirewallEnabled, VARIANT_BOOL, m_fw.firewallEnabled)
    GET(get_ExceptionsNotAllowed, VARIANT_BOOL, m_fw.exceptionsNotAllowed)
    GET(get_NotificationsDisabled, VARIANT_BOOL, m_fw.notificationsDisabled)
    GET(get_UnicastResponsesToMulticastBroadcastDisabled, VARIANT_BOOL, m_fw.unicastDisabled)
    GET_OBJECT(get_AuthorizedApplications, INetFwAuthorizedApplications, new AuthorizedApps(m_fw))
    NOTIMPL(get_Type(NET_FW_PROFILE_TYPE*)) NOTIMPL(put_FirewallEnabled(VARIANT_BOOL))
    NOTIMPL(put_ExceptionsNotAllowed(VARIANT_BOOL)) NOTIMPL(put_NotificationsDisabled(VARIANT_BOOL))
    NOTIMPL(put_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL))
    NOTIMPL(get_RemoteAdminSettings(INetFwRemoteAdminSettings**)) NOTIMPL(get_IcmpSettings(INetFwIcmpSettings**))
    NOTIMPL(get_GloballyOpenPorts(INetFwOpenPorts**)) NOTIMPL(get_Services(INetFwServices**))
};

class Policy : public FakeObject<INetFwPolicy>
{
public:
    explicit Policy(FakeFirewall& fw) : FakeObject(fw, "Policy") {}
    GET_OBJECT(get_CurrentProfile, INetFwProfile, new Profile(m_fw))
    NOTIMPL(GetProfileByType(NET_FW_PROFILE_TYPE, INetFwProfile**))
};

class Mgr : public FakeObject<INetFwMgr>
{
public:
    explicit Mgr(FakeFirewall& fw) : FakeObject(fw, "Mgr") {}
    GET_OBJECT(get_LocalPolicy, INetFwPolicy, new Policy(m_fw))
    NOTIMPL(get_CurrentProfileType(NET_FW_PROFILE_TYPE*)) NOTIMPL(RestoreDefaults())
    NOTIMPL(IsPortAllowed(BSTR, NET_FW_IP_VERSION, LONG, BSTR, NET_FW_IP_PROTOCOL, VARIANT*, VARIANT*))
    NOTIMPL(IsIcmpTypeAllowed(NET_FW_IP_VERSION, BSTR, BYTE, VARIANT*, VARIANT*))
};

// One class object per class: records "create <class>", then makes the fake.
class Factory : public IClassFactory
{
public:
    Factory(FakeFirewall& fw, const char* name, std::function<IUnknown*()> make)
        : m_fw(fw), m_name(std::string("create ") + name), m_make(std::move(make))
    {
    }
    virtual ~Factory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != __uuidof(IUnknown) && riid != __uuidof(IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        HRESULT hr = m_fw.Call(m_name);
        if (FAILED(hr)) return hr;
        IUnknown* object = m_make();
        hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    FakeFirewall& m_fw;
    std::string m_name;
    std::function<IUnknown*()> m_make;
    ULONG m_refs = 1;
};

}  // namespace

HRESULT FakeFirewall::Call(const std::string& method, const std::wstring& value)
{
    std::wstring name(method.begin(), method.end());
    calls.push_back(value.empty() ? name : name + L" " + value);
    auto it = failures.find(name);
    return it == failures.end() ? S_OK : it->second;
}

std::shared_ptr<FakeRule> FakeFirewall::FindRule(const std::wstring& name) const
{
    for (const auto& r : rules)
        if (r->name == name) return r;
    return nullptr;
}

std::shared_ptr<FakeApp> FakeFirewall::FindApp(const std::wstring& image) const
{
    for (const auto& a : apps)
        if (a->image == image) return a;
    return nullptr;
}

FakeFirewallRegistration::FakeFirewallRegistration(FakeFirewall& fw)
{
    const struct {
        CLSID clsid;
        const char* name;
        std::function<IUnknown*()> make;
    } classes[] = {
        {__uuidof(NetFwPolicy2), "NetFwPolicy2", [&fw] { return static_cast<IUnknown*>(new Policy2(fw)); }},
        {__uuidof(NetFwRule), "NetFwRule", [&fw] { return static_cast<IUnknown*>(new Rule(fw, std::make_shared<FakeRule>())); }},
        {__uuidof(NetFwMgr), "NetFwMgr", [&fw] { return static_cast<IUnknown*>(new Mgr(fw)); }},
        {__uuidof(NetFwAuthorizedApplication), "NetFwAuthorizedApplication",
         [&fw] { return static_cast<IUnknown*>(new AuthorizedApp(fw, std::make_shared<FakeApp>())); }},
    };
    ok = true;
    for (const auto& c : classes) {
        auto* factory = new Factory(fw, c.name, c.make);
        DWORD cookie = 0;
        if (FAILED(CoRegisterClassObject(c.clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
            ok = false;
            factory->Release();
            continue;
        }
        m_cookies.push_back(cookie);
        m_factories.push_back(factory);
    }
}

FakeFirewallRegistration::~FakeFirewallRegistration()
{
    for (DWORD cookie : m_cookies) CoRevokeClassObject(cookie);
    for (IUnknown* factory : m_factories) factory->Release();
}
