// A client of the time-setting pipe for the tests, the probe and the benchmark: the genuine
// request as the clock sends it, and the hostile ones a careless or malicious local program
// could send.
#pragma once

#include "CHandle.h"
#include "Win.h"

#include "HandleCount.h"

namespace kestrom_test {

// Now in UTC, moved by the given seconds.
SYSTEMTIME UtcNowPlus(LONGLONG seconds);
// A request no system accepts (month 13): it can never move any clock.
SYSTEMTIME Month13();

// Opens the pipe as the clock does, waiting while another client is served. Returns the
// handle (none on failure, with *error).
CHandle OpenPipe(const wchar_t* name, DWORD timeoutMs, DWORD* error);

// One whole exchange: writes size bytes, reads the 4-byte reply. 0 and *reply, or the error.
DWORD Exchange(const wchar_t* name, const void* request, DWORD size, DWORD* reply, DWORD timeoutMs = 10000);
DWORD SendTime(const wchar_t* name, const SYSTEMTIME& utc, DWORD* reply, DWORD timeoutMs = 10000);

enum class Hostile {
    Empty,          // a zero-byte message
    OneByte,
    Fifteen,
    Seventeen,
    Huge,           // 4096 bytes
    OpenAndClose,   // connects and leaves without a word
    WriteAndClose,  // a whole request, then leaves before the reply
    Silent,         // connects and never writes; holds until the server lets go
    Lingering,      // the genuine exchange, then holds the pipe open until the server lets go
};
constexpr Hostile kAllHostile[] = {Hostile::Empty, Hostile::OneByte, Hostile::Fifteen, Hostile::Seventeen,
    Hostile::Huge, Hostile::OpenAndClose, Hostile::WriteAndClose, Hostile::Silent};

// Plays one hostile client. For the sized ones the reply the server gave (or 0xFFFFFFFF for
// none) goes to *reply. Returns 0 or the error of opening the pipe.
DWORD PlayHostile(const wchar_t* name, Hostile kind, DWORD* reply, DWORD timeoutMs = 10000);

using zntest::HandleCount;
using zntest::SettledHandleCount;

} // namespace kestrom_test
