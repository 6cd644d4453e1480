// The progress road: the work runs on a worker while the calling thread shows the dialog
// and keeps dispatching; success holds the finished dialog two seconds, failure does not.
#include "SntpTestSupport.h"
#include "SupportUtilities.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

struct ProgressWork
{
    DWORD uiThread = 0;
    HRESULT result = 0;
    BOOL found = FALSE;
    wchar_t seenText[128] = L"";
    BOOL barVisible = FALSE;
    DWORD workEnded = 0;
    std::atomic<HANDLE> worker{nullptr};  // the work's own thread, opened by the work
};

BOOL CALLBACK FindProgress(HWND hwnd, LPARAM lp)
{
    auto* w = reinterpret_cast<ProgressWork*>(lp);
    if (GetDlgItem(hwnd, IDC_PROGRESS_BAR) && IsWindowVisible(hwnd)) {
        w->found = TRUE;
        GetDlgItemTextW(hwnd, IDC_PROGRESS_TEXT, w->seenText, 128);
        w->barVisible = IsWindowVisible(GetDlgItem(hwnd, IDC_PROGRESS_BAR));
        return FALSE;
    }
    return TRUE;
}

HRESULT LookAtTheDialog(void* argument)
{
    auto* w = static_cast<ProgressWork*>(argument);
    w->worker = OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId());
    EnumThreadWindows(w->uiThread, &FindProgress, reinterpret_cast<LPARAM>(w));
    w->workEnded = GetTickCount();
    return w->result;
}

// A timer of this thread, ticking while RunWithProgress dispatches: the ticks at which the
// work's thread had ended and the dialog still showed.
ProgressWork* g_watched = nullptr;
std::vector<DWORD> g_heldAt;

void CALLBACK WatchTheDialog(HWND, UINT, UINT_PTR, DWORD)
{
    const HANDLE worker = g_watched->worker;
    if (!worker || WaitForSingleObject(worker, 0) != WAIT_OBJECT_0) return;
    ProgressWork seen;
    EnumThreadWindows(GetCurrentThreadId(), &FindProgress, reinterpret_cast<LPARAM>(&seen));
    if (seen.found) g_heldAt.push_back(GetTickCount());
}

// The time from the work's end to the return; g_heldAt gets the run's ticks.
DWORD RunWatched(HRESULT result, HWND parent, ProgressWork& work)
{
    work.uiThread = GetCurrentThreadId();
    work.result = result;
    g_watched = &work;
    g_heldAt.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 25, WatchTheDialog);
    EXPECT_EQ(RunWithProgress(parent, L"Preparing logs...", &LookAtTheDialog, &work, 69, parent != nullptr), result);
    const DWORD tail = GetTickCount() - work.workEnded;
    KillTimer(nullptr, timer);
    if (HANDLE worker = work.worker.exchange(nullptr)) CloseHandle(worker);
    return tail;
}

// Wine spends about two seconds showing and destroying a top-level window on a display
// without a window manager, and a loaded machine stretches any step, so the hold is seen
// by the ticks rather than by comparing how long the runs took.
TEST(RunWithProgressTest, SuccessShowsTheDialogAndHoldsItTwoSecondsFailureDoesNot)
{
    sntptest::App();
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(parent);
    ProgressWork good;
    EXPECT_GE(RunWatched(0, parent, good), 2000u);
    EXPECT_FALSE(g_heldAt.empty()) << "the finished dialog is held while messages flow";
    EXPECT_STREQ(good.seenText, L"Preparing logs...");
    EXPECT_TRUE(good.barVisible);
    EXPECT_TRUE(IsWindowEnabled(parent)) << "re-enabled";
    ProgressWork after;
    EnumThreadWindows(GetCurrentThreadId(), &FindProgress, reinterpret_cast<LPARAM>(&after));
    EXPECT_FALSE(after.found) << "the dialog is gone";

    // After a failure only the messages that were being dispatched as the work's thread
    // ended can still see the dialog, nothing over anything like the hold.
    ProgressWork bad;
    RunWatched(static_cast<HRESULT>(0x80004005), nullptr, bad);
    if (!g_heldAt.empty()) {
        EXPECT_LT(g_heldAt.back() - g_heldAt.front(), 1000u) << g_heldAt.size() << " ticks";
    }
    std::string log = sntptest::ProgramLog();
    EXPECT_NE(log.find("Thread begin"), std::string::npos);
    EXPECT_NE(log.find("Thread end"), std::string::npos);
    DestroyWindow(parent);
}

} // namespace
