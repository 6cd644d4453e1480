// CFile: a file over a Win32 handle, with the open modes and the exception causes the
// program tests. Write, Flush, Seek and friends throw CFileException* on failure; the
// catcher reads m_cause / m_lOsError and calls Delete().
#pragma once

#include "CHandle.h"
#include "CString.h"

class CFileException
{
public:
    enum Cause {
        none = 0, genericException = 1, fileNotFound = 2, badPath = 3, tooManyOpenFiles = 4,
        accessDenied = 5, invalidFile = 6, removeCurrentDir = 7, directoryFull = 8, badSeek = 9,
        hardIO = 10, sharingViolation = 11, lockViolation = 12, diskFull = 13, endOfFile = 14,
    };

    CFileException(int cause = none, LONG osError = -1, const wchar_t* fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}

    static int OsErrorToException(LONG osError);
    [[noreturn]] static void ThrowOsError(LONG osError, const wchar_t* fileName = nullptr);

    void Delete() { delete this; }

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

struct CFileStatus
{
    FILETIME m_ctime{};
    FILETIME m_mtime{};
    FILETIME m_atime{};
    ULONGLONG m_size = 0;
    DWORD m_attribute = 0;
    wchar_t m_szFullName[MAX_PATH] = {};
};

class CFile
{
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000, modeWrite = 0x0001, modeReadWrite = 0x0002,
        shareCompat = 0x0000, shareExclusive = 0x0010, shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030, shareDenyNone = 0x0040, modeNoInherit = 0x0080,
        modeCreate = 0x1000, modeNoTruncate = 0x2000,
    };
    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // Returns FALSE and fills *error (when given) instead of throwing.
    virtual BOOL Open(const wchar_t* fileName, UINT openFlags, CFileException* error = nullptr);
    virtual void Close();
    virtual void Abort();   // closes without throwing
    virtual void Flush();

    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);
    ULONGLONG Seek(LONGLONG offset, UINT from);
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    ULONGLONG GetLength() const;
    CString GetFilePath() const { return m_strFileName; }

    bool IsOpen() const { return m_hFile.IsValid(); }
    CHandle m_hFile;

protected:
    CString m_strFileName;
};
