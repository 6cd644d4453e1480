#include "FileEx.h"

#include "Log/LogMan.h"
#include "SupportTime.h"

namespace {

// A time that cannot be shown in local time is no use to any caller: it counts as 0.
FILETIME UsableOrZero(const FILETIME& time)
{
    FILETIME local{};
    SYSTEMTIME st{};
    if (FileTimeToLocalFileTime(&time, &local) && FileTimeToSystemTime(&local, &st)) return time;
    return FILETIME{};
}

} // namespace

BOOL CFileEx::GetStatus(const wchar_t* path, CFileExStatus& status)
{
    if (!path) return FALSE;
    const size_t length = wcslen(path);
    if (length >= MAX_PATH) {
        ZN_LOG(LOG_ERROR, L"CFileEx::GetStatus: path of " << length << L" characters");
        return FALSE;
    }

    const DWORD full = GetFullPathNameW(path, MAX_PATH, status.m_szFullName, nullptr);
    if (full == 0 || full >= MAX_PATH) {
        ZN_LOG(LOG_ERROR, L"CFileEx::GetStatus: no full path for " << path);
        status.m_szFullName[0] = 0;
        return FALSE;
    }

    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
        ZN_LOG_ERROR(GetLastError(), path, LOG_ERROR);
        return FALSE;
    }

    status.m_attribute = data.dwFileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
    status.m_size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (data.nFileSizeHigh != 0) {
        ZN_LOG(LOG_ERROR, L"file of 4 GiB or more, high part " << data.nFileSizeHigh);
        ZN_LOG(LOG_ERROR, L"low part " << data.nFileSizeLow);
    }

    status.m_ctime = UsableOrZero(data.ftCreationTime);
    status.m_mtime = UsableOrZero(data.ftLastWriteTime);
    status.m_atime = UsableOrZero(data.ftLastAccessTime);
    if (FileTimeEquals(status.m_ctime, FILETIME{})) status.m_ctime = status.m_mtime;
    if (FileTimeEquals(status.m_atime, FILETIME{})) status.m_atime = status.m_mtime;
    return TRUE;
}
