#include "DumpDlg.h"

#include "CrashReport/ThreadSendEmail.h"
#include "Log/LogMan.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportUtilities.h"
#include "SupportWindowsHelpers.h"
#include "resource.h"

#include <new>
#include <vector>

bool g_forceForegroundPending = true;

namespace {

const wchar_t kCrashText[] =
    L"The program has encountered a problem and needs to close.\nWe are sorry for the inconvenience.";
const COLORREF kWaitTextColour = RGB(255, 0, 0);
constexpr DWORD kExplorerWaitMs = 3000;

// File Explorer on the folder that holds the archive.
void ShowArchiveFolder(const wchar_t* zipPath)
{
    CString folder, name;
    SplitPath(zipPath, folder, name);
    ShellExecuteOpenSilent(folder);
}

} // namespace

CDumpDlg::CDumpDlg(const wchar_t* productName, const wchar_t* zipPath, HWND parent)
    : CDialog(IDD_DUMP, parent), m_zipPath(zipPath ? zipPath : L""), m_productName(productName ? productName : L"")
{
}

BOOL CDumpDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(m_productName + GetWindowText());

    HWND headline = GetDlgItem(IDC_DUMP_HEADLINE);
    LOGFONTW font{};
    auto current = reinterpret_cast<HFONT>(::SendMessageW(headline, WM_GETFONT, 0, 0));
    if (current && GetObjectW(current, sizeof(font), &font)) {
        font.lfWeight = FW_BOLD;
        m_boldFont.Reset(CreateFontIndirectW(&font));
        if (m_boldFont) {
            ::SendMessageW(headline, WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.Get()), FALSE);
            ::SendMessageW(GetDlgItem(IDC_DUMP_PLEASE_TELL), WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.Get()),
                           FALSE);
        }
    }
    m_background.Reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    return TRUE;
}

void CDumpDlg::OnOK()
{
    ZN_LOG(LOG_WARNING, L"OK");
    // All the user typed, however long.
    m_description = GetWindowText(GetDlgItem(IDC_DUMP_DESCRIPTION));
    CDialog::OnOK();
}

LRESULT CDumpDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg));
    case WM_DESTROY: {
        LRESULT result = Default(msg, wp, lp);
        OnDestroy();
        return result;
    }
    case WM_SYSCOLORCHANGE: {
        LRESULT result = Default(msg, wp, lp);
        OnSysColorChange();
        return result;
    }
    case WM_WINDOWPOSCHANGED: {
        LRESULT result = Default(msg, wp, lp);
        ForceForeground(reinterpret_cast<const WINDOWPOS*>(lp));
        return result;
    }
    case WM_APP:
        return OnShowReportControls();
    default:
        return CDialog::WindowProc(msg, wp, lp);
    }
}

HBRUSH CDumpDlg::OnCtlColor(HDC dc, HWND control, UINT msg)
{
    auto base = reinterpret_cast<HBRUSH>(Default(msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    switch (GetDlgCtrlID(control)) {
    case IDC_DUMP_WAIT_TEXT:
        SetTextColor(dc, kWaitTextColour);
        [[fallthrough]];
    case IDC_DUMP_HEADLINE:
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        [[fallthrough]];
    case IDC_DUMP_ICON:
    case IDC_DUMP_BAND:
        return m_background ? m_background.Get() : base;
    default:
        return base;
    }
}

void CDumpDlg::OnDestroy()
{
    m_boldFont.Reset();
    m_background.Reset();
}

void CDumpDlg::OnSysColorChange()
{
    m_background.Reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
}

void CDumpDlg::ForceForeground(const WINDOWPOS* position)
{
    if (!position || !(position->flags & SWP_SHOWWINDOW) || !g_forceForegroundPending) return;
    g_forceForegroundPending = false;
    if (GetForegroundWindow() != m_hWnd) {
        // A foreground change is granted to the process that had the last input, so this
        // process makes an input of no movement first.
        CModuleHandle user32(LoadLibraryExW(L"User32.dll", nullptr, DONT_RESOLVE_DLL_REFERENCES));
        if (user32) {
            using SendInputFn = UINT(WINAPI*)(UINT, INPUT*, int);
            auto sendInput =
                reinterpret_cast<SendInputFn>(reinterpret_cast<void*>(GetProcAddress(user32, "SendInput")));
            if (sendInput) {
                INPUT input{};
                sendInput(1, &input, sizeof(input));
            }
            user32.Reset();
            SetForegroundWindow(m_hWnd);
        }
    }
    PostMessage(WM_APP, 0, 0);
}

LRESULT CDumpDlg::OnShowReportControls()
{
    CrashWaitCursor wait;
    UpdateWindow(m_hWnd);
    ::ShowWindow(GetDlgItem(IDC_DUMP_WAIT_TEXT), SW_HIDE);
    for (int id : {IDC_DUMP_CONFIDENTIAL, IDC_DUMP_PLEASE_TELL, IDC_DUMP_DESCRIBE, IDC_DUMP_DESCRIPTION,
                   IDC_DUMP_BOTTOM_LINE, IDOK, IDCANCEL})
        ::ShowWindow(GetDlgItem(id), SW_SHOW);
    UpdateWindow(m_hWnd);
    return 0;
}

CString GetProductNameAndVersion()
{
    CString text = CString(GetStr(SID_PRODUCT)) + L" " + GetStr(SID_VERSION);
    return text.Left(63);
}

CString CrashReportSubject(DWORD exceptionCode, ULONG_PTR exceptionAddress)
{
    CString subject;
    subject.Format(L"[Bug Report] %s %08X [%08X]", GetProductNameAndVersion().GetString(),
                   static_cast<unsigned>(exceptionCode), static_cast<unsigned>(exceptionAddress & 0xFFFFFFFF));
    return subject;
}

CString CrashMessageBoxText(const wchar_t* zipPath)
{
    CString text = kCrashText;
    if (zipPath && *zipPath) {
        CString more;
        more.Format(L"\n\nWe have saved some diagnostic information in the following file: %s", zipPath);
        text += more;
        more.Format(L"\n\nPlease attach the prepared file to an email and send it to %s", GetStr(SID_SUPPORT_EMAIL));
        text += more;
        text += L"\n\nUse the opened File Explorer to access the prepared file.";
    }
    return text;
}

namespace {
void (*g_removeTrayIcon)() = nullptr;
}  // namespace

void SetCrashTrayIconRemover(void (*remove)())
{
    g_removeTrayIcon = remove;
}

void ShowCrashReportDialog(EXCEPTION_POINTERS* pointers, const wchar_t* productName, const wchar_t* zipPath)
{
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    bool send = false;
    CString subject, body;
    try {
        subject = CrashReportSubject(record->ExceptionCode, reinterpret_cast<ULONG_PTR>(record->ExceptionAddress));
        if (g_removeTrayIcon) g_removeTrayIcon();
        // Only a window of this thread can own the dialog: a window of a thread that is
        // stuck (it may wait for this one) would hang every message sent to it.
        HWND owner = GetLastActivePopupWnd();
        if (owner && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) owner = nullptr;
        if (owner) SetCapture(owner);
        SetFocus(nullptr);
        if (owner) EnableWindow(owner, FALSE);

        INT_PTR result;
        CString description;
        {
            CDumpDlg dialog(productName, zipPath, owner);
            result = dialog.DoModal();
            description = dialog.m_description;
        }
        if (result == IDOK) {
            send = true;
            if (!description.IsEmpty()) {
                body = description;
                ZN_LOG(LOG_ERROR, body.GetString());
            }
        } else {
            ZN_LOG(LOG_WARNING, L"Cancel");
        }

        ReleaseCapture();
        if (owner) EnableWindow(owner, TRUE);
        SetActiveWindow(nullptr);
        if (owner) {
            SetActiveWindow(owner);
            SetFocus(owner);
        }
    } catch (const std::bad_alloc&) {
        ZN_LOG_ERROR(static_cast<DWORD>(E_OUTOFMEMORY), L"ShowCrashReportDialog", LOG_ERROR);
        send = true;
    } catch (CFileException* e) {
        ZN_LOG(LOG_ERROR, e->m_cause << L" " << e->m_lOsError << L" " << e->m_strFileName.GetString());
        e->Delete();
        send = true;
    } catch (...) {
        ZN_LOG_ERROR(static_cast<DWORD>(E_UNEXPECTED), L"ShowCrashReportDialog", LOG_ERROR);
        send = true;
    }
    if (!send) return;

    std::vector<CString> attachments;
    if (zipPath && *zipPath) {
        attachments.push_back(zipPath);
        ShowArchiveFolder(zipPath);
        Sleep(kExplorerWaitMs);
    } else {
        subject += L" -zip";
    }
    // On this thread: the process ends as soon as the mail has been handed over.
    CThreadSendEmail mail;
    mail.Prepare(nullptr, GetCurrentThreadId(), EMAIL_CRASH, &attachments, subject, body);
    mail.Run();
}

void ShowCrashMessageBox(EXCEPTION_POINTERS* pointers, const wchar_t* zipPath)
{
    const bool overflow = pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW;
    if (zipPath && *zipPath) {
        ZN_LOG(LOG_ERROR, zipPath);
        FlushLog();
        ShowArchiveFolder(zipPath);
        if (overflow) Sleep(kExplorerWaitMs);
    }
    if (overflow) return;
    int result = MessageBoxW(GetDesktopWindow(), CrashMessageBoxText(zipPath), GetStr(SID_PRODUCT),
                             MB_TOPMOST | MB_ICONERROR | MB_OK);
    ZN_LOG(LOG_ERROR, result);
    FlushLog();
}
