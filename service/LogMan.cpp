#include "LogMan.h"

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

} // namespace

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

CLogMan::CLogMan()
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

std::wstring CLogMan::DefaultPath()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    std::wstring path = folder;
    path += L"\\Mervale Software";
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return std::wstring();
    }
    path += L"\\Zarnock";
    CreateDirectoryW(path.c_str(), nullptr);
    path += L"\\kestrom.log";
    return path;
}

bool CLogMan::Open()
{
    std::wstring path = DefaultPath();
    return !path.empty() && Recreate(path.c_str()) == 0;
}

DWORD CLogMan::Recreate(const wchar_t* path)
{
    EnterCriticalSection(&m_lock);
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
    m_error = 0;
    m_file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
        m_error = GetLastError();
    DWORD error = m_error;
    LeaveCriticalSection(&m_lock);
    return error;
}

void CLogMan::Close()
{
    EnterCriticalSection(&m_lock);
    if (m_file != INVALID_HANDLE_VALUE) {
        if (!CloseHandle(m_file))
            m_error = GetLastError();
        m_file = INVALID_HANDLE_VALUE;
    }
    LeaveCriticalSection(&m_lock);
}

DWORD CLogMan::WriteEntry(DWORD error, const wchar_t* message, const char* sourceFile, int line,
    const wchar_t* extra, bool newLine)
{
    bool hasMessage = message && *message;
    bool hasExtra = extra && *extra;
    if (error == 0 && !hasMessage && !hasExtra)
        return error;

    EnterCriticalSection(&m_lock);
    if (m_file != INVALID_HANDLE_VALUE && m_error == 0) {
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
        WriteBytes(entry.data(), static_cast<DWORD>(entry.size()));
    }
    LeaveCriticalSection(&m_lock);
    return error;
}

void CLogMan::WriteBytes(const char* data, DWORD size)
{
    if (size == 0 || m_file == INVALID_HANDLE_VALUE || m_error != 0)
        return;
    DWORD written = 0;
    if (!WriteFile(m_file, data, size, &written, nullptr))
        m_error = GetLastError();
    else if (written != size)
        m_error = ERROR_HANDLE_DISK_FULL;
}
