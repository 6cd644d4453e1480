// CLogMan: the service's own small log, "kestrom.log" in the ANSI code page, one line per
// entry. One object lives for the whole run; every component logs through the process-wide
// pointer and logs nothing while it is null.
//
// The service runs as LocalSystem and any local program can make it fail a connection, so
// the log is bounded: failures of clients are logged at a limited rate (the rest counted in
// one summary entry), and the file never grows past its size limit.
#pragma once

#include "CHandle.h"

#include "Win.h"

#include <string>

class CLogMan
{
public:
    // The file's size limit; the last entry that fits says the log is full.
    static constexpr DWORD kDefaultMaxSize = 1024 * 1024;
    // Failures of clients logged per second; about 80 bytes each.
    static constexpr DWORD kClientEntriesPerSecond = 4;

    // Registers this object as the process-wide logger.
    explicit CLogMan(DWORD maxSize = kDefaultMaxSize);
    // Closes the file and clears the process-wide pointer.
    virtual ~CLogMan();
    CLogMan(const CLogMan&) = delete;
    CLogMan& operator=(const CLogMan&) = delete;

    // The log under the common application-data folder; false when there is none.
    bool Open();
    // Creates the file anew (an old one is truncated); a failure becomes the sticky error.
    // A reparse point or a hard link in the file's place is refused, never followed.
    DWORD Recreate(const wchar_t* path);
    // Ends the log early (the "-install" process hands the file over to the service it starts).
    void Close();

    // One entry; returns the error code. Silent while there is no file or a sticky error.
    DWORD WriteEntry(DWORD error, const wchar_t* message, const char* sourceFile, int line,
        const wchar_t* extra, bool newLine);
    // A failure one client caused: logged as "Failed" while within the rate, else counted.
    DWORD WriteClientFailure(DWORD error, const char* sourceFile, int line);

    DWORD StickyError() const { return m_error; }
    bool IsOpen() const { return m_file.IsValid(); }

    // "kestrom.log" under the company and product folders of the common application data
    // (or of base), creating the folders with the log's own access list; empty when either
    // folder can be neither made nor found, or is a reparse point.
    static std::wstring DefaultPath(const wchar_t* base = nullptr);
    // The log folders' access list: SYSTEM and Administrators full control, users read;
    // nothing inherited from the common folder, where every user may create files.
    static const wchar_t kFolderSecurity[];

private:
    void WriteLine(DWORD error, const wchar_t* message, const char* sourceFile, int line, const wchar_t* extra,
        bool newLine);
    void WriteBytes(const char* data, DWORD size);
    void WriteSuppressedSummary();

    DWORD m_error = 0;
    CHandle m_file;
    DWORD m_maxSize;
    ULONGLONG m_size = 0;
    // The current second of client failures, how many were logged in it, and how many were
    // not logged since the last summary.
    ULONGLONG m_clientSecond = 0;
    DWORD m_clientEntries = 0;
    DWORD m_clientSuppressed = 0;
    // The dispatcher thread (control handler) and the service thread both log.
    CRITICAL_SECTION m_lock;
};

CLogMan* GetLogMan();

// Logs one entry through the process-wide log; keeps the caller's last error and returns code.
DWORD LogEntry(DWORD code, const wchar_t* message, const char* sourceFile, int line);
DWORD LogClientFailure(DWORD code, const char* sourceFile, int line);

// The one failure idiom: a failed step is logged as "Failed" with its code where it fails.
#define KS_LOG_FAILED(code) LogEntry(static_cast<DWORD>(code), L"Failed", __FILE__, __LINE__)
#define KS_LOG(code, message) LogEntry(static_cast<DWORD>(code), (message), __FILE__, __LINE__)
// The same for a step that fails per connection, which a client can repeat at will.
#define KS_LOG_CLIENT_FAILED(code) LogClientFailure(static_cast<DWORD>(code), __FILE__, __LINE__)
