// The Windows headers, in the one order that works for every part of the program:
// Winsock 2 before windows.h, so windows.h does not pull in the old winsock.h.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
