#include "WaitWithMessageLoop.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Event {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Event() { CloseHandle(h); }
};

// A thread that ends after ms milliseconds; its handle is what the wait watches.
struct Sleeper {
    explicit Sleeper(DWORD ms) : h(CreateThread(nullptr, 0, &Run, reinterpret_cast<void*>(static_cast<ULONG_PTR>(ms)), 0, nullptr)) {}
    ~Sleeper() { WaitForSingleObject(h, INFINITE); CloseHandle(h); }
    static DWORD WINAPI Run(void* p) { Sleep(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(p))); return 0; }
    HANDLE h;
};

void DrainQueue()
{
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {}
}

TEST(WaitWithMessageLoop, TimeOutOrHandleFirst)
{
    {
        Sleeper busy(3000);
        DWORD start = GetTickCount();
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitWithMessageLoop(1, &busy.h, 500, QS_ALLINPUT));
        DWORD took = GetTickCount() - start;
        EXPECT_GE(took, 450u);
        EXPECT_LT(took, 2500u);
    }
    {
        Sleeper quick(50);
        EXPECT_EQ(0u, WaitWithMessageLoop(1, &quick.h, 5000, QS_ALLINPUT));
    }
    {
        Sleeper quick(50);
        EXPECT_EQ(0u, WaitWithMessageLoop(1, &quick.h, INFINITE, QS_ALLINPUT));
    }
    // No handles: a pause of the time-out with messages flowing.
    DWORD start = GetTickCount();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitWithMessageLoop(0, nullptr, 200, QS_ALLINPUT));
    EXPECT_GE(GetTickCount() - start, 150u);
}

TEST(WaitWithMessageLoop, IndexesTheCallersHandles)
{
    Event a, b, c;
    SetEvent(b.h);
    HANDLE hs[] = {a.h, b.h, c.h};
    EXPECT_EQ(1u, WaitWithMessageLoop(3, hs, 1000, QS_ALLINPUT)) << "the timer is not counted";
    EXPECT_EQ(1u, WaitWithMessageLoop(3, hs, INFINITE, QS_ALLINPUT));
    SetEvent(a.h);
    EXPECT_EQ(0u, WaitWithMessageLoop(3, hs, 1000, QS_ALLINPUT));
}

TEST(WaitWithMessageLoop, DispatchesEveryQueuedMessage)
{
    ASSERT_TRUE(CWnd::RegisterClass(L"zn_test_waiter", 0));
    struct Counter : CWnd {
        int seen = 0;
        LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
        {
            if (msg == WM_APP + 7) { ++seen; return 0; }
            return CWnd::WindowProc(msg, wp, lp);
        }
    } wnd;
    ASSERT_TRUE(wnd.CreateEx(0, L"zn_test_waiter", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr));
    DrainQueue();

    Event never;
    // Messages posted from another thread while the wait runs, several at once.
    std::thread poster([&] {
        Sleep(100);
        for (int i = 0; i < 20; ++i) PostMessageW(wnd.m_hWnd, WM_APP + 7, 0, 0);
    });
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitWithMessageLoop(1, &never.h, 600, QS_ALLINPUT));
    poster.join();
    EXPECT_EQ(20, wnd.seen);

    // Messages queued before the wait began are dispatched as soon as anything wakes it.
    for (int i = 0; i < 5; ++i) PostMessageW(wnd.m_hWnd, WM_APP + 7, 0, 0);
    std::thread late([&] { Sleep(100); PostMessageW(wnd.m_hWnd, WM_APP + 7, 0, 0); });
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitWithMessageLoop(1, &never.h, 400, QS_ALLINPUT));
    late.join();
    EXPECT_EQ(26, wnd.seen);
}

TEST(WaitWithMessageLoop, QuitEndsTheWaitAndIsPostedAgain)
{
    DrainQueue();
    LogCapture log;
    Event never;
    std::thread quitter([tid = GetCurrentThreadId()] {
        Sleep(100);
        PostThreadMessageW(tid, WM_QUIT, 7, 0);
    });
    DWORD start = GetTickCount();
    EXPECT_EQ(kWaitQuitReceived, WaitWithMessageLoop(1, &never.h, 5000, QS_ALLINPUT));
    quitter.join();
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(1u, log.Entries(" * ").size());

    MSG m{};
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), m.message);
    EXPECT_EQ(1u, m.wParam) << "exit code 1";
    DrainQueue();
}

TEST(WaitWithMessageLoop, FailuresAreReported)
{
    DrainQueue();
    LogCapture log;
    HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(closed);
    EXPECT_EQ(WAIT_FAILED, WaitWithMessageLoop(1, &closed, INFINITE, QS_ALLINPUT));
    EXPECT_EQ(1u, log.Entries(" - ").size()) << "a closed handle is only noted";

    // An abandoned mutex: its result is passed on as the system gave it (timer included).
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    std::thread owner([mutex] { WaitForSingleObject(mutex, INFINITE); });
    owner.join();
    EXPECT_EQ(static_cast<DWORD>(WAIT_ABANDONED_0 + 1), WaitWithMessageLoop(1, &mutex, 1000, QS_ALLINPUT));
    EXPECT_GE(log.Entries(" * ").size(), 2u);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

} // namespace
