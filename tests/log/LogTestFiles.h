// Files and folders of the log tests: a private folder per test under the temporary folder,
// byte-exact reading, UTF-8 conversion for expected texts.
#pragma once

#include <windows.h>

#include <string>

namespace logtest {

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

std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
std::string Utf8(const std::wstring& text);
// Removes a folder and everything below it.
void RemoveTree(const std::wstring& folder);

} // namespace logtest
