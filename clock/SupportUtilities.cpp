#include "SupportUtilities.h"

#include "HelperBase.h"
#include "Log/LogMan.h"
#include "ProgressDlg.h"
#include "VersionInfo.h"
#include "WaitWithMessageLoop.h"

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
    m_module = LoadLibraryW(name);
    DWORD error = m_module ? ERROR_SUCCESS : GetLastError();
    if (!m_module) ZN_LOG(LOG_ERROR, HexText(error, TRUE).GetString() << L" " << (name ? name : L"<null>"));
    if (own) SetDllDirectoryW(nullptr);
    if (!m_module) SetLastError(error);
}

DllLoader::~DllLoader()
{
    if (m_module && m_freeOnDestroy) FreeLibrary(m_module);
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
