// The contract between the clock and its time-setting service, written once: the clock, the
// service and their tests include this header, and nothing else crosses between them.
#pragma once

#include "Win.h"

// The service the clock asks the Service Control Manager about.
inline constexpr wchar_t kTimeServiceName[] = L"ZarnockSyncTime";
// The service's one pipe instance.
inline constexpr wchar_t kTimeSetPipeName[] = L"\\\\.\\Pipe\\Kestrom";

// One request per connection: a UTC SYSTEMTIME, eight little-endian 16-bit fields.
inline constexpr DWORD kTimeSetRequestSize = 16;
// One reply: 0 when the clock was set, else the error of the step that failed.
inline constexpr DWORD kTimeSetReplySize = 4;

static_assert(sizeof(SYSTEMTIME) == kTimeSetRequestSize, "the request is one SYSTEMTIME");
static_assert(sizeof(DWORD) == kTimeSetReplySize, "the reply is one 32-bit result");
