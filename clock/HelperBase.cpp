#include "HelperBase.h"

#include "Log/LogMan.h"

#include <process.h>

#include <new>

CThreadBase::CThreadBase(WorkFunction work, void* argument, int tag, BOOL signalStopWhenDone,
                         BOOL deleteSelfWhenDone)
    : m_tag(tag),
      m_signalStopWhenDone(signalStopWhenDone),
      m_deleteSelfWhenDone(deleteSelfWhenDone),
      m_work(work),
      m_argument(argument)
{
}

CThreadBase::~CThreadBase()
{
    if (m_thread && GetThreadId(m_thread) == GetCurrentThreadId()) {
        // A worker deleting itself cannot wait for its own end; it is the handle's last owner.
        CloseThreadHandle();
    } else {
        Stop(10000);
    }
    if (const DWORD error = m_timer.Close()) ZN_LOG_ERROR(error, L"CloseHandle timer", LOG_ERROR);
    if (const DWORD error = m_stopEvent.Close()) ZN_LOG_ERROR(error, L"CloseHandle stop", LOG_ERROR);
}

BOOL CThreadBase::CreateHandles()
{
    if (!m_stopEvent) m_stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (m_stopEvent && !m_timer) m_timer.Reset(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    if (m_stopEvent && m_timer) return TRUE;
    ZN_LOG_ERROR(GetLastError(), L"CreateHandles", LOG_ERROR);
    ZN_LOG_ERROR(ERROR_INVALID_HANDLE, L"CreateHandles", LOG_ERROR);
    return FALSE;
}

BOOL CThreadBase::Start()
{
    m_run = TRUE;
    return StartThread();
}

BOOL CThreadBase::IsStarted() const
{
    return m_thread && !InterlockedCompareExchange(const_cast<volatile LONG*>(&m_finished), 0, 0);
}

BOOL CThreadBase::StartThread()
{
    if (!m_stopEvent || !m_timer) {
        ZN_LOG_ERROR(ERROR_INVALID_HANDLE, L"StartThread", LOG_ERROR);
        return FALSE;
    }
    // A worker that finished before may still set the stop event on its way out: it has
    // ended before the event is reset for the next one.
    if (!IsStarted()) ReleaseFinishedThread(10000);
    if (!ResetEvent(m_stopEvent)) {
        ZN_LOG_ERROR(GetLastError(), L"ResetEvent", LOG_ERROR);
        return FALSE;
    }
    if (IsStarted()) return FALSE;
    InterlockedExchange(&m_finished, 0);

    unsigned id = 0;
    uintptr_t h = _beginthreadex(nullptr, 0, &CThreadBase::ThreadProc, this, CREATE_SUSPENDED, &id);
    if (!h) {
        ZN_LOG_ERROR(errno, L"_beginthreadex", LOG_ERROR);
        return FALSE;
    }
    // Stored before the thread runs, so the worker and its waiters agree on it.
    m_thread.Reset(reinterpret_cast<HANDLE>(h));
    ResumeThread(m_thread);
    return TRUE;
}

HRESULT CThreadBase::Run()
{
    if (!m_work) return static_cast<HRESULT>(ZN_LOG_ERROR(kThreadNoWork, L"Run: no work", LOG_ERROR));
    return m_work(m_argument);
}

void CThreadBase::ThreadLoop()
{
    HRESULT armed = 0;
    if (m_run) {
        LARGE_INTEGER due;
        due.QuadPart = -10000000LL;  // one second, relative, in 100 ns units
        if (!SetWaitableTimer(m_timer, &due, 0, nullptr, nullptr, FALSE)) {
            ZN_LOG_ERROR(GetLastError(), L"SetWaitableTimer", LOG_ERROR);
            armed = ERROR_INVALID_HANDLE;
        }
    } else {
        armed = static_cast<HRESULT>(ZN_LOG_ERROR(kThreadNoWork, L"ThreadLoop: not armed", LOG_ERROR));
    }
    if (armed != 0) {
        ZN_LOG_ERROR(armed, L"ThreadLoop", LOG_ERROR);
        m_result = armed;
        return;
    }

    HANDLE handles[2] = {m_timer.Get(), m_stopEvent.Get()};
    for (;;) {
        DWORD w = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (w == WAIT_OBJECT_0) {
            m_result = Run();
            if (m_result != 0) ZN_LOG_ERROR(m_result, L"Run", LOG_ERROR);
            if (m_run) return;
        } else if (w == WAIT_OBJECT_0 + 1) {
            ZN_LOG(LOG_INFO, L"stopped");
            return;
        } else if (w == WAIT_FAILED) {
            m_result = static_cast<HRESULT>(ZN_LOG_ERROR(GetLastError(), L"WaitForMultipleObjects", LOG_ERROR));
            return;
        } else {
            ZN_LOG_ERROR(w, L"WaitForMultipleObjects", LOG_ERROR);
            m_result = kThreadBadWait;
            return;
        }
    }
}

unsigned __stdcall CThreadBase::ThreadProc(void* self)
{
    auto* t = static_cast<CThreadBase*>(self);
    t->ThreadLoop();
    // The owner closes the handle; the worker only marks itself finished.
    InterlockedExchange(&t->m_finished, 1);
    if (t->m_signalStopWhenDone && t->m_stopEvent && !SetEvent(t->m_stopEvent))
        ZN_LOG_ERROR(GetLastError(), L"SetEvent", LOG_ERROR);
    if (t->m_deleteSelfWhenDone) {
        ZN_LOG(LOG_INFO, L"delete " << t->m_tag);
        delete t;
    }
    return 1;
}

BOOL CThreadBase::Stop(DWORD timeoutMs)
{
    if (!IsStarted()) {
        // A finished worker's handle goes quietly; a never-started object is untouched.
        ReleaseFinishedThread(timeoutMs);
        return FALSE;
    }
    if (m_timer && !CancelWaitableTimer(m_timer)) ZN_LOG_ERROR(GetLastError(), L"CancelWaitableTimer", LOG_ERROR);
    if (!SetEvent(m_stopEvent)) {
        ZN_LOG_ERROR(GetLastError(), L"SetEvent", LOG_ERROR);
        timeoutMs = 5000;
    }
    if (timeoutMs != INFINITE) ZN_LOG(LOG_INFO, L"Stop " << timeoutMs);

    if (WaitForSingleObject(m_thread, timeoutMs) != WAIT_OBJECT_0) {
        ZN_LOG_ERROR(WAIT_TIMEOUT, (L"Stop " + std::to_wstring(timeoutMs)).c_str(), LOG_ERROR);
        if (TerminateThread(m_thread, 1)) {
            ZN_LOG(LOG_WARNING, L"TerminateThread");
        } else {
            ZN_LOG_ERROR(GetLastError(), L"TerminateThread", LOG_ERROR);
        }
    }
    CloseThreadHandle();
    return TRUE;
}

// The finished mark is set before the worker's last steps (the stop-event signal), which
// still read this object: its handle is closed, and the object may go, only once it has
// ended.
void CThreadBase::ReleaseFinishedThread(DWORD timeoutMs)
{
    if (!m_thread) return;
    if (WaitForSingleObject(m_thread, timeoutMs) != WAIT_OBJECT_0)
        ZN_LOG_ERROR(WAIT_TIMEOUT, L"ReleaseFinishedThread", LOG_ERROR);
    CloseThreadHandle();
}

void CThreadBase::CloseThreadHandle()
{
    if (const DWORD error = m_thread.Close()) ZN_LOG_ERROR(error, L"CloseHandle thread", LOG_ERROR);
}
