#include "CFile.h"

#include <utility>

int CFileException::OsErrorToException(LONG osError)
{
    switch (osError) {
    case NO_ERROR: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_DRIVE: case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: case ERROR_FILENAME_EXCED_RANGE: case ERROR_DIRECTORY:
        return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED: case ERROR_WRITE_PROTECT: case ERROR_CANNOT_MAKE:
    case ERROR_FILE_EXISTS: case ERROR_ALREADY_EXISTS:
        return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_NO_MORE_FILES: return directoryFull;
    case ERROR_NEGATIVE_SEEK: case ERROR_SEEK: return badSeek;
    case ERROR_CRC: case ERROR_GEN_FAILURE: case ERROR_READ_FAULT: case ERROR_WRITE_FAULT:
    case ERROR_NOT_READY: case ERROR_SECTOR_NOT_FOUND:
        return hardIO;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: case ERROR_DRIVE_LOCKED: return lockViolation;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return genericException;
    }
}

void CFileException::ThrowOsError(LONG osError, const wchar_t* fileName)
{
    throw new CFileException(OsErrorToException(osError), osError, fileName);
}

CFile::~CFile() = default;

BOOL CFile::Open(const wchar_t* fileName, UINT openFlags, CFileException* error)
{
    Abort();
    m_strFileName = fileName;

    DWORD access = 0;
    switch (openFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (openFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE; break;
    default: share = 0; break;
    }
    DWORD disposition = OPEN_EXISTING;
    if (openFlags & modeCreate)
        disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, (openFlags & modeNoInherit) ? FALSE : TRUE};

    CHandle h(CreateFileW(fileName ? fileName : L"", access, share, &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        LONG err = static_cast<LONG>(GetLastError());
        if (error) {
            error->m_lOsError = err;
            error->m_cause = CFileException::OsErrorToException(err);
            error->m_strFileName = fileName;
        }
        return FALSE;
    }
    m_hFile = std::move(h);
    return TRUE;
}

void CFile::Close()
{
    if (const DWORD error = m_hFile.Close()) CFileException::ThrowOsError(static_cast<LONG>(error), m_strFileName);
}

void CFile::Abort()
{
    m_hFile.Reset();
}

void CFile::Flush()
{
    if (!m_hFile) return;
    if (!FlushFileBuffers(m_hFile)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (count && !ReadFile(m_hFile, buffer, count, &read, nullptr))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    return read;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (count == 0) return;
    DWORD written = 0;
    if (!WriteFile(m_hFile, buffer, count, &written, nullptr))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    if (written != count) CFileException::ThrowOsError(ERROR_DISK_FULL, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LARGE_INTEGER dist, pos;
    dist.QuadPart = offset;
    if (!SetFilePointerEx(m_hFile, dist, &pos, from))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(pos.QuadPart);
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_hFile, &size))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(size.QuadPart);
}
