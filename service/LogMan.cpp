#include "LogMan.h"

#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

namespace {

CLogMan* g_logMan = nullptr;

std::string ToAnsi(const wchar_t* text)
{
    std::string result;
    int length = text ? lstrlenW(text) : 0;
    if (length == 0)
        return result;
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return result;
    result.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    return result;
}

// The base name of the compiler's source path; cross builds write it with forward slashes.
const char* BaseName(const char* path)
{
    const char* name = path ? path : "";
    for (const char* p = name; *p; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    return name;
}

// The room kept below the size limit for the entry that says the log is full.
constexpr DWORD kFullEntryRoom = 128;
constexpr ULONGLONG kSecondMs = 1000;

// Opens a log folder itself, never what a reparse point in its place leads to, and keeps it
// open without delete sharing so that it cannot be swapped while the log is opened in it.
bool OpenLogFolder(const std::wstring& path, CHandle* folder)
{
    folder->Reset(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!*folder || !GetFileInformationByHandle(folder->Get(), &info))
        return false;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeLogFolder(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor, CHandle* folder)
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    if (!CreateDirectoryW(path.c_str(), descriptor ? &attributes : nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    return OpenLogFolder(path, folder);
}

} // namespace

const wchar_t CLogMan::kFolderSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

CLogMan* GetLogMan()
{
    return g_logMan;
}

DWORD LogEntry(DWORD code, const wchar_t* message, const char* sourceFile, int line)
{
    DWORD lastError = GetLastError();
    if (CLogMan* log = GetLogMan())
        log->WriteEntry(code, message, sourceFile, line, L"", true);
    SetLastError(lastError);
    return code;
}

DWORD LogClientFailure(DWORD code, const char* sourceFile, int line)
{
    DWORD lastError = GetLastError();
    if (CLogMan* log = GetLogMan())
        log->WriteClientFailure(code, sourceFile, line);
    SetLastError(lastError);
    return code;
}

CLogMan::CLogMan(DWORD maxSize) : m_maxSize(maxSize)
{
    InitializeCriticalSection(&m_lock);
    g_logMan = this;
}

CLogMan::~CLogMan()
{
    Close();
    if (g_logMan == this)
        g_logMan = nullptr;
    DeleteCriticalSection(&m_lock);
}

namespace {

// The log's path, with both its folders made and held open (see OpenLogFolder).
std::wstring PrepareLogPath(const wchar_t* base, CHandle* company, CHandle* product)
{
    wchar_t folder[MAX_PATH] = {};
    if (base)
        lstrcpynW(folder, base, MAX_PATH);
    else if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                 folder)))
        return std::wstring();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(CLogMan::kFolderSecurity, SDDL_REVISION_1, &descriptor,
            nullptr))
        return std::wstring();
    CLocalMemory descriptorOwner(descriptor);
    std::wstring path = folder;
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    path += L"\\Mervale Software";
    if (!MakeLogFolder(path, descriptor, company))
        return std::wstring();
    path += L"\\Zarnock";
    if (!MakeLogFolder(path, descriptor, product))
        return std::wstring();
    return path + L"\\kestrom.log";
}

} // namespace

std::wstring CLogMan::DefaultPath(const wchar_t* base)
{
    CHandle company, product;
    return PrepareLogPath(base, &company, &product);
}

bool CLogMan::Open()
{
    CHandle company, product;
    std::wstring path = PrepareLogPath(nullptr, &company, &product);
    return !path.empty() && Recreate(path.c_str()) == 0;
}

DWORD CLogMan::Recreate(const wchar_t* path)
{
    EnterCriticalSection(&m_lock);
    m_file.Close();
    m_error = 0;
    m_size = 0;
    m_clientSuppressed = 0;
    // Opened without truncating and without following a reparse point, so that a link put
    // in the log's place is seen before anything is written; only then the old log goes.
    CHandle file(CreateFileW(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file.Get(), &info))
        m_error = GetLastError();
    else if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
             info.nNumberOfLinks > 1)
        m_error = ERROR_CANT_ACCESS_FILE;
    else if (!SetEndOfFile(file.Get()))
        m_error = GetLastError();
    else
        m_file = std::move(file);
    DWORD error = m_error;
    LeaveCriticalSection(&m_lock);
    return error;
}

void CLogMan::Close()
{
    EnterCriticalSection(&m_lock);
    WriteSuppressedSummary();
    if (DWORD error = m_file.Close())
        m_error = error;
    LeaveCriticalSection(&m_lock);
}

DWORD CLogMan::WriteEntry(DWORD error, const wchar_t* message, const char* sourceFile, int line,
    const wchar_t* extra, bool newLine)
{
    EnterCriticalSection(&m_lock);
    // The count of failures not logged goes first, so the log stays in order.
    WriteSuppressedSummary();
    WriteLine(error, message, sourceFile, line, extra, newLine);
    LeaveCriticalSection(&m_lock);
    return error;
}

DWORD CLogMan::WriteClientFailure(DWORD error, const char* sourceFile, int line)
{
    EnterCriticalSection(&m_lock);
    ULONGLONG second = GetTickCount64() / kSecondMs;
    if (second != m_clientSecond) {
        m_clientSecond = second;
        m_clientEntries = 0;
    }
    if (m_clientEntries < kClientEntriesPerSecond) {
        ++m_clientEntries;
        WriteSuppressedSummary();
        WriteLine(error, L"Failed", sourceFile, line, L"", true);
    } else if (m_clientSuppressed < MAXDWORD) {
        ++m_clientSuppressed;
    }
    LeaveCriticalSection(&m_lock);
    return error;
}

void CLogMan::WriteSuppressedSummary()
{
    if (m_clientSuppressed == 0)
        return;
    wchar_t summary[64];
    swprintf(summary, 64, L"%lu more client failures not logged", static_cast<unsigned long>(m_clientSuppressed));
    m_clientSuppressed = 0;
    WriteLine(0, summary, __FILE__, __LINE__, L"", true);
}

void CLogMan::WriteLine(DWORD error, const wchar_t* message, const char* sourceFile, int line,
    const wchar_t* extra, bool newLine)
{
    bool hasMessage = message && *message;
    bool hasExtra = extra && *extra;
    if (error == 0 && !hasMessage && !hasExtra)
        return;
    if (!m_file || m_error != 0)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char source[MAX_PATH + 16];
    snprintf(source, sizeof source, "%s:%d", BaseName(sourceFile), line);
    // "%#010x" would print 0 as ten zeros on one runtime and "0x00000000" on another;
    // the entry format wants ten zeros.
    char code[16];
    if (error == 0)
        strcpy(code, "0000000000");
    else
        snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(error));
    char head[MAX_PATH + 64];
    int headLength = snprintf(head, sizeof head, "[%02u:%02u:%02u]\t%s\t%-40s\t", now.wHour, now.wMinute,
        now.wSecond, code, source);
    std::string entry(head, static_cast<size_t>(headLength < 0 ? 0 : headLength));
    if (hasExtra) {
        entry += ToAnsi(extra);
        entry += "\r\n";
    }
    if (hasMessage)
        entry += ToAnsi(message);
    if (newLine)
        entry += "\r\n";

    if (m_size + entry.size() + kFullEntryRoom > m_maxSize) {
        // The last entry: the log is full, and stays silent for the rest of the run.
        snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(ERROR_FILE_TOO_LARGE));
        snprintf(source, sizeof source, "%s:%d", BaseName(__FILE__), __LINE__);
        headLength = snprintf(head, sizeof head, "[%02u:%02u:%02u]\t%s\t%-40s\tFailed\r\n", now.wHour, now.wMinute,
            now.wSecond, code, source);
        if (headLength > 0 && m_size + static_cast<DWORD>(headLength) <= m_maxSize)
            WriteBytes(head, static_cast<DWORD>(headLength));
        if (m_error == 0)
            m_error = ERROR_FILE_TOO_LARGE;
        return;
    }
    WriteBytes(entry.data(), static_cast<DWORD>(entry.size()));
}

void CLogMan::WriteBytes(const char* data, DWORD size)
{
    if (size == 0 || !m_file || m_error != 0)
        return;
    DWORD written = 0;
    if (!WriteFile(m_file.Get(), data, size, &written, nullptr))
        m_error = GetLastError();
    else if (written != size)
        m_error = ERROR_HANDLE_DISK_FULL;
    m_size += written;
}
