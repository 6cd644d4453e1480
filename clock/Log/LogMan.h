// CLogMan: the program log, a rotating UTF-8 text file that every thread writes entries to.
// The one instance is a member of the application object, reached through GetAppLogMan.
#pragma once

#include "ClassLib.h"

#include <atomic>
#include <map>
#include <sstream>
#include <vector>

enum LogLevel {
    LOG_INFO = 0,     // " - "
    LOG_DETAIL = 1,   // " . "
    LOG_WARNING = 2,  // " W "
    LOG_ERROR = 3,    // " * "
};

class CLogMan : public CFile
{
public:
    // Where an entry's time stamp comes from; GetLocalTime unless a test sets its own.
    using LocalTimeSource = void(WINAPI*)(LPSYSTEMTIME);

    CLogMan();
    ~CLogMan() override;

    void Flush() override;
    void Close() override;

    // One entry; nothing for a null or closed log. sourceFile is the caller's __FILE__.
    static void LogLine(CLogMan* log, const wchar_t* text, int level, const char* sourceFile, int line);
    // Writes "%#010x %s" (code, text) and returns the code; code 0 with an empty text writes nothing.
    static DWORD LogError(CLogMan* log, DWORD code, const wchar_t* text, int level, const char* sourceFile, int line);

    // Start-up and reopen: 1 when an over-long open file was closed and reopened, else 0.
    int Open(const wchar_t* path, wchar_t letter, int keepCount, ULONGLONG sizeLimit);
    // 0 on success, 1 for an empty path, else the failure code.
    HRESULT OpenFile(const wchar_t* path, wchar_t letter, BOOL append, int keepCount, ULONGLONG sizeLimit);
    void RotateFiles(const wchar_t* path, int keepCount);

    void RegisterThread(wchar_t letter);
    void UnregisterThread();

    void SetTimeSource(LocalTimeSource source) { m_localTime = source ? source : ::GetLocalTime; }

    // Makes the new, empty temporary file that Open writes to when the log's own file cannot
    // be opened (the sub-folder is the log's "tmp" folder); none installed: no such file. The
    // file helpers log through this log, so the log does not call them itself.
    using TempFileSource = CString (*)(const wchar_t* subFolder);
    void SetTempFileSource(TempFileSource source) { m_tempFile = source; }

    // For the calling thread only, one of the crash report's own: the thread that crashed
    // may hold the lock for good, so this thread's entries and flushes wait at most waitMs
    // for it and write without it when the wait runs out (and after that never wait again).
    // Every other thread keeps writing under the lock.
    void SetCrashLockWait(DWORD waitMs);
    // Flushes, then runs write on the open file handle under the log's lock; false when
    // the log is not open.
    bool WriteIntoFile(void (*write)(HANDLE file, void* argument), void* argument);

    int m_flushAfterEachLine = 1;
    int m_secondFlag = 1;
    int m_lastWriteError = 0;

private:
    // An entry made while the file is closed (rotation runs before the file is opened);
    // it is written as soon as the file is open.
    struct PendingEntry {
        CString text;
        int level;
        const char* sourceFile;
        int line;
    };

    class CEntryLock;

    void WriteEntry(const wchar_t* text, int level, const char* sourceFile, int line);
    void WriteBytes(const void* data, size_t size);
    void KeepOrLog(const CString& text, int level, const char* sourceFile, int line);

    CCriticalSection m_lock;
    std::map<DWORD, wchar_t> m_threadLetters;
    std::vector<PendingEntry> m_pending;
    LocalTimeSource m_localTime = ::GetLocalTime;
    TempFileSource m_tempFile = nullptr;
    // Per thread: 0 (the plain lock), kLockGivenUp, or the bounded wait in ms + 2.
    DWORD m_crashWaitSlot = TLS_OUT_OF_INDEXES;
};

// The application's log; null outside the application object's lifetime.
CLogMan* GetAppLogMan();
// The application object registers its log member here (and null when it goes); tests
// register a log of their own.
void SetAppLogMan(CLogMan* log);
// Flushes the application's log, when there is one.
void FlushLog();

CString HexText(ULONG_PTR value, BOOL wide);
CString HexText64(ULONGLONG value);

// The call shape of every entry: the text is built with a wide string stream only when the
// log is there and open.
#define ZN_LOG(level, streamExpr)                                                         \
    do {                                                                                  \
        CLogMan* zn_log_ = GetAppLogMan();                                                \
        if (zn_log_ && zn_log_->IsOpen()) {                                               \
            std::wostringstream zn_text_;                                                 \
            zn_text_ << streamExpr;                                                       \
            CLogMan::LogLine(zn_log_, zn_text_.str().c_str(), (level), __FILE__, __LINE__); \
        }                                                                                 \
    } while (0)

// Logs a failing call's code with a text; evaluates to the code.
#define ZN_LOG_ERROR(code, text, level) \
    CLogMan::LogError(GetAppLogMan(), static_cast<DWORD>(code), (text), (level), __FILE__, __LINE__)
