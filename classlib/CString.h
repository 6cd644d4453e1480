// CString: the class library's counted string, wide (CString) and 8-bit (CStringA).
// Formatting goes through the C runtime's Microsoft-convention printf (msvcrt), so "%s" in
// a wide format is wide text and "%I64d" / "%Ix" work as the program's formats expect.
#pragma once

#include "Win.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

namespace classlib_detail {

inline size_t StrLen(const char* s) { return s ? std::strlen(s) : 0; }
inline size_t StrLen(const wchar_t* s) { return s ? std::wcslen(s) : 0; }

inline int VCount(const char* fmt, va_list args) { return _vscprintf(fmt, args); }
inline int VCount(const wchar_t* fmt, va_list args) { return _vscwprintf(fmt, args); }
inline int VPrint(char* buf, size_t n, const char* fmt, va_list args) { return _vsnprintf(buf, n, fmt, args); }
inline int VPrint(wchar_t* buf, size_t n, const wchar_t* fmt, va_list args) { return _vsnwprintf(buf, n, fmt, args); }

// Case mapping by the system's tables, as the platform's string class does.
inline void UpperBuff(char* s, size_t n) { if (n) CharUpperBuffA(s, static_cast<DWORD>(n)); }
inline void UpperBuff(wchar_t* s, size_t n) { if (n) CharUpperBuffW(s, static_cast<DWORD>(n)); }
inline void LowerBuff(char* s, size_t n) { if (n) CharLowerBuffA(s, static_cast<DWORD>(n)); }
inline void LowerBuff(wchar_t* s, size_t n) { if (n) CharLowerBuffW(s, static_cast<DWORD>(n)); }

inline int CompareNoCase(const char* a, const char* b) { return lstrcmpiA(a, b); }
inline int CompareNoCase(const wchar_t* a, const wchar_t* b) { return lstrcmpiW(a, b); }

inline bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsSpace(wchar_t c) { return iswspace(c) != 0; }

} // namespace classlib_detail

template <typename T>
class CStringT
{
public:
    using XCHAR = T;
    using PCXSTR = const T*;

    CStringT() = default;
    CStringT(const T* s) : m_s(s ? s : EmptyText()) {}
    CStringT(const T* s, int n) : m_s(s ? s : EmptyText(), s && n > 0 ? static_cast<size_t>(n) : 0) {}
    CStringT(T c, int count = 1) : m_s(count > 0 ? static_cast<size_t>(count) : 0, c) {}
    CStringT(const std::basic_string<T>& s) : m_s(s) {}

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    const T* GetString() const { return m_s.c_str(); }
    operator const T*() const { return m_s.c_str(); }
    const std::basic_string<T>& Str() const { return m_s; }

    T GetAt(int i) const { return m_s.at(static_cast<size_t>(i)); }
    T operator[](int i) const { return GetAt(i); }
    void SetAt(int i, T c) { m_s.at(static_cast<size_t>(i)) = c; }

    CStringT& operator=(const T* s) { m_s = s ? s : EmptyText(); return *this; }
    CStringT& operator=(T c) { m_s.assign(1, c); return *this; }
    CStringT& operator+=(const CStringT& s) { m_s += s.m_s; return *this; }
    CStringT& operator+=(const T* s) { if (s) m_s += s; return *this; }
    CStringT& operator+=(T c) { m_s += c; return *this; }

    friend CStringT operator+(const CStringT& a, const CStringT& b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(const CStringT& a, const T* b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(const T* a, const CStringT& b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(const CStringT& a, T b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(T a, const CStringT& b) { CStringT r(a); r += b; return r; }

    friend bool operator==(const CStringT& a, const CStringT& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CStringT& a, const T* b) { return a.Compare(b) == 0; }
    friend bool operator==(const T* a, const CStringT& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CStringT& a, const CStringT& b) { return !(a == b); }
    friend bool operator!=(const CStringT& a, const T* b) { return !(a == b); }
    friend bool operator!=(const T* a, const CStringT& b) { return !(a == b); }
    friend bool operator<(const CStringT& a, const CStringT& b) { return a.m_s < b.m_s; }

    int Compare(const T* s) const { return m_s.compare(s ? s : EmptyText()); }
    int CompareNoCase(const T* s) const { return classlib_detail::CompareNoCase(m_s.c_str(), s ? s : EmptyText()); }

    // Positions are -1 when not found, as callers test.
    int Find(T c, int start = 0) const { return Pos(m_s.find(c, Start(start))); }
    int Find(const T* s, int start = 0) const { return s ? Pos(m_s.find(s, Start(start))) : -1; }
    int ReverseFind(T c) const { return Pos(m_s.rfind(c)); }
    int FindOneOf(const T* set) const { return set ? Pos(m_s.find_first_of(set)) : -1; }

    CStringT Left(int n) const { return CStringT(m_s.substr(0, Clamp(n))); }
    CStringT Right(int n) const { size_t k = Clamp(n); return CStringT(m_s.substr(m_s.size() - k)); }
    CStringT Mid(int first) const { return CStringT(m_s.substr(Clamp(first))); }
    CStringT Mid(int first, int count) const { return CStringT(m_s.substr(Clamp(first), count > 0 ? static_cast<size_t>(count) : 0)); }

    CStringT& MakeUpper() { classlib_detail::UpperBuff(&m_s[0], m_s.size()); return *this; }
    CStringT& MakeLower() { classlib_detail::LowerBuff(&m_s[0], m_s.size()); return *this; }

    CStringT& TrimLeft() { size_t i = 0; while (i < m_s.size() && classlib_detail::IsSpace(m_s[i])) ++i; m_s.erase(0, i); return *this; }
    CStringT& TrimRight() { size_t n = m_s.size(); while (n > 0 && classlib_detail::IsSpace(m_s[n - 1])) --n; m_s.resize(n); return *this; }
    CStringT& Trim() { return TrimRight().TrimLeft(); }
    CStringT& TrimLeft(T c) { size_t i = 0; while (i < m_s.size() && m_s[i] == c) ++i; m_s.erase(0, i); return *this; }
    CStringT& TrimRight(T c) { size_t n = m_s.size(); while (n > 0 && m_s[n - 1] == c) --n; m_s.resize(n); return *this; }

    // Replaces every occurrence, scanning left to right; returns the count.
    int Replace(const T* from, const T* to)
    {
        size_t fl = classlib_detail::StrLen(from);
        if (fl == 0) return 0;
        std::basic_string<T> repl = to ? to : EmptyText();
        int count = 0;
        for (size_t pos = m_s.find(from); pos != std::basic_string<T>::npos; pos = m_s.find(from, pos + repl.size())) {
            m_s.replace(pos, fl, repl);
            ++count;
        }
        return count;
    }
    int Replace(T from, T to)
    {
        int count = 0;
        for (auto& c : m_s) if (c == from) { c = to; ++count; }
        return count;
    }
    int Remove(T c)
    {
        size_t before = m_s.size();
        m_s.erase(std::remove(m_s.begin(), m_s.end(), c), m_s.end());
        return static_cast<int>(before - m_s.size());
    }
    int Insert(int i, const T* s) { if (s) m_s.insert(Clamp(i), s); return GetLength(); }
    int Insert(int i, T c) { m_s.insert(Clamp(i), 1, c); return GetLength(); }
    int Delete(int i, int count = 1) { if (i >= 0 && count > 0 && static_cast<size_t>(i) < m_s.size()) m_s.erase(static_cast<size_t>(i), static_cast<size_t>(count)); return GetLength(); }

    // Raw buffer access: GetBuffer(n) gives room for n characters plus the terminator;
    // ReleaseBuffer(-1) takes the length from the terminator, else the given length.
    T* GetBuffer(int minLength = 0)
    {
        if (minLength > GetLength()) m_s.resize(static_cast<size_t>(minLength));
        return &m_s[0];
    }
    T* GetBufferSetLength(int length) { m_s.resize(length > 0 ? static_cast<size_t>(length) : 0); return &m_s[0]; }
    void ReleaseBuffer(int newLength = -1)
    {
        if (newLength < 0) m_s.resize(classlib_detail::StrLen(m_s.c_str()));
        else m_s.resize(std::min(static_cast<size_t>(newLength), m_s.size()));
    }

    void __cdecl Format(const T* fmt, ...)
    {
        va_list args;
        va_start(args, fmt);
        FormatV(fmt, args);
        va_end(args);
    }
    void __cdecl AppendFormat(const T* fmt, ...)
    {
        va_list args;
        va_start(args, fmt);
        CStringT tail;
        tail.FormatV(fmt, args);
        va_end(args);
        m_s += tail.m_s;
    }
    // Formats into a new buffer, so the string's own text may be one of the arguments.
    void FormatV(const T* fmt, va_list args)
    {
        std::basic_string<T> out;
        if (fmt) {
            va_list counting;
            va_copy(counting, args);
            int n = classlib_detail::VCount(fmt, counting);
            va_end(counting);
            if (n > 0) {
                out.resize(static_cast<size_t>(n) + 1);
                int written = classlib_detail::VPrint(&out[0], out.size(), fmt, args);
                out.resize(written > 0 ? static_cast<size_t>(written) : 0);
            }
        }
        m_s.swap(out);
    }

    // Loads a string resource of the calling module; false when it does not exist.
    BOOL LoadString(UINT id);

private:
    static const T* EmptyText() { static const T empty[1] = {0}; return empty; }
    static int Pos(size_t p) { return p == std::basic_string<T>::npos ? -1 : static_cast<int>(p); }
    size_t Start(int start) const { return start < 0 ? 0 : static_cast<size_t>(start); }
    size_t Clamp(int n) const { return n <= 0 ? 0 : std::min(static_cast<size_t>(n), m_s.size()); }

    std::basic_string<T> m_s;
};

using CString = CStringT<wchar_t>;
using CStringW = CStringT<wchar_t>;
using CStringA = CStringT<char>;

template <>
inline BOOL CStringT<wchar_t>::LoadString(UINT id)
{
    const wchar_t* p = nullptr;
    // Length 0 asks for a read-only pointer into the resource; the text is not terminated.
    int n = ::LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || !p) { m_s.clear(); return FALSE; }
    m_s.assign(p, static_cast<size_t>(n));
    return TRUE;
}
