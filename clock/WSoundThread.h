// CWSoundThread: the process-wide sound player. Each play runs on a worker thread of its
// own so the user-interface thread never waits for a sound: a user's .wav or .mid file a
// number of times through MCI, or the built-in hour strike and quarter chimes, assembled
// from the WAV pieces of "ZNSound.dll" and played from memory.
//
// The clock window takes part in two ways: it hands its handle to SetNotifyWindow when it
// is created (and null before it goes), and its MM_MCINOTIFY handler forwards the message's
// wParam and lParam to OnMciNotify.
#pragma once

#include "ClassLib.h"

#include <mmsystem.h>

#include <atomic>

// The platform calls the player makes, in one place so that tests can stand in for the
// sound device (there is none under Wine on a server) and for the resource library.
class CSoundPlatform
{
public:
    virtual ~CSoundPlatform() = default;

    virtual MCIERROR SendMciCommand(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR params);
    virtual BOOL GetMciErrorText(MCIERROR error, wchar_t* text, UINT length);
    // PlaySoundW with a memory image (SND_MEMORY) or, for a null image, the stop of any sound.
    virtual BOOL PlayMemory(const BYTE* image, DWORD flags);
    // "ZNSound.dll" from the program's folder, loaded as a data file; null on failure
    // (last error set).
    virtual HMODULE LoadSoundLibrary();

    static CSoundPlatform* Default();
};

class CWSoundThread
{
public:
    explicit CWSoundThread(CSoundPlatform* platform = nullptr);
    virtual ~CWSoundThread();
    CWSoundThread(const CWSoundThread&) = delete;
    CWSoundThread& operator=(const CWSoundThread&) = delete;

    void SetNotifyWindow(HWND window) { m_hNotifyWnd = window; }
    void SetPause(int milliseconds) { m_pause = milliseconds; }

    // Starts a worker on routine (which receives this player) with the argument; false when
    // a worker is still recorded or a creation failed (logged; nothing is left behind).
    BOOL StartThread(LPTHREAD_START_ROUTINE routine, int argument);
    // Signals the stop event and joins the worker, then closes its handles.
    void Stop();

    // The clock window's MM_MCINOTIFY: wParam is the notice, lParam the device.
    void OnMciNotify(WPARAM notice, LPARAM device);

    // The workers. Their parameter is the player.
    static DWORD WINAPI PlayMciFile(LPVOID player);
    static DWORD WINAPI PlayHourStrike(LPVOID player);
    static DWORD WINAPI PlayQuarterChime(LPVOID player);

    std::atomic<HWND> m_hNotifyWnd{nullptr};
    int m_argument = 0;
    int m_pause = 0;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hThread = nullptr;
    CString m_path;

private:
    void RunMciFile();
    void RunHourStrike();
    void RunQuarterChime();
    // Plays a built image from memory and waits for it, for a stop or for waitMs.
    void PlayImageAndWait(const BYTE* image, DWORD waitMs, const wchar_t* what);
    // Waits for the end of the current MCI play: true when a stop came.
    bool WaitForPlayEnd(MCIDEVICEID device);
    void LogMciError(MCIERROR error, const wchar_t* command);
    void CloseHandles();

    CSoundPlatform* m_platform;
    // Set by a completion notice; auto-reset, so a notice that comes before the worker
    // waits is kept rather than lost (a pulse of the stop event would be).
    HANDLE m_hNoticeEvent = nullptr;
};

// The one player of the process.
extern CWSoundThread g_soundThread;

// Entry points of the user-interface thread; each stops the current sound first. They
// return FALSE when the worker could not start (logged).
BOOL PlaySoundFileRepeat(const wchar_t* path, int count);
BOOL PlaySoundFile(const wchar_t* path);
// kind non-zero: the hour strike for number as the hour; zero: the quarter chime for
// number as the minute.
BOOL PlayChime(int kind, int number);
void StopSound();
