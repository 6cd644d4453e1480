#include "SupportText.h"

#include <gtest/gtest.h>

namespace {

// One text per script the program meets: ASCII, Latin with accents, CJK, a character
// outside the BMP (a surrogate pair in UTF-16), Hebrew and Arabic (right-to-left).
struct Sample {
    const char* utf8;
    const wchar_t* wide;
    const char* what;
};
const Sample kSamples[] = {
    {"abc", L"abc", "ASCII"},
    {"", L"", "empty"},
    {"caf\xC3\xA9 \xC3\x9F", L"caf\u00E9 \u00DF", "Latin-1 range"},
    {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xED\x95\x9C", L"\u65E5\u672C\u8A9E \uD55C", "CJK and Hangul"},
    {"x\xF0\x9F\x98\x80y\xF0\xA0\x80\x8B", L"x\U0001F600y\U0002000B", "surrogate pairs"},
    {"\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D 12 \xD8\xB3\xD9\x84\xD8\xA7\xD9\x85", L"\u05E9\u05DC\u05D5\u05DD 12 \u0633\u0644\u0627\u0645",
     "Hebrew and Arabic"},
};

TEST(SupportText, Utf8RoundTripsEveryScript)
{
    for (const Sample& s : kSamples) {
        EXPECT_STREQ(s.wide, Utf8ToWideAll(s.utf8)) << s.what;
        EXPECT_STREQ(s.wide, Utf8ToWide(s.utf8, -1)) << s.what;
        EXPECT_STREQ(s.wide, MultiByteToWide(s.utf8, CP_UTF8)) << s.what;
        EXPECT_STREQ(s.utf8, WideToUtf8(s.wide)) << s.what;
    }
    CStringA abc = WideToUtf8(L"abc");
    ASSERT_EQ(3, abc.GetLength());
    EXPECT_EQ('a', abc[0]);
    EXPECT_EQ('c', abc[2]);
}

TEST(SupportText, NullAndEmptyGiveEmpty)
{
    EXPECT_TRUE(AnsiToWide(nullptr).IsEmpty());
    EXPECT_TRUE(MultiByteToWide(nullptr, CP_UTF8).IsEmpty());
    EXPECT_TRUE(Utf8ToWide(nullptr, 3).IsEmpty());
    EXPECT_TRUE(Utf8ToWideAll(nullptr).IsEmpty());
    EXPECT_TRUE(WideToAnsi(nullptr).IsEmpty());
    EXPECT_TRUE(WideToUtf8(nullptr).IsEmpty());
    EXPECT_TRUE(WideToUtf8(L"").IsEmpty());
    EXPECT_TRUE(StdAnsiToWide(std::string()).empty());
    CString empty;
    StringToLower(empty);
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(SupportText, Utf8LimitCutsAfterWideCharacters)
{
    struct Case { const char* in; int limit; const wchar_t* out; const char* why; };
    const Case cases[] = {
        {"abcd", 2, L"ab", "cut"},
        {"abcd", 10, L"abcd", "limit beyond the text"},
        {"abcd", 4, L"abcd", "limit equal to the length"},
        {"abcd", 0, L"", "zero keeps nothing"},
        {"abcd", -7, L"abcd", "any negative limit is no limit"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 2, L"\u65E5\u672C", "counts wide characters, not bytes"},
        {"x\xF0\x9F\x98\x80y", 2, L"x", "never splits a surrogate pair"},
        {"x\xF0\x9F\x98\x80y", 3, L"x\U0001F600", "a whole pair is kept"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.out, Utf8ToWide(c.in, c.limit)) << c.why;
}

TEST(SupportText, InvalidInputIsReplacedNotDropped)
{
    // Invalid UTF-8 (a lone continuation byte, a truncated sequence, an overlong form)
    // comes out as U+FFFD, the text around it intact.
    CString bad = Utf8ToWideAll("a\x80" "b\xE6\x97" "c\xC0\xAF" "d");
    EXPECT_EQ(L'a', bad[0]);
    EXPECT_EQ(0xFFFD, bad[1]);
    EXPECT_NE(-1, bad.Find(L'b'));
    EXPECT_NE(-1, bad.Find(L'c'));
    EXPECT_EQ(L'd', bad[bad.GetLength() - 1]);

    // Lone surrogates cannot be UTF-8: each becomes the replacement character's bytes.
    const wchar_t lone[] = {L'a', 0xD800, L'b', 0xDC00, 0};
    EXPECT_STREQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD", WideToUtf8(lone));
}

TEST(SupportText, ConversionsStopAtTheFirstTerminator)
{
    std::string withNul("ab\0cd", 5);
    EXPECT_EQ(L"ab", StdAnsiToWide(withNul));
    EXPECT_EQ(L"\u00E9t\u00E9", StdAnsiToWide("\xE9t\xE9"));  // code page 1252 under the test bed
}

TEST(SupportText, AnsiCodePage)
{
    ASSERT_EQ(1252u, GetACP()) << "the tests assume the test bed's Western code page";
    EXPECT_STREQ(L"caf\u00E9 \u20AC", AnsiToWide("caf\xE9 \x80"));
    EXPECT_STREQ("caf\xE9 \x80", WideToAnsi(L"caf\u00E9 \u20AC"));
    // What 1252 lacks becomes its default character, one per wide character.
    EXPECT_STREQ("a?b", WideToAnsi(L"a\u65E5b"));
    EXPECT_STREQ("??", WideToAnsi(L"\u05E9\u0633"));
    // Best-fit mapping may turn a surrogate pair into one or two default characters.
    CStringA pair = WideToAnsi(L"\U0001F600");
    EXPECT_TRUE(pair == "?" || pair == "??") << pair.GetString();
}

TEST(SupportText, OtherCodePages)
{
    EXPECT_STREQ(L"\u3042", MultiByteToWide("\x82\xA0", 932));       // Shift-JIS hiragana a
    EXPECT_STREQ(L"\u05E9", MultiByteToWide("\xF9", 1255));           // Hebrew shin
    EXPECT_STREQ(L"\u0410", MultiByteToWide("\xC0", 1251));           // Cyrillic A
}

TEST(SupportText, StringToLowerIsLocaleAware)
{
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        {L"ABC xyz", L"abc xyz"},
        {L"\u00C9T\u00C9", L"\u00E9t\u00E9"},
        {L"\u0391\u0392\u0393", L"\u03B1\u03B2\u03B3"},     // Greek
        {L"\u0410\u0411", L"\u0430\u0431"},                 // Cyrillic
        {L"\u65E5\u05E9 1!", L"\u65E5\u05E9 1!"},           // scripts without case stay
    };
    for (const Case& c : cases) {
        CString s(c.in);
        StringToLower(s);
        EXPECT_STREQ(c.out, s);
    }
}

} // namespace
