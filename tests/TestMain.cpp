// Entry point of every test executable: GoogleTest's own, with Windows error boxes off so
// a failing test can never wait for a click under Wine.
//
// The test programs run in parallel on one display, and the clock finds windows by class
// (a running clock on a second start, a sibling program, its Options sheet), as do some
// tests (message boxes). So each test program runs on a desktop of its own: started on
// the default desktop, it creates a desktop, starts itself again there and hands back
// that run's exit code. Windows, threads and child processes of the second run all live
// on the new desktop, where no other test program's windows can be found. (CTest's
// emulator, scripts/wine-run.sh, also gives each test program an X display of its own.)
//
// The desktop's name is new each time: Wine hands process ids out again within a run, and
// a desktop of an ended test program outlives it for a moment, with its desktop window on
// that program's X display, which is going away. Before any test, the second run checks
// that a window can be made on its desktop; when none can, it says so and the first run
// tries once more on another new desktop, so the bed's own failure never reads as a test's.

// The class library first: it sets the order of the Windows headers.
#include "CHandle.h"

#include <gmock/gmock.h>

#include <string>
#include <thread>

namespace {

using CDesktopHandle = CUniqueAny<CHandleTraits<HDESK, CloseDesktop, NullHandleValue<HDESK>>>;

const wchar_t kDesktopPrefix[] = L"zarnock-test-";

bool OnOwnDesktop()
{
    wchar_t name[128] = {};
    if (!GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name, sizeof(name), nullptr))
        return false;
    return wcsncmp(name, kDesktopPrefix, wcslen(kDesktopPrefix)) == 0;
}

int Fail(const char* what)
{
    fprintf(stderr, "test bed: %s failed (%lu)\n", what, GetLastError());
    return 1;
}

// The exit code of a second run that could make no window on its desktop.
const int kNoWindowOnDesktop = 0x5A4B;

// A name no desktop of the prefix has now.
std::wstring NewDesktopName()
{
    for (;;) {
        std::wstring name = kDesktopPrefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount64());
        if (!CDesktopHandle(OpenDesktopW(name.c_str(), 0, FALSE, DESKTOP_READOBJECTS))) return name;
        Sleep(1);
    }
}

// Whether a top-level window can be made on this process's desktop. Tried on a thread of
// its own, so the tests' main thread starts as it always has, without a message queue.
bool DesktopTakesWindows(DWORD& error)
{
    bool made = false;
    std::thread([&] {
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        error = GetLastError();
        made = probe != nullptr;
        if (probe) DestroyWindow(probe);
    }).join();
    return made;
}

int RunOnDesktop(const std::wstring& name)
{
    CDesktopHandle desktop(CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    if (!desktop) return Fail("CreateDesktop");
    // The new process takes the desktop of the thread that starts it for all its threads;
    // the startup information alone would move only its first thread.
    if (!SetThreadDesktop(desktop)) return Fail("SetThreadDesktop");

    // Ending this process (a CTest time-out) ends the run on the desktop too.
    CHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return Fail("CreateJobObject");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));

    wchar_t exe[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, exe, MAX_PATH)) return Fail("GetModuleFileName");
    std::wstring commandLine = GetCommandLineW();
    std::wstring desktopName = name;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.lpDesktop = &desktopName[0];
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi))
        return Fail("CreateProcess");
    CHandle process(pi.hProcess);
    CHandle thread(pi.hThread);
    AssignProcessToJobObject(job, process);
    ResumeThread(thread);
    WaitForSingleObject(process, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

int RunOnOwnDesktop()
{
    int code = RunOnDesktop(NewDesktopName());
    if (code != kNoWindowOnDesktop) return code;
    fprintf(stderr, "test bed: trying once more on a new desktop\n");
    code = RunOnDesktop(NewDesktopName());
    return code == kNoWindowOnDesktop ? 1 : code;
}

} // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (!OnOwnDesktop()) return RunOnOwnDesktop();
    DWORD error = 0;
    if (!DesktopTakesWindows(error)) {
        fprintf(stderr, "test bed: no window can be made on this desktop (error %lu)\n", error);
        return kNoWindowOnDesktop;
    }
    // Unbuffered, so that a run ended by CTest's time-out still shows how far it came.
    setvbuf(stdout, nullptr, _IONBF, 0);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
