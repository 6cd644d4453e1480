// The application's report road: the report commands, the diagnostic archive and the mail
// worker that carries it, and the worker's final notice back on the user-interface thread.
#include "App.h"

#include "CWaitCursor.h"
#include "CrashReport/PrepareLogsData.h"
#include "CrashReport/ThreadSendEmail.h"
#include "DigitClock.h"
#include "Globals.h"
#include "Log/LogMan.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportText.h"
#include "SupportUtilities.h"
#include "SupportWindowsHelpers.h"
#include "resource.h"

#include <vector>

namespace {

const wchar_t kMailNoticeClass[] = L"ZarnockMailNotice";

// The mail worker's final message, dispatched by whatever message loop the user-interface
// thread runs when it arrives (the Options sheet's, a box's, or the program's own).
LRESULT CALLBACK MailNoticeProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp)
{
    if (message != kMailWorkerNotify) return DefWindowProcW(hwnd, message, wp, lp);
    if (auto* app = reinterpret_cast<CApp*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) app->OnMailWorkerNotify(wp, lp);
    return 0;
}

}  // namespace

BOOL CApp::OnCmdMsg(UINT id, int code, CCmdUI*, bool queryOnly)
{
    // kind, archive mode, settings; no dump; the archive is shown in File Explorer.
    struct ReportCommand {
        UINT id;
        int kind, mode, settings;
    };
    static const ReportCommand kCommands[] = {
        {ID_REPORT_BUG, EMAIL_BUG, LOGS_SYNC, 1},
        {ID_SEND_FEEDBACK, EMAIL_FEEDBACK, LOGS_NONE, 0},
        {ID_TECH_SUPPORT, EMAIL_SUPPORT, LOGS_SYNC, 1},
    };
    if (code != CN_COMMAND) return FALSE;
    for (const ReportCommand& c : kCommands) {
        if (c.id != id) continue;
        if (!queryOnly)
            PrepareAndSendLogs(m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr, c.kind, c.mode, c.settings, 0, TRUE, nullptr,
                               nullptr, nullptr);
        return TRUE;
    }
    return FALSE;
}

BOOL CApp::DispatchThreadMessage(const MSG& msg)
{
    if (msg.message != kMailWorkerNotify) return FALSE;
    OnMailWorkerNotify(msg.wParam, msg.lParam);
    return TRUE;
}

void CApp::OnMailWorkerNotify(WPARAM wp, LPARAM lp)
{
    ZN_LOG(LOG_ERROR, HexText(wp, TRUE).GetString() << L" " << HexText(static_cast<ULONG_PTR>(lp), TRUE).GetString());
    if (wp != kMailWorkerShowMessage) return;
    GetSendEmailSystem().showBox(GetLastActivePopupWnd(), m_mailWorker.FinalMessage(), GetStr(SID_PRODUCT),
                                 MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION);
}

HWND CApp::MailNoticeWindow()
{
    if (m_mailNotice && IsWindow(m_mailNotice)) return m_mailNotice;
    WNDCLASSW wc{};
    wc.lpfnWndProc = MailNoticeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kMailNoticeClass;
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        ZN_LOG_ERROR(GetLastError(), L"RegisterClass", LOG_ERROR);
        return nullptr;
    }
    // Message-only: never shown, never enumerated, and dispatched by any loop of this thread.
    m_mailNotice = CreateWindowExW(0, kMailNoticeClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   wc.hInstance, nullptr);
    if (!m_mailNotice) {
        ZN_LOG_ERROR(GetLastError(), L"CreateWindowEx", LOG_ERROR);
        return nullptr;
    }
    SetWindowLongPtrW(m_mailNotice, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return m_mailNotice;
}

void CApp::PrepareAndSendLogs(HWND parent, int kind, int mode, int settings, int dump, BOOL show,
                              const wchar_t* dumpPath, const wchar_t* subject, const wchar_t* body)
{
    // The last report may still be in the mail program's dialog: a new archive would replace
    // the file that mail carries, and the worker's request must not change under it.
    if (m_mailWorker.IsStarted()) {
        ZN_LOG(LOG_WARNING, L"mail worker busy");
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    CPrepareLogsData request;
    request.SetRequest(mode, settings, dump, dumpPath);
    g_sendingLogs = 1;

    const BOOL parentEnabled = parent && IsWindowEnabled(parent);
    auto* clock = static_cast<CDigitClock*>(m_pMainWnd);
    const bool dropTopmost = clock && parent == clock->m_hWnd && clock->AlwaysOnTop();
    if (dropTopmost) clock->SetAlwaysOnTop(0);
    if (parentEnabled) EnableWindow(parent, FALSE);

    ZN_LOG(LOG_INFO, 0);
    HRESULT result = RunWithProgress(parent, L"Preparing logs...", PrepareLogsThreadCallback, &request, 0, FALSE);
    ZN_LOG(LOG_INFO, 1);
    ZN_LOG_ERROR(result, L"", LOG_ERROR);

    if (show && !request.m_zipPath.IsEmpty()) {
        CString folder, name;
        SplitPath(request.m_zipPath, folder, name);
        GetSendEmailSystem().openFolder(folder);
        GetSendEmailSystem().sleep(3000);
    }
    std::vector<CString> attachments;
    if (!request.m_zipPath.IsEmpty()) {
        attachments.push_back(request.m_zipPath);
    } else if (mode == LOGS_SYNC || mode == LOGS_ALL || settings || dump) {
        // The mail still goes; the user learns why it carries no archive.
        GetSendEmailSystem().showBox(parent,
                                     L"The diagnostic files could not be prepared, so the message goes without "
                                     L"them. The program log has the details.",
                                     GetStr(SID_PRODUCT), MB_ICONWARNING);
    }
    m_mailWorker.Prepare(nullptr, GetCurrentThreadId(), kind, &attachments, subject, body);
    m_mailWorker.SetNoticeWindow(MailNoticeWindow());
    ZN_LOG(LOG_INFO, 10);
    if (m_mailWorker.Start()) {
        // The e-mail may still be on its way when the wait ends.
        CWaitCursor wait;
        m_mailWorker.WaitForCompletion(30000);
    }

    if (parentEnabled) EnableWindow(parent, TRUE);
    if (dropTopmost) clock->SetAlwaysOnTop(1);
    g_sendingLogs = 0;
    ZN_LOG(LOG_INFO, 11);
}
