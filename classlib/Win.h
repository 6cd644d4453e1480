// The Windows headers, in the one order that works for every part of the program:
// Winsock 2 before windows.h, so windows.h does not pull in the old winsock.h.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

// The Attach of the class library's one-owner wrappers: an empty owner takes the handle; a
// null handle, or an owner that already holds one, is refused.
template <class Handle>
BOOL AttachHandle(Handle& owned, Handle handle)
{
    if (!handle || owned) return FALSE;
    owned = handle;
    return TRUE;
}
