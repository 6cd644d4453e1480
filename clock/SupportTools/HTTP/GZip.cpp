#include "SupportTools/HTTP/GZip.h"

#include "Log/LogMan.h"

#include <cstring>
#include <utility>

namespace {
constexpr DWORD kChunk = 16384;
constexpr DWORD kGrowStep = 65536;
constexpr BYTE kFlagHcrc = 0x02, kFlagExtra = 0x04, kFlagName = 0x08, kFlagComment = 0x10;
// The bits above FCOMMENT are reserved: a header that sets one is not one we can read.
constexpr BYTE kFlagsLimit = 0x20;
constexpr DWORD kTrailer = 8;  // CRC-32 and length of the member, not compared
}  // namespace

CGZip::CGZip() = default;

CGZip::~CGZip()
{
    FreeOutput(__LINE__);
}

void CGZip::FreeOutput(int line)
{
    if (const DWORD error = m_output.Close())
        CLogMan::LogError(GetAppLogMan(), error, L"LocalFree", LOG_ERROR, __FILE__, line);
    m_outputLength = 0;
    m_capacity = 0;
}

bool CGZip::Grow(DWORD capacity)
{
    // One byte more than the capacity: the output always ends in a zero, so it can be read
    // as text.
    CLocalMemory grown(LocalAlloc(LMEM_ZEROINIT, capacity + 1));
    if (!grown) {
        ZN_LOG_ERROR(GetLastError(), L"LocalAlloc", LOG_ERROR);
        return false;
    }
    if (m_output) {
        memcpy(grown.Get(), m_output.Get(), m_outputLength);
        if (const DWORD error = m_output.Close()) ZN_LOG_ERROR(error, L"LocalFree", LOG_ERROR);
    }
    m_output = std::move(grown);
    m_capacity = capacity;
    return true;
}

bool CGZip::Append(const BYTE* data, DWORD count)
{
    if (count == 0) return true;
    if (count > kMaxOutput - m_outputLength) {
        ZN_LOG(LOG_ERROR, L"gzip output over " << kMaxOutput << L" bytes");
        return false;
    }
    if (m_outputLength + count > m_capacity && !Grow(((m_outputLength + count) / kGrowStep + 1) * kGrowStep))
        return false;
    memcpy(Bytes() + m_outputLength, data, count);
    m_outputLength += count;
    return true;
}

int CGZip::HeaderLength(const BYTE* data, DWORD length, int* badValue)
{
    *badValue = 0;
    if (!data || length < 10) return Z_DATA_ERROR;
    if (data[0] != 0x1F) return *badValue = data[0], Z_DATA_ERROR;
    if (data[1] != 0x8B) return *badValue = data[1], Z_DATA_ERROR;
    if (data[2] != Z_DEFLATED) return *badValue = data[2], Z_DATA_ERROR;
    const BYTE flags = data[3];
    if (flags >= kFlagsLimit) return *badValue = flags, Z_DATA_ERROR;

    DWORD pos = 10;
    if (flags & kFlagExtra) {
        if (length - pos < 2) return Z_DATA_ERROR;
        const DWORD extra = data[pos] | (data[pos + 1] << 8);
        pos += 2;
        if (length - pos < extra) return Z_DATA_ERROR;
        pos += extra;
    }
    for (BYTE flag : {kFlagName, kFlagComment}) {
        if (!(flags & flag)) continue;
        const void* end = memchr(data + pos, 0, length - pos);
        if (!end) return Z_DATA_ERROR;
        pos = static_cast<DWORD>(static_cast<const BYTE*>(end) - data) + 1;
    }
    if (flags & kFlagHcrc) {
        if (length - pos < 2) return Z_DATA_ERROR;
        pos += 2;
    }
    return static_cast<int>(pos);
}

bool CGZip::Decompress(const BYTE* data, DWORD length)
{
    FreeOutput(__LINE__);
    m_input = data;
    m_inputLength = length;
    if (!data || length == 0) {
        ZN_LOG_ERROR(static_cast<DWORD>(Z_DATA_ERROR), L"gzip: no input", LOG_ERROR);
        return false;
    }

    m_stream = z_stream{};
    int result = inflateInit2_(&m_stream, -MAX_WBITS, ZLIB_VERSION, static_cast<int>(sizeof(z_stream)));
    if (result != Z_OK) {
        ZN_LOG_ERROR(static_cast<DWORD>(result), L"inflateInit2_", LOG_ERROR);
        return false;
    }

    int badValue = 0;
    const int header = HeaderLength(data, length, &badValue);
    bool ok = false;
    if (header < 0) {
        ZN_LOG_ERROR(static_cast<DWORD>(badValue ? badValue : header), L"gzip header", LOG_ERROR);
    } else {
        // The member's trailer gives its decoded length: room for all of it at once saves
        // a copy for every 64 KB of output. A trailer that lies only costs growth (or, up to
        // the cap, unused room).
        const DWORD stated = length >= static_cast<DWORD>(header) + kTrailer
                                 ? data[length - 4] | (data[length - 3] << 8) | (data[length - 2] << 16) |
                                       (static_cast<DWORD>(data[length - 1]) << 24)
                                 : 0;
        if (stated > 0 && stated <= kMaxOutput) Grow(stated);
        m_stream.next_in = const_cast<Bytef*>(data + header);
        m_stream.avail_in = length - static_cast<DWORD>(header);
        BYTE chunk[kChunk];
        bool appended = true;
        do {
            m_stream.next_out = chunk;
            m_stream.avail_out = kChunk;
            result = inflate(&m_stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END) {
                ZN_LOG_ERROR(static_cast<DWORD>(result), L"inflate", LOG_ERROR);
                break;
            }
            appended = Append(chunk, kChunk - m_stream.avail_out);
        } while (appended && result == Z_OK && m_stream.avail_out == 0);

        if (appended && result == Z_STREAM_END) {
            if (m_stream.avail_in >= kTrailer)
                ok = true;
            else
                ZN_LOG_ERROR(static_cast<DWORD>(Z_DATA_ERROR), L"gzip trailer missing", LOG_ERROR);
        } else if (appended && result == Z_OK) {
            ZN_LOG_ERROR(static_cast<DWORD>(Z_BUF_ERROR), L"gzip data ends early", LOG_ERROR);
        }
    }
    const int ended = inflateEnd(&m_stream);
    if (ended != Z_OK) ZN_LOG_ERROR(static_cast<DWORD>(ended), L"inflateEnd", LOG_ERROR);
    if (!ok) FreeOutput(__LINE__);
    return ok;
}
