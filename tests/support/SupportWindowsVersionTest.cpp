#include "SupportWindowsVersion.h"

#include "SupportText.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

RTL_OSVERSIONINFOEXW Version(DWORD major, DWORD minor, DWORD build, BYTE type = VER_NT_WORKSTATION,
                             WORD suite = 0x100, const wchar_t* sp = L"", DWORD platform = VER_PLATFORM_WIN32_NT)
{
    RTL_OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.dwBuildNumber = build;
    v.dwPlatformId = platform;
    v.wProductType = type;
    v.wSuiteMask = suite;
    wcsncpy(v.szCSDVersion, sp, 127);
    return v;
}

WindowsNameFacts Facts(const RTL_OSVERSIONINFOEXW& v, WORD arch, DWORD product, DWORD ubr = 0,
                       const wchar_t* productName = L"", const wchar_t* display = L"", int r2 = 0)
{
    WindowsNameFacts f;
    f.versionRead = true;
    f.version = v;
    f.architecture = arch;
    f.productType = product;
    f.updateRevision = ubr;
    f.productName = productName;
    f.displayVersion = display;
    f.serverR2 = r2;
    f.installDate = L"<date>";
    return f;
}

CString Name(const WindowsNameFacts& f, size_t capacity = 261)
{
    wchar_t buf[261];
    wcscpy(buf, L"previous");
    BuildWindowsName(f, buf, capacity);
    return CString(buf);
}

constexpr WORD X64 = PROCESSOR_ARCHITECTURE_AMD64;
constexpr WORD X86 = PROCESSOR_ARCHITECTURE_INTEL;
constexpr WORD IA64 = PROCESSOR_ARCHITECTURE_IA64;
constexpr BYTE SERVER = VER_NT_SERVER;

// Version records as the real releases report them.
TEST(WindowsVersion, LevelTable)
{
    struct Case { RTL_OSVERSIONINFOEXW v; int level; const char* release; };
    const Case cases[] = {
        {Version(5, 0, 2195), 7, "Windows 2000 is not level 2"},
        {Version(5, 1, 2600), 2, "XP"},
        {Version(5, 2, 3790, SERVER), 2, "Server 2003"},
        {Version(5, 2, 3790), 2, "XP x64"},
        {Version(6, 0, 6002), 3, "Vista"},
        {Version(6, 0, 6003, SERVER), 3, "Server 2008"},
        {Version(6, 1, 7601), 4, "7"},
        {Version(6, 1, 7601, SERVER), 4, "Server 2008 R2"},
        {Version(6, 2, 9200), 5, "8"},
        {Version(6, 3, 9600), 6, "8.1"},
        {Version(6, 3, 9600, SERVER), 6, "Server 2012 R2"},
        {Version(6, 4, 9841), 7, "10 preview as 6.4"},
        {Version(10, 0, 19045), 7, "10"},
        {Version(10, 0, 22631), 7, "11"},
        {Version(10, 0, 20348, SERVER), 7, "Server 2022"},
        {Version(11, 0, 30000), 7, "a later major"},
        {RTL_OSVERSIONINFOEXW{}, 7, "failed query (all zero)"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.level, WindowsLevelFromVersion(c.v)) << c.release;
}

TEST(WindowsVersion, CachedLevelAnswersComparisons)
{
    RTL_OSVERSIONINFOEXW v;
    ASSERT_EQ(1, GetRtlVersion(&v));
    EXPECT_EQ(sizeof(RTL_OSVERSIONINFOEXW), v.dwOSVersionInfoSize);
    EXPECT_EQ(284u, sizeof(RTL_OSVERSIONINFOEXW));
    int level = GetWindowsLevel();
    EXPECT_EQ(WindowsLevelFromVersion(v), level);
    EXPECT_EQ(level, GetWindowsLevel());
    EXPECT_EQ(1, IsWindowsAtLeast(2));
    EXPECT_EQ(1, IsWindowsAtLeast(level));
    EXPECT_EQ(0, IsWindowsAtLeast(level + 1));
    EXPECT_EQ(1, IsWindowsExactly(level));
    EXPECT_EQ(0, IsWindowsExactly(level - 1));
}

TEST(WindowsVersion, NameTable)
{
    struct Case { WindowsNameFacts f; const wchar_t* name; };
    const Case cases[] = {
        {Facts(Version(5, 1, 2600, 1, 0x100, L"Service Pack 3"), X86, 0, 0, L"Microsoft Windows XP"),
         L"Windows XP Professional Service Pack 3 (build 2600) [1, 0x100] Microsoft Windows XP <date>"},
        {Facts(Version(5, 1, 2600, 1, 0x300, L"Service Pack 2"), X86, 0),
         L"Windows XP Home Edition Service Pack 2 (build 2600) [1, 0x300]  <date>"},
        {Facts(Version(5, 2, 3790, 1, 0x100, L"Service Pack 2"), X64, 0),
         L"Windows XP Professional x64 Edition Service Pack 2 (build 3790) [1, 0x100]  <date>"},
        {Facts(Version(5, 2, 3790, SERVER, 0x112), X86, 0),
         L"Windows Server 2003, Enterprise Edition (build 3790) [3, 0x112]  <date>"},
        {Facts(Version(5, 2, 3790, SERVER, 0x190), X64, 0, 0, L"", L"", 1),
         L"Windows Server 2003 R2, Datacenter x64 Edition (build 3790) [3, 0x190]  <date>"},
        {Facts(Version(5, 2, 3790, SERVER, 0x110), X64, 0),
         L"Windows Server 2003, Standard x64 Edition (build 3790) [3, 0x110]  <date>"},
        {Facts(Version(5, 2, 3790, SERVER, 0x4110), X86, 0),
         L"Windows Server 2003, Compute Cluster Edition (build 3790) [3, 0x4110]  <date>"},
        {Facts(Version(5, 2, 3790, SERVER, 0x410), X86, 0),
         L"Windows Server 2003, Web Edition (build 3790) [3, 0x410]  <date>"},
        {Facts(Version(5, 2, 3790, SERVER, 0x2000), X86, 0),
         L"Windows Storage Server 2003Standard Edition (build 3790) [3, 0x2000]  <date>"},
        {Facts(Version(5, 2, 3790, SERVER, 0x82), IA64, 0),
         L"Windows Server 2003, Datacenter Edition for Itanium-based Systems (build 3790) [3, 0x82]  <date>"},
        {Facts(Version(5, 0, 2195, 1, 0, L"Service Pack 4"), X86, 0),
         L"Windows 2000 Professional Service Pack 4 (build 2195) [1, 0x0]   <date>"},
        {Facts(Version(5, 0, 2195, SERVER, 0x80), X86, 0),
         L"Windows 2000 Datacenter Server (build 2195) [3, 0x80]   <date>"},  // level 7: display version too
        {Facts(Version(6, 0, 6002, 1, 0x300, L"Service Pack 2"), X86, 3, 0, L"Windows Vista (TM) Home Premium"),
         L"Windows Vista Home Premium Edition, 32-bit Service Pack 2 (build 6002) [1, 0x300] Windows Vista (TM) Home Premium <date>"},
        {Facts(Version(6, 0, 6001, SERVER, 0x110), X64, 7),
         L"Windows Server 2008 Standard Edition, 64-bit (build 6001) [3, 0x110]  <date>"},
        {Facts(Version(6, 1, 7601, 1, 0x100, L"Service Pack 1"), X64, 1, 0, L"Windows 7 Ultimate"),
         L"Windows 7 Ultimate Edition, 64-bit Service Pack 1 (build 7601) [1, 0x100] Windows 7 Ultimate <date>"},
        {Facts(Version(6, 2, 9200), X64, 0x30, 0, L"Windows 8 Pro"),
         L"Windows 8 [30], 64-bit (build 9200) [1, 0x100] Windows 8 Pro <date>"},
        {Facts(Version(6, 3, 9600), X64, 4, 0, L"Windows 8.1 Enterprise"),
         L"Windows 8.1 Enterprise Edition, 64-bit (build 9600) [1, 0x100] Windows 8.1 Enterprise <date>"},
        {Facts(Version(6, 4, 9841), X64, 4), L" (build 9841) [1, 0x100]   <date>"},
        {Facts(Version(10, 0, 19045), X64, 0x30, 2965, L"Windows 10 Pro", L"22H2"),
         L"Windows 10 [30], 64-bit (build 19045.2965) [1, 0x100] Windows 10 Pro 22H2 <date>"},
        {Facts(Version(10, 0, 21999), PROCESSOR_ARCHITECTURE_ARM64, 5, 0, L"Windows 10 Home", L"21H2"),
         L"Windows 10 [5] (build 21999) [1, 0x100] Windows 10 Home 21H2 <date>"},
        {Facts(Version(10, 0, 22000), X64, 0x30, 0, L"Windows 10 Pro", L"21H2"),
         L"Windows 11 [30], 64-bit (build 22000) [1, 0x100] Windows 10 Pro 21H2 <date>"},
        {Facts(Version(10, 0, 20348, SERVER, 0x190), X64, 8, 1906, L"Windows Server 2022 Datacenter", L"21H2"),
         L"Windows 10 Datacenter Edition, 64-bit (build 20348.1906) [3, 0x190] Windows Server 2022 Datacenter 21H2 <date>"},
        {Facts(Version(10, 1, 30000), X64, 0x30, 5), L"Windows 10.1 (build 30000.5) [1, 0x100]   <date>"},
        {Facts(Version(11, 0, 30000), X64, 0x30), L"Windows 11.0 (build 30000) [1, 0x100]   <date>"},
        {Facts(Version(4, 10, 2222, 1, 0, L"", 1), X86, 0), L"Unknown 4.10 "},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.name, Name(c.f)) << WideToUtf8(c.name).GetString();
}

TEST(WindowsVersion, FailedQueryFallsBackToKernel32)
{
    WindowsNameFacts f;
    f.kernel32Read = true;
    f.kernel32Major = 10;
    EXPECT_STREQ(L"Windows a", Name(f)) << "the major part in hexadecimal";
    f.kernel32Read = false;
    EXPECT_STREQ(L"previous", Name(f)) << "nothing read: the buffer is left as it was";

    WORD parts[4] = {};
    EXPECT_EQ(1, GetKernel32Version(parts));
    EXPECT_GE(parts[0], 5);
}

TEST(WindowsVersion, NameIsCutToTheCapacity)
{
    WindowsNameFacts f = Facts(Version(10, 0, 19045), X64, 0x30, 2965, L"Windows 10 Pro", L"22H2");
    EXPECT_STREQ(L"Windows 10", Name(f, 11));
    EXPECT_STREQ(L"", Name(f, 1));
    f.productName = CString(L'n', 400);
    CString full = Name(f);
    EXPECT_EQ(260, full.GetLength());
    // A service-pack text that fills the record without a terminator is read whole, no further.
    RTL_OSVERSIONINFOEXW v = Version(6, 1, 7601);
    for (wchar_t& c : v.szCSDVersion) c = L's';
    WindowsNameFacts g = Facts(v, X64, 1);
    EXPECT_EQ(1, Name(g).Find(CString(L's', 128)) > 0 ? 1 : 0);
    EXPECT_EQ(-1, Name(g).Find(CString(L's', 129)));
}

TEST(WindowsVersion, RunningSystem)
{
    wchar_t name[261] = {};
    GetWindowsName(name, 261);
    CString text(name);
    EXPECT_NE(-1, text.Find(L"(build ")) << WideToUtf8(text).GetString();
    EXPECT_EQ(0, text.Find(L"Windows ")) << WideToUtf8(text).GetString();
    EXPECT_FALSE(InstallDateText(0).IsEmpty());
}

} // namespace
