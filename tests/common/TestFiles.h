// Files and folders of the tests: unique temporary names (test programs run in parallel in
// one Wine prefix), private folders removed with what they hold, and byte-exact reading.
#pragma once

#include <windows.h>

#include <string>

namespace zntest {

// The temporary folder, with its trailing backslash.
std::wstring TempFolderPath();
// A name in the temporary folder no other test program and no earlier call uses:
// stem, the process id and a serial number, then extension.
std::wstring UniqueTempPath(const wchar_t* stem, const wchar_t* extension = L".txt");

// A fresh folder (with a trailing backslash) removed again with everything in it.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::wstring Path(const wchar_t* name) const { return m_path + name; }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

// The whole file as it is on disk, read while others may still write it; empty when missing.
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
void WriteBytes(const std::wstring& path, const void* bytes, size_t size);
bool FileExists(const std::wstring& path);
std::string Utf8(const std::wstring& text);
// Removes a folder and everything below it.
void RemoveTree(const std::wstring& folder);

} // namespace zntest
