#include "FakeNtpServer.h"

namespace sntptest {

namespace {
CSocketHandle BoundLoopbackSocket(UINT* port)
{
    CSocketHandle s(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    int n = sizeof(a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    if (port) *port = ntohs(a.sin_port);
    return s;
}

void PutBigEndian32(BYTE* p, DWORD v)
{
    p[0] = static_cast<BYTE>(v >> 24);
    p[1] = static_cast<BYTE>(v >> 16);
    p[2] = static_cast<BYTE>(v >> 8);
    p[3] = static_cast<BYTE>(v);
}
} // namespace

std::vector<BYTE> BuildReply(const NtpReply& r)
{
    std::vector<BYTE> b(48, 0);
    b[0] = r.first;
    b[1] = r.stratum;
    if (!r.zeroTimestamps) {
        PutBigEndian32(&b[16], r.seconds - 1);
        PutBigEndian32(&b[32], r.seconds);
    }
    PutBigEndian32(&b[40], r.seconds);
    PutBigEndian32(&b[44], r.fraction);
    b.resize(static_cast<size_t>(r.size));
    return b;
}

FakeNtpServer::FakeNtpServer(std::vector<BYTE> reply, Send send) : m_reply(std::move(reply)), m_send(send)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_socket = BoundLoopbackSocket(&m_port);
    if (send == Send::OtherPortFirst) m_other = BoundLoopbackSocket(nullptr);
    DWORD timeout = 15000;
    setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    m_thread = std::thread([this] { Serve(); });
}

FakeNtpServer::~FakeNtpServer()
{
    // Closing the socket ends the server's wait for a request.
    m_socket.Close();
    m_other.Close();
    if (m_thread.joinable()) m_thread.join();
    WSACleanup();
}

void FakeNtpServer::Serve()
{
    char buffer[512];
    sockaddr_in from{};
    int n = sizeof(from);
    int got = recvfrom(m_socket, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &n);
    if (got <= 0) return;
    m_request.assign(buffer, buffer + got);
    InterlockedIncrement(&m_requests);
    if (m_send == Send::Silence) return;
    const char* reply = reinterpret_cast<const char*>(m_reply.data());
    const int size = static_cast<int>(m_reply.size());
    if (m_send == Send::OtherPortFirst) {
        for (int i = 0; i < 2; ++i)
            sendto(m_other, reply, size, 0, reinterpret_cast<sockaddr*>(&from), sizeof(from));
    }
    sendto(m_socket, reply, size, 0, reinterpret_cast<sockaddr*>(&from), sizeof(from));
}

std::vector<BYTE> FakeNtpServer::Request()
{
    return m_request;
}

DWORD NtpSecondsOf(const FILETIME& time)
{
    ULONGLONG v = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<DWORD>((v - 0x014F373BFDE04000ULL) / 10000000ULL);
}

FILETIME FileTimeOf(int year, int month, int day, int hour, int minute, int second, int ms)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    st.wMilliseconds = static_cast<WORD>(ms);
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

} // namespace sntptest
