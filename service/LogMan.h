// CLogMan: the service's own small log, "kestrom.log" in the ANSI code page, one line per
// entry. One object lives for the whole run; every component logs through the process-wide
// pointer and logs nothing while it is null.
#pragma once

#include "Win.h"

#include <string>

class CLogMan
{
public:
    // Registers this object as the process-wide logger.
    CLogMan();
    // Closes the file and clears the process-wide pointer.
    virtual ~CLogMan();
    CLogMan(const CLogMan&) = delete;
    CLogMan& operator=(const CLogMan&) = delete;

    // The log under the common application-data folder; false when there is none.
    bool Open();
    // Creates the file anew (an old one is truncated); a failure becomes the sticky error.
    DWORD Recreate(const wchar_t* path);
    // Ends the log early (the "-install" process hands the file over to the service it starts).
    void Close();

    // One entry; returns the error code. Silent while there is no file or a sticky error.
    DWORD WriteEntry(DWORD error, const wchar_t* message, const char* sourceFile, int line,
        const wchar_t* extra, bool newLine);

    DWORD StickyError() const { return m_error; }
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }

    // "kestrom.log" under the company and product folders of the common application data,
    // creating the folders; empty when the company folder can be neither made nor found.
    static std::wstring DefaultPath();

private:
    void WriteBytes(const char* data, DWORD size);

    DWORD m_error = 0;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    // The dispatcher thread (control handler) and the service thread both log.
    CRITICAL_SECTION m_lock;
};

CLogMan* GetLogMan();

// Logs one entry through the process-wide log; keeps the caller's last error and returns code.
DWORD LogEntry(DWORD code, const wchar_t* message, const char* sourceFile, int line);

// The one failure idiom: a failed step is logged as "Failed" with its code where it fails.
#define KS_LOG_FAILED(code) LogEntry(static_cast<DWORD>(code), L"Failed", __FILE__, __LINE__)
#define KS_LOG(code, message) LogEntry(static_cast<DWORD>(code), (message), __FILE__, __LINE__)
