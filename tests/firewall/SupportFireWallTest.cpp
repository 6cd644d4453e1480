// The firewall wrappers, the library's AddInfo road and the start-up's firewall entries,
// against the fake firewall registered as the COM classes of the test thread's apartment.
#include "FakeFirewall.h"
#include "FirewallException.h"
#include "FirewallStatus.h"
#include "LogCapture.h"
#include "SupportFireWall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

namespace {

const wchar_t kPath[] = L"C:\\Program Files\\Zarnock\\zarnock.exe";
const wchar_t kDescription[] = L"Digital clock (https://www.mervale-software.example)";
const char kRuleEntry[] = "Zarnock,2,1,1,17,2,,123,C:\\Program Files\\Zarnock\\zarnock.exe";

// The text of each entry at one mark, without time stamp and source.
std::vector<std::string> EntryTexts(LogCapture& log, const char* mark)
{
    std::vector<std::string> out;
    for (std::string line : log.Entries(mark)) {
        line = line.substr(24);
        line.erase(line.rfind(" ["));
        while (!line.empty() && (line.back() == ' ' || line.back() == '-')) line.pop_back();
        out.push_back(line);
    }
    return out;
}

bool Contains(const std::vector<std::wstring>& calls, const std::wstring& call)
{
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

class FirewallTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        m_registration = std::make_unique<FakeFirewallRegistration>(fw);
        ASSERT_TRUE(m_registration->ok);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, fw.liveObjects) << "a fake object was never released";
        m_registration.reset();
        CoUninitialize();
    }
    void Reset()
    {
        fw.rules.clear();
        fw.apps.clear();
        fw.calls.clear();
        fw.failures.clear();
        log.Take();
    }
    HRESULT AddRule()
    {
        CSupportFireWall2 wrapper;
        HRESULT hr = wrapper.Initialize();
        return hr != S_OK ? hr
                          : wrapper.AddOrUpdateRule(L"Zarnock", kDescription, kPath, nullptr, L"123",
                                                    NET_FW_IP_PROTOCOL_UDP, NET_FW_RULE_DIR_OUT);
    }
    std::shared_ptr<FakeRule> AddExisting(std::function<void(FakeRule&)> change = [](FakeRule&) {})
    {
        auto rule = std::make_shared<FakeRule>(FakeRule{L"Zarnock", kDescription, kPath, L"", L"123",
                                                        NET_FW_IP_PROTOCOL_UDP, NET_FW_PROFILE2_PRIVATE,
                                                        NET_FW_ACTION_ALLOW, VARIANT_TRUE, NET_FW_RULE_DIR_OUT});
        change(*rule);
        fw.rules.push_back(rule);
        return rule;
    }

    FakeFirewall fw;
    LogCapture log;

private:
    std::unique_ptr<FakeFirewallRegistration> m_registration;
};

TEST_F(FirewallTest, NewRuleIsCreatedWithEveryPropertyInOrder)
{
    EXPECT_EQ(S_OK, AddRule()) << "a new rule is a success, not FindRule's 1";
    const std::vector<std::wstring> expected = {
        L"create NetFwPolicy2", L"Policy2.get_Rules", L"Rules.Item Zarnock", L"create NetFwRule",
        L"Policy2.get_CurrentProfileTypes", L"Rule.put_Name Zarnock", std::wstring(L"Rule.put_Description ") + kDescription,
        std::wstring(L"Rule.put_ApplicationName ") + kPath, L"Rule.put_Protocol 17", L"Rule.put_LocalPorts",
        L"Rule.put_RemotePorts 123", L"Rule.put_Action 1", L"Rule.put_Profiles 2", L"Rule.put_Enabled -1",
        L"Rule.put_Direction 2", L"Rules.Add Zarnock"};
    EXPECT_EQ(expected, fw.calls);
    EXPECT_EQ(1u, fw.rules.size());
    EXPECT_EQ(std::vector<std::string>{"0x80070002"}, EntryTexts(log, " W ")) << "a missing rule is only a warning";
    EXPECT_TRUE(EntryTexts(log, " * ").empty());
}

TEST_F(FirewallTest, ExistingRuleIsUpdatedInPlace)
{
    const struct {
        const char* road;
        std::function<void(FakeRule&)> change;
    } cases[] = {
        {"present as wanted", [](FakeRule&) {}},
        {"different", [](FakeRule& r) {
             r = {L"Zarnock", L"old", L"C:\\old\\zarnock.exe", L"5000", L"*", NET_FW_IP_PROTOCOL_TCP,
                  NET_FW_PROFILE2_ALL, NET_FW_ACTION_BLOCK, VARIANT_TRUE, NET_FW_RULE_DIR_IN};
         }},
        {"disabled", [](FakeRule& r) { r.enabled = VARIANT_FALSE; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.road);
        Reset();
        auto rule = AddExisting(c.change);
        EXPECT_EQ(S_OK, AddRule());
        ASSERT_EQ(1u, fw.rules.size()) << "no second rule";
        EXPECT_FALSE(Contains(fw.calls, L"Rules.Add Zarnock"));
        const FakeRule& r = *rule;
        EXPECT_TRUE(r.description == kDescription && r.application == kPath && r.localPorts.empty() &&
                    r.remotePorts == L"123" && r.protocol == NET_FW_IP_PROTOCOL_UDP &&
                    r.action == NET_FW_ACTION_ALLOW && r.direction == NET_FW_RULE_DIR_OUT &&
                    r.enabled == VARIANT_TRUE && r.profiles == NET_FW_PROFILE2_PRIVATE);
    }
    // A collection that answers success but hands out no rule: a new rule, never a null one.
    Reset();
    fw.failures[L"Rules.Item"] = S_FALSE;
    EXPECT_EQ(S_OK, AddRule());
    EXPECT_TRUE(Contains(fw.calls, L"Rules.Add Zarnock"));
}

TEST_F(FirewallTest, PublicIsDroppedOnlyBesideAnotherProfile)
{
    const long kDomain = NET_FW_PROFILE2_DOMAIN, kPrivate = NET_FW_PROFILE2_PRIVATE, kPublic = NET_FW_PROFILE2_PUBLIC;
    const long cases[][2] = {{kPrivate | kPublic, kPrivate}, {kPublic, kPublic},
                             {kDomain | kPrivate | kPublic, kDomain | kPrivate}, {kDomain, kDomain}};
    for (const auto& c : cases) {
        Reset();
        fw.currentProfiles = c[0];
        EXPECT_EQ(S_OK, AddRule());
        ASSERT_EQ(1u, fw.rules.size());
        EXPECT_EQ(c[1], fw.rules[0]->profiles) << "current " << c[0];
    }
}

TEST_F(FirewallTest, FailingStepEndsTheRuleWithItsCode)
{
    const struct {
        const wchar_t* call;
        const wchar_t* lastCall;  // nothing is asked after it
    } cases[] = {
        {L"create NetFwPolicy2", L"create NetFwPolicy2"},
        {L"Policy2.get_Rules", L"Policy2.get_Rules"},
        {L"Rules.Item", L"Rules.Item Zarnock"},
        {L"create NetFwRule", L"create NetFwRule"},
        {L"Policy2.get_CurrentProfileTypes", L"Policy2.get_CurrentProfileTypes"},
        {L"Rule.put_Protocol", L"Rule.put_Protocol 17"},
        {L"Rule.put_Direction", L"Rule.put_Direction 2"},
        {L"Rules.Add", L"Rules.Add Zarnock"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.call, c.call + wcslen(c.call)));
        Reset();
        fw.failures = {{c.call, E_ACCESSDENIED}};
        EXPECT_EQ(E_ACCESSDENIED, AddRule());
        ASSERT_FALSE(fw.calls.empty());
        EXPECT_EQ(c.lastCall, fw.calls.back());
        EXPECT_TRUE(fw.rules.empty());
        EXPECT_NE(std::string::npos, log.Take().find("* 0x80070005"));
    }
}

TEST_F(FirewallTest, RuleLogEntries)
{
    fw.profiles[NET_FW_PROFILE2_PRIVATE] = {VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE,
                                            NET_FW_ACTION_ALLOW, NET_FW_ACTION_BLOCK};
    AddExisting();
    fw.failures = {{L"Policy2.get_DefaultOutboundAction", E_NOTIMPL}};
    CSupportFireWall2 wrapper;
    ASSERT_EQ(S_OK, wrapper.Initialize());
    EXPECT_EQ(S_OK, wrapper.LogRule(L"Zarnock"));
    const std::vector<std::string> expected = {"PUBLIC,1,0,0,0,0,-1", "PRIVATE,0,1,1,1,1,-1", "DOMAIN,1,0,0,0,0,-1",
                                               kRuleEntry};
    EXPECT_EQ(expected, EntryTexts(log, " - "));

    Reset();
    EXPECT_EQ(1, wrapper.LogRule(L"Zarnock"));
    std::string text = log.Take();
    EXPECT_NE(std::string::npos, text.find(" * NO RULE"));
    EXPECT_NE(std::string::npos, text.find(" W 0x80070002"));
    CSupportFireWall2 uninitialised;
    EXPECT_EQ(1, uninitialised.LogRule(L"Zarnock"));
}

TEST_F(FirewallTest, AuthorisedApplicationRoads)
{
    auto app = [](VARIANT_BOOL enabled) { return std::make_shared<FakeApp>(FakeApp{kPath, L"Zarnock", enabled}); };
    const struct {
        const char* road;
        std::shared_ptr<FakeApp> existing;
        const wchar_t* failing;
        FW_ERROR_CODE result;
        bool asksToAdd;
    } cases[] = {
        {"absent", nullptr, nullptr, FW_NOERROR, true},
        {"present and enabled", app(VARIANT_TRUE), nullptr, FW_NOERROR, false},
        {"present but disabled", app(VARIANT_FALSE), nullptr, FW_NOERROR, true},
        {"enabled state unreadable", app(VARIANT_TRUE), L"App.get_Enabled", FW_ERR_APP_ENABLED, false},
        {"no collection", nullptr, L"Profile.get_AuthorizedApplications", FW_ERR_AUTH_APPLICATIONS, false},
        {"no new entry", nullptr, L"create NetFwAuthorizedApplication", FW_ERR_CREATE_APP_INSTANCE, false},
        {"image refused", nullptr, L"App.put_ProcessImageFileName", FW_ERR_PUT_PROCESS_IMAGE_NAME, false},
        {"name refused", nullptr, L"App.put_Name", FW_ERR_PUT_REGISTER_NAME, false},
        {"add refused", nullptr, L"Apps.Add", FW_ERR_ADD_TO_COLLECTION, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.road);
        Reset();
        if (c.existing) fw.apps.push_back(c.existing);
        if (c.failing) fw.failures[c.failing] = E_FAIL;
        CSupportFireWall wrapper;
        ASSERT_EQ(FW_NOERROR, wrapper.Initialize());
        EXPECT_EQ(c.result, wrapper.AddApp(kPath, L"Zarnock"));
        EXPECT_EQ(c.asksToAdd, Contains(fw.calls, std::wstring(L"Apps.Add ") + kPath));
        if (c.result == FW_NOERROR && c.asksToAdd) {
            EXPECT_TRUE(fw.apps.back()->name == L"Zarnock" && fw.apps.back()->enabled == VARIANT_TRUE);
        }
    }
}

TEST_F(FirewallTest, OlderModelStateArgumentsAndStatus)
{
    CSupportFireWall idle;
    BOOL enabled = TRUE;
    EXPECT_EQ(FW_ERR_WRONG_STATE, idle.IsAppEnabled(kPath, enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(FW_ERR_WRONG_STATE, idle.AddApp(kPath, L"Zarnock"));
    const struct {
        const wchar_t* failing;
        FW_ERROR_CODE result;
    } init[] = {{L"create NetFwMgr", FW_ERR_CREATE_SETTING_MANAGER},
                {L"Mgr.get_LocalPolicy", FW_ERR_LOCAL_POLICY},
                {L"Policy.get_CurrentProfile", FW_ERR_PROFILE}};
    for (const auto& c : init) {
        fw.failures = {{c.failing, E_FAIL}};
        CSupportFireWall failing;
        EXPECT_EQ(c.result, failing.Initialize());
    }
    fw.failures.clear();

    CSupportFireWall wrapper;
    ASSERT_EQ(FW_NOERROR, wrapper.Initialize());
    EXPECT_EQ(FW_ERR_WRONG_STATE, wrapper.Initialize());
    EXPECT_EQ(FW_ERR_INVALID_ARG, wrapper.AddApp(nullptr, L"Zarnock"));
    EXPECT_EQ(FW_ERR_INVALID_ARG, wrapper.AddApp(kPath, nullptr));
    EXPECT_EQ(FW_ERR_SYS_ALLOC_STRING, wrapper.AddApp(L"", L"Zarnock"));

    fw.apps.push_back(std::make_shared<FakeApp>(FakeApp{kPath, L"Zarnock", VARIANT_TRUE}));
    fw.notificationsDisabled = VARIANT_TRUE;
    log.Take();
    EXPECT_EQ(0u, wrapper.LogStatus(kPath));
    EXPECT_EQ(std::vector<std::string>{"C:\\Program Files\\Zarnock\\zarnock.exe,1,1,0,1,0"}, EntryTexts(log, " - "));
    fw.failures = {{L"Profile.get_ExceptionsNotAllowed", E_FAIL}};
    EXPECT_EQ(static_cast<DWORD>(FW_ERR_EXCEPTION_NOT_ALLOWED), wrapper.LogStatus(kPath));
    EXPECT_EQ(std::vector<std::string>{"0x00000017"}, EntryTexts(log, " * "));
}

// The library's road, with the version level given.
TEST_F(FirewallTest, ExceptionOnBothModels)
{
    EXPECT_EQ(0, AddFirewallException(kPath, 4));
    EXPECT_EQ(0, AddFirewallException(kPath, 3));
    ASSERT_EQ(1u, fw.rules.size());
    EXPECT_EQ(NET_FW_RULE_DIR_OUT, fw.rules[0]->direction);

    EXPECT_EQ(0, AddFirewallException(kPath, 2));
    ASSERT_EQ(1u, fw.apps.size());
    fw.calls.clear();
    EXPECT_EQ(0, AddFirewallException(kPath, 1));
    EXPECT_FALSE(Contains(fw.calls, std::wstring(L"Apps.Add ") + kPath)) << "already authorised: no change";

    fw.failures = {{L"Mgr.get_LocalPolicy", E_FAIL}};
    EXPECT_EQ(FW_ERR_LOCAL_POLICY, AddFirewallException(kPath, 2));
    fw.failures = {{L"Rule.put_Enabled", E_FAIL}};
    EXPECT_EQ(1, AddFirewallException(kPath, 7));

    std::wstring overlong = L"C:\\" + std::wstring(297, L'x');
    for (const wchar_t* path : {static_cast<const wchar_t*>(nullptr), L"", L"zarnock.exe", L"Zarnock\\zarnock.exe",
                                overlong.c_str()}) {
        fw.calls.clear();
        EXPECT_EQ(1, AddFirewallException(path, 4));
        EXPECT_EQ(FW_ERR_INVALID_ARG, AddFirewallException(path, 2));
        EXPECT_TRUE(fw.calls.empty()) << "nothing is asked of the firewall";
    }
    fw.failures.clear();
    EXPECT_EQ(0, AddFirewallException(L"\\\\server\\share\\zarnock.exe", 4));
}

TEST(FirewallVersionLevel, FromTheReportedVersion)
{
    // getVersion, major, minor (0xFF: the version could not be read), level
    const DWORD cases[][4] = {{0x80000004, 4, 10, 1}, {5, 5, 0, 7}, {5, 5, 1, 2}, {5, 5, 2, 2}, {6, 6, 0, 3},
                              {6, 6, 1, 4},           {6, 6, 2, 5}, {6, 6, 3, 6}, {10, 10, 0, 7}, {6, 6, 0xFF, 7}};
    for (const auto& c : cases) {
        OSVERSIONINFOW v{};
        v.dwMajorVersion = c[1];
        v.dwMinorVersion = c[2];
        EXPECT_EQ(static_cast<int>(c[3]), WindowsVersionLevelFrom(c[0], c[2] == 0xFF ? nullptr : &v))
            << c[1] << "." << c[2];
    }
}

TEST_F(FirewallTest, StartupEntries)
{
    AddExisting();
    LogFirewallStatus(4);
    std::vector<std::string> info = EntryTexts(log, " - ");
    ASSERT_EQ(4u, info.size());
    EXPECT_EQ(kRuleEntry, info[3]);

    log.Take();
    LogFirewallStatus(2);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string text = log.Take();
    EXPECT_NE(std::string::npos, text.find(std::string(self, self + wcslen(self)) + ",1,0,0,0,0")) << text;
}

// A thread already in the multithreaded apartment keeps it through both wrappers.
TEST(FirewallApartment, ChangedModeIsToleratedAndKept)
{
    std::thread worker([] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        {
            FakeFirewall fw;
            FakeFirewallRegistration registration(fw);
            ASSERT_TRUE(registration.ok);
            {
                CSupportFireWall2 rules;
                EXPECT_EQ(S_OK, rules.Initialize());
                CSupportFireWall apps;
                EXPECT_EQ(FW_NOERROR, apps.Initialize());
            }
            APTTYPE type = APTTYPE_STA;
            APTTYPEQUALIFIER qualifier;
            ASSERT_EQ(S_OK, CoGetApartmentType(&type, &qualifier));
            EXPECT_EQ(APTTYPE_MTA, type);
            EXPECT_EQ(0, fw.liveObjects);
        }
        CoUninitialize();
    });
    worker.join();
}

}  // namespace
