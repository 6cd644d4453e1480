// Helpers of the HTTP client around libcurl: owners of its handles, the response header
// list and the decoding of a gzip-coded body.
#pragma once

#include "CHandle.h"
#include "ClassLib.h"

#include <curl/curl.h>

#include <string>

struct CCurlEasyTraits
{
    using Type = CURL*;
    static CURL* None() { return nullptr; }
    static bool IsNone(CURL* h) { return h == nullptr; }
    static DWORD Close(CURL* h)
    {
        curl_easy_reset(h);
        curl_easy_cleanup(h);
        return 0;
    }
};
struct CCurlSlistTraits
{
    using Type = curl_slist*;
    static curl_slist* None() { return nullptr; }
    static bool IsNone(curl_slist* h) { return h == nullptr; }
    static DWORD Close(curl_slist* h)
    {
        curl_slist_free_all(h);
        return 0;
    }
};
using CCurlEasyHandle = CUniqueAny<CCurlEasyTraits>;
// A libcurl string list; Append keeps the list when libcurl cannot grow it.
class CCurlStringList : public CUniqueAny<CCurlSlistTraits>
{
public:
    bool Append(const char* text)
    {
        curl_slist* grown = curl_slist_append(Get(), text);
        if (!grown) return false;
        Release();
        Reset(grown);
        return true;
    }
};

// The rest of the first header line that begins with name (given in lower case, with its
// colon and blank: "content-encoding: "), compared without regard to case; empty when no
// line matches.
std::string GetHeaderValue(const curl_slist* headers, const char* name);

// Replaces a gzip-coded body by its decoded bytes; a body that cannot be decoded is kept
// as it came (and logged).
void DecodeResponseBody(const curl_slist* headers, std::string& body);

// libcurl's header callback: stores each header line of the response without its line end.
size_t CollectHeaderLine(char* data, size_t size, size_t count, void* headerList);
