// The stopwatch tests' application object (the clock's own, with a settings store and an
// install key no other test program uses) and a driver for modal boxes of the test thread.
#pragma once

#include "App.h"

#include <functional>
#include <string>

class StopwatchTestApp : public CApp
{
public:
    StopwatchTestApp();
    // Deletes the settings store and the install key of this program.
    void ClearStore() const;
    // Writes the install key's "Path".
    void SetInstallPath(const wchar_t* folder) const;
};

extern StopwatchTestApp g_app;

// Runs step on this thread's message loop once a dialog of this thread is up (the modal
// loop the test is about to enter), and ends every dialog of the thread after the watchdog
// time, so no test can hang on a box. step receives the dialog found.
class ModalDriver
{
public:
    ModalDriver(std::function<void(HWND)> step, DWORD watchdogMs = 10000);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    bool StepRan() const { return m_ran; }
    bool WatchdogFired() const { return m_watchdogFired; }

private:
    static VOID CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);
    std::function<void(HWND)> m_step;
    UINT_PTR m_stepTimer = 0;
    UINT_PTR m_watchdog = 0;
    DWORD m_started = 0;
    DWORD m_watchdogMs;
    bool m_ran = false;
    bool m_watchdogFired = false;
};

// The first visible dialog window (class "#32770") of this thread; null when none.
HWND FindThreadDialog();
// The texts of a dialog's static controls, joined by newlines.
std::wstring DialogStaticTexts(HWND dialog);
// The folder of the test program (the build's bin folder, where zarnock.chm lies too).
std::wstring ProgramFolder();
