#include "SupportWindowsVersion.h"

#include "LocaleTimeFormats.h"
#include "Log/LogMan.h"
#include "SupportRegistry.h"
#include "VersionInfo.h"

#include <atomic>
#include <ctime>
#include <cwchar>

namespace {
// Written once, read by any thread; threads that race compute the same value.
std::atomic<int> g_windowsLevel{0};

const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);

template <typename Fn>
Fn Lookup(const wchar_t* module, const char* name)
{
    HMODULE h = GetModuleHandleW(module);
    return h ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(h, name))) : nullptr;
}

// Appends with truncation: what does not fit is cut and the text stays terminated.
class NameBuffer
{
public:
    NameBuffer(wchar_t* buffer, size_t capacity) : m_buf(buffer), m_cap(capacity) {}
    void Clear() { if (m_cap) m_buf[0] = 0; }
    void Append(const wchar_t* text)
    {
        if (!m_cap || !text) return;
        size_t used = std::wcslen(m_buf);
        while (*text && used + 1 < m_cap) m_buf[used++] = *text++;
        m_buf[used] = 0;
    }
    void __cdecl AppendFormat(const wchar_t* format, ...)
    {
        wchar_t scratch[80];
        va_list args;
        va_start(args, format);
        int n = _vsnwprintf(scratch, 80, format, args);
        va_end(args);
        scratch[79] = 0;
        if (n < 0 && scratch[0] == 0) return;
        Append(scratch);
    }

private:
    wchar_t* m_buf;
    size_t m_cap;
};

const wchar_t* EditionText(DWORD type)
{
    switch (type) {
    case 1: return L"Ultimate Edition";
    case 2: return L"Home Basic Edition";
    case 3: return L"Home Premium Edition";
    case 4:
    case 10: return L"Enterprise Edition";
    case 6: return L"Business Edition";
    case 7: return L"Standard Edition";
    case 8: return L"Datacenter Edition";
    case 9: return L"Small Business Server";
    case 11: return L"Starter Edition";
    case 12: return L"Datacenter Edition (core installation)";
    case 13: return L"Standard Edition (core installation)";
    case 14: return L"Enterprise Edition (core installation)";
    case 15: return L"Enterprise Edition for Itanium-based Systems";
    case 17: return L"Web Server Edition";
    case 18: return L"Cluster Server Edition";
    case 25: return L"Small Business Server Premium Edition";
    case 28: return L"Ultimate N Edition";
    default: return nullptr;
    }
}

void AppendEdition(NameBuffer& name, const WindowsNameFacts& f)
{
    if (const wchar_t* text = EditionText(f.productType)) name.Append(text);
    else name.AppendFormat(L"[%x]", f.productType);
    if (f.architecture == PROCESSOR_ARCHITECTURE_AMD64) name.Append(L", 64-bit");
    else if (f.architecture == PROCESSOR_ARCHITECTURE_INTEL) name.Append(L", 32-bit");
}

void AppendServer2003Edition(NameBuffer& name, const WindowsNameFacts& f)
{
    const DWORD suite = f.version.wSuiteMask;
    if (f.architecture == PROCESSOR_ARCHITECTURE_IA64) {
        if (suite & VER_SUITE_DATACENTER) name.Append(L"Datacenter Edition for Itanium-based Systems");
        else if (suite & VER_SUITE_ENTERPRISE) name.Append(L"Enterprise Edition for Itanium-based Systems");
    } else if (f.architecture == PROCESSOR_ARCHITECTURE_AMD64) {
        if (suite & VER_SUITE_DATACENTER) name.Append(L"Datacenter x64 Edition");
        else if (suite & VER_SUITE_ENTERPRISE) name.Append(L"Enterprise x64 Edition");
        else name.Append(L"Standard x64 Edition");
    } else {
        if (suite & VER_SUITE_COMPUTE_SERVER) name.Append(L"Compute Cluster Edition");
        else if (suite & VER_SUITE_DATACENTER) name.Append(L"Datacenter Edition");
        else if (suite & VER_SUITE_ENTERPRISE) name.Append(L"Enterprise Edition");
        else if (suite & VER_SUITE_BLADE) name.Append(L"Web Edition");
        else name.Append(L"Standard Edition");
    }
}

// Step 5 of the description: the product and, where it has one, the edition.
void AppendProduct(NameBuffer& name, const WindowsNameFacts& f)
{
    const RTL_OSVERSIONINFOEXW& v = f.version;
    const bool workstation = v.wProductType == VER_NT_WORKSTATION;
    const DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion;
    if (major > 10 || (major == 10 && minor != 0)) {
        name.Clear();
        name.AppendFormat(L"Windows %d.%d", major, minor);
        return;
    }
    if (major == 10) {
        name.Append(v.dwBuildNumber >= 22000 ? L"Windows 11 " : L"Windows 10 ");
        AppendEdition(name, f);
        return;
    }
    if (major == 6) {
        switch (minor) {
        case 3: name.Append(L"Windows 8.1 "); break;
        case 2: name.Append(L"Windows 8 "); break;
        case 1: name.Append(L"Windows 7 "); break;
        case 0: name.Append(workstation ? L"Windows Vista " : L"Windows Server 2008 "); break;
        default: return;
        }
        AppendEdition(name, f);
        return;
    }
    if (major != 5) return;
    const DWORD suite = v.wSuiteMask;
    switch (minor) {
    case 2:
        if (f.serverR2) name.Append(L"Windows Server 2003 R2, ");
        else if (suite == VER_SUITE_STORAGE_SERVER) name.Append(L"Windows Storage Server 2003");
        else if (workstation && f.architecture == PROCESSOR_ARCHITECTURE_AMD64) {
            name.Append(L"Windows XP Professional x64 Edition");
            return;
        } else name.Append(L"Windows Server 2003, ");
        if (!workstation) AppendServer2003Edition(name, f);
        return;
    case 1:
        name.Append(L"Windows XP ");
        name.Append((suite & VER_SUITE_PERSONAL) ? L"Home Edition" : L"Professional");
        return;
    case 0:
        name.Append(L"Windows 2000 ");
        if (workstation) name.Append(L"Professional");
        else if (suite & VER_SUITE_DATACENTER) name.Append(L"Datacenter Server");
        else if (suite & VER_SUITE_ENTERPRISE) name.Append(L"Advanced Server");
        else name.Append(L"Server");
        return;
    default:
        return;
    }
}
}

int GetRtlVersion(RTL_OSVERSIONINFOEXW* out)
{
    ZeroMemory(out, sizeof(*out));
    out->dwOSVersionInfoSize = sizeof(*out);
    auto rtlGetVersion = Lookup<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
    if (!rtlGetVersion) {
        ZN_LOG(LOG_ERROR, L"");
        return 0;
    }
    LONG status = rtlGetVersion(out);
    if (status != 0) {
        ZN_LOG_ERROR(status, L"", LOG_ERROR);
        return 0;
    }
    return 1;
}

int WindowsLevelFromVersion(const RTL_OSVERSIONINFOEXW& v)
{
    if (v.dwMajorVersion == 5 && v.dwMinorVersion != 0) return WINLEVEL_XP;
    if (v.dwMajorVersion == 6) {
        switch (v.dwMinorVersion) {
        case 0: return WINLEVEL_VISTA;
        case 1: return WINLEVEL_7;
        case 2: return WINLEVEL_8;
        case 3: return WINLEVEL_81;
        default: break;
        }
    }
    return WINLEVEL_LATER;
}

int GetWindowsLevel()
{
    int level = g_windowsLevel.load(std::memory_order_relaxed);
    if (level == 0) {
        RTL_OSVERSIONINFOEXW v;
        GetRtlVersion(&v);  // a failed query leaves the record zeroed: level 7
        level = WindowsLevelFromVersion(v);
        g_windowsLevel.store(level, std::memory_order_relaxed);
    }
    return level;
}

int IsWindowsAtLeast(int level)
{
    return GetWindowsLevel() >= level ? 1 : 0;
}

int IsWindowsExactly(int level)
{
    return GetWindowsLevel() == level ? 1 : 0;
}

int GetKernel32Version(WORD parts[4])
{
    wchar_t path[261] = {};
    if (!GetSystemDirectoryW(path, 261)) return 0;
    path[260] = 0;
    NameBuffer p(path, 261);
    p.Append(L"\\");
    p.Append(L"kernel32.dll");
    CVersionInfo info(path);
    if (!info.Load()) return 0;
    info.GetFileVersion(parts);
    return 1;
}

CString InstallDateText(DWORD seconds)
{
    __time64_t t = seconds;
    struct tm local {};
    COleDateTime date;
    date.SetStatus(COleDateTime::invalid);
    if (_localtime64_s(&local, &t) == 0)
        date.SetDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec);
    return FormatOleDateC(date);
}

WindowsNameFacts ReadWindowsNameFacts()
{
    WindowsNameFacts f;
    f.versionRead = GetRtlVersion(&f.version) != 0;
    if (!f.versionRead) {
        WORD parts[4] = {};
        f.kernel32Read = GetKernel32Version(parts) != 0;
        f.kernel32Major = parts[0];
        return f;
    }
    SYSTEM_INFO si{};
    if (auto native = Lookup<GetNativeSystemInfoFn>(L"kernel32.dll", "GetNativeSystemInfo")) native(&si);
    else GetSystemInfo(&si);
    f.architecture = si.wProcessorArchitecture;
    f.serverR2 = GetSystemMetrics(SM_SERVERR2);
    if (auto productInfo = Lookup<GetProductInfoFn>(L"kernel32.dll", "GetProductInfo"))
        productInfo(f.version.dwMajorVersion, f.version.dwMinorVersion, 0, 0, &f.productType);
    f.updateRevision = RegistryReadDword(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"UBR", 0, TRUE);
    f.productName = RegistryReadString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"ProductName", L"", TRUE);
    f.displayVersion = RegistryReadString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"DisplayVersion", L"", TRUE);
    f.installDate = InstallDateText(RegistryReadDword(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"InstallDate", 0, TRUE));
    return f;
}

void BuildWindowsName(const WindowsNameFacts& f, wchar_t* buffer, size_t capacity)
{
    NameBuffer name(buffer, capacity);
    if (!f.versionRead) {
        ZN_LOG(LOG_ERROR, L"");
        if (f.kernel32Read) {
            name.Clear();
            name.AppendFormat(L"Windows %x", f.kernel32Major);
        } else {
            ZN_LOG(LOG_ERROR, L"");
        }
        return;
    }
    const RTL_OSVERSIONINFOEXW& v = f.version;
    name.Clear();
    if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        name.AppendFormat(L"Unknown %d.%d ", v.dwMajorVersion, v.dwMinorVersion);
        return;
    }
    AppendProduct(name, f);
    // The record's text need not be terminated within its 128 characters.
    wchar_t servicePack[129] = {};
    std::wmemcpy(servicePack, v.szCSDVersion, 128);
    if (servicePack[0]) {
        name.Append(L" ");
        name.Append(servicePack);
    }
    name.AppendFormat(L" (build %d", v.dwBuildNumber);
    const bool later = WindowsLevelFromVersion(v) >= WINLEVEL_LATER;
    if (later && f.updateRevision) name.AppendFormat(L".%d", f.updateRevision);
    name.AppendFormat(L") [%d, 0x%x] ", v.wProductType, v.wSuiteMask);
    name.Append(f.productName);
    if (later) {
        name.Append(L" ");
        name.Append(f.displayVersion);
    }
    name.Append(L" ");
    name.Append(f.installDate);
}

void GetWindowsName(wchar_t* buffer, size_t capacity)
{
    BuildWindowsName(ReadWindowsNameFacts(), buffer, capacity);
}
