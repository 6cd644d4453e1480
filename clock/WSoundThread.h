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
#include "CHandle.h"

#include <mmsystem.h>

#include <atomic>
#include <memory>
#include <mutex>

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

// One play's own state: its path, count, pause, notify window, platform and events. The
// worker holds it for as long as it runs, so a worker that Stop gave up on still has all it
// reads and releases it (its events included) when it ends.
class CSoundPlay;

class CWSoundThread
{
public:
    explicit CWSoundThread(CSoundPlatform* platform = nullptr);
    virtual ~CWSoundThread();
    CWSoundThread(const CWSoundThread&) = delete;
    CWSoundThread& operator=(const CWSoundThread&) = delete;

    void SetNotifyWindow(HWND window) { m_hNotifyWnd = window; }
    void SetPause(int milliseconds) { m_pause = milliseconds; }

    // Starts a worker on routine (which receives the new play) with m_path and the argument;
    // false when a worker is still recorded or a creation failed (logged; nothing is left
    // behind).
    BOOL StartThread(LPTHREAD_START_ROUTINE routine, int argument);
    // Signals the play to stop and waits for its worker, at most m_joinTimeoutMs: a worker
    // stuck in the device or a file query is left to end by itself; only exit waits for it
    // again (GivenUpWorkers.h).
    void Stop();

    // The clock window's MM_MCINOTIFY: wParam is the notice, lParam the device.
    void OnMciNotify(WPARAM notice, LPARAM device);

    // The workers. Their parameter is the play they are given by StartThread.
    static DWORD WINAPI PlayMciFile(LPVOID play);
    static DWORD WINAPI PlayHourStrike(LPVOID play);
    static DWORD WINAPI PlayQuarterChime(LPVOID play);

    std::atomic<HWND> m_hNotifyWnd{nullptr};
    int m_argument = 0;
    int m_pause = 0;
    CHandle m_hThread;          // the worker of the current play; null when none runs
    CString m_path;
    // A second: a sound that can be stopped stops in milliseconds, so a longer wait only
    // freezes the clock behind a hung driver or a file on a dead share.
    DWORD m_joinTimeoutMs = 1000;

private:
    CSoundPlatform* m_platform;
    // The current play, shared with its worker; the lock covers notices that arrive from
    // another thread while a play is replaced.
    std::shared_ptr<CSoundPlay> m_play;
    std::mutex m_playLock;
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
