// One update check against the loopback web site (started by scripts/bench.sh; its ports are
// in ZARNOCK_HTTP_DIR), with a plain and a gzip-coded answer, and the gzip decoder's speed
// on a 1 MB body made by Debian's gzip. Prints the figures.
#include "ProfileTestApp.h"
#include "SupportTools/HTTP/GZip.h"
#include "SupportTools/SupportCheckUpdates.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
        fclose(f);
    }
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
    return bytes;
}

double Seconds(LONGLONG ticks)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BenchCheck(const std::wstring& site, const char* what)
{
    GetUpdateCheckSite().address = site.c_str();
    std::vector<double> ms;
    bool ok = true;
    for (int i = 0; i < 21; ++i) {
        UpdateCheckRequest request;
        request.ownVersion = 0x05010200;
        const LONGLONG start = Now();
        ok = QueryLatestVersion(request) == 0 && lstrcmpW(request.answer, L"5.1.3.0") == 0 && ok;
        ms.push_back(1000.0 * Seconds(Now() - start));
    }
    printf("update check, %s answer: %.2f ms median of %zu%s\n", what, Median(ms), ms.size(), ok ? "" : " (FAILED)");
}

}  // namespace

int main()
{
    const char* dir = getenv("ZARNOCK_HTTP_DIR");
    const std::string port = dir ? ReadWholeFile(std::string(dir) + "\\port") : std::string();
    if (port.empty()) {
        printf("bench_update: no web site (run through scripts/bench.sh)\n");
        return 1;
    }
    // libcurl's verbose trace goes to standard error; the figures stay readable without it.
    freopen("NUL", "w", stderr);
    ProfileTestApp app(L"Zarnock Update Bench", L"Zarnock");
    curl_global_init(CURL_GLOBAL_ALL);
    const std::wstring site = L"http://127.0.0.1:" + std::wstring(port.begin(), port.end());
    BenchCheck(site + L"/v/5.1.3.0", "plain");
    BenchCheck(site + L"/gz/5.1.3.0", "gzip");
    curl_global_cleanup();

    const std::string coded = ReadWholeFile(std::string(dir) + "\\mega.gz");
    CGZip gz;
    const int rounds = 20;
    const LONGLONG start = Now();
    bool ok = true;
    for (int i = 0; i < rounds; ++i)
        ok = gz.Decompress(reinterpret_cast<const BYTE*>(coded.data()), static_cast<DWORD>(coded.size())) && ok;
    const double seconds = Seconds(Now() - start);
    const double mb = static_cast<double>(gz.OutputLength()) * rounds / (1 << 20);
    printf("CGZip: %.1f MB/s decoding a %u-byte body to %u bytes%s\n", mb / seconds,
           static_cast<unsigned>(coded.size()), static_cast<unsigned>(gz.OutputLength()), ok ? "" : " (FAILED)");
    return ok ? 0 : 1;
}
