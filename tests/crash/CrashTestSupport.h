// What the crash tests share: Debian's unzip run from under Wine, a look into a minidump,
// and a crashing program of the tests (or zarnock.exe) run with a temporary folder of its
// own, its windows found by its process id and the programs it started ended again.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace crashtest {

// "unzip -t" said "No errors detected"; the names of the entries as stored ("unzip -Z1").
bool UnzipTestPasses(const std::wstring& zip, std::string* output = nullptr);
std::vector<std::string> UnzipListing(const std::wstring& zip);

// A Unix symbolic link at link (a Windows path) to target (a Unix path).
bool MakeUnixLink(const std::wstring& link, const std::string& target);
// Wine cannot delete a link to a device: left, it keeps its folder for a later run whose
// process gets the same id.
void RemoveUnixLink(const std::wstring& link);

// The file names of a folder (no sub-folders), sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

struct MinidumpFacts
{
    bool signature = false;      // "MDMP"
    unsigned streams = 0;
    DWORD exceptionThread = 0;   // thread id of the exception stream, 0 without one
    DWORD exceptionCode = 0;
    bool threadListed = false;   // the exception's thread is in the thread list
};
MinidumpFacts ReadMinidump(const std::wstring& path);

class CrashingProcess
{
public:
    CrashingProcess() = default;
    ~CrashingProcess();
    CrashingProcess(const CrashingProcess&) = delete;
    CrashingProcess& operator=(const CrashingProcess&) = delete;

    // exe is a file name in the build's bin folder; tempFolder becomes its TMP and TEMP.
    bool Start(const wchar_t* exe, const std::wstring& args, const std::wstring& tempFolder);
    // A visible top-level window of the process with exactly that caption (or, with
    // byClass, of that class); null after the time-out.
    HWND WaitForWindow(const std::wstring& text, DWORD timeoutMs, bool byClass = false);
    // The crash dialog once its report controls show; null after the time-out.
    HWND WaitForCrashDialog(DWORD timeoutMs);
    // Exit code, or -2 after the time-out.
    long WaitForExit(DWORD timeoutMs);
    // Ends the programs this process started (File Explorer on the archive's folder).
    void EndChildren();
    DWORD Pid() const { return m_pi.dwProcessId; }
    DWORD MainThreadId() const { return m_pi.dwThreadId; }
    HANDLE Handle() const { return m_pi.hProcess; }

private:
    PROCESS_INFORMATION m_pi{};
};

} // namespace crashtest
