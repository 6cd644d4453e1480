// Windows chores: the text of a system error, administrator and elevation tests, the
// 32-on-64-bit test, the per-thread DPI awareness, the screen DPI, the main window's
// active popup and the working-set hook.
#pragma once

#include "ClassLib.h"

// The system's message text for a code; empty when it has none.
CString GetErrorText(DWORD code);

// 1 when the process token's groups hold BUILTIN\Administrators (also deny-only).
int IsUserAdmin();
// 0 or E_FAIL; *elevated (when given) is set from the token's TokenElevation.
HRESULT GetProcessElevation(HANDLE process, BOOL* elevated);
// The IsWow64Process flag of this process; 0 (logged) when the call fails.
BOOL IsWow64();

// SetThreadDpiAwarenessContext when the system has it; else DPI_AWARENESS_CONTEXT_UNAWARE (-1).
// On Windows 10 and later a missing function is logged.
DPI_AWARENESS_CONTEXT SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT context);
// The same with the library to look in and the Windows level given.
DPI_AWARENESS_CONTEXT SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT context, HMODULE user32, int windowsLevel);

// The screen's logical pixels per inch, read once at start-up (on first use when start-up
// has not read them); every font-size conversion of the program uses these two.
void InitScreenDpi();
int GetScreenDpiX();
int GetScreenDpiY();

// SetWindowPos flags (0x613) for a z-order change only: no size, no move, no activation, no
// owner z-order and no WM_WINDOWPOSCHANGING, so raising or lowering a window never moves or
// activates it.
constexpr UINT kZOrderOnly = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;

// The last active popup of the application's main window; null without a main window.
HWND GetLastActivePopupWnd();

// The hook called after bursts of work; trimming is switched off, so it changes nothing.
int TrimWorkingSet();
