// The SNTP message as this client uses it: the 48-byte request, the fields it reads from a
// reply, and what the reply's transmit time means for the computer clock.
#pragma once

#include "ClassLib.h"

constexpr int kSntpPacketSize = 48;
constexpr int kSntpModeServer = 4;
// Leap indicator 3: the server's own clock is not synchronised.
constexpr int kSntpLeapUnsynchronised = 3;

// The request: leap indicator 0, version 1, mode 3 (client), every other byte zero.
void BuildSntpRequest(BYTE (&packet)[kSntpPacketSize]);

struct SntpReply
{
    int leap;
    int mode;
    int stratum;
    // The reference, originate and receive timestamps are all zero.
    bool timestampsZero;
    // The transmit time: seconds since 1900-01-01 00:00 UTC and units of 2^-32 s.
    DWORD seconds;
    DWORD fraction;
};
SntpReply ReadSntpReply(const BYTE (&packet)[kSntpPacketSize]);

// The transmit seconds as a UTC time; FALSE with the last error when the system cannot
// express it. A timestamp with its top bit clear lies in the era that began in 2036.
BOOL SntpSecondsToSystemTime(DWORD seconds, SYSTEMTIME* time);
// The transmit fraction in whole milliseconds (0..999).
WORD SntpFractionToMilliseconds(DWORD fraction);

// How far a new UTC time lies from now: its direction, and the distance as a SYSTEMTIME
// counted from 1601-01-01 (so a distance under 31 days is year 1601, month 1).
struct SntpClockChange
{
    bool ahead;
    SYSTEMTIME distance;

    bool IsUnder31Days() const { return distance.wYear == 1601 && distance.wMonth == 1; }
    // "+" or "-" and the distance in seconds with milliseconds ("-0.000" when equal).
    CString Text() const;
};
SntpClockChange MeasureClockChange(const FILETIME& now, const SYSTEMTIME& target);
