// The gzip decoder on bodies made by Debian's gzip and on broken ones, and the decoding of
// a response body by its headers.
#include "LogCapture.h"
#include "ReportTestSupport.h"
#include "TestFiles.h"

#include "SupportTools/HTTP/GZip.h"
#include "SupportTools/HTTP/SupportCurl.h"

#include <gmock/gmock.h>

namespace {

std::string Read(const wchar_t* name)
{
    return zntest::ReadBytes(SiteDir() + L"\\" + name);
}

// A gzip member of data made here with zlib's own gzip wrapper (window bits 31).
std::string ZlibGzip(const std::string& data)
{
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())) + 64, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(&out[0]);
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

bool Decode(CGZip& gz, const std::string& bytes)
{
    return gz.Decompress(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

std::string Output(const CGZip& gz)
{
    return std::string(reinterpret_cast<const char*>(gz.Output()), gz.OutputLength());
}

TEST(GZipTest, DecodesWhatDebiansGzipMade)
{
    ASSERT_FALSE(SiteDir().empty()) << "run through ctest: the http_site fixture makes the files";
    const std::string mega = Read(L"mega.txt");
    ASSERT_EQ(mega.size(), 1u << 20);
    struct {
        const wchar_t* file;
        std::string expected;
    } cases[] = {
        {L"version-named.gz", "5.1.3.0"},  // with the file name stored (FNAME)
        {L"version-plain.gz", "5.1.3.0"},
        {L"mega.gz", mega},                // many 16 KB rounds, exactly at the cap
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(zntest::Utf8(c.file));
        CGZip gz;
        ASSERT_TRUE(Decode(gz, Read(c.file)));
        EXPECT_TRUE(Output(gz) == c.expected);
        EXPECT_EQ(gz.Output()[gz.OutputLength()], 0) << "the output ends in a zero";
    }
}

std::string WithHeader(const std::string& good, BYTE flags, const std::string& fields)
{
    std::string out = good.substr(0, 10);
    out[3] = static_cast<char>(flags);
    return out + fields + good.substr(10);
}

TEST(GZipTest, ReadsEveryOptionalHeaderField)
{
    const std::string good = ZlibGzip("5.1.3.0");
    const std::string extra("\x03\x00" "abc", 5);
    const std::string all = WithHeader(good, 0x1E, extra + std::string("name\0comment\0", 13) + "\x12\x34");
    CGZip gz;
    ASSERT_TRUE(Decode(gz, all));
    EXPECT_EQ(Output(gz), "5.1.3.0");
}

// The trailer's length only sizes the output: the data decides what comes out.
TEST(GZipTest, TrailerThatMisstatesTheLengthDecodesTheData)
{
    std::string data(200000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + (i * 7919) % 23);
    const std::string good = ZlibGzip(data);
    const struct {
        DWORD stated;
        const char* why;
    } cases[] = {{10, "too small"}, {CGZip::kMaxOutput, "the cap"}, {CGZip::kMaxOutput + 1, "past the cap"},
                 {0xFFFFFFFF, "the largest"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string lying = good;
        for (int i = 0; i < 4; ++i) lying[lying.size() - 4 + i] = static_cast<char>((c.stated >> (8 * i)) & 0xFF);
        CGZip gz;
        ASSERT_TRUE(Decode(gz, lying));
        EXPECT_TRUE(Output(gz) == data);
        EXPECT_EQ(gz.Output()[gz.OutputLength()], 0);
    }
}

TEST(GZipTest, RefusesBrokenMembers)
{
    LogCapture log;
    const std::string good = ZlibGzip("5.1.3.0");
    std::string bomb = ZlibGzip(std::string(CGZip::kMaxOutput + 1, '\0'));
    std::string badMagic = good, badMethod = good, corrupt = good;
    badMagic[1] = '\x8C';
    badMethod[2] = 7;
    for (int i = 10; i < 16; ++i) corrupt[i] = '\xFF';
    const struct {
        std::string bytes;
        const char* why;
    } cases[] = {
        {std::string(), "no input"},
        {good.substr(0, 9), "shorter than a header"},
        {badMagic, "not gzip"},
        {badMethod, "not deflate"},
        {WithHeader(good, 0x20, ""), "a reserved flag"},
        {WithHeader(good, 0x04, std::string("\xFF\x7F", 2)), "an extra field past the end"},
        {WithHeader(good, 0x08, "").substr(0, 10) + "name-without-end", "a name without its end"},
        {WithHeader(good, 0x10, "").substr(0, 10) + "comment", "a comment without its end"},
        {good.substr(0, 10) + std::string(1, '\0'), "FHCRC past the end", },
        {good.substr(0, good.size() - 1), "cut inside the trailer"},
        {good.substr(0, 14), "cut inside the deflate data"},
        {corrupt, "corrupt deflate data"},
        {bomb, "inflates past the cap"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CGZip gz;
        EXPECT_TRUE(Decode(gz, good));
        const size_t errors = log.Entries(" * ").size();
        EXPECT_FALSE(Decode(gz, c.bytes));
        EXPECT_EQ(gz.OutputLength(), 0u);
        EXPECT_GT(log.Entries(" * ").size(), errors) << "the failure is logged";
    }
}

curl_slist* Lines(std::initializer_list<const char*> lines, CCurlStringList& list)
{
    for (const char* line : lines) list.Append(line);
    return list.Get();
}

TEST(SupportCurlTest, DecodesOnlyGzipByItsHeader)
{
    LogCapture log;
    const std::string coded = ZlibGzip("5.1.3.0");
    const struct {
        std::initializer_list<const char*> headers;
        std::string body;
        std::string expected;
        bool logged;
    } cases[] = {
        {{"HTTP/1.1 200 OK", "CONTENT-ENCODING: GZIP"}, coded, "5.1.3.0", false},
        {{"Content-Encoding: gzip"}, coded, "5.1.3.0", false},
        {{"Content-Encoding: deflate"}, coded, coded, false},
        {{"Content-Type: text/plain"}, coded, coded, false},
        {{"Content-Encoding: gzip"}, "5.1.3.0", "5.1.3.0", true},  // labelled gzip, but plain
        {{"Content-Encoding: gzip"}, "", "", false},
    };
    for (const auto& c : cases) {
        CCurlStringList list;
        std::string body = c.body;
        const size_t errors = log.Entries(" * ").size();
        DecodeResponseBody(Lines(c.headers, list), body);
        EXPECT_TRUE(body == c.expected);
        EXPECT_EQ(log.Entries(" * ").size() > errors, c.logged);
    }
    CCurlStringList list;
    Lines({"X-One: a", "x-two: B c", "X-Two: second"}, list);
    EXPECT_EQ(GetHeaderValue(list.Get(), "x-two: "), "B c");
    EXPECT_EQ(GetHeaderValue(list.Get(), "x-three: "), "");
}

TEST(SupportCurlTest, CollectsHeaderLinesWithoutTheirEnds)
{
    LogCapture log;
    CCurlStringList list;
    char status[] = "HTTP/1.1 200 OK\r\n", end[] = "\r\n", one[] = "x", bare[] = "X-Bare: 1";
    EXPECT_EQ(CollectHeaderLine(status, 1, strlen(status), &list), strlen(status));
    EXPECT_EQ(CollectHeaderLine(end, 1, 2, &list), 2u);
    EXPECT_TRUE(log.Entries(" * ").empty()) << "the end of the headers is not an error";
    EXPECT_EQ(CollectHeaderLine(one, 1, 1, &list), 1u);
    EXPECT_EQ(log.Entries(" * ").size(), 1u) << "a one-byte line is dropped and logged";
    EXPECT_EQ(CollectHeaderLine(bare, 1, strlen(bare), &list), strlen(bare));
    EXPECT_EQ(log.Entries(" * ").size(), 2u) << "a line without its end is kept and logged";
    std::vector<std::string> kept;
    for (curl_slist* item = list.Get(); item; item = item->next) kept.push_back(item->data);
    EXPECT_THAT(kept, testing::ElementsAre("HTTP/1.1 200 OK", "X-Bare: 1"));
}

}  // namespace
