// CGZip: decodes one gzip member (RFC 1952) of an HTTP body. The header is read here;
// the deflate data is inflated by zlib's raw inflate.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"

#include <zlib.h>

class CGZip
{
public:
    // Neither the decoded output nor the input may pass this: a small body that inflates
    // past it (a gzip bomb) is refused rather than followed.
    static constexpr DWORD kMaxOutput = 1 << 20;

    CGZip();
    ~CGZip();
    CGZip(const CGZip&) = delete;
    CGZip& operator=(const CGZip&) = delete;

    // True when a whole gzip member with its trailer was decoded; the result is then in
    // Output() / OutputLength() until the next call or the object's end.
    bool Decompress(const BYTE* data, DWORD length);

    const BYTE* Output() const { return Bytes(); }
    DWORD OutputLength() const { return m_outputLength; }

    // The length of the gzip header at the start of data, or a negative zlib error, or the
    // offending byte value (magic, method, flags) as a positive code in *badValue.
    static int HeaderLength(const BYTE* data, DWORD length, int* badValue);

private:
    void FreeOutput(int line);
    bool Append(const BYTE* data, DWORD count);
    // A new buffer of the capacity with the output so far; false (and logged) when none.
    bool Grow(DWORD capacity);
    BYTE* Bytes() const { return static_cast<BYTE*>(m_output.Get()); }

    CLocalMemory m_output;
    DWORD m_outputLength = 0;
    const BYTE* m_input = nullptr;
    DWORD m_inputLength = 0;
    DWORD m_capacity = 0;
    z_stream m_stream{};
};
