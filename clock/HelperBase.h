// CThreadBase: the one worker-thread class of the program. It runs one unit of work once,
// one second after Start, unless Stop comes first, and keeps the work's result code.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"

// Result codes of the worker.
constexpr HRESULT kThreadNotRun = static_cast<HRESULT>(0x80040516);      // the work has not run yet
constexpr HRESULT kThreadNoWork = static_cast<HRESULT>(0x8004050E);      // no callback, or not armed to run
constexpr HRESULT kThreadBadWait = static_cast<HRESULT>(0x8004050D);     // unexpected wait result

class CThreadBase
{
public:
    using WorkFunction = HRESULT (*)(void* argument);

    CThreadBase() = default;
    CThreadBase(WorkFunction work, void* argument, int tag, BOOL signalStopWhenDone, BOOL deleteSelfWhenDone);
    virtual ~CThreadBase();
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;

    BOOL CreateHandles();
    BOOL Start();
    BOOL StartThread();
    // 1 when a running worker was asked to stop and has ended (or was terminated); 0 when
    // none was running.
    BOOL Stop(DWORD timeoutMs);

    // A worker that has finished its loop counts as not started, though its handle is
    // kept (and closed by the owner) so that every waiter's handle stays valid.
    BOOL IsStarted() const;
    HANDLE GetThreadHandle() const { return m_thread.Get(); }
    HANDLE GetStopEvent() const { return m_stopEvent.Get(); }

    int m_tag = 0;
    BOOL m_signalStopWhenDone = FALSE;
    BOOL m_deleteSelfWhenDone = FALSE;
    HRESULT m_result = kThreadNotRun;

protected:
    virtual HRESULT Run();
    virtual void ThreadLoop();

    BOOL m_run = FALSE;
    CHandle m_stopEvent;
    CWaitableTimerHandle m_timer;
    CHandle m_thread;
    WorkFunction m_work = nullptr;
    void* m_argument = nullptr;

private:
    static unsigned __stdcall ThreadProc(void* self);
    void CloseThreadHandle();
    void ReleaseFinishedThread(DWORD timeoutMs);

    volatile LONG m_finished = 0;
};
