// CFileEx: the file-status query used wherever a file's size and times are needed.
#pragma once

#include "ClassLib.h"

struct CFileExStatus {
    FILETIME m_ctime{};    // creation, as the file system gives it (UTC)
    FILETIME m_mtime{};    // last modification
    FILETIME m_atime{};    // last access
    ULONGLONG m_size = 0;
    DWORD m_attribute = 0;
    wchar_t m_szFullName[MAX_PATH] = {};
};

class CFileEx
{
public:
    CFileEx() = delete;
    // 1 with the status filled in, 0 for a null path, a path of MAX_PATH characters or
    // more, or a file that cannot be queried (logged).
    static BOOL GetStatus(const wchar_t* path, CFileExStatus& status);
};
