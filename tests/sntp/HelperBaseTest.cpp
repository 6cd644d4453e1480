// The worker-thread base: the one-second delay, stopping before and during the work, the
// result codes, and that a finished worker's handle stays valid for its waiters.
#include "HelperBase.h"
#include "SntpTestSupport.h"
#include "HandleCount.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Work
{
    HRESULT result = 0;
    HANDLE release = nullptr;   // when set, the work waits for it
    volatile LONG runs = 0;
    DWORD ranAt = 0;
};

HRESULT DoWork(void* argument)
{
    auto* w = static_cast<Work*>(argument);
    w->ranAt = GetTickCount();
    InterlockedIncrement(&w->runs);
    if (w->release) WaitForSingleObject(w->release, INFINITE);
    return w->result;
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class ThreadBaseTest : public testing::Test
{
protected:
    void SetUp() override { sntptest::App(); }
};

TEST_F(ThreadBaseTest, WorkRunsOnceAboutOneSecondAfterStart)
{
    Work work;
    work.result = 0;
    CThreadBase t(&DoWork, &work, 7, FALSE, FALSE);
    ASSERT_TRUE(t.CreateHandles());
    EXPECT_EQ(t.m_result, kThreadNotRun);
    DWORD started = GetTickCount();
    ASSERT_TRUE(t.Start());
    EXPECT_TRUE(t.IsStarted());
    EXPECT_FALSE(t.Start()) << "a second start finds the running thread";
    ASSERT_EQ(WaitForSingleObject(t.GetThreadHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(work.runs, 1);
    EXPECT_GE(work.ranAt - started, 900u);
    EXPECT_LT(work.ranAt - started, 2500u);
    EXPECT_EQ(t.m_result, 0);
    EXPECT_FALSE(t.IsStarted()) << "a finished worker counts as not started";
    EXPECT_FALSE(t.Stop(1000));
}

TEST_F(ThreadBaseTest, StopBeforeTheSecondKeepsNotRunAndLogsStopped)
{
    Work work;
    CThreadBase t(&DoWork, &work, 0, FALSE, FALSE);
    ASSERT_TRUE(t.CreateHandles());
    size_t before = CountOf(sntptest::ProgramLog(), " stopped");
    ASSERT_TRUE(t.Start());
    Sleep(100);
    EXPECT_TRUE(t.Stop(5000));
    EXPECT_FALSE(t.IsStarted());
    Sleep(1200);
    EXPECT_EQ(work.runs, 0);
    EXPECT_EQ(t.m_result, kThreadNotRun);
    EXPECT_EQ(CountOf(sntptest::ProgramLog(), " stopped"), before + 1);
}

TEST_F(ThreadBaseTest, StopOnANeverStartedObjectTouchesNothing)
{
    CThreadBase t(&DoWork, nullptr, 0, FALSE, FALSE);
    EXPECT_FALSE(t.Stop(INFINITE));
    EXPECT_FALSE(t.StartThread()) << "no handles yet";
    EXPECT_EQ(t.m_result, kThreadNotRun);
}

TEST_F(ThreadBaseTest, WithoutCallbackTheResultIsNoWork)
{
    CThreadBase t(nullptr, nullptr, 0, FALSE, FALSE);
    ASSERT_TRUE(t.CreateHandles());
    ASSERT_TRUE(t.Start());
    ASSERT_EQ(WaitForSingleObject(t.GetThreadHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(t.m_result, kThreadNoWork);
}

TEST_F(ThreadBaseTest, WithoutRunFlagTheArmStepFailsWithNoWork)
{
    Work work;
    CThreadBase t(&DoWork, &work, 0, FALSE, FALSE);
    ASSERT_TRUE(t.CreateHandles());
    ASSERT_TRUE(t.StartThread());
    ASSERT_EQ(WaitForSingleObject(t.GetThreadHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(t.m_result, kThreadNoWork);
    EXPECT_EQ(work.runs, 0);
}

TEST_F(ThreadBaseTest, FailingWorkKeepsItsCodeAndIsLogged)
{
    Work work;
    work.result = static_cast<HRESULT>(0x80070005);
    CThreadBase t(&DoWork, &work, 0, TRUE, FALSE);
    ASSERT_TRUE(t.CreateHandles());
    ASSERT_TRUE(t.Start());
    ASSERT_EQ(WaitForSingleObject(t.GetThreadHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(t.m_result, static_cast<HRESULT>(0x80070005));
    EXPECT_EQ(WaitForSingleObject(t.GetStopEvent(), 0), WAIT_OBJECT_0) << "signal-stop-event-when-done";
    EXPECT_NE(sntptest::ProgramLog().find("0x80070005 Run"), std::string::npos);
}

TEST_F(ThreadBaseTest, StopWhileTheWorkRunsWaitsForIt)
{
    Work work;
    work.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CThreadBase t(&DoWork, &work, 0, FALSE, FALSE);
    ASSERT_TRUE(t.CreateHandles());
    ASSERT_TRUE(t.Start());
    while (!work.runs) Sleep(10);
    // The work ends 300 ms into the stop wait; the stop does not cut it short.
    HANDLE releaser = CreateThread(nullptr, 0, [](void* e) -> DWORD { Sleep(300); SetEvent(e); return 0; },
                                   work.release, 0, nullptr);
    EXPECT_TRUE(t.Stop(5000));
    EXPECT_EQ(t.m_result, 0);
    EXPECT_FALSE(t.IsStarted());
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    CloseHandle(work.release);
}

TEST_F(ThreadBaseTest, AWorkThatDoesNotEndInTimeIsTerminated)
{
    Work work;
    work.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CThreadBase t(&DoWork, &work, 0, FALSE, FALSE);
    ASSERT_TRUE(t.CreateHandles());
    ASSERT_TRUE(t.Start());
    while (!work.runs) Sleep(10);
    DWORD before = GetTickCount();
    EXPECT_TRUE(t.Stop(200));
    EXPECT_LT(GetTickCount() - before, 2000u);
    EXPECT_FALSE(t.IsStarted());
    EXPECT_EQ(t.GetThreadHandle(), nullptr);
    CloseHandle(work.release);
}

TEST_F(ThreadBaseTest, HandlesAreClosedOnceByTheOwner)
{
    // Many short workers, waited on through their own handles after they finished, then
    // restarted and destroyed: the process handle count stays flat.
    auto runMany = [] {
        for (int i = 0; i < 5; ++i) {
            Work work;
            CThreadBase t(&DoWork, &work, i, TRUE, FALSE);
            t.CreateHandles();
            t.Start();
            WaitForSingleObject(t.GetStopEvent(), 5000);
            HANDLE h = t.GetThreadHandle();
            EXPECT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0) << "the handle outlives the worker";
            DWORD flags = 0;
            EXPECT_TRUE(GetHandleInformation(h, &flags));
        }
    };
    runMany();
    const DWORD before = zntest::SettledHandleCount(GetCurrentProcessId());
    ASSERT_NE(0u, before);
    runMany();
    const DWORD after = zntest::SettledHandleCount(GetCurrentProcessId());
    EXPECT_LE(after, before + 1);

    // The count must see a leak: three handles left open show as three more.
    HANDLE leaked[3];
    for (HANDLE& h : leaked) h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(after + 3, zntest::SettledHandleCount(GetCurrentProcessId()));
    for (HANDLE h : leaked) CloseHandle(h);
}

TEST_F(ThreadBaseTest, AStoppedWorkerStartsAgain)
{
    Work work;
    CThreadBase t(&DoWork, &work, 0, FALSE, FALSE);
    ASSERT_TRUE(t.CreateHandles());
    ASSERT_TRUE(t.Start());
    t.Stop(5000);
    ASSERT_TRUE(t.Start());
    ASSERT_EQ(WaitForSingleObject(t.GetThreadHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(work.runs, 1);
    EXPECT_EQ(t.m_result, 0);
}

TEST_F(ThreadBaseTest, ASelfDeletingWorkerGoesWithoutItsOwner)
{
    Work work;
    auto* t = new CThreadBase(&DoWork, &work, 0, FALSE, TRUE);
    ASSERT_TRUE(t->CreateHandles());
    HANDLE h = nullptr;
    ASSERT_TRUE(t->Start());
    DuplicateHandle(GetCurrentProcess(), t->GetThreadHandle(), GetCurrentProcess(), &h, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ASSERT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(work.runs, 1);
    CloseHandle(h);
}

TEST_F(ThreadBaseTest, StopOfAFinishedWorkerWaitsUntilItHasEnded)
{
    // The worker is caught between marking itself finished and its end (it still signals
    // the stop event there) and held: Stop must not let the object go before it has ended.
    // The thread that resumes it exists before it is held: a thread held on its way out may
    // own the loader lock, and starting a thread then would wait for that lock for good.
    HANDLE held = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE toResume = nullptr;
    std::thread resumer([&] {
        WaitForSingleObject(held, INFINITE);
        if (!toResume) return;
        Sleep(300);
        ResumeThread(toResume);
    });
    for (int attempt = 0; attempt < 500; ++attempt) {
        Work work;
        CThreadBase t(&DoWork, &work, 0, TRUE, FALSE);
        ASSERT_TRUE(t.CreateHandles());
        ASSERT_TRUE(t.Start());
        HANDLE worker = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), t.GetThreadHandle(), GetCurrentProcess(), &worker, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS));
        SetEvent(t.GetStopEvent());
        while (t.IsStarted()) {
        }
        const bool caught = SuspendThread(worker) != static_cast<DWORD>(-1) && WaitForSingleObject(worker, 0) == WAIT_TIMEOUT;
        if (!caught) {
            ResumeThread(worker);
            CloseHandle(worker);
            continue;
        }
        toResume = worker;
        SetEvent(held);
        t.Stop(10000);
        EXPECT_EQ(WaitForSingleObject(worker, 0), WAIT_OBJECT_0) << "Stop returned while the worker still ran";
        resumer.join();
        WaitForSingleObject(worker, 5000);
        CloseHandle(worker);
        CloseHandle(held);
        return;
    }
    SetEvent(held);
    resumer.join();
    CloseHandle(held);
    GTEST_SKIP() << "the worker was never caught before its end";
}

} // namespace
