// The progress road: the work runs on a worker while the calling thread shows the dialog
// and keeps dispatching; success holds the finished dialog two seconds, failure does not.
#include "SntpTestSupport.h"
#include "SupportUtilities.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

struct ProgressWork
{
    DWORD uiThread = 0;
    HRESULT result = 0;
    wchar_t seenText[128] = L"";
    BOOL barVisible = FALSE;
    DWORD workEnded = 0;
};

BOOL CALLBACK FindProgress(HWND hwnd, LPARAM lp)
{
    auto* w = reinterpret_cast<ProgressWork*>(lp);
    if (GetDlgItem(hwnd, IDC_PROGRESS_BAR) && IsWindowVisible(hwnd)) {
        GetDlgItemTextW(hwnd, IDC_PROGRESS_TEXT, w->seenText, 128);
        w->barVisible = IsWindowVisible(GetDlgItem(hwnd, IDC_PROGRESS_BAR));
        return FALSE;
    }
    return TRUE;
}

HRESULT LookAtTheDialog(void* argument)
{
    auto* w = static_cast<ProgressWork*>(argument);
    EnumThreadWindows(w->uiThread, &FindProgress, reinterpret_cast<LPARAM>(w));
    w->workEnded = GetTickCount();
    return w->result;
}

// Wine spends about two seconds showing and again destroying a top-level window on a
// display without a window manager, so the pause is measured as the difference between the
// tails of a successful and a failed run.
DWORD TailOfRun(HRESULT result, HWND parent, ProgressWork& work)
{
    work.uiThread = GetCurrentThreadId();
    work.result = result;
    EXPECT_EQ(RunWithProgress(parent, L"Preparing logs...", &LookAtTheDialog, &work, 69, parent != nullptr), result);
    return GetTickCount() - work.workEnded;
}

TEST(RunWithProgressTest, SuccessShowsTheDialogAndHoldsItTwoSecondsFailureDoesNot)
{
    sntptest::App();
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(parent);
    ProgressWork good;
    DWORD successTail = TailOfRun(0, parent, good);
    EXPECT_STREQ(good.seenText, L"Preparing logs...");
    EXPECT_TRUE(good.barVisible);
    EXPECT_TRUE(IsWindowEnabled(parent)) << "re-enabled";
    ProgressWork after;
    EnumThreadWindows(GetCurrentThreadId(), &FindProgress, reinterpret_cast<LPARAM>(&after));
    EXPECT_STREQ(after.seenText, L"") << "the dialog is gone";

    ProgressWork bad;
    DWORD failureTail = TailOfRun(static_cast<HRESULT>(0x80004005), nullptr, bad);
    EXPECT_GE(successTail, 2000u);
    EXPECT_GE(successTail, failureTail + 1500) << successTail << " " << failureTail;
    std::string log = sntptest::ProgramLog();
    EXPECT_NE(log.find("Thread begin"), std::string::npos);
    EXPECT_NE(log.find("Thread end"), std::string::npos);
    DestroyWindow(parent);
}

} // namespace
