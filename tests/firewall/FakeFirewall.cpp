#include "FakeFirewall.h"

#include <functional>

namespace {

#define NOTIMPL(signature) \
    HRESULT STDMETHODCALLTYPE signature override { return E_NOTIMPL; }

std::wstring Text(BSTR s)
{
    return s ? std::wstring(s) : std::wstring(L"<null>");
}

HRESULT PutText(BSTR* out, const std::wstring& text)
{
    if (!out) return E_POINTER;
    *out = SysAllocString(text.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

// IUnknown and IDispatch of every fake, counted in the firewall's live objects.
template <class Itf>
class FakeObject : public Itf
{
public:
    explicit FakeObject(FakeFirewall& fw) : m_fw(fw) { ++m_fw.liveObjects; }
    virtual ~FakeObject() { --m_fw.liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(Itf)) {
            *out = static_cast<Itf*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    NOTIMPL(GetTypeInfoCount(UINT*))
    NOTIMPL(GetTypeInfo(UINT, LCID, ITypeInfo**))
    NOTIMPL(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
    NOTIMPL(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))

protected:
    FakeFirewall& m_fw;
    ULONG m_refs = 1;
};

template <class T, class Value>
HRESULT Get(FakeFirewall& fw, const wchar_t* method, T* out, Value value)
{
    HRESULT hr = fw.Call(method);
    if (FAILED(hr)) return hr;
    if (!out) return E_POINTER;
    *out = static_cast<T>(value);
    return S_OK;
}

class Rule : public FakeObject<INetFwRule>
{
public:
    Rule(FakeFirewall& fw, std::shared_ptr<FakeRule> data) : FakeObject(fw), data(std::move(data)) {}
    std::shared_ptr<FakeRule> data;

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* s) override { return GetText(L"Rule.get_Name", s, data->name); }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR s) override { return PutTextField(L"Rule.put_Name", s, data->name); }
    NOTIMPL(get_Description(BSTR*))
    HRESULT STDMETHODCALLTYPE put_Description(BSTR s) override
    {
        return PutTextField(L"Rule.put_Description", s, data->description);
    }
    HRESULT STDMETHODCALLTYPE get_ApplicationName(BSTR* s) override
    {
        return GetText(L"Rule.get_ApplicationName", s, data->application);
    }
    HRESULT STDMETHODCALLTYPE put_ApplicationName(BSTR s) override
    {
        return PutTextField(L"Rule.put_ApplicationName", s, data->application);
    }
    NOTIMPL(get_ServiceName(BSTR*))
    NOTIMPL(put_ServiceName(BSTR))
    HRESULT STDMETHODCALLTYPE get_Protocol(LONG* v) override { return Get(m_fw, L"Rule.get_Protocol", v, data->protocol); }
    HRESULT STDMETHODCALLTYPE put_Protocol(LONG v) override { return PutNumber(L"Rule.put_Protocol", v, data->protocol); }
    HRESULT STDMETHODCALLTYPE get_LocalPorts(BSTR* s) override { return GetText(L"Rule.get_LocalPorts", s, data->localPorts); }
    HRESULT STDMETHODCALLTYPE put_LocalPorts(BSTR s) override
    {
        return PutTextField(L"Rule.put_LocalPorts", s, data->localPorts);
    }
    HRESULT STDMETHODCALLTYPE get_RemotePorts(BSTR* s) override
    {
        return GetText(L"Rule.get_RemotePorts", s, data->remotePorts);
    }
    HRESULT STDMETHODCALLTYPE put_RemotePorts(BSTR s) override
    {
        return PutTextField(L"Rule.put_RemotePorts", s, data->remotePorts);
    }
    NOTIMPL(get_LocalAddresses(BSTR*))
    NOTIMPL(put_LocalAddresses(BSTR))
    NOTIMPL(get_RemoteAddresses(BSTR*))
    NOTIMPL(put_RemoteAddresses(BSTR))
    NOTIMPL(get_IcmpTypesAndCodes(BSTR*))
    NOTIMPL(put_IcmpTypesAndCodes(BSTR))
    HRESULT STDMETHODCALLTYPE get_Direction(NET_FW_RULE_DIRECTION* v) override
    {
        return Get(m_fw, L"Rule.get_Direction", v, data->direction);
    }
    HRESULT STDMETHODCALLTYPE put_Direction(NET_FW_RULE_DIRECTION v) override
    {
        return PutNumber(L"Rule.put_Direction", v, data->direction);
    }
    NOTIMPL(get_Interfaces(VARIANT*))
    NOTIMPL(put_Interfaces(VARIANT))
    NOTIMPL(get_InterfaceTypes(BSTR*))
    NOTIMPL(put_InterfaceTypes(BSTR))
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* v) override { return Get(m_fw, L"Rule.get_Enabled", v, data->enabled); }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL v) override { return PutNumber(L"Rule.put_Enabled", v, data->enabled); }
    NOTIMPL(get_Grouping(BSTR*))
    NOTIMPL(put_Grouping(BSTR))
    HRESULT STDMETHODCALLTYPE get_Profiles(LONG* v) override { return Get(m_fw, L"Rule.get_Profiles", v, data->profiles); }
    HRESULT STDMETHODCALLTYPE put_Profiles(LONG v) override { return PutNumber(L"Rule.put_Profiles", v, data->profiles); }
    NOTIMPL(get_EdgeTraversal(VARIANT_BOOL*))
    NOTIMPL(put_EdgeTraversal(VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_Action(NET_FW_ACTION* v) override { return Get(m_fw, L"Rule.get_Action", v, data->action); }
    HRESULT STDMETHODCALLTYPE put_Action(NET_FW_ACTION v) override { return PutNumber(L"Rule.put_Action", v, data->action); }

private:
    HRESULT GetText(const wchar_t* method, BSTR* out, const std::wstring& value)
    {
        HRESULT hr = m_fw.Call(method);
        return FAILED(hr) ? hr : PutText(out, value);
    }
    HRESULT PutTextField(const wchar_t* method, BSTR s, std::wstring& field)
    {
        HRESULT hr = m_fw.Call(method, Text(s));
        if (SUCCEEDED(hr)) field = Text(s);
        return hr;
    }
    template <class T>
    HRESULT PutNumber(const wchar_t* method, T v, T& field)
    {
        HRESULT hr = m_fw.Call(method, std::to_wstring(static_cast<long>(v)));
        if (SUCCEEDED(hr)) field = v;
        return hr;
    }
};

class Rules : public FakeObject<INetFwRules>
{
public:
    using FakeObject::FakeObject;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* n) override { return Get(m_fw, L"Rules.get_Count", n, m_fw.rules.size()); }
    HRESULT STDMETHODCALLTYPE Add(INetFwRule* rule) override
    {
        Rule* r = static_cast<Rule*>(rule);
        HRESULT hr = m_fw.Call(L"Rules.Add", r ? r->data->name : L"<null>");
        if (SUCCEEDED(hr) && r) m_fw.rules.push_back(r->data);
        return hr;
    }
    NOTIMPL(Remove(BSTR))
    HRESULT STDMETHODCALLTYPE Item(BSTR name, INetFwRule** out) override
    {
        HRESULT hr = m_fw.Call(L"Rules.Item", Text(name));
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = nullptr;
        auto data = m_fw.FindRule(Text(name));
        if (!data) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        *out = new Rule(m_fw, data);
        return S_OK;
    }
    NOTIMPL(get__NewEnum(IUnknown**))
};

class Policy2 : public FakeObject<INetFwPolicy2>
{
public:
    using FakeObject::FakeObject;
    HRESULT STDMETHODCALLTYPE get_CurrentProfileTypes(LONG* v) override
    {
        return Get(m_fw, L"Policy2.get_CurrentProfileTypes", v, m_fw.currentProfiles);
    }
    HRESULT STDMETHODCALLTYPE get_FirewallEnabled(NET_FW_PROFILE_TYPE2 p, VARIANT_BOOL* v) override
    {
        return Get(m_fw, L"Policy2.get_FirewallEnabled", v, m_fw.profiles[p].enabled);
    }
    NOTIMPL(put_FirewallEnabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    NOTIMPL(get_ExcludedInterfaces(NET_FW_PROFILE_TYPE2, VARIANT*))
    NOTIMPL(put_ExcludedInterfaces(NET_FW_PROFILE_TYPE2, VARIANT))
    HRESULT STDMETHODCALLTYPE get_BlockAllInboundTraffic(NET_FW_PROFILE_TYPE2 p, VARIANT_BOOL* v) override
    {
        return Get(m_fw, L"Policy2.get_BlockAllInboundTraffic", v, m_fw.profiles[p].blockInbound);
    }
    NOTIMPL(put_BlockAllInboundTraffic(NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(NET_FW_PROFILE_TYPE2 p, VARIANT_BOOL* v) override
    {
        return Get(m_fw, L"Policy2.get_NotificationsDisabled", v, m_fw.profiles[p].notificationsOff);
    }
    NOTIMPL(put_NotificationsDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(NET_FW_PROFILE_TYPE2 p,
                                                                              VARIANT_BOOL* v) override
    {
        return Get(m_fw, L"Policy2.get_UnicastResponsesToMulticastBroadcastDisabled", v, m_fw.profiles[p].unicastOff);
    }
    NOTIMPL(put_UnicastResponsesToMulticastBroadcastDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_Rules(INetFwRules** out) override
    {
        HRESULT hr = m_fw.Call(L"Policy2.get_Rules");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = new Rules(m_fw);
        return S_OK;
    }
    NOTIMPL(get_ServiceRestriction(INetFwServiceRestriction**))
    NOTIMPL(EnableRuleGroup(LONG, BSTR, VARIANT_BOOL))
    NOTIMPL(IsRuleGroupEnabled(LONG, BSTR, VARIANT_BOOL*))
    NOTIMPL(RestoreLocalFirewallDefaults())
    HRESULT STDMETHODCALLTYPE get_DefaultInboundAction(NET_FW_PROFILE_TYPE2 p, NET_FW_ACTION* v) override
    {
        return Get(m_fw, L"Policy2.get_DefaultInboundAction", v, m_fw.profiles[p].inbound);
    }
    NOTIMPL(put_DefaultInboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION))
    HRESULT STDMETHODCALLTYPE get_DefaultOutboundAction(NET_FW_PROFILE_TYPE2 p, NET_FW_ACTION* v) override
    {
        return Get(m_fw, L"Policy2.get_DefaultOutboundAction", v, m_fw.profiles[p].outbound);
    }
    NOTIMPL(put_DefaultOutboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION))
    NOTIMPL(get_IsRuleGroupCurrentlyEnabled(BSTR, VARIANT_BOOL*))
    NOTIMPL(get_LocalPolicyModifyState(NET_FW_MODIFY_STATE*))
};

class AuthorizedApp : public FakeObject<INetFwAuthorizedApplication>
{
public:
    AuthorizedApp(FakeFirewall& fw, std::shared_ptr<FakeApp> data) : FakeObject(fw), data(std::move(data)) {}
    std::shared_ptr<FakeApp> data;

    NOTIMPL(get_Name(BSTR*))
    HRESULT STDMETHODCALLTYPE put_Name(BSTR s) override
    {
        HRESULT hr = m_fw.Call(L"App.put_Name", Text(s));
        if (SUCCEEDED(hr)) data->name = Text(s);
        return hr;
    }
    NOTIMPL(get_ProcessImageFileName(BSTR*))
    HRESULT STDMETHODCALLTYPE put_ProcessImageFileName(BSTR s) override
    {
        HRESULT hr = m_fw.Call(L"App.put_ProcessImageFileName", Text(s));
        if (SUCCEEDED(hr)) data->image = Text(s);
        return hr;
    }
    NOTIMPL(get_IpVersion(NET_FW_IP_VERSION*))
    NOTIMPL(put_IpVersion(NET_FW_IP_VERSION))
    NOTIMPL(get_Scope(NET_FW_SCOPE*))
    NOTIMPL(put_Scope(NET_FW_SCOPE))
    NOTIMPL(get_RemoteAddresses(BSTR*))
    NOTIMPL(put_RemoteAddresses(BSTR))
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* v) override { return Get(m_fw, L"App.get_Enabled", v, data->enabled); }
    NOTIMPL(put_Enabled(VARIANT_BOOL))
};

class AuthorizedApps : public FakeObject<INetFwAuthorizedApplications>
{
public:
    using FakeObject::FakeObject;
    NOTIMPL(get_Count(LONG*))
    HRESULT STDMETHODCALLTYPE Add(INetFwAuthorizedApplication* app) override
    {
        AuthorizedApp* a = static_cast<AuthorizedApp*>(app);
        HRESULT hr = m_fw.Call(L"Apps.Add", a ? a->data->image : L"<null>");
        if (SUCCEEDED(hr) && a) m_fw.apps.push_back(a->data);
        return hr;
    }
    NOTIMPL(Remove(BSTR))
    HRESULT STDMETHODCALLTYPE Item(BSTR image, INetFwAuthorizedApplication** out) override
    {
        HRESULT hr = m_fw.Call(L"Apps.Item", Text(image));
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = nullptr;
        auto data = m_fw.FindApp(Text(image));
        if (!data) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        *out = new AuthorizedApp(m_fw, data);
        return S_OK;
    }
    NOTIMPL(get__NewEnum(IUnknown**))
};

class Profile : public FakeObject<INetFwProfile>
{
public:
    using FakeObject::FakeObject;
    NOTIMPL(get_Type(NET_FW_PROFILE_TYPE*))
    HRESULT STDMETHODCALLTYPE get_FirewallEnabled(VARIANT_BOOL* v) override
    {
        return Get(m_fw, L"Profile.get_FirewallEnabled", v, m_fw.firewallEnabled);
    }
    NOTIMPL(put_FirewallEnabled(VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_ExceptionsNotAllowed(VARIANT_BOOL* v) override
    {
        return Get(m_fw, L"Profile.get_ExceptionsNotAllowed", v, m_fw.exceptionsNotAllowed);
    }
    NOTIMPL(put_ExceptionsNotAllowed(VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(VARIANT_BOOL* v) override
    {
        return Get(m_fw, L"Profile.get_NotificationsDisabled", v, m_fw.notificationsDisabled);
    }
    NOTIMPL(put_NotificationsDisabled(VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL* v) override
    {
        return Get(m_fw, L"Profile.get_UnicastResponsesToMulticastBroadcastDisabled", v, m_fw.unicastDisabled);
    }
    NOTIMPL(put_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL))
    NOTIMPL(get_RemoteAdminSettings(INetFwRemoteAdminSettings**))
    NOTIMPL(get_IcmpSettings(INetFwIcmpSettings**))
    NOTIMPL(get_GloballyOpenPorts(INetFwOpenPorts**))
    NOTIMPL(get_Services(INetFwServices**))
    HRESULT STDMETHODCALLTYPE get_AuthorizedApplications(INetFwAuthorizedApplications** out) override
    {
        HRESULT hr = m_fw.Call(L"Profile.get_AuthorizedApplications");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = new AuthorizedApps(m_fw);
        return S_OK;
    }
};

class Policy : public FakeObject<INetFwPolicy>
{
public:
    using FakeObject::FakeObject;
    HRESULT STDMETHODCALLTYPE get_CurrentProfile(INetFwProfile** out) override
    {
        HRESULT hr = m_fw.Call(L"Policy.get_CurrentProfile");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = new Profile(m_fw);
        return S_OK;
    }
    NOTIMPL(GetProfileByType(NET_FW_PROFILE_TYPE, INetFwProfile**))
};

class Mgr : public FakeObject<INetFwMgr>
{
public:
    using FakeObject::FakeObject;
    HRESULT STDMETHODCALLTYPE get_LocalPolicy(INetFwPolicy** out) override
    {
        HRESULT hr = m_fw.Call(L"Mgr.get_LocalPolicy");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = new Policy(m_fw);
        return S_OK;
    }
    NOTIMPL(get_CurrentProfileType(NET_FW_PROFILE_TYPE*))
    NOTIMPL(RestoreDefaults())
    NOTIMPL(IsPortAllowed(BSTR, NET_FW_IP_VERSION, LONG, BSTR, NET_FW_IP_PROTOCOL, VARIANT*, VARIANT*))
    NOTIMPL(IsIcmpTypeAllowed(NET_FW_IP_VERSION, BSTR, BYTE, VARIANT*, VARIANT*))
};

// One class object per class: creates the fake after recording "create <class>".
class Factory : public IClassFactory
{
public:
    Factory(FakeFirewall& fw, const wchar_t* name, std::function<IUnknown*()> make)
        : m_fw(fw), m_name(name), m_make(std::move(make))
    {
    }
    virtual ~Factory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
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
        HRESULT hr = m_fw.Call(std::wstring(L"create ") + m_name);
        if (FAILED(hr)) return hr;
        IUnknown* object = m_make();
        hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    FakeFirewall& m_fw;
    const wchar_t* m_name;
    std::function<IUnknown*()> m_make;
    ULONG m_refs = 1;
};

}  // namespace

HRESULT FakeFirewall::Call(const std::wstring& method, const std::wstring& value)
{
    calls.push_back(value.empty() ? method : method + L" " + value);
    auto it = failures.find(method);
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
    struct Class {
        CLSID clsid;
        const wchar_t* name;
        std::function<IUnknown*()> make;
    };
    const Class classes[] = {
        {__uuidof(NetFwPolicy2), L"NetFwPolicy2", [&fw] { return static_cast<IUnknown*>(new Policy2(fw)); }},
        {__uuidof(NetFwRule), L"NetFwRule",
         [&fw] { return static_cast<IUnknown*>(new Rule(fw, std::make_shared<FakeRule>())); }},
        {__uuidof(NetFwMgr), L"NetFwMgr", [&fw] { return static_cast<IUnknown*>(new Mgr(fw)); }},
        {__uuidof(NetFwAuthorizedApplication), L"NetFwAuthorizedApplication",
         [&fw] { return static_cast<IUnknown*>(new AuthorizedApp(fw, std::make_shared<FakeApp>())); }},
    };
    ok = true;
    for (const Class& c : classes) {
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
