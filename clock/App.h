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

    // The mail worker's request to show its final message (wParam 9) to the user.
    void OnMailWorkerNotify(WPARAM wp, LPARAM lp);

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

