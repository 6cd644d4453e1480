// Helpers between the settings store, the installation and the clock font: the font is
// stored with its size in points; a new installation (a new installer stamp) gets its
// first-run defaults; the installer's key tells where the program and its data live.
#pragma once

#include "ClassLib.h"

// Fills the font from a binary setting (a 92-byte LOGFONTW, or the older 60-byte
// LOGFONTA) with lfHeight in screen pixels; anything else gives the full defaults (bold
// italic at the default size). Returns the "CFQ" setting read on the way.
int ReadProfileFont(LOGFONTW* font, const wchar_t* section, const wchar_t* entry, int defaultPoints);
// Stores the font as 92 bytes with its height in points; nothing without an application object.
void WriteProfileFont(const LOGFONTW& font, const wchar_t* section, const wchar_t* entry);

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

CString GetDefaultClockFormat();
