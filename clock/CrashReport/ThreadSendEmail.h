// CThreadSendEmail: hands a message to the maker's support: through Simple MAPI with the
// diagnostic archive attached, else a "mailto:" link in the registered mail program, else
// the support web form in the browser. The application runs it as a worker thread; the
// crash dialog calls Run directly on the crashing thread.
#pragma once

#include "ClassLib.h"
#include "HelperBase.h"
#include "CHandle.h"

#include <vector>

enum EmailKind : int {
    EMAIL_SUPPORT = 0,
    EMAIL_FEEDBACK = 1,
    EMAIL_BUG = 2,
    EMAIL_CRASH = 3,
};

// The message that asks the owner thread to show the final message: posted to the notice
// window when the owner gave one (any message loop of that thread dispatches it there),
// else to the owner thread itself.
constexpr UINT kMailWorkerNotify = WM_APP;
constexpr WPARAM kMailWorkerShowMessage = 9;

// What the worker (and the application's report road) asks of the system.
// GetSendEmailSystem starts out with the program's own functions (the default mail client,
// the process's elevation, the shell, ShowMessageBoxEx, Sleep); tests put recorders in.
struct SendEmailSystem
{
    bool (*defaultMailClient)(CString& name, bool log) = nullptr;
    HRESULT (*processElevation)(BOOL* elevated) = nullptr;
    int (*openLink)(const wchar_t* link, BOOL showError, HWND parent) = nullptr;
    int (*openFolder)(const wchar_t* folder) = nullptr;
    int (*showBox)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) = nullptr;
    void (*sleep)(DWORD ms) = nullptr;
};
SendEmailSystem& GetSendEmailSystem();

class CThreadSendEmail : public CThreadBase
{
public:
    CThreadSendEmail();
    ~CThreadSendEmail() override;

    // Stores the request (attachments replace the old list when given) and makes the
    // worker's handles; the caller then starts the thread or calls Run itself.
    bool Prepare(HWND owner, DWORD ownerThreadId, int kind, const std::vector<CString>* attachments,
                 const wchar_t* subject, const wchar_t* body);
    HRESULT Run() override;
    // The window that receives the final message instead of the owner thread's queue.
    void SetNoticeWindow(HWND window) { m_noticeWindow = window; }
    // Waits until the worker has handed the mail over (or ended), at most ms.
    void WaitForCompletion(DWORD ms);

    // The "mailto:" link of the request: subject and text percent-encoded where a mail
    // program would misread them ('%', '&', '#', CR), line ends as %0D%0A.
    static CString BuildMailtoLink(const wchar_t* recipient, const wchar_t* subject, const wchar_t* text);
    // The support web form's address for this program and system.
    static CString BuildWebFormLink();
    // The subject of a request without one.
    static CString DefaultSubject(int kind);

    const CString& FinalMessage() const { return m_finalMessage; }

private:
    void SetDone();

    CHandle m_done;
    HWND m_owner = nullptr;
    DWORD m_ownerThreadId = 0;
    HWND m_noticeWindow = nullptr;
    int m_kind = EMAIL_SUPPORT;
    std::vector<CString> m_attachments;
    CString m_subject;
    CString m_body;
    CString m_finalMessage;
};
