#include "ClassLib.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {
CString TempPath(const wchar_t* name)
{
    return CString((zntest::TempFolderPath() + name).c_str());
}
}

TEST(CFile, OpenModesAndSharing)
{
    CString path = TempPath(L"classlib_cfile_test.bin");
    DeleteFileW(path);

    CFile f;
    ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyNone));
    f.Write("hello", 5);
    f.Flush();
    EXPECT_EQ(5u, f.GetLength());

    // An exclusive open while this handle is open is a sharing violation.
    CFile g;
    CFileException e;
    EXPECT_FALSE(g.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive, &e));
    EXPECT_EQ(CFileException::sharingViolation, e.m_cause);
    EXPECT_EQ(ERROR_SHARING_VIOLATION, e.m_lOsError);
    f.Close();

    // No-truncate keeps the content; plain create truncates it.
    ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyNone));
    EXPECT_EQ(5u, f.SeekToEnd());
    f.Close();
    ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeWrite));
    EXPECT_EQ(0u, f.GetLength());
    f.Close();
    DeleteFileW(path);
}

TEST(CFile, FailuresCarryTheirCause)
{
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(TempPath(L"no_such_folder_zk\\x.txt"), CFile::modeRead, &e));
    EXPECT_EQ(CFileException::badPath, e.m_cause);
    EXPECT_FALSE(f.Open(TempPath(L"no_such_file_zk.txt"), CFile::modeRead, &e));
    EXPECT_EQ(CFileException::fileNotFound, e.m_cause);

    // Writing to a file opened for reading throws a CFileException*.
    CString path = TempPath(L"classlib_cfile_ro.bin");
    ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeWrite));
    f.Close();
    ASSERT_TRUE(f.Open(path, CFile::modeRead));
    int cause = -1;
    try {
        f.Write("x", 1);
    } catch (CFileException* ex) {
        cause = ex->m_cause;
        ex->Delete();
    }
    EXPECT_EQ(CFileException::accessDenied, cause);
    f.Close();
    DeleteFileW(path);
}
