// Time of the two start-up diagnostics steps with the system's own event log and firewall
// (under Wine: a failing query and the firewall objects' stubs): the calls alone, and with
// their entries written to a log on a RAM disk and to a log in the prefix (where each
// entry's flush waits for this machine's disk). First run of the process (libraries loaded,
// COM classes found) and the mean of later runs.
#include "CrashReport/EventLogHelper.h"
#include "FirewallStatus.h"
#include "Log/LogMan.h"

#include <ole2.h>

#include <cstdio>
#include <string>

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (to.QuadPart - from.QuadPart) * 1000.0 / frequency.QuadPart;
}

struct Times
{
    double events = 0, firewall = 0;
};

// Both steps as the start-up runs them.
Times RunSteps()
{
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    {
        CEventLogHelper helper(3);
        helper.LogSystemEvents();
    }
    QueryPerformanceCounter(&t1);
    LogFirewallStatus();
    QueryPerformanceCounter(&t2);
    return {Milliseconds(t0, t1), Milliseconds(t1, t2)};
}

void Print(const char* what, const Times& t)
{
    std::printf("bench_startup_diag: %-28s event log %7.2f ms, firewall %7.2f ms, together %7.2f ms\n", what,
                t.events, t.firewall, t.events + t.firewall);
}

Times Mean(int runs)
{
    Times sum;
    for (int i = 0; i < runs; ++i) {
        Times t = RunSteps();
        sum.events += t.events / runs;
        sum.firewall += t.firewall / runs;
    }
    return sum;
}

int CountEntries(const wchar_t* path)
{
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return -1;
    std::string text(1 << 20, '\0');
    DWORD read = 0;
    ReadFile(f, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(f);
    int entries = 0;
    for (DWORD i = 0; i + 1 < read; ++i) entries += text[i] == '\n' && text[i + 1] == '[';
    return entries + (read > 0 && text[0] == '[');
}

}  // namespace

int main()
{
    // The start-up runs them after the class library's OLE start-up on its thread.
    if (FAILED(OleInitialize(nullptr))) return 1;
    const int runs = 20;

    Print("first run, no log", RunSteps());
    Print("no log (the calls alone)", Mean(runs));

    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const struct {
        std::wstring path;
        const char* what;
    } logs[] = {
        {L"Z:\\dev\\shm\\zn_bench_startup_diag.txt", "log on a RAM disk"},
        {std::wstring(folder) + L"zn_bench_startup_diag.txt", "log in the prefix"},
    };
    for (const auto& l : logs) {
        CLogMan log;
        if (log.OpenFile(l.path.c_str(), L'-', FALSE, 0, 1 << 22) != S_OK) {
            std::printf("bench_startup_diag: %ls cannot be opened\n", l.path.c_str());
            continue;
        }
        SetAppLogMan(&log);
        RunSteps();
        int entries = CountEntries(l.path.c_str());
        Print(l.what, Mean(runs));
        std::printf("bench_startup_diag: %d entries per start\n", entries);
        SetAppLogMan(nullptr);
        log.Close();
        DeleteFileW(l.path.c_str());
    }
    OleUninitialize();
    return 0;
}
