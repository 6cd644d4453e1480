// A clock window in the test's own process, as the main window, with its SNTP client set
// to record rather than set the system clock, and the Options sheet opened through the
// clock's own command. Test programs run in parallel: this one has its own profile.
#pragma once

#include "DigitClock.h"
#include "OptionsSheet.h"
#include "SNTPWnd.h"

#include "DialogDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace syncpage {

CWinApp& App();

// Records the times the client would set; the machine's clock is never touched. The tick
// count can be pushed ahead, to reach the client's time-out at once.
class RecordingClock : public CSntpClock
{
public:
    DWORD TickCount() override { return ::GetTickCount() + tickOffset; }
    BOOL SetSystemTime(const SYSTEMTIME&) override
    {
        ++sets;
        return TRUE;
    }
    int sets = 0;
    std::atomic<DWORD> tickOffset{0};
};

class ClockFixture : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the sheet through the clock's command on the page given; the driver gets the
    // showing thread and the page's window.
    void OpenSheet(int page, const std::function<void(DWORD thread, HWND sheet, HWND page)>& driver,
                   DWORD watchdogMs = 20000);

    CDigitClock* clock = nullptr;
    HWND hwnd = nullptr;
    RecordingClock recorder;
};

HWND CurrentPage(HWND sheet);
// Presses a sheet button and waits for the sheet to go.
void Press(HWND sheet, int button);
// The chrony fixture's address; empty (with a test failure) outside ctest.
std::wstring ChronyAddress();

} // namespace syncpage
