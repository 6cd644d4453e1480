#include "SupportText.h"

#include <new>
#include <vector>

namespace {

// Count, allocate the counted size plus a terminator zero-filled, convert, and take the
// result up to its first terminator: a converter never returns what lies past it.
CString ToWide(const char* text, UINT codePage)
{
    if (!text) return CString();
    int count = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (count <= 0) return CString();
    std::vector<wchar_t> buf;
    try {
        buf.assign(static_cast<size_t>(count) + 1, L'\0');
    } catch (const std::bad_alloc&) {
        return CString();
    }
    if (MultiByteToWideChar(codePage, 0, text, -1, buf.data(), count) <= 0) return CString();
    return CString(buf.data());
}

CStringA ToNarrow(const wchar_t* text, UINT codePage)
{
    if (!text) return CStringA();
    int count = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (count <= 0) return CStringA();
    std::vector<char> buf;
    try {
        buf.assign(static_cast<size_t>(count) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return CStringA();
    }
    if (WideCharToMultiByte(codePage, 0, text, -1, buf.data(), count, nullptr, nullptr) <= 0) return CStringA();
    return CStringA(buf.data());
}

} // namespace

CString AnsiToWide(const char* text)
{
    return ToWide(text, CP_ACP);
}

CString MultiByteToWide(const char* text, UINT codePage)
{
    return ToWide(text, codePage);
}

std::wstring StdAnsiToWide(const std::string& text)
{
    return AnsiToWide(text.c_str()).Str();
}

CString Utf8ToWide(const char* text, int limit)
{
    CString wide = ToWide(text, CP_UTF8);
    // Any negative limit means "no limit": only -1 is documented, and a cut at a negative
    // length has no meaning.
    if (limit >= 0 && limit < wide.GetLength()) {
        int keep = limit;
        // Never leave half of a surrogate pair at the end of the cut text.
        if (keep > 0 && IS_HIGH_SURROGATE(wide[keep - 1]) && IS_LOW_SURROGATE(wide[keep])) --keep;
        wide = wide.Left(keep);
    }
    return wide;
}

CString Utf8ToWideAll(const char* text)
{
    return Utf8ToWide(text, -1);
}

CStringA WideToAnsi(const wchar_t* text)
{
    return ToNarrow(text, CP_ACP);
}

CStringA WideToUtf8(const wchar_t* text)
{
    return ToNarrow(text, CP_UTF8);
}

void StringToLower(CString& text)
{
    if (!text.IsEmpty()) CharLowerW(text.GetBuffer());
}

unsigned ReadTypedUnsigned(const wchar_t* text)
{
    unsigned long long value = 0;
    for (const wchar_t* p = text; *p >= L'0' && *p <= L'9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - L'0');
        if (value > 0xFFFFFFFFull) return 0xFFFFFFFFu;
    }
    return static_cast<unsigned>(value);
}
