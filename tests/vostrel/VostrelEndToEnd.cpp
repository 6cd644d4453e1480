// The 32-bit end-to-end test of vostrel.dll: loads the library from beside this program,
// finds AddInfo by name and calls it against the fake firewall registered for the calling
// thread. A 32-bit program under a Wine without wine32 exits 0 without running, so the
// test passes only on this program's own last line, "vostrel_e2e: all N checks passed".
#include "FakeFirewall.h"

#include <cstdio>
#include <string>

namespace {

using AddInfoFn = int(WINAPI*)(const wchar_t*);

int g_checks = 0;
int g_failures = 0;

void Check(bool ok, const char* what)
{
    ++g_checks;
    if (!ok) ++g_failures;
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
}

const wchar_t kPath[] = L"C:\\Program Files\\Zarnock\\zarnock.exe";

void RuleModelChecks(AddInfoFn addInfo)
{
    FakeFirewall fw;
    fw.currentProfiles = NET_FW_PROFILE2_PRIVATE | NET_FW_PROFILE2_PUBLIC;
    FakeFirewallRegistration registration(fw);
    Check(registration.ok, "the fake firewall is registered");

    Check(addInfo(kPath) == 0, "AddInfo creates the rule: 0");
    auto rule = fw.FindRule(L"Zarnock");
    Check(fw.rules.size() == 1 && rule, "one rule named Zarnock");
    if (rule) {
        Check(rule->description == L"Digital clock (https://www.mervale-software.example)", "description");
        Check(rule->application == kPath, "application path");
        Check(rule->protocol == NET_FW_IP_PROTOCOL_UDP, "protocol UDP");
        Check(rule->localPorts.empty() && rule->remotePorts == L"123", "remote port 123, no local ports");
        Check(rule->direction == NET_FW_RULE_DIR_OUT, "direction out");
        Check(rule->action == NET_FW_ACTION_ALLOW, "action allow");
        Check(rule->enabled == VARIANT_TRUE, "enabled");
        Check(rule->profiles == NET_FW_PROFILE2_PRIVATE, "private profile only (public dropped)");
        rule->enabled = VARIANT_FALSE;
    }
    Check(fw.liveObjects == 0, "every fake object released");

    fw.calls.clear();
    Check(addInfo(kPath) == 0, "a second call updates the rule: 0");
    Check(fw.rules.size() == 1 && rule && rule->enabled == VARIANT_TRUE, "still one rule, enabled again");
    bool added = false;
    for (const auto& c : fw.calls) added = added || c.rfind(L"Rules.Add", 0) == 0;
    Check(!added, "no second rule added");

    std::wstring longPath = L"C:\\" + std::wstring(297, L'a');
    const struct {
        const wchar_t* path;
        const char* what;
    } refused[] = {
        {nullptr, "a null path gives 1 and asks nothing"},
        {L"", "an empty path gives 1 and asks nothing"},
        {L"zarnock.exe", "a relative path gives 1 and asks nothing"},
        {longPath.c_str(), "a 300-character path gives 1 and asks nothing"},
    };
    for (const auto& r : refused) {
        fw.calls.clear();
        Check(addInfo(r.path) == 1 && fw.calls.empty(), r.what);
    }

    fw.failures[L"Rule.put_Protocol"] = E_ACCESSDENIED;
    Check(addInfo(kPath) == 1, "a failing step gives 1");
    Check(fw.liveObjects == 0, "every fake object released after a failure");
}

// A host thread already in the multithreaded apartment keeps it.
DWORD WINAPI MultithreadedHost(LPVOID param)
{
    auto addInfo = reinterpret_cast<AddInfoFn>(param);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
    DWORD result = 1;
    {
        FakeFirewall fw;
        FakeFirewallRegistration registration(fw);
        APTTYPE type = APTTYPE_STA;
        APTTYPEQUALIFIER qualifier;
        if (registration.ok && addInfo(kPath) == 0 && fw.rules.size() == 1 &&
            SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_MTA)
            result = 0;
    }
    CoUninitialize();
    return result;
}

}  // namespace

int wmain()
{
    Check(sizeof(void*) == 4, "this is a 32-bit program");
    wchar_t dll[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, dll, MAX_PATH);
    wchar_t* slash = n ? wcsrchr(dll, L'\\') : nullptr;
    if (slash) wcscpy(slash + 1, L"vostrel.dll");
    HMODULE library = LoadLibraryW(dll);
    Check(library != nullptr, "vostrel.dll loads");
    auto addInfo = library ? reinterpret_cast<AddInfoFn>(reinterpret_cast<void*>(GetProcAddress(library, "AddInfo")))
                           : nullptr;
    Check(addInfo != nullptr, "AddInfo is exported by that name");
    Check(addInfo && reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(1))) ==
                         reinterpret_cast<void*>(addInfo),
          "AddInfo is ordinal 1");
    if (addInfo) {
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            RuleModelChecks(addInfo);
            CoUninitialize();
        } else {
            Check(false, "COM starts");
        }
        HANDLE thread = CreateThread(nullptr, 0, MultithreadedHost, reinterpret_cast<LPVOID>(addInfo), 0, nullptr);
        DWORD code = 3;
        if (thread && WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
        if (thread) CloseHandle(thread);
        Check(code == 0, "a multithreaded host: 0, and its apartment is kept");
    }
    if (library) FreeLibrary(library);
    if (g_failures == 0) std::printf("vostrel_e2e: all %d checks passed\n", g_checks);
    else std::printf("vostrel_e2e: %d of %d checks failed\n", g_failures, g_checks);
    std::fflush(stdout);
    return g_failures == 0 ? 0 : 1;
}
