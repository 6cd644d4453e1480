// Registry access outside the settings store: the install key, the autostart key, file
// associations, the mail client and the Windows version key. A missing key or value
// yields the caller's default silently; every other failure is logged with its system
// code and text and yields the default, false or the code. No helper throws.
#pragma once

#include "ClassLib.h"

// KEY_QUERY_VALUE | KEY_WOW64_64KEY | READ_CONTROL: reading the 64-bit view from a 32-bit process.
constexpr REGSAM kRegistryRead64Access = 0x20101;

// The access mask a read helper opens its key with; 0 means the plain RegOpenKeyW.
// Only HKEY_LOCAL_MACHINE of a process under WOW64 has a separate 64-bit view to ask for.
REGSAM RegistryReadAccess(HKEY root, BOOL view64, BOOL wow64);

DWORD RegistryReadDword(HKEY root, const wchar_t* subKey, const wchar_t* name, DWORD defaultValue, BOOL view64);
CString RegistryReadString(HKEY root, const wchar_t* subKey, const wchar_t* name, const wchar_t* defaultValue,
                           BOOL view64);
// 0 on success, else the system error code. keyOpened (when given) tells a failed set from a
// key that could not be created or opened.
LSTATUS RegistryWriteString(HKEY root, const wchar_t* subKey, const wchar_t* name, const wchar_t* text,
                            LPSECURITY_ATTRIBUTES security, bool* keyOpened = nullptr);
bool RegistryDeleteValue(HKEY root, const wchar_t* subKey, const wchar_t* name);

// The current user's Run value named name, which starts the program with Windows.
CString ReadRunValue(const wchar_t* name);
LSTATUS WriteRunValue(const wchar_t* name, const wchar_t* command, bool* keyOpened = nullptr);
bool DeleteRunValue(const wchar_t* name);
