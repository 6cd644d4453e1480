#include "SupportFiles.h"

#include "Log/LogMan.h"
#include "StringTable.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <vector>

namespace {
// Joining works in a buffer a little larger than MAX_PATH; PathAppendW itself still
// refuses results beyond MAX_PATH.
constexpr size_t kJoinChars = 276;


bool FindEntry(const wchar_t* path, WIN32_FIND_DATAW& data)
{
    const CFindHandle find(FindFirstFileW(path, &data));
    return find.IsValid();
}
}

bool GetShellFolderPath(HWND owner, wchar_t* out, int csidl, bool create)
{
    HRESULT hr = SHGetFolderPathW(owner, csidl | (create ? CSIDL_FLAG_CREATE : 0), nullptr, SHGFP_TYPE_CURRENT, out);
    if (hr != S_OK) {
        ZN_LOG_ERROR(hr, L"SHGetFolderPathW", LOG_ERROR);
        return false;
    }
    return true;
}

CString GetTempFolder(const wchar_t* subFolder)
{
    wchar_t temp[MAX_PATH] = {};
    DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0) {
        ZN_LOG(LOG_ERROR, L"0");
        return CString();
    }
    if (n > MAX_PATH) {
        DWORD error = GetLastError();
        ZN_LOG_ERROR(n, L"GetTempPathW", LOG_ERROR);
        ZN_LOG_ERROR(error, L"GetTempPathW", LOG_ERROR);
        return CString();
    }
    CString folder(temp);
    if (subFolder && *subFolder) {
        AppendPath(folder, subFolder);
        // A join that did not fit leaves the temporary folder itself, which is not what the
        // caller asked for (AppendPath has logged it).
        if (folder == temp) return CString();
        if (int error = CreateDirectoryTree(folder, nullptr, nullptr)) {
            ZN_LOG_ERROR(error, folder, LOG_ERROR);
            return CString();
        }
    }
    // TMP may name a file, or a file may stand where the sub-folder belongs (the shell
    // reports it as an existing folder): callers would write into nothing.
    if (!FolderExists(folder)) {
        ZN_LOG_ERROR(ERROR_DIRECTORY, folder, LOG_ERROR);
        return CString();
    }
    return folder;
}

CString CreateTempFileName(const wchar_t* subFolder)
{
    CString folder = GetTempFolder(subFolder);
    if (folder.IsEmpty()) return CString();
    wchar_t name[MAX_PATH] = {};
    // Unique number 0: Windows picks the number and creates the empty file.
    if (!GetTempFileNameW(folder, GetStr(SID_SHORT_PREFIX), 0, name)) {
        ZN_LOG_ERROR(GetLastError(), folder, LOG_ERROR);
        return CString();
    }
    return CString(name);
}

void AppendPath(CString& path, const wchar_t* part)
{
    if (!part) part = L"";
    size_t needed = static_cast<size_t>(path.GetLength()) + std::wcslen(part) + 3;
    if (needed <= kJoinChars - 1) {
        wchar_t joined[kJoinChars] = {};
        wcsncpy(joined, path, kJoinChars - 1);
        // PathAppendW empties its buffer when the result would pass MAX_PATH.
        if (PathAppendW(joined, part)) {
            path = joined;
            return;
        }
    }
    ZN_LOG(LOG_ERROR, path.GetString());
    ZN_LOG(LOG_ERROR, part);
}

int CreateDirectoryTree(const wchar_t* path, HWND owner, const SECURITY_ATTRIBUTES* security)
{
    int error = SHCreateDirectoryExW(owner, path, security);
    if (error == ERROR_ALREADY_EXISTS) return 0;
    if (error != ERROR_SUCCESS) ZN_LOG_ERROR(error, path ? path : L"", LOG_ERROR);
    return error;
}

void SplitExtension(const wchar_t* name, CString& base, CString& extension)
{
    CString whole(name);
    int dot = whole.ReverseFind(L'.');
    if (dot < 0) {
        base = whole;
        extension.Empty();
        return;
    }
    base = whole.Left(dot);
    extension = whole.Mid(dot + 1);
}

void SplitPath(const wchar_t* path, CString& folder, CString& fileName)
{
    CString p(path);
    folder.Empty();
    fileName.Empty();
    if (p.IsEmpty()) return;
    p.Trim();
    int sep = std::max(p.ReverseFind(L'\\'), p.ReverseFind(L'/'));
    if (sep < 0) {
        fileName = p;
        return;
    }
    folder = p.Left(sep + 1);
    fileName = p.Mid(sep + 1);
}

int ShellDeletePath(const wchar_t* path, bool permanent)
{
    size_t length = path ? std::wcslen(path) : 0;
    if (length > MAX_PATH) {
        ZN_LOG(LOG_ERROR, path);
        return -1;
    }
    // The shell takes a list of names, ended by an empty one.
    std::vector<wchar_t> from(length + 2, L'\0');
    if (length) std::wmemcpy(from.data(), path, length);
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    // The failure is logged here; an error box would stop a thread that may have nobody to
    // click it (the crash report's).
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | (permanent ? 0 : FOF_ALLOWUNDO);
    int result = SHFileOperationW(&op);
    if (result != 0) ZN_LOG_ERROR(result, path ? path : L"", LOG_ERROR);
    return result;
}

bool FileExists(const wchar_t* path)
{
    WIN32_FIND_DATAW data;
    if (!path || !*path || !FindEntry(path, data)) return false;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const wchar_t* path)
{
    if (!path || !*path) return false;
    CString p(path);
    // FindFirstFileW finds no entry for a name that ends in a backslash.
    if (p[p.GetLength() - 1] == L'\\') p = p.Left(p.GetLength() - 1);
    WIN32_FIND_DATAW data;
    if (p.IsEmpty() || !FindEntry(p, data)) return false;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
