// The settings export of the diagnostic archive: a registry key tree written in the text
// form of the Windows registry editor ("REGEDIT4": ANSI, CR LF line ends).
#pragma once

#include "ClassLib.h"

#include <string>

// "REGEDIT4", then the key and every key below it; false when the key cannot be read or a
// write fails (the file keeps what was written).
bool ExportRegistryKey(HKEY root, const char* subKey, HANDLE file);
// One key line and its values, then its sub-keys; a sub-key that cannot be opened ends the
// walk with false. A key whose name REGEDIT4 cannot hold is left out with its sub-keys (logged).
bool ExportRegistrySubKey(const char* parentPath, HKEY parentKey, const char* name, HANDLE file);
// One value line; "Data7" and "Data6" are left out, and so (logged) is a value whose name
// REGEDIT4 cannot hold.
bool ExportRegistryValue(HANDLE file, const char* name, DWORD type, const BYTE* data, DWORD size);
// Writes all bytes or throws CRegExportWriteError.
void RegExportWrite(HANDLE file, const void* bytes, DWORD count);

// The text of one value line, CR LF included; empty for a name REGEDIT4 cannot hold.
std::string RegExportValueLine(const char* name, DWORD type, const BYTE* data, DWORD size);
// False for a name that would break its line: a control character in a key or value name,
// or "]" in a key name.
bool RegExportNameFits(const char* name, bool keyName);
// The name of a predefined root key, or "UNKNOWN".
const char* RegExportRootName(HKEY root);

struct CRegExportWriteError
{
    DWORD error;
};
