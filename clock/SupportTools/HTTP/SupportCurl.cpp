#include "SupportTools/HTTP/SupportCurl.h"

#include "Log/LogMan.h"
#include "SupportText.h"
#include "SupportTools/HTTP/GZip.h"

#include <cctype>
#include <cstring>

namespace {
bool StartsWithNoCase(const char* line, const char* lowerName)
{
    for (; *lowerName; ++line, ++lowerName) {
        if (!*line || std::tolower(static_cast<unsigned char>(*line)) != *lowerName) return false;
    }
    return true;
}

std::wstring Printable(const std::string& bytes)
{
    return StdAnsiToWide(bytes);
}
}  // namespace

std::string GetHeaderValue(const curl_slist* headers, const char* name)
{
    const size_t n = strlen(name);
    for (const curl_slist* item = headers; item; item = item->next) {
        if (item->data && StartsWithNoCase(item->data, name)) return std::string(item->data + n);
    }
    return std::string();
}

void DecodeResponseBody(const curl_slist* headers, std::string& body)
{
    if (body.empty()) return;
    if (_stricmp(GetHeaderValue(headers, "content-encoding: ").c_str(), "gzip") != 0) return;
    CGZip gzip;
    if (body.size() <= CGZip::kMaxOutput &&
        gzip.Decompress(reinterpret_cast<const BYTE*>(body.data()), static_cast<DWORD>(body.size()))) {
        body.assign(reinterpret_cast<const char*>(gzip.Output()), gzip.OutputLength());
        return;
    }
    // The first bytes, with any zero cut off, so the entry stays one line of text.
    std::string head = body.substr(0, 256);
    head = head.substr(0, strnlen(head.c_str(), head.size()));
    ZN_LOG(LOG_ERROR, HexText(static_cast<ULONG_PTR>(static_cast<ULONG>(E_FAIL)), TRUE).GetString()
                          << L" " << body.size() << L" " << Printable(head));
}

size_t CollectHeaderLine(char* data, size_t size, size_t count, void* headerList)
{
    const size_t length = size * count;
    auto* list = static_cast<CCurlStringList*>(headerList);
    if (length <= 2) {
        if (!(length == 2 && data[0] == '\r' && data[1] == '\n')) ZN_LOG(LOG_ERROR, length);
        return length;
    }
    std::string line(data, length);
    if (line.compare(length - 2, 2, "\r\n") == 0) {
        line.resize(length - 2);
    } else {
        ZN_LOG(LOG_ERROR, Printable(line));
    }
    if (list && !list->Append(line.c_str())) ZN_LOG_ERROR(E_OUTOFMEMORY, L"curl_slist_append", LOG_ERROR);
    return length;
}
