// The service program carries its own version data, as the clock program does.
#include "Win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring ServicePath()
{
    const char* bin = std::getenv("ZARNOCK_TEST_BIN");
    std::wstring path = L"Z:";
    for (const char* p = bin ? bin : ""; *p; ++p) path += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
    return path + L"\\kestrom.exe";
}

std::wstring Value(std::vector<BYTE>& block, const wchar_t* name)
{
    void* text = nullptr;
    UINT chars = 0;
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), &text, &chars) || !text) return L"<none>";
    return static_cast<const wchar_t*>(text);
}

TEST(ServiceVersion, FileCarriesTheReleaseAndItsMaker)
{
    const std::wstring path = ServicePath();
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u) << GetLastError();
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00050001u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00020000u, fixed->dwFileVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

    EXPECT_EQ(L"Mervale Software", Value(block, L"CompanyName"));
    EXPECT_EQ(L"Zarnock", Value(block, L"ProductName"));
    EXPECT_EQ(L"kestrom.exe", Value(block, L"OriginalFilename"));
    EXPECT_EQ(L"5.1.2.0", Value(block, L"FileVersion"));
}

} // namespace
