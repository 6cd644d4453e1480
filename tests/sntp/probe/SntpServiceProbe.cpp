// The clock's side of the hand-off against the real time-setting service, for the service's
// Service Control Manager test: "send" hands the current UTC time over with
// CTimeSetClient::SendTimeToService and prints result=1/0, the status line it left as the
// SNTP client shows it and how long the hand-off took.
#include "SNTPWnd.h"

#include <cstdio>
#include <memory>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || wcscmp(argv[1], L"send") != 0) {
        printf("usage: sntp_service_probe send\n");
        return 2;
    }
    CSNTPWnd client;
    auto owned = std::make_unique<CTimeSetClient>();
    CTimeSetClient& service = *owned;
    client.SetTimeSetClient(std::move(owned));
    SYSTEMTIME now;
    GetSystemTime(&now);
    const ULONGLONG start = GetTickCount64();
    BOOL result = service.SendTimeToService(now);
    printf("result=%d\n", result ? 1 : 0);
    printf("ms=%llu\n", GetTickCount64() - start);
    printf("status=%ls\n", client.m_strStatus.GetString());
    return 0;
}
