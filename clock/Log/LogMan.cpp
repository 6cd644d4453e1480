#include "LogMan.h"

#include "StringTable.h"

#include <atomic>
#include <string>

namespace {

std::atomic<CLogMan*> g_appLog{nullptr};

// Entry text lines up its source reference at this column (counted in UTF-16 units).
constexpr int kReferenceColumn = 152;

const wchar_t* LevelMark(int level)
{
    static const wchar_t* const marks[] = {L" - ", L" . ", L" W ", L" * "};
    return level >= 0 && level < 4 ? marks[level] : L"";
}

// A failure whose cause reads "none" must still silence the log.
int StickyCause(const CFileException* e)
{
    return e->m_cause != CFileException::none ? e->m_cause : CFileException::genericException;
}

const char* SourceFileName(const char* sourceFile)
{
    if (!sourceFile) return "";
    // The cross compiler writes __FILE__ with forward slashes.
    const char* name = sourceFile;
    for (const char* p = sourceFile; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

std::string ToUtf8(const CString& text)
{
    std::string bytes;
    int length = text.GetLength();
    if (length == 0) return bytes;
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return bytes;
    bytes.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, text, length, &bytes[0], n, nullptr, nullptr);
    return bytes;
}

// The size of the file at path; false for a path of MAX_PATH characters or more and for a
// file that cannot be read. Not through CFileEx: it logs its failures through this very log.
bool FileSizeAt(const wchar_t* path, ULONGLONG& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (wcslen(path) >= MAX_PATH || !GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
    size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool IsExistingFile(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Deletes or renames one copy during rotation; false when the rotation must stop. A missing
// file is no reason to stop.
bool RotationStepOk(BOOL done)
{
    if (done) return true;
    int cause = CFileException::OsErrorToException(static_cast<LONG>(GetLastError()));
    return cause == CFileException::none || cause == CFileException::fileNotFound;
}

} // namespace

// The lock of one entry or flush: the plain lock, or on a crash report's own thread a
// bounded try for it.
class CLogMan::CEntryLock
{
public:
    static constexpr uintptr_t kLockGivenUp = 1;

    explicit CEntryLock(CLogMan& log) : m_log(log)
    {
        const uintptr_t crashWait = log.m_crashWaitSlot == TLS_OUT_OF_INDEXES
                                        ? 0
                                        : reinterpret_cast<uintptr_t>(TlsGetValue(log.m_crashWaitSlot));
        if (crashWait == 0) {
            log.m_lock.Lock();
            m_locked = true;
            return;
        }
        if (crashWait == kLockGivenUp) return;
        const DWORD waitMs = static_cast<DWORD>(crashWait - 2);
        const DWORD start = GetTickCount();
        while (!(m_locked = log.m_lock.TryLock()) && GetTickCount() - start < waitMs) Sleep(10);
        if (!m_locked) TlsSetValue(log.m_crashWaitSlot, reinterpret_cast<void*>(kLockGivenUp));
    }
    ~CEntryLock()
    {
        if (m_locked) m_log.m_lock.Unlock();
    }
    CEntryLock(const CEntryLock&) = delete;
    CEntryLock& operator=(const CEntryLock&) = delete;

    bool Locked() const { return m_locked; }

private:
    CLogMan& m_log;
    bool m_locked = false;
};

CLogMan::CLogMan() : m_crashWaitSlot(TlsAlloc()) {}

CLogMan::~CLogMan()
{
    Flush();
    if (m_crashWaitSlot != TLS_OUT_OF_INDEXES) TlsFree(m_crashWaitSlot);
}

void CLogMan::Flush()
{
    // Under the lock, so a flush never meets a handle that another thread is closing.
    CEntryLock lock(*this);
    if (!IsOpen() || m_lastWriteError) return;
    try {
        CFile::Flush();
    } catch (CFileException* e) {
        m_lastWriteError = StickyCause(e);
        e->Delete();
    }
}

void CLogMan::Close()
{
    CSingleLock lock(&m_lock, TRUE);
    UnregisterThread();
    try {
        CFile::Close();
    } catch (CFileException* e) {
        e->Delete();
    }
}

void CLogMan::SetCrashLockWait(DWORD waitMs)
{
    if (m_crashWaitSlot == TLS_OUT_OF_INDEXES) return;
    const uintptr_t value = waitMs == INFINITE ? 0 : static_cast<uintptr_t>(waitMs) + 2;
    TlsSetValue(m_crashWaitSlot, reinterpret_cast<void*>(value));
}

bool CLogMan::WriteIntoFile(void (*write)(HANDLE file, void* argument), void* argument)
{
    CEntryLock lock(*this);
    if (!IsOpen() || !write) return false;
    if (!m_lastWriteError) {
        try {
            CFile::Flush();
        } catch (CFileException* e) {
            m_lastWriteError = StickyCause(e);
            e->Delete();
        }
    }
    write(m_hFile, argument);
    return true;
}

void CLogMan::RegisterThread(wchar_t letter)
{
    CSingleLock lock(&m_lock, TRUE);
    try {
        m_threadLetters.emplace(GetCurrentThreadId(), letter);
    } catch (const std::exception&) {
        // Out of memory: the thread prints "*".
    }
}

void CLogMan::UnregisterThread()
{
    CSingleLock lock(&m_lock, TRUE);
    m_threadLetters.erase(GetCurrentThreadId());
}

void CLogMan::LogLine(CLogMan* log, const wchar_t* text, int level, const char* sourceFile, int line)
{
    if (!log || !log->IsOpen()) return;
    try {
        log->WriteEntry(text ? text : L"", level, sourceFile, line);
    } catch (const std::exception&) {
        // Out of memory while building the entry: it is lost, the caller goes on.
    }
    if (log->m_flushAfterEachLine) log->Flush();
}

DWORD CLogMan::LogError(CLogMan* log, DWORD code, const wchar_t* text, int level, const char* sourceFile, int line)
{
    if (!text) text = L"";
    if (code == 0 && *text == 0) return 0;
    if (!log || !log->IsOpen()) return code;
    CString entry;
    entry.Format(L"%#010x %s", code, text);
    LogLine(log, entry, level, sourceFile, line);
    return code;
}

void CLogMan::WriteEntry(const wchar_t* text, int level, const char* sourceFile, int line)
{
    CString body(text);
    body.Replace(L"\r\n", L"\n");
    body.Replace(L'\r', L'\n');
    body.Replace(L"\n\n", L"\n");

    // Trailing newlines are dropped; the rest keeps its leading "\n" for the indent below.
    CString first = body;
    CString rest;
    int newline = body.Find(L'\n');
    if (newline >= 0) {
        first = body.Left(newline);
        int end = body.GetLength();
        while (end > newline && body[end - 1] == L'\n') --end;
        rest = body.Mid(newline, end - newline);
    }

    CEntryLock lock(*this);
    // The file may have been closed since the caller looked.
    if (!IsOpen() || m_lastWriteError) return;
    try {
        CFile::Seek(0, CFile::end);
    } catch (CFileException* e) {
        m_lastWriteError = StickyCause(e);
        e->Delete();
        return;
    }

    // Without the lock the letters may be changing under the lookup: such an entry goes
    // without its thread's letter.
    wchar_t letter = L'*';
    if (lock.Locked()) {
        auto found = m_threadLetters.find(GetCurrentThreadId());
        if (found != m_threadLetters.end()) letter = found->second;
    }
    SYSTEMTIME now{};
    m_localTime(&now);
    const wchar_t* mark = LevelMark(level);
    CString entry;
    entry.Format(L"[%c] %d-%02d-%02d %02d:%02d:%02d%s", letter,
                 now.wYear - 2000, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, mark);
    int prefixLength = entry.GetLength();

    int padding = kReferenceColumn - prefixLength - first.GetLength();
    entry += first;
    if (padding > 0)
        entry += CString(L' ', padding);
    else
        entry += L" - ";
    entry.AppendFormat(L"[%S:%d]", SourceFileName(sourceFile), line);

    if (!rest.IsEmpty()) {
        CString indent = L"\r\n" + CString(L' ', prefixLength - 3) + mark;
        rest.Replace(L"\n", indent);
        entry += rest;
    }
    entry += L"\r\n";

    // One write per entry: a failure never leaves half an entry behind a good one.
    std::string bytes = ToUtf8(entry);
    WriteBytes(bytes.data(), bytes.size());
}

void CLogMan::WriteBytes(const void* data, size_t size)
{
    if (m_lastWriteError || size == 0) return;
    try {
        CFile::Write(data, static_cast<UINT>(size));
    } catch (CFileException* e) {
        m_lastWriteError = StickyCause(e);
        e->Delete();
    }
}

void CLogMan::KeepOrLog(const CString& text, int level, const char* sourceFile, int line)
{
    if (IsOpen()) {
        LogLine(this, text, level, sourceFile, line);
        return;
    }
    CSingleLock lock(&m_lock, TRUE);
    try {
        m_pending.push_back(PendingEntry{text, level, sourceFile, line});
    } catch (const std::exception&) {
    }
}

int CLogMan::Open(const wchar_t* path, wchar_t letter, int keepCount, ULONGLONG sizeLimit)
{
    int reopened = 0;
    ULONGLONG oldLength = 0;
    if (IsOpen()) {
        Flush();
        {
            CSingleLock lock(&m_lock, TRUE);
            try {
                oldLength = IsOpen() ? GetLength() : 0;
            } catch (CFileException* e) {
                e->Delete();
            }
        }
        if (oldLength > sizeLimit) {
            Flush();
            Close();
            reopened = 1;
        }
    }

    if (!IsOpen()) {
        HRESULT r = OpenFile(path, letter, TRUE, keepCount, sizeLimit);
        if (r != 0) {
            CString subFolder;
            subFolder.Format(GetStr(SID_LOG_NAME_FORMAT), L"tmp");
            CString tempPath = m_tempFile ? m_tempFile(subFolder) : CString();
            if (OpenFile(tempPath, letter, FALSE, 0, sizeLimit) == 0) {
                LogError(this, static_cast<DWORD>(r), L"", LOG_ERROR, __FILE__, __LINE__);
                LogLine(this, HexText(static_cast<ULONG>(r), TRUE) + L" " + (path ? path : L""), LOG_ERROR,
                        __FILE__, __LINE__);
                LogLine(this, tempPath, LOG_INFO, __FILE__, __LINE__);
            }
        }
    }

    if (reopened) {
        CString text;
        text.Format(L"%I64u %I64u %s [%d,%d]", oldLength, sizeLimit, path ? path : L"",
                    m_flushAfterEachLine ? 1 : 0, m_secondFlag ? 1 : 0);
        LogLine(this, text, LOG_INFO, __FILE__, __LINE__);
        Flush();
    }
    return reopened;
}

HRESULT CLogMan::OpenFile(const wchar_t* path, wchar_t letter, BOOL append, int keepCount, ULONGLONG sizeLimit)
{
    if (!path || !*path) return 1;

    bool rotated = false;
    ULONGLONG size = 0;
    if (keepCount != 0 && FileSizeAt(path, size) && size > sizeLimit) {
        RotateFiles(path, keepCount);
        rotated = true;
    }

    const UINT flags = append ? modeCreate | modeNoTruncate | modeWrite | shareDenyNone
                              : modeCreate | modeWrite | shareDenyNone;
    bool retried = false;
    for (;;) {
        CFileException error;
        BOOL opened;
        {
            CSingleLock lock(&m_lock, TRUE);
            opened = CFile::Open(path, flags, &error);
        }
        if (opened) break;
        // A live file that cannot be written (read-only, say) is moved aside once.
        if (error.m_lOsError == ERROR_ACCESS_DENIED && keepCount != 0 && !rotated && !retried) {
            RotateFiles(path, keepCount);
            retried = true;
            continue;
        }
        LONG e = error.m_lOsError;
        return e < 1 ? e : HRESULT_FROM_WIN32(static_cast<DWORD>(e));
    }

    {
        CSingleLock lock(&m_lock, TRUE);
        try {
            CFile::Seek(0, CFile::end);
        } catch (CFileException* e) {
            e->Delete();
        }
        if (append) WriteBytes("\r\n\r\n", 4);
    }
    RegisterThread(letter);

    std::vector<PendingEntry> pending;
    {
        CSingleLock lock(&m_lock, TRUE);
        pending.swap(m_pending);
    }
    for (const PendingEntry& entry : pending)
        LogLine(this, entry.text, entry.level, entry.sourceFile, entry.line);
    return 0;
}

void CLogMan::RotateFiles(const wchar_t* path, int keepCount)
{
    if (!path || !*path) return;

    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            KeepOrLog(path, LOG_ERROR, __FILE__, __LINE__);
        } else {
            // Another process holding the file would make every rename fail half-way.
            CFile probe;
            CFileException error;
            if (probe.Open(path, modeCreate | modeNoTruncate | modeWrite | shareExclusive, &error)) {
                probe.Abort();
            } else if (error.m_cause == CFileException::sharingViolation) {
                CString text;
                text.Format(L"%#010x %s", static_cast<unsigned>(CFileException::sharingViolation), path);
                KeepOrLog(text, LOG_ERROR, __FILE__, __LINE__);
                return;
            }
        }
    }

    CString live(path);
    int cut = live.ReverseFind(L'\\');
    if (cut < 0) cut = live.ReverseFind(L'/');
    if (cut < 0 || keepCount < 1) return;
    CString folder = live.Left(cut + 1);
    CString name = live.Mid(cut + 1);
    // A path that names a folder has no file to number: "folder\3" could be anything.
    if (name.IsEmpty()) return;
    CString stem = name;
    CString extension;
    int dot = name.ReverseFind(L'.');
    if (dot >= 0) {
        stem = name.Left(dot + 1);
        extension = name.Mid(dot);
    }
    auto copyName = [&](int n) {
        CString copy;
        copy.Format(L"%s%s%d%s", folder.GetString(), stem.GetString(), n, extension.GetString());
        return copy;
    };

    CString oldest = copyName(keepCount);
    if (IsExistingFile(oldest) && !RotationStepOk(DeleteFileW(oldest))) return;
    for (int n = keepCount; n >= 2; --n) {
        CString from = copyName(n - 1);
        if (IsExistingFile(from) && !RotationStepOk(MoveFileW(from, copyName(n)))) return;
    }
    if (IsExistingFile(path)) RotationStepOk(MoveFileW(path, copyName(1)));
}

CLogMan* GetAppLogMan()
{
    return g_appLog.load();
}

void SetAppLogMan(CLogMan* log)
{
    g_appLog.store(log);
}

void FlushLog()
{
    if (CLogMan* log = GetAppLogMan()) log->Flush();
}

CString HexText(ULONG_PTR value, BOOL wide)
{
    // The C runtime prints a zero without its "0x"; the log keeps the width for it too.
    if (value == 0) return CString(wide ? L"0x00000000" : L"0x0000");
    CString text;
    if (wide)
        text.Format(L"%#010Ix", value);
    else
        text.Format(L"%#06x", static_cast<unsigned>(value));
    return text;
}

CString HexText64(ULONGLONG value)
{
    if (value == 0) return CString(L"0x0000000000000000");
    CString text;
    text.Format(L"%#018I64x", value);
    return text;
}
