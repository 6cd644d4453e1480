#include "SupportUtilities.h"

#include "HelperBase.h"
#include "Log/LogMan.h"
#include "ProgressDlg.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportRegistry.h"
#include "SupportShell.h"
#include "SupportWindowsVersion.h"
#include "VersionInfo.h"
#include "WaitWithMessageLoop.h"
#include "res/resource.h"

#include <shlobj.h>

#include <memory>
#include <new>

namespace {

// The program's own file; false (logged) when it cannot be had.
bool OwnModulePath(wchar_t (&path)[MAX_PATH])
{
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        DWORD error = n ? ERROR_INSUFFICIENT_BUFFER : GetLastError();
        ZN_LOG_ERROR(error, L"GetModuleFileNameW", LOG_ERROR);
        SetLastError(error);
        return false;
    }
    return true;
}

// AppendPath leaves the path as it was when the result would not fit (and logs it); a log
// path that silently lost one of its parts would put the files somewhere else.
bool Join(CString& path, const wchar_t* part)
{
    const int before = path.GetLength();
    AppendPath(path, part);
    return path.GetLength() > before;
}

// ShellExecuteExW's instance value: above 32 means a program was started.
INT_PTR InstanceValue(const SHELLEXECUTEINFOW& info)
{
    return reinterpret_cast<INT_PTR>(info.hInstApp);
}

CString CodeText(DWORD code)
{
    CString text;
    text.Format(L"(%#010x)", code);
    return text;
}

} // namespace

DllLoader::DllLoader(const wchar_t* name, const wchar_t* directory, bool freeOnDestroy)
    : m_freeOnDestroy(freeOnDestroy)
{
    bool own = directory && *directory;
    if (own) SetDllDirectoryW(directory);
    m_module.Reset(LoadLibraryW(name));
    DWORD error = m_module ? ERROR_SUCCESS : GetLastError();
    if (!m_module) ZN_LOG(LOG_ERROR, HexText(error, TRUE).GetString() << L" " << (name ? name : L"<null>"));
    if (own) SetDllDirectoryW(nullptr);
    if (!m_module) SetLastError(error);
}

DllLoader::~DllLoader()
{
    // A library that stays loaded is left to the process.
    if (!m_freeOnDestroy) m_module.Release();
}

bool IsBetaBuildText(const wchar_t* specialBuild)
{
    return specialBuild && lstrcmpiW(specialBuild, L"beta") == 0;
}

DWORD GetFileVersionNumber(const wchar_t* path, int* isBeta)
{
    if (isBeta) *isBeta = 0;
    wchar_t own[MAX_PATH] = {};
    if (!path) {
        if (!OwnModulePath(own)) return 0;
        path = own;
    }
    auto info = std::unique_ptr<CVersionInfo>(new (std::nothrow) CVersionInfo(path));
    if (!info) {
        ZN_LOG_ERROR(ERROR_OUTOFMEMORY, path, LOG_ERROR);
        return 0;
    }
    if (!info->Load()) {
        ZN_LOG_ERROR(GetLastError(), path, LOG_ERROR);
        return 0;
    }
    if (isBeta) {
        wchar_t special[CVersionInfo::kTextChars + 1] = {};
        *isBeta = info->QueryString(L"SpecialBuild", special) && IsBetaBuildText(special) ? 1 : 0;
    }
    const WORD* v = info->m_fileVersion;
    return static_cast<DWORD>(v[0] & 0xFF) << 24 | static_cast<DWORD>(v[1] & 0xFF) << 16 |
           static_cast<DWORD>(v[2] & 0xFF) << 8 | static_cast<DWORD>(v[3] & 0xFF);
}

CString GetFileVersionText(const wchar_t* path)
{
    wchar_t own[MAX_PATH] = {};
    if (!path) {
        if (!OwnModulePath(own)) return CodeText(GetLastError());
        path = own;
    }
    auto info = std::unique_ptr<CVersionInfo>(new (std::nothrow) CVersionInfo(path));
    if (!info || !info->Load()) {
        DWORD error = info ? GetLastError() : static_cast<DWORD>(ERROR_OUTOFMEMORY);
        ZN_LOG_ERROR(error, path, LOG_ERROR);
        return CodeText(error) + L" " + path;
    }
    wchar_t special[CVersionInfo::kTextChars + 1] = {};
    info->QueryString(L"SpecialBuild", special);
    const WORD* v = info->m_fileVersion;
    CString text;
    text.Format(L"%d.%d.%d.%d %s", v[0], v[1], v[2], v[3], special);
    return text + L" " + path;
}

HRESULT RunWithProgress(HWND parent, const wchar_t* text, HRESULT (*work)(void*), void* argument, int tag,
                        BOOL disableParent)
{
    // QS_ALLINPUT with raw, touch and pointer input: nothing the user does waits behind the work.
    constexpr DWORD kWakeMask = 0x1CFF;
    constexpr DWORD kShowCompleteMs = 2000;
    try {
        auto dialog = std::make_unique<CProgressDlg>(TRUE, parent);
        auto worker = std::make_unique<CThreadBase>(work, argument, tag, TRUE, FALSE);
        if (disableParent && parent) EnableWindow(parent, FALSE);
        if (!dialog->Open(parent, text)) ZN_LOG_ERROR(kThreadNotRun, L"RunWithProgress: no dialog", LOG_ERROR);

        worker->CreateHandles();
        worker->Start();
        HANDLE thread = worker->GetThreadHandle();
        ZN_LOG(LOG_INFO, L"Thread begin");
        if (thread) WaitWithMessageLoop(1, &thread, INFINITE, kWakeMask);
        ZN_LOG(LOG_INFO, L"Thread end");

        HRESULT result = worker->m_result;
        if (result == 0) {
            dialog->Complete();
            WaitWithMessageLoop(0, nullptr, kShowCompleteMs, kWakeMask);
        }
        if (dialog->m_hWnd) dialog->DestroyWindow();
        if (disableParent && parent) EnableWindow(parent, TRUE);
        if (parent) SetFocus(parent);
        worker.reset();
        dialog.reset();
        return result;
    } catch (const std::bad_alloc&) {
        return static_cast<HRESULT>(ZN_LOG_ERROR(E_OUTOFMEMORY, L"RunWithProgress", LOG_ERROR));
    }
}

CString GetLogFolder(const wchar_t* firstSubFolder, const wchar_t* secondSubFolder)
{
    wchar_t base[MAX_PATH] = {};
    if (!GetShellFolderPath(nullptr, base, CSIDL_LOCAL_APPDATA, true) || !base[0]) return CString();
    CString folder(base);
    bool joined = Join(folder, GetStr(SID_COMPANY)) && Join(folder, L"Logs");
    if (joined && firstSubFolder && *firstSubFolder) joined = Join(folder, firstSubFolder);
    if (joined && secondSubFolder && *secondSubFolder) joined = Join(folder, secondSubFolder);
    if (!joined) return CString();
    int error = CreateDirectoryTree(folder, nullptr, nullptr);
    // The shell reports a file of that name as an existing folder.
    if (!error && !FolderExists(folder)) error = ERROR_FILE_EXISTS;
    if (error) {
        ZN_LOG_ERROR(error, folder, LOG_ERROR);
        return CString();
    }
    return folder;
}

CString BuildLogFilePath(const wchar_t* firstSubFolder, const wchar_t* secondSubFolder, const wchar_t* nameFormat,
                         const wchar_t* argument)
{
    CString path = GetLogFolder(firstSubFolder, secondSubFolder);
    if (path.IsEmpty()) return path;
    CString name;
    name.Format(nameFormat ? nameFormat : L"%s", argument ? argument : L"");
    // A name that does not fit must not leave the folder itself as the log file.
    if (!Join(path, name + L".txt")) return CString();
    return path;
}

int ShellExecuteOpen(const wchar_t* file, BOOL showError, HWND parent)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_ASYNCOK;
    info.hwnd = parent;
    info.lpFile = file;
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return 1;
    const DWORD error = GetLastError();
    ZN_LOG(LOG_ERROR, error << L" " << (file ? file : L""));
    if (showError) ShowErrorCode(error, parent);
    return 0;
}

int ShellExecuteOpenSilent(const wchar_t* file)
{
    if (ShellExecuteOpen(file, FALSE, nullptr)) return 1;
    ZN_LOG(LOG_ERROR, (file ? file : L""));
    return 0;
}

CString ReadTextFileProgId()
{
    const CString key = LoadResString(IDS_REG_CURRENT_VERSION) + LoadResString(IDS_REG_FILE_EXTS) + L".txt" + L"\\" +
                        LoadResString(IDS_REG_USER_CHOICE);
    return RegistryReadString(HKEY_CURRENT_USER, key, LoadResString(IDS_REG_PROGID), L"", FALSE);
}

EditorRequest BuildEditorRequest(const wchar_t* path, CString (*txtProgId)())
{
    CString file(path);
    CString base, extension;
    SplitExtension(file, base, extension);
    file.TrimRight();

    EditorRequest request;
    request.verb = L"open";
    request.file = L"notepad";
    request.parameters = file;
    if ((file.Find(L' ') >= 0 || file.Find(L'\t') >= 0) && file.Left(1) != L"\"")
        request.parameters = L"\"" + file + L"\"";

    if (extension.CompareNoCase(L"txt") == 0 && IsWindowsAtLeast(WINLEVEL_VISTA) && txtProgId) {
        CString progId = txtProgId();
        // EditPlus registers itself for .txt files and wants to be asked by its association.
        if (progId.MakeLower().Find(L"editplus") >= 0) {
            request.verb.Empty();
            request.file = file;
            request.parameters.Empty();
        }
    }
    return request;
}

int RunEditorRequest(const EditorRequest& request, const wchar_t* path, ShellExecuteFn execute)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.lpVerb = request.verb.IsEmpty() ? nullptr : request.verb.GetString();
    info.lpFile = request.file;
    info.lpParameters = request.parameters.IsEmpty() ? nullptr : request.parameters.GetString();
    info.nShow = SW_SHOWNORMAL;

    if (!execute(&info)) {
        ZN_LOG_ERROR(GetLastError(), L"ShellExecuteExW", LOG_ERROR);
        ZN_LOG(LOG_ERROR, (path ? path : L""));
        return 0;
    }
    if (InstanceValue(info) > 32) return 1;

    ZN_LOG(LOG_ERROR, L"ShellExecuteExW instance " << InstanceValue(info));
    if (!request.verb.IsEmpty()) {
        // Notepad could not be started: let the file's own association open it.
        CString file(path);
        file.TrimRight();
        SHELLEXECUTEINFOW retry{};
        retry.cbSize = sizeof(retry);
        retry.lpFile = file;
        retry.nShow = SW_SHOWNORMAL;
        if (execute(&retry)) {
            if (InstanceValue(retry) > 32) return 1;
            ZN_LOG(LOG_ERROR, L"ShellExecuteExW instance " << InstanceValue(retry));
        } else {
            ZN_LOG_ERROR(GetLastError(), L"ShellExecuteExW", LOG_ERROR);
        }
    }
    ZN_LOG(LOG_ERROR, (path ? path : L""));
    return 0;
}

int OpenTextFileInEditor(const wchar_t* path)
{
    return RunEditorRequest(BuildEditorRequest(path, ReadTextFileProgId), path, ShellExecuteExW);
}
