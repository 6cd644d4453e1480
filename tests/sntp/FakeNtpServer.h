// A one-shot NTP server of the tests' own on loopback, for the replies a real server never
// gives: it takes one request, remembers it, and answers with the bytes it is told (after two
// copies from another port, when asked), or not at all.
#pragma once

#include "CHandle.h"
#include "ClassLib.h"

#include <thread>
#include <vector>

namespace sntptest {

struct NtpReply
{
    BYTE first = 0x24;       // leap 0, version 4, mode 4 (server)
    BYTE stratum = 2;
    DWORD seconds = 0;       // transmit timestamp
    DWORD fraction = 0;
    bool zeroTimestamps = false;  // reference, originate and receive all zero
    int size = 48;
};

std::vector<BYTE> BuildReply(const NtpReply& reply);

class FakeNtpServer
{
public:
    enum class Send { Reply, Silence, OtherPortFirst };

    FakeNtpServer(std::vector<BYTE> reply, Send send = Send::Reply);
    ~FakeNtpServer();
    FakeNtpServer(const FakeNtpServer&) = delete;
    FakeNtpServer& operator=(const FakeNtpServer&) = delete;

    UINT Port() const { return m_port; }
    // The request as received; empty until one came. Joins the server first.
    std::vector<BYTE> Request();
    int Requests() const { return m_requests; }

private:
    void Serve();

    CSocketHandle m_socket;
    CSocketHandle m_other;
    UINT m_port = 0;
    std::vector<BYTE> m_reply;
    Send m_send;
    std::vector<BYTE> m_request;
    volatile LONG m_requests = 0;
    std::thread m_thread;
};

// Seconds since 1900 (NTP) of a FILETIME, and back.
DWORD NtpSecondsOf(const FILETIME& time);
FILETIME FileTimeOf(int year, int month, int day, int hour, int minute, int second, int ms = 0);

} // namespace sntptest
