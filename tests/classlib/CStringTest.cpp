#include "ClassLib.h"

#include <gtest/gtest.h>

TEST(CString, FormatUsesMicrosoftConventions)
{
    CString s;
    s.Format(L"%s|%S|%#010Ix|%I64d|%#02d", L"wide", "narrow", static_cast<size_t>(0x1f), 1234567890123LL, 7);
    EXPECT_STREQ(L"wide|narrow|0x0000001f|1234567890123|07", s);

    CStringA a;
    a.Format("%s-%d", "x", 5);
    EXPECT_STREQ("x-5", a);
}

TEST(CString, FormatLongTextAndEmpty)
{
    CString s;
    s.Format(L"%s", CString(L'x', 5000).GetString());
    EXPECT_EQ(5000, s.GetLength());
    s.Format(L"%s", L"");
    EXPECT_TRUE(s.IsEmpty());
    s.AppendFormat(L"%d", 1);
    s.AppendFormat(L"%d", 2);
    EXPECT_STREQ(L"12", s);
}

TEST(CString, SearchAndSlicesStayInRange)
{
    CString s(L"znc_log_exec.txt");
    EXPECT_EQ(12, s.ReverseFind(L'.'));
    EXPECT_EQ(-1, s.Find(L'#'));
    EXPECT_EQ(4, s.Find(L"log"));
    EXPECT_EQ(-1, s.Find(L"log", 5));
    EXPECT_STREQ(L"znc", s.Left(3));
    EXPECT_STREQ(L".txt", s.Right(4));
    EXPECT_STREQ(L"exec.txt", s.Mid(8));
    EXPECT_STREQ(L"exec", s.Mid(8, 4));
    // Out-of-range arguments give empty or whole text, never a throw.
    EXPECT_STREQ(L"", s.Left(-1));
    EXPECT_STREQ(s, s.Right(1000));
    EXPECT_STREQ(L"", s.Mid(1000));
    EXPECT_STREQ(L"", s.Mid(3, -2));
}

TEST(CString, ReplaceScansLeftToRightOnce)
{
    CString s(L"a\n\n\nb");
    EXPECT_EQ(1, s.Replace(L"\n\n", L"\n"));
    EXPECT_STREQ(L"a\n\nb", s);

    CString t(L"aaa");
    EXPECT_EQ(3, t.Replace(L"a", L"aa"));  // replacement text is not rescanned
    EXPECT_STREQ(L"aaaaaa", t);
    EXPECT_EQ(0, t.Replace(L"", L"x"));
}

TEST(CString, BufferRoundTrip)
{
    CString s;
    wchar_t* p = s.GetBuffer(10);
    wcscpy(p, L"abc");
    s.ReleaseBuffer();
    EXPECT_EQ(3, s.GetLength());
    p = s.GetBuffer(0);
    p[1] = L'X';
    s.ReleaseBuffer(2);
    EXPECT_STREQ(L"aX", s);
}

TEST(CString, CaseAndTrim)
{
    CString s(L"  Hebrew\t ");
    s.Trim();
    EXPECT_STREQ(L"Hebrew", s);
    EXPECT_EQ(0, s.CompareNoCase(L"HEBREW"));
    EXPECT_STREQ(L"HEBREW", CString(s).MakeUpper());
    EXPECT_STREQ(L"\x00e9t\x00e9", CString(L"\x00c9T\x00c9").MakeLower());
}

TEST(CString, FormatMayTakeItsOwnText)
{
    CString s(L"C:\\temp\\");
    s.Format(L"%szn_%d", s.GetString(), 7);
    EXPECT_STREQ(L"C:\\temp\\zn_7", s);
}
