#include "CrashTestSupport.h"

#include "TestFiles.h"

#include <dbghelp.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <sstream>

namespace crashtest {

namespace {

std::string UnixPath(const std::wstring& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    static auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    std::string result = unix ? unix : "";
    if (unix) HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::wstring Widen(const std::string& text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], n);
    return wide;
}

// Runs a command of this machine's shell. Wine cannot wait for a Unix program's handle, so
// the exit status arrives in a file that is written last.
bool RunUnixCommand(const std::string& command, std::string& output)
{
    const std::wstring out = zntest::UniqueTempPath(L"zn_unix_out"), status = zntest::UniqueTempPath(L"zn_unix_rc");
    const std::string outUnix = UnixPath(out), statusUnix = UnixPath(status);
    if (outUnix.empty() || statusUnix.empty()) return false;
    const std::string line = command + " >'" + outUnix + "' 2>&1; echo $? >'" + statusUnix + ".part'; mv '" +
                             statusUnix + ".part' '" + statusUnix + "'";
    std::wstring cmd = L"Z:\\bin\\sh -c \"" + Widen(line) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 600 && !zntest::FileExists(status); ++i) Sleep(50);
    output = zntest::ReadBytes(out);
    const bool done = zntest::FileExists(status);
    DeleteFileW(out.c_str());
    DeleteFileW(status.c_str());
    return done;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param)
{
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == found->first) found->second.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> WindowsOf(DWORD pid)
{
    std::pair<DWORD, std::vector<HWND>> found{pid, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

} // namespace

bool UnzipTestPasses(const std::wstring& zip, std::string* output)
{
    std::string text;
    bool ran = RunUnixCommand("unzip -t '" + UnixPath(zip) + "'", text);
    if (output) *output = text;
    return ran && text.find("No errors detected") != std::string::npos;
}

std::vector<std::string> UnzipListing(const std::wstring& zip)
{
    std::string text;
    std::vector<std::string> names;
    if (!RunUnixCommand("unzip -Z1 '" + UnixPath(zip) + "'", text)) return names;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.push_back(line);
    std::sort(names.begin(), names.end());
    return names;
}

bool MakeUnixLink(const std::wstring& link, const std::string& target)
{
    std::string output;
    const std::string unixLink = UnixPath(link);
    return !unixLink.empty() && RunUnixCommand("ln -sfn '" + target + "' '" + unixLink + "'", output) && output.empty();
}

void RemoveUnixLink(const std::wstring& link)
{
    std::string output;
    const std::string unixLink = UnixPath(link);
    if (!unixLink.empty()) RunUnixCommand("rm -f '" + unixLink + "'", output);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

MinidumpFacts ReadMinidump(const std::wstring& path)
{
    MinidumpFacts facts;
    const std::string bytes = zntest::ReadBytes(path);
    // A copy of the record at offset, or false when the file is too short for it.
    auto read = [&](size_t at, auto& record) {
        if (at + sizeof(record) > bytes.size()) return false;
        memcpy(&record, bytes.data() + at, sizeof(record));
        return true;
    };
    MINIDUMP_HEADER header;
    if (!read(0, header)) return facts;
    facts.signature = memcmp(&header.Signature, "MDMP", 4) == 0;
    facts.streams = header.NumberOfStreams;
    std::vector<DWORD> threads;
    MINIDUMP_DIRECTORY entry;
    for (ULONG32 i = 0; i < header.NumberOfStreams && read(header.StreamDirectoryRva + i * sizeof(entry), entry); ++i) {
        const size_t rva = entry.Location.Rva;
        MINIDUMP_EXCEPTION_STREAM exception;
        ULONG32 count = 0;
        MINIDUMP_THREAD thread;
        if (entry.StreamType == ExceptionStream && read(rva, exception)) {
            facts.exceptionThread = exception.ThreadId;
            facts.exceptionCode = exception.ExceptionRecord.ExceptionCode;
        } else if (entry.StreamType == ThreadListStream && read(rva, count)) {
            for (ULONG32 t = 0; t < count && read(rva + 4 + t * sizeof(thread), thread); ++t)
                threads.push_back(thread.ThreadId);
        }
    }
    facts.threadListed = std::find(threads.begin(), threads.end(), facts.exceptionThread) != threads.end();
    return facts;
}

CrashingProcess::~CrashingProcess()
{
    if (!m_pi.hProcess) return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
    EndChildren();
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
}

bool CrashingProcess::Start(const wchar_t* exe, const std::wstring& args, const std::wstring& tempFolder)
{
    const wchar_t* bin = _wgetenv(L"ZARNOCK_TEST_BIN");
    std::wstring path = bin ? bin : L".";
    // CTest hands the folder over in Unix form.
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    path += std::wstring(L"\\") + exe;
    std::wstring cmd = L"\"" + path + L"\" " + args;

    // The child's temporary folder is the test's: its dump and archive land where the test looks.
    wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", tempFolder.c_str());
    SetEnvironmentVariableW(L"TEMP", tempFolder.c_str());
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    BOOL started = CreateProcessW(path.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi);
    SetEnvironmentVariableW(L"TMP", oldTmp);
    SetEnvironmentVariableW(L"TEMP", oldTemp);
    return started != FALSE;
}

HWND CrashingProcess::WaitForWindow(const std::wstring& text, DWORD timeoutMs, bool byClass)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
        for (HWND hwnd : WindowsOf(m_pi.dwProcessId)) {
            wchar_t cls[128] = {};
            GetClassNameW(hwnd, cls, 128);
            if (IsWindowVisible(hwnd) && (byClass ? text == cls : TextOf(hwnd) == text)) return hwnd;
        }
        if (WaitForSingleObject(m_pi.hProcess, 0) != WAIT_TIMEOUT) return nullptr;
    }
    return nullptr;
}

HWND CrashingProcess::WaitForCrashDialog(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    HWND dialog = WaitForWindow(L"Zarnock - Application Error", timeoutMs);
    while (dialog && !IsWindowVisible(GetDlgItem(dialog, IDOK))) {
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(20);
    }
    return dialog;
}

long CrashingProcess::WaitForExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return -2;
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return static_cast<long>(code);
}

void CrashingProcess::EndChildren()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != m_pi.dwProcessId) continue;
        if (HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
            TerminateProcess(child, 0);
            CloseHandle(child);
        }
    }
    CloseHandle(snapshot);
}

} // namespace crashtest
