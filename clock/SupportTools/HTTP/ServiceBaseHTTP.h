// CServiceBaseHTTP: the program's one HTTP client, a single GET on libcurl's easy interface.
// The caller initialises libcurl for the process (curl_global_init) before it makes one and
// cleans up after it is gone.
#pragma once

#include "SupportTools/HTTP/SupportCurl.h"

#include <atomic>
#include <string>
#include <vector>

class CServiceBaseHTTP
{
public:
    // The object has no libcurl handle.
    static constexpr DWORD kNoHandle = 0x10000;
    // A body longer than this is refused: the transfer fails with a write error.
    static constexpr size_t kMaxBody = 1 << 20;

    CServiceBaseHTTP();
    virtual ~CServiceBaseHTTP();
    CServiceBaseHTTP(const CServiceBaseHTTP&) = delete;
    CServiceBaseHTTP& operator=(const CServiceBaseHTTP&) = delete;

    // 0 for status 200 (body: the response body, decoded when gzip-coded); the status for
    // any other (body: "HTTP Error Code: %d"); (libcurl code << 24) | (status & 0xFFFF) when
    // the transfer failed (body: libcurl's text for the code); kNoHandle without a handle.
    DWORD Get(const std::string& url, const std::vector<std::string>& headers, std::string& body);

    // Time limits of one request: connecting, and the whole transfer.
    long m_connectTimeoutMs = 15000;
    long m_totalTimeoutMs = 30000;
    // When set, a request in progress ends (libcurl's "aborted by callback") within about a
    // second of the flag becoming true.
    const std::atomic<bool>* m_abort = nullptr;

private:
    CCurlEasyHandle m_curl;
};
