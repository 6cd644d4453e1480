// A Windows Firewall of the tests' own: COM objects for NetFwPolicy2 and NetFwRule (the rule
// model) and NetFwMgr and NetFwAuthorizedApplication (the older model), registered as the
// class objects of the calling thread's apartment, so the wrappers' own CoCreateInstance
// calls reach them. Every call is recorded; any call can be made to fail.
// Built into the 64-bit tests and the 32-bit end-to-end program alike (no test framework).
#pragma once

// Winsock 2 first, as in every part of the program, so windows.h never pulls in winsock.h.
#include <winsock2.h>
#include <windows.h>
#include <netfw.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

struct FakeRule
{
    std::wstring name, description, application, localPorts, remotePorts;
    long protocol = 256;  // any protocol
    long profiles = NET_FW_PROFILE2_ALL;
    NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
};

struct FakeApp
{
    std::wstring image, name;
    VARIANT_BOOL enabled = VARIANT_TRUE;
};

// The rule model's settings of one profile.
struct FakeProfileSettings
{
    VARIANT_BOOL enabled = VARIANT_TRUE, blockInbound = VARIANT_FALSE, notificationsOff = VARIANT_FALSE,
                 unicastOff = VARIANT_FALSE;
    NET_FW_ACTION inbound = NET_FW_ACTION_BLOCK, outbound = NET_FW_ACTION_ALLOW;
};

class FakeFirewall
{
public:
    // The rule model.
    long currentProfiles = NET_FW_PROFILE2_PRIVATE;
    std::map<long, FakeProfileSettings> profiles;
    std::vector<std::shared_ptr<FakeRule>> rules;
    // The older model's current profile.
    VARIANT_BOOL firewallEnabled = VARIANT_TRUE, exceptionsNotAllowed = VARIANT_FALSE,
                 notificationsDisabled = VARIANT_FALSE, unicastDisabled = VARIANT_FALSE;
    std::vector<std::shared_ptr<FakeApp>> apps;

    // A call named as recorded ("Rule.put_Name") answers this instead of succeeding.
    std::map<std::wstring, HRESULT> failures;
    // Every call, as "Object.method" or "Object.method value".
    std::vector<std::wstring> calls;
    // Fake objects alive now: 0 once every caller has released what it held.
    int liveObjects = 0;

    HRESULT Call(const std::string& method, const std::wstring& value = std::wstring());
    std::shared_ptr<FakeRule> FindRule(const std::wstring& name) const;
    std::shared_ptr<FakeApp> FindApp(const std::wstring& image) const;
};

// The fakes' class objects for the calling thread's apartment while this lives.
class FakeFirewallRegistration
{
public:
    explicit FakeFirewallRegistration(FakeFirewall& firewall);
    ~FakeFirewallRegistration();
    FakeFirewallRegistration(const FakeFirewallRegistration&) = delete;
    FakeFirewallRegistration& operator=(const FakeFirewallRegistration&) = delete;
    // Every class was registered.
    bool ok = false;

private:
    std::vector<DWORD> m_cookies;
    std::vector<IUnknown*> m_factories;
};
