// The mail worker's calls to the system, recorded instead of made: the default mail
// client, the process's elevation, the links and folders opened, the boxes and the sleeps.
#pragma once

#include "CrashReport/ThreadSendEmail.h"

#include <atomic>
#include <vector>

struct SendEmailCalls {
    CString client;  // empty: no mail client registered
    BOOL elevated = FALSE;
    std::vector<CString> links, folders, boxes;
    std::vector<HWND> linkParents;  // the owner each link's error box would have
    std::vector<DWORD> sleeps;
};
extern SendEmailCalls g_sendCalls;
// The boxes recorded so far, for a test that waits on another thread.
extern std::atomic<int> g_boxesShown;

// Clears the record and puts the recorders in place of the worker's system functions; boxes
// go to showBox when one is given, else into g_sendCalls.boxes (answered IDOK). Returns the
// functions that were in place, for the test to put back.
SendEmailSystem InstallFakeSendEmailSystem(int (*showBox)(HWND, const wchar_t*, const wchar_t*, UINT) = nullptr);
