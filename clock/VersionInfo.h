// CVersionInfo: a file's version resource, read whole, with the fixed version numbers and
// the company name, product name and file description split out.
#pragma once

#include "ClassLib.h"

#include <memory>

class CVersionInfo
{
public:
    static constexpr size_t kPathChars = 518;
    static constexpr size_t kTextChars = 519;

    explicit CVersionInfo(const wchar_t* path);

    // 1 when the version block and its fixed part were read; the texts stay empty otherwise.
    int Load();
    // A string value of the block's first language and code page, cut to the capacity.
    int QueryString(const wchar_t* name, wchar_t* out, size_t capacity) const;
    template <size_t N>
    int QueryString(const wchar_t* name, wchar_t (&out)[N]) const { return QueryString(name, out, N); }
    int GetFileVersion(WORD parts[4]) const;
    void Free();

    std::unique_ptr<BYTE[]> m_versionBlock;
    WORD m_fileVersion[4] = {};     // major, minor, build, revision
    WORD m_productVersion[4] = {};
    DWORD m_fileFlags = 0;
    DWORD m_fileOS = 0;
    DWORD m_fileType = 0;
    DWORD m_fileSubtype = 0;
    wchar_t m_path[kPathChars + 1] = {};
    wchar_t m_companyName[kTextChars + 1] = {};
    wchar_t m_productName[kTextChars + 1] = {};
    wchar_t m_fileDescription[kTextChars + 1] = {};
};
