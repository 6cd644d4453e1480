#include "SntpMessage.h"

#include "SupportTime.h"

namespace {

// Leap indicator 0, version 1, mode 3 (client).
constexpr BYTE kRequestFirstByte = 0x0B;

// 100 ns units from 1601-01-01 (FILETIME's origin) to 1900-01-01 (NTP's).
constexpr ULONGLONG kNtpEpochAsFileTime = 0x014F373BFDE04000ULL;
constexpr ULONGLONG kTicksPerSecond = 10000000ULL;

DWORD ReadBigEndian32(const BYTE* p)
{
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) | (static_cast<DWORD>(p[2]) << 8) | p[3];
}

bool IsZero(const BYTE* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

} // namespace

void BuildSntpRequest(BYTE (&packet)[kSntpPacketSize])
{
    memset(packet, 0, kSntpPacketSize);
    packet[0] = kRequestFirstByte;
}

SntpReply ReadSntpReply(const BYTE (&packet)[kSntpPacketSize])
{
    SntpReply reply;
    reply.leap = packet[0] >> 6;
    reply.mode = packet[0] & 7;
    reply.stratum = packet[1];
    reply.timestampsZero = IsZero(packet + 16, 24);
    reply.seconds = ReadBigEndian32(packet + 40);
    reply.fraction = ReadBigEndian32(packet + 44);
    return reply;
}

BOOL SntpSecondsToSystemTime(DWORD seconds, SYSTEMTIME* time)
{
    ULONGLONG ntpSeconds = seconds;
    if (!(seconds & 0x80000000u)) ntpSeconds += 0x100000000ULL;
    FILETIME ft = FileTimeFromTicks(ntpSeconds * kTicksPerSecond + kNtpEpochAsFileTime);
    return FileTimeToSystemTime(&ft, time);
}

WORD SntpFractionToMilliseconds(DWORD fraction)
{
    return static_cast<WORD>((static_cast<ULONGLONG>(fraction) * 1000) >> 32);
}

SntpClockChange MeasureClockChange(const FILETIME& now, const SYSTEMTIME& target)
{
    FILETIME targetFt;
    SystemTimeToFileTime(&target, &targetFt);
    const ULONGLONG from = TicksOfFileTime(now);
    const ULONGLONG to = TicksOfFileTime(targetFt);
    SntpClockChange change{};
    change.ahead = to > from;
    FILETIME distanceFt = FileTimeFromTicks(change.ahead ? to - from : from - to);
    FileTimeToSystemTime(&distanceFt, &change.distance);
    return change;
}

CString SntpClockChange::Text() const
{
    const int wholeSeconds =
        (distance.wDay - 1) * 86400 + distance.wHour * 3600 + distance.wMinute * 60 + distance.wSecond;
    CString text;
    text.Format(L"%c%d.%03d", ahead ? L'+' : L'-', wholeSeconds, distance.wMilliseconds);
    return text;
}
