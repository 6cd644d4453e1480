// The time-setting service's request rate over its pipe: one whole connection per request
// (open, write 16 bytes, read 4, close), one after another, as the clock makes them. The
// server is the service's own pipe server in this process, under a name of its own; every
// request asks for month 13, which no system accepts, so no clock can move.
#include "Kestrom.h"
#include "PipeClient.h"

#include <cstdio>
#include <string>
#include <thread>

int main()
{
    std::wstring name = L"\\\\.\\pipe\\KestromBench-" + std::to_wstring(GetCurrentProcessId());
    CTimeSetPipe server(name.c_str());
    if (server.CreateEvents() || server.CreatePipe()) {
        printf("bench_service: cannot create the pipe\n");
        return 1;
    }
    CHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread serving([&] { server.Serve(stop.Get()); });

    const SYSTEMTIME request = kestrom_test::Month13();
    DWORD reply = 0;
    for (int i = 0; i < 50; ++i)
        kestrom_test::SendTime(name.c_str(), request, &reply);

    const int kRounds = 3;
    const int kRequests = 1000;
    double best = 0;
    int failures = 0;
    for (int round = 0; round < kRounds; ++round) {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kRequests; ++i) {
            if (kestrom_test::SendTime(name.c_str(), request, &reply) != 0 || reply != ERROR_INVALID_PARAMETER)
                ++failures;
        }
        QueryPerformanceCounter(&end);
        double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        double rate = kRequests / seconds;
        printf("bench_service: round %d: %d sequential requests in %.3f s = %.0f requests/s (%.3f ms each)\n",
            round + 1, kRequests, seconds, rate, 1000.0 * seconds / kRequests);
        if (rate > best)
            best = rate;
    }
    printf("bench_service: best %.0f requests/s over the pipe (aim: above 200/s); %d failed\n", best, failures);

    SetEvent(stop.Get());
    serving.join();
    server.Close();
    return failures == 0 ? 0 : 1;
}
