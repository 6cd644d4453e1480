// The crash road's figures: from the crash to the crash dialog showing its form (a small
// dump and the clock's own dump type), from "Close" to the end of the process, and the
// time and size of the archive of a 10 MB log folder.
// The class library first: it sets the order of the Windows headers.
#include "SupportTools/ZipHelper.h"

#include "CrashTestSupport.h"
#include "TestFiles.h"

#include <cstdio>
#include <string>

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

void CrashToDialog(const wchar_t* dumpType, const char* label)
{
    zntest::TempFolder temp;
    const std::wstring eventName = L"zn_bench_crash_" + std::to_wstring(GetCurrentProcessId());
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    crashtest::CrashingProcess probe;
    if (!probe.Start(L"crash_probe.exe", std::wstring(L"worker ") + dumpType + L" " + eventName, temp.Path()) ||
        !probe.WaitForWindow(L"crash probe", 20000)) {
        printf("%s: the probe did not start\n", label);
        CloseHandle(go);
        return;
    }
    const LARGE_INTEGER crash = Now();
    SetEvent(go);
    HWND dialog = probe.WaitForCrashDialog(60000);
    const LARGE_INTEGER shown = Now();
    if (!dialog) {
        printf("%s: no crash dialog\n", label);
        CloseHandle(go);
        return;
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    const long exitCode = probe.WaitForExit(30000);
    const LARGE_INTEGER ended = Now();
    printf("%s: crash to dialog %.2f s, Close to process end %.2f s (exit code %ld)\n", label, Seconds(crash, shown),
           Seconds(shown, ended), exitCode);
    CloseHandle(go);
}

// Log lines as the program writes them, with changing numbers and texts.
std::string LogText(size_t bytes, int seed)
{
    static const char* const texts[] = {"Time Synchronized to Host 'pool.ntp.example'", "DR 0,0 1920x1080",
                                        "0x00000002 C:\\Users\\someone\\AppData\\Local\\x.wav", "save wp 583,1 383x26"};
    std::string text;
    char line[256];
    for (unsigned n = seed; text.size() < bytes; ++n) {
        snprintf(line, sizeof(line), "[-] 26-12-%02u %02u:%02u:%02u - %s %u%*s[File%u.cpp:%u]\r\n", n % 28 + 1,
                 n / 3600 % 24, n / 60 % 60, n % 60, texts[n % 4], n * 7919 % 100000, 40 + n % 50, "", n % 9,
                 n % 700);
        text += line;
    }
    return text;
}

void ArchiveOfLogFolder()
{
    zntest::TempFolder logs;
    const size_t fileBytes = 1 << 20;
    for (int i = 0; i < 10; ++i)
        zntest::WriteBytes(logs.Path((L"znc_log_" + std::to_wstring(i) + L".txt").c_str()), LogText(fileBytes, i * 100003));
    const std::wstring zip = zntest::UniqueTempPath(L"zn_bench_logs", L".zip");
    const LARGE_INTEGER start = Now();
    CZipHelper writer;
    writer.Open(zip.c_str());
    const int added = writer.AddFolder(L"Base", logs.Path().c_str(), TRUE, FALSE);
    writer.Close();
    const LARGE_INTEGER done = Now();
    const double size = static_cast<double>(zntest::ReadBytes(zip).size());
    printf("archive of a 10 MB log folder (%d files): %.2f s, %.0f KB, %.1f %% of the logs\n", added,
           Seconds(start, done), size / 1024, 100.0 * size / (10.0 * fileBytes));
    DeleteFileW(zip.c_str());
}

} // namespace

int main()
{
    // The probe lies beside this program.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder.resize(folder.rfind(L'\\'));
    SetEnvironmentVariableW(L"ZARNOCK_TEST_BIN", folder.c_str());

    for (int i = 1; i <= 3; ++i) CrashToDialog(L"0", ("small dump, run " + std::to_string(i)).c_str());
    CrashToDialog(L"0x69924", "the clock's dump type");
    ArchiveOfLogFolder();
    return 0;
}
