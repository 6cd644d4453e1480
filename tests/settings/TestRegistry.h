// The settings tests' own corner of the registry: the application object's store under a
// profile name no other test executable uses, and raw keys for writing damaged values.
#pragma once

#include "ClassLib.h"
#include "LogCapture.h"

#include <string>

#include <ostream>
#include <vector>

// Readable failure messages for the class library's strings.
inline void PrintTo(const CString& s, std::ostream* os)
{
    *os << "L\"";
    for (wchar_t c : s.Str()) {
        if (c >= 0x20 && c < 0x7F) *os << static_cast<char>(c);
        else *os << "\\x" << std::hex << static_cast<unsigned>(c) << std::dec;
    }
    *os << "\"";
}

constexpr const wchar_t* kTestProfileName = L"ZarnockSettingsTests";
// HKEY_CURRENT_USER path of the test application's store.
constexpr const wchar_t* kTestStoreKey = L"Software\\Mervale Software\\ZarnockSettingsTests";
// A scratch key for the registry helpers, below the store so one delete clears all.
constexpr const wchar_t* kTestRawKey = L"Software\\Mervale Software\\ZarnockSettingsTests\\Raw";

CWinApp& TestApp();
// Deletes the whole test store (every section and the raw key).
void ClearTestStore();

// Writes a value of any type straight into HKEY_CURRENT_USER\path, creating the key.
void WriteRawValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD bytes);
void WriteRawDword(const wchar_t* path, const wchar_t* name, DWORD value);
void WriteRawString(const wchar_t* path, const wchar_t* name, const wchar_t* text, DWORD type = REG_SZ);
// The raw value; false when it is missing.
bool ReadRawValue(const wchar_t* path, const wchar_t* name, DWORD* type, std::vector<BYTE>* data);
// Replaces the key's access list by an empty one, so nobody may open it; LockKey(false) undoes it.
void LockKey(const wchar_t* path, bool locked);
// "Common" etc. below the test store.
CString StorePath(const wchar_t* section);
