// Helpers between the settings store and the installation: a new installation (a new
// installer stamp) gets its first-run defaults; the installer's key tells where the program
// and its data live.
#pragma once

#include "ClassLib.h"

// HKEY_LOCAL_MACHINE\SOFTWARE\<company>\Zarnock\Install, below the application's registry key.
CString GetInstallKeyPath();
// A value of the install key, trimmed; empty when absent.
CString ReadInstallValue(const wchar_t* name);
// The install path + "\Zarnock.exe"; empty without an install path.
CString GetMainExePath();
// Six digits from the installer's 12-digit stamp, "no" without a stamp, else the stamp itself.
CString GetInstallDate();
// The shared "Sounds" folder (+ file); false for any other folder name or a failure.
bool GetSharedDataFilePath(const wchar_t* folderName, const wchar_t* fileName, CString* path);
// True when a new install stamp was found and its defaults were applied.
bool ApplyFirstRunDefaults();
