// The file status query: its refusals and what it reads of a file and a folder.
#include "FileEx.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

TEST(FileStatus, QueriesAndRefusals)
{
    CFileExStatus status;
    EXPECT_FALSE(CFileEx::GetStatus(nullptr, status));
    EXPECT_FALSE(CFileEx::GetStatus(CString(L'a', MAX_PATH), status)) << "260 characters are refused";
    const CString dir = zntest::TempFolderPath().c_str();
    EXPECT_FALSE(CFileEx::GetStatus(dir + L"zarnock_fileex_missing.txt", status));

    const CString path = dir + L"zarnock_fileex_status.txt";
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    WriteFile(h, "0123456789", 10, &written, nullptr);
    CloseHandle(h);

    ASSERT_TRUE(CFileEx::GetStatus(path, status));
    EXPECT_EQ(10u, status.m_size);
    EXPECT_EQ(0u, status.m_attribute & FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(0u, status.m_attribute & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0, lstrcmpiW(path, status.m_szFullName));
    EXPECT_NE(0u, status.m_mtime.dwHighDateTime);
    EXPECT_NE(0u, status.m_ctime.dwHighDateTime);
    EXPECT_NE(0u, status.m_atime.dwHighDateTime);
    DeleteFileW(path);

    ASSERT_TRUE(CFileEx::GetStatus(dir, status));
    EXPECT_NE(0u, status.m_attribute & FILE_ATTRIBUTE_DIRECTORY);
}
