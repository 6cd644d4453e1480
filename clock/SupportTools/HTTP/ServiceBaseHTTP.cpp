#include "SupportTools/HTTP/ServiceBaseHTTP.h"

#include "Log/LogMan.h"
#include "SupportText.h"

namespace {
size_t AppendBody(char* data, size_t size, size_t count, void* target)
{
    auto* body = static_cast<std::string*>(target);
    const size_t length = size * count;
    if (!body || length > CServiceBaseHTTP::kMaxBody - std::min(body->size(), CServiceBaseHTTP::kMaxBody)) return 0;
    body->append(data, length);
    return length;
}
// libcurl asks at least once a second, whether data flows or not.
int AbortRequested(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
}
}  // namespace

CServiceBaseHTTP::CServiceBaseHTTP() : m_curl(curl_easy_init()) {}

CServiceBaseHTTP::~CServiceBaseHTTP() = default;

DWORD CServiceBaseHTTP::Get(const std::string& url, const std::vector<std::string>& headers, std::string& body)
{
    if (!m_curl) return ZN_LOG_ERROR(kNoHandle, L"ServiceBaseHTTP", LOG_ERROR);

    CURL* curl = m_curl.Get();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CCurlStringList responseHeaders;
    CCurlStringList requestHeaders;
    for (const std::string& line : headers) {
        if (!requestHeaders.Append(line.c_str())) ZN_LOG_ERROR(E_OUTOFMEMORY, L"curl_slist_append", LOG_ERROR);
    }
    body.clear();

    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    // The answer decides what the user is told and where the browser is sent: the peer
    // must prove it is the site.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectHeaderLine);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &responseHeaders);
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, requestHeaders.Get());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A server that never answers must not hold the caller for ever.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, m_totalTimeoutMs);
    if (m_abort) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, AbortRequested);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, static_cast<void*>(const_cast<std::atomic<bool>*>(m_abort)));
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);

    DWORD result = 0;
    if (code != CURLE_OK) {
        ZN_LOG(LOG_ERROR, static_cast<int>(code) << L" " << StdAnsiToWide(errorBuffer));
        ZN_LOG(LOG_ERROR, static_cast<int>(code) << L" " << StdAnsiToWide(curl_easy_strerror(code)));
        result = (static_cast<DWORD>(code) << 24) | (static_cast<DWORD>(status) & 0xFFFF);
        ZN_LOG_ERROR(result, L"curl_easy_perform", LOG_ERROR);
        body = curl_easy_strerror(code);
    } else if (status == 200) {
        DecodeResponseBody(responseHeaders.Get(), body);
    } else {
        result = static_cast<DWORD>(status) & 0xFFFF;
        ZN_LOG_ERROR(result, L"HTTP status", LOG_ERROR);
        char text[64];
        wsprintfA(text, "HTTP Error Code: %d", static_cast<int>(status));
        body = text;
    }
    // The handle must not keep pointers into this call's lists and buffer.
    curl_easy_reset(curl);
    return result;
}
