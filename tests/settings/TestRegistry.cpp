#include "TestRegistry.h"

#include <aclapi.h>
#include <gtest/gtest.h>

namespace {

struct TestApplication : CWinApp
{
    TestApplication() : CWinApp(L"Zarnock")
    {
        SetRegistryKey(L"Mervale Software");
        m_pszProfileName = kTestProfileName;
    }
};

TestApplication g_testApp;

HKEY CreateKey(const wchar_t* path)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                             nullptr));
    return key;
}

} // namespace

CWinApp& TestApp()
{
    return g_testApp;
}

void ClearTestStore()
{
    LockKey(kTestRawKey, false);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestStoreKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestStoreKey);
}

void WriteRawValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD bytes)
{
    HKEY key = CreateKey(path);
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes));
    RegCloseKey(key);
}

void WriteRawDword(const wchar_t* path, const wchar_t* name, DWORD value)
{
    WriteRawValue(path, name, REG_DWORD, &value, sizeof(value));
}

void WriteRawString(const wchar_t* path, const wchar_t* name, const wchar_t* text, DWORD type)
{
    WriteRawValue(path, name, type, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

bool ReadRawValue(const wchar_t* path, const wchar_t* name, DWORD* type, std::vector<BYTE>* data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    bool ok = RegQueryValueExW(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        data->assign(size, 0);
        ok = RegQueryValueExW(key, name, nullptr, type, data->data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

void LockKey(const wchar_t* path, bool locked)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
    if (locked) {
        ACL empty;
        InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
        SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, &empty, nullptr);
    } else {
        // A null access list grants everyone everything again.
        SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
    }
    RegCloseKey(key);
}

CString StorePath(const wchar_t* section)
{
    return CString(kTestStoreKey) + L"\\" + section;
}

CapturedLog::CapturedLog()
{
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"zst", 0, m_path);
    EXPECT_EQ(S_OK, m_log.OpenFile(m_path, L'-', FALSE, 0, 1 << 20));
    SetAppLogMan(&m_log);
}

CapturedLog::~CapturedLog()
{
    SetAppLogMan(nullptr);
    m_log.Close();
    DeleteFileW(m_path);
}

std::string CapturedLog::Text()
{
    m_log.Flush();
    std::string bytes;
    HANDLE file = CreateFileW(m_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof(buf), &got, nullptr) && got) bytes.append(buf, got);
    CloseHandle(file);
    return bytes;
}
