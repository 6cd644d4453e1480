#include "TestRegistry.h"

#include "ProfileTestApp.h"

#include <aclapi.h>
#include <gtest/gtest.h>

namespace {

ProfileTestApp g_testApp(kTestProfileName, L"Zarnock");

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
    g_testApp.ClearStore();
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
