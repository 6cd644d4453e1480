// The manual update check: one GET to the maker's site for the latest version of this
// product, compared with the program's own; the user is told the result and offered the
// download page when a newer version exists.
#pragma once

#include "ClassLib.h"

#include <atomic>
#include <string>

struct UpdateCheckRequest
{
    DWORD result = 0;          // of CServiceBaseHTTP::Get, 0 success
    DWORD ownVersion = 0;      // one byte per part, major in the top byte
    BYTE beta = 0;             // the program's own build is a beta
    std::wstring productCode = L"znc";
    wchar_t answer[32] = {};   // the start of the response body, trimmed
    // The whole trimmed body fitted into answer: a longer one is not a version.
    bool answerWhole = true;
};

// Where the check asks and how it talks to the user. The program uses the defaults: the
// maker's site, the HTTP client's time limits, the program's message boxes and the shell.
struct UpdateCheckSite
{
    CString address;                 // empty: the maker's site
    long connectTimeoutMs = 15000;
    long totalTimeoutMs = 30000;
    DWORD abortWaitMs = 5000;        // after the quit message: how long the cut-short request is waited for
    int (*showBox)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) = nullptr;
    int (*openAddress)(const wchar_t* address, HWND owner) = nullptr;
};
UpdateCheckSite& GetUpdateCheckSite();

// The caller has initialised libcurl (curl_global_init) and cleans it up after the call.
// The request runs on a worker thread while this thread keeps dispatching messages, so the
// clock keeps ticking; the owner is disabled meanwhile. When the quit message arrives
// meanwhile, the request is cut short, waited for a few seconds at most, and no box is shown;
// false when it had not ended by then: the worker finishes on its own, with a libcurl
// reference of its own, and exit waits for it (GivenUpWorkers.h).
bool CheckForUpdates(HWND owner);
// The Clock page's "Check For Updates": libcurl initialised for the process around the
// check; when it cannot be, the user is told the check is not possible.
void RunCheckForUpdates(HWND owner);
// abort: when given and set, the request in progress ends within about a second.
DWORD QueryLatestVersion(UpdateCheckRequest& request, const std::atomic<bool>* abort = nullptr);
void ShowUpdateResult(HWND owner, const UpdateCheckRequest& request);

// Reads "a.b.c.d" (decimal parts only, nothing before or after); count gets the number of
// parts read. The parts' low bytes, the first in the top byte.
bool ParseVersionText(const wchar_t* text, DWORD& packed, int& count);
