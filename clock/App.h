#pragma once

#include "ClassLib.h"
#include "CrashReport/ThreadSendEmail.h"
#include "Log/LogMan.h"

class CDigitClock;

// The clock's application object: start-up, the single running copy, the command line,
// and the tear-down at exit.
class CApp : public CWinApp
{
public:
    CApp();
    ~CApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL DispatchThreadMessage(const MSG& msg) override;
    // "&Report a Bug...", "Send &Feedback..." and "&Technical Support...".
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* cmdUI, bool queryOnly) override;

    // The mail worker's request to show its final message (wParam 9) to the user.
    void OnMailWorkerNotify(WPARAM wp, LPARAM lp);

    // Builds the diagnostic archive under the progress dialog (parent disabled meanwhile),
    // with show opens File Explorer on it, and hands it to the mail worker, waiting up to
    // 30 s for the hand-over. kind: 0 support, 1 feedback, 2 bug report; mode: 0 none, 1 with
    // the synchronisation log, 2 the whole log folder.
    void PrepareAndSendLogs(HWND parent, int kind, int mode, int settings, int dump, BOOL show,
                            const wchar_t* dumpPath, const wchar_t* subject, const wchar_t* body);

    // Applies the settings to the clock window object and creates its window.
    BOOL CreateClockWindow();

    CLogMan m_log;
    HANDLE m_hMutex = nullptr;
    ULONG_PTR m_gdiplusToken = 0;
    BOOL m_bufferedPaintOn = FALSE;
    CThreadSendEmail m_mailWorker;

private:
    int m_elevated = 0;

    // Step of the second start: raise the running copy, or hand it the exit; FALSE always.
    BOOL HandOverToRunningCopy(bool uninstall);
    void LogEnvironment();
    // The version gate's message, with the offer to show the log.
    void RefuseUnknownWindows();
    void WaitForMissingMonitor();
    void LoadProcessWideValues();
};

// The program log's file: znc_log_exec.txt in the folders zarnock_logs and exec of the log root.
CString GetLogFilePath();

// The command-line switch of the clock's one argument, when it is one.
enum class AppSwitch { None, Uninstall, Restore };
// Exactly one argument after the program whose first character is '-' or '/':
// "uninstall" in exact case, "restore" in any case.
AppSwitch ParseAppSwitch(int argc, const wchar_t* const* argv);

// The first week of the year (0..2) and first day of the week (0..6) from the locale's
// numbers and the stored ones; storedValue is nullptr when nothing is stored.
int FirstWeekOfYearFrom(int localeValue, bool localeOk, const int* storedValue);
int FirstDayOfWeekFrom(int localeValue, bool localeOk, const int* storedValue);

