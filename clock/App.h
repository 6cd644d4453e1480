// CApp: the clock program's application object (start-up, the single running copy, the
// command line, the report commands, the audio objects, help and exit), and the start-up's
// rules as plain functions: the command-line switch, the week rules, the log file's path.
#pragma once

#include "ClassLib.h"
#include "CrashReport/ThreadSendEmail.h"
#include "CHandle.h"
#include "Log/LogMan.h"

class CAudioSessionVolume;
class CDigitClock;
class CVolumeMonitor;

class CApp : public CWinApp
{
public:
    CApp();
    ~CApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    // The help file beside the installed program; command 11 (HELP_FINDER) opens it, data
    // 0x213EF (the time-synchronisation page's context) opens that page's topic.
    void WinHelp(DWORD_PTR data, UINT command) override;
    BOOL DispatchThreadMessage(const MSG& msg) override;
    // "&Report a Bug...", "Send &Feedback..." and "&Technical Support...".
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* cmdUI, bool queryOnly) override;

    // The mail worker's request to show its final message (wParam 9) to the user.
    void OnMailWorkerNotify(WPARAM wp, LPARAM lp);
    // The message-only window of this thread that receives that request; made on first use.
    HWND MailNoticeWindow();

    // Builds the diagnostic archive under the progress dialog (parent disabled meanwhile),
    // with show opens File Explorer on it, and hands it to the mail worker, waiting up to
    // 30 s for the hand-over. kind: 0 support, 1 feedback, 2 bug report; mode: 0 none, 1 with
    // the synchronisation log, 2 the whole log folder.
    void PrepareAndSendLogs(HWND parent, int kind, int mode, int settings, int dump, BOOL show,
                            const wchar_t* dumpPath, const wchar_t* subject, const wchar_t* body);

    // Applies the settings to the clock window object and creates its window.
    BOOL CreateClockWindow();
    // Steps of start-up and exit: the volume monitor ("MMNC") and the program's own session
    // volume ("MASV", "ASVP"); without an audio device both stay null. The release is false
    // when the monitor stays registered (Core Audio can still call it).
    void StartAudioObjects();
    bool ReleaseAudioObjects();

    CLogMan m_log;
    CHandle m_hMutex;
    ULONG_PTR m_gdiplusToken = 0;
    BOOL m_bufferedPaintOn = FALSE;
    CThreadSendEmail m_mailWorker;
    // Both absent without an audio device (a normal case); every user checks for null.
    CAudioSessionVolume* m_audioSession = nullptr;
    CVolumeMonitor* m_volumeMonitor = nullptr;

    // The environment facts of the program log, written only while the log is open.
    void LogEnvironment();
    // The Run value and reading direction, and g_canSetClock from the process's elevation,
    // whether or not the log is open.
    void InitRunValueAndRights();

private:
    // Whether this process runs elevated (always 0 before Windows Vista), asked once; a
    // failed query is logged and counts as not elevated.
    int IsElevated();

    int m_elevated = -1;   // not asked yet
    HWND m_mailNotice = nullptr;

    // Step of the second start: raise the running copy, or hand it the exit; FALSE always.
    BOOL HandOverToRunningCopy(bool uninstall);
    // The version gate's message, with the offer to show the log.
    void RefuseUnknownWindows();
    void WaitForMissingMonitor();
    void LoadProcessWideValues();
};

// The program's audio-session volume; null without one (no audio device, Windows XP, or a
// program whose application object is not the clock's).
CAudioSessionVolume* GetAppAudioSession();

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

