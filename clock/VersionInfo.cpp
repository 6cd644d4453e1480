#include "VersionInfo.h"

#include <new>

namespace {

void CopyCut(wchar_t* out, size_t capacity, const wchar_t* text, size_t length)
{
    if (!capacity) return;
    size_t n = std::min(length, capacity - 1);
    std::wmemcpy(out, text, n);
    out[n] = 0;
}

void SplitVersion(DWORD ms, DWORD ls, WORD parts[4])
{
    parts[0] = HIWORD(ms);
    parts[1] = LOWORD(ms);
    parts[2] = HIWORD(ls);
    parts[3] = LOWORD(ls);
}

} // namespace

CVersionInfo::CVersionInfo(const wchar_t* path)
{
    if (path) CopyCut(m_path, kPathChars + 1, path, wcslen(path));
}

int CVersionInfo::Load()
{
    Free();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(m_path, &handle);
    if (!size) return 0;
    m_versionBlock.reset(new (std::nothrow) BYTE[size + 1]());
    if (!m_versionBlock) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (!GetFileVersionInfoW(m_path, 0, size, m_versionBlock.get())) return 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(m_versionBlock.get(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    SplitVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS, m_fileVersion);
    SplitVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS, m_productVersion);
    m_fileFlags = fixed->dwFileFlags;
    m_fileOS = fixed->dwFileOS;
    m_fileType = fixed->dwFileType;
    m_fileSubtype = fixed->dwFileSubtype;
    if (QueryString(L"CompanyName", m_companyName) && QueryString(L"FileDescription", m_fileDescription) &&
        QueryString(L"ProductName", m_productName))
        return 1;
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
}

int CVersionInfo::QueryString(const wchar_t* name, wchar_t* out, size_t capacity) const
{
    if (!m_versionBlock || !name) return 0;
    struct LangCodePage { WORD language; WORD codePage; };
    LangCodePage* pairs = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(m_versionBlock.get(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pairs),
                        &bytes) ||
        !pairs || bytes < sizeof(LangCodePage))
        return 0;
    CString sub;
    sub.Format(L"\\StringFileInfo\\%04x%04x\\%s", pairs[0].language, pairs[0].codePage, name);
    wchar_t* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(m_versionBlock.get(), sub, reinterpret_cast<void**>(&value), &chars) || !value) return 0;
    // The count may include the terminator; the text ends at the first null either way.
    CopyCut(out, capacity, value, wcsnlen(value, chars));
    return 1;
}

int CVersionInfo::GetFileVersion(WORD parts[4]) const
{
    std::copy(m_fileVersion, m_fileVersion + 4, parts);
    return 1;
}

void CVersionInfo::Free()
{
    m_versionBlock.reset();
}
