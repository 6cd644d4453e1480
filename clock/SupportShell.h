// Small helpers of the user-interface thread and start-up: the context menu's update walk,
// the monitor list, the plain error box, the local time and the working-set switch.
#pragma once

#include "ClassLib.h"

#include <vector>

// Runs target's update handlers over every command item of menu and its sub-menus;
// items without any handler are disabled.
void UpdateMenuCmdUI(CWnd* target, HMENU menu);

// The EnumDisplayMonitors callback of start-up: logs each monitor and appends its
// rectangle to the std::vector<RECT> that data points to.
BOOL CALLBACK MonitorEnumProc(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM data);
// The log line of one monitor: "1 (0,0)(1920x1080)".
CString MonitorLogText(const MONITORINFO& info);

// "Error: %#08x" in a warning box captioned with the product name.
void ShowErrorCode(DWORD code, HWND parent);
CString ErrorCodeText(DWORD code);

// The current local time; its status is invalid when the conversion fails.
COleDateTime GetLocalDateTime();

// Non-zero: the working-set trimming hook does nothing.
int SkipWorkingSetTrim();
