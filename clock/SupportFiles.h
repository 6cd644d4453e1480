// Paths, folders and files: the shell's special folders, the temporary folder and unique
// temporary files, joining and splitting paths, folder trees, deletion through the shell
// and existence tests. Each logs its own failures and returns an empty or false result.
#pragma once

#include "ClassLib.h"

// out holds MAX_PATH characters; with create set the folder is made when missing.
bool GetShellFolderPath(HWND owner, wchar_t* out, int csidl, bool create);
// The temporary folder with its trailing backslash, or that folder + subFolder (created).
CString GetTempFolder(const wchar_t* subFolder);
// A new, empty, uniquely named file in GetTempFolder(subFolder).
CString CreateTempFileName(const wchar_t* subFolder);
// Joins part to path; a result that would not fit MAX_PATH leaves path unchanged.
void AppendPath(CString& path, const wchar_t* part);
// 0 on success (also for an existing folder), else the system error.
int CreateDirectoryTree(const wchar_t* path, HWND owner, const SECURITY_ATTRIBUTES* security);
void SplitExtension(const wchar_t* name, CString& base, CString& extension);
void SplitPath(const wchar_t* path, CString& folder, CString& fileName);
// 0 on success, the shell's error code, or -1 for a path longer than MAX_PATH. Folders go
// with their contents; without permanent the Recycle Bin takes them.
int ShellDeletePath(const wchar_t* path, bool permanent);
bool FileExists(const wchar_t* path);
bool FolderExists(const wchar_t* path);
