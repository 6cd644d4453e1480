// CStopWatchTimerDlg: one stopwatch, a small always-on-top modeless panel with a
// seven-segment display and start/pause, stop and reset buttons. Any number may be open;
// each deletes itself when its window goes. Every length of the panel is a multiple of the
// size multiplier m.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"
#include "ClockStatic.h"
#include "SkinButton.h"

#include <vector>

class CStopWatchTimerDlg : public CDialog
{
public:
    using TickSource = DWORD(WINAPI*)();

    explicit CStopWatchTimerDlg(int multiplier);
    ~CStopWatchTimerDlg() override;

    // The longest reading: 99 hours, 59 minutes, 59 seconds and 99 hundredths.
    static constexpr DWORD kMaxShown = 359999990;
    static constexpr UINT_PTR kTimerId = 4;
    static constexpr UINT kTimerMs = 25;

    // The display text of a reading in milliseconds (clamped to kMaxShown).
    static CString ElapsedText(DWORD ms);
    // The multiplier from "SWM": 1..38 as stored, 39 and above 39, else by the screen's
    // vertical pixels per inch (exactly 96 gives 1, then one more per started 96).
    static int MultiplierFor(int stored, int dpiY);
    // The open stopwatches of this thread, oldest first.
    static const std::vector<CStopWatchTimerDlg*>& OpenStopWatches();
    // Closes every open stopwatch of this thread (each stores its place).
    static void CloseAll();

    void OnStartPause();
    void OnStop();
    void OnReset();
    void OnClose();
    void OnContextMenu(POINT screen);
    void ShowElapsed(DWORD ms);
    void PositionWindow();

    BOOL IsRunning() const { return m_timer != 0; }
    BOOL IsPaused() const { return m_paused; }
    int GetMultiplier() const { return m_multiplier; }
    // The milliseconds that the current state shows while running (now - start).
    DWORD Elapsed() const { return m_tickCount() - m_start; }

    // Where the tick count comes from; GetTickCount unless a test sets its own.
    TickSource m_tickCount = ::GetTickCount;

    CClockStatic m_display;
    CSkinButton m_resetButton;
    CSkinButton m_stopButton;
    CSkinButton m_startButton;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // Enter and Escape do nothing: the panel has no OK or Cancel.
    void OnOK() override {}
    void OnCancel() override {}
    // Tab moves between the buttons; Enter and Escape are kept from the dialog keys, which
    // would make Enter a press of the default button.
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    BOOL OnNotify(NMHDR* header, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void PostNcDestroy() override;

    void OnTimer(UINT_PTR id);
    void OnDestroy();
    void OnPaint();
    // The tip text of the control a tip is asked for (only enabled controls have one).
    void OnToolHitTest(NMTTDISPINFOW* info);

private:
    void EnableToolTips();
    void DisableToolTips();
    void ShowZero() { ShowElapsed(0); }

    int m_multiplier;
    DWORD m_lastShown = 0xFFFFFFFF;
    UINT_PTR m_timer = 0;
    DWORD m_start = 0;
    DWORD m_pauseStart = 0;
    BOOL m_paused = FALSE;
    BOOL m_resetWhilePaused = FALSE;
    CImageList m_imageList;
    HCURSOR m_cursor = nullptr;
    HWND m_toolTip = nullptr;
    CString m_tipText;
};

// "New Stop&watch": a new stopwatch, a top-level window of its own with no owner, shown;
// null after a message box when it cannot be made.
CStopWatchTimerDlg* OpenStopWatch();
