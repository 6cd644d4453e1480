// Driving real dialogs from a test. A modal dialog blocks the thread that shows it, so the
// test runs the dialog on its own thread and drives it from a second one: the driver finds
// the dialog by the showing thread (never by a title alone: tests share one display),
// sets controls and presses buttons with the notifications a user's action would send, and
// answers any box that comes up. A watchdog presses Cancel on every dialog of the thread
// once its time is up, so no test can hang on a dialog.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace zntest {

// The first visible dialog (class "#32770") of the thread, optionally with exactly this
// title, other than skip; null when there is none.
HWND FindThreadDialog(DWORD threadId, const wchar_t* title = nullptr, HWND skip = nullptr);
// Waits for one; null after the time-out.
HWND WaitForThreadDialog(DWORD threadId, DWORD timeoutMs, const wchar_t* title = nullptr, HWND skip = nullptr);
// Waits until the window is gone; false after the time-out.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs);
// Waits for a condition checked every 10 ms; its last answer.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);

std::wstring GetText(HWND hwnd);
std::wstring GetItemText(HWND dialog, int id);
// Sets the control's text; edits send EN_CHANGE themselves.
void SetItemText(HWND dialog, int id, const wchar_t* text);
// Checks or clears a check box and tells the dialog, as a click does.
void SetCheck(HWND dialog, int id, bool checked);
int GetCheck(HWND dialog, int id);
// Selects a combo box item and sends CBN_SELCHANGE and CBN_SELENDOK.
void SelectCombo(HWND dialog, int id, int index);
// BN_CLICKED from the control, as a click does (posted: the handler may open a modal box).
void Click(HWND dialog, int id);
bool IsItemEnabled(HWND dialog, int id);
bool IsItemVisible(HWND dialog, int id);
// Presses a button of the first box of the thread (IDOK, IDYES, ...) after waiting for it;
// the box's text in *text. False when no box came.
bool AnswerBox(DWORD threadId, int button, DWORD timeoutMs, std::wstring* text = nullptr, HWND skip = nullptr);

// Runs the driver on a second thread while the calling thread runs show (which shows the
// dialog modally and returns when it closes); the driver gets the showing thread's id.
// The watchdog presses Cancel on the thread's dialogs when the time is up.
void RunModal(const std::function<void()>& show, const std::function<void(DWORD threadId)>& driver,
              DWORD watchdogMs = 20000);

// Presses Cancel (IDCANCEL to each dialog, WM_CANCELMODE, then WM_CLOSE) on every dialog
// of the thread, every half second once the time is up, until stopped.
class DialogWatchdog
{
public:
    DialogWatchdog(DWORD threadId, DWORD timeoutMs);
    ~DialogWatchdog();
    DialogWatchdog(const DialogWatchdog&) = delete;
    DialogWatchdog& operator=(const DialogWatchdog&) = delete;
    // True when the watchdog had to act: the test took too long.
    bool Fired() const { return m_fired; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_fired{false};
    std::thread m_thread;
};

} // namespace zntest
