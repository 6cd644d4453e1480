// CZipHelper: writes one new zip archive from files and folder trees on disk (minizip's zip
// writer, deflate at level 9), logging every failure; the diagnostic archive packs the logs,
// the settings export and a crash dump with it.
#pragma once

#include "ClassLib.h"

#include <vector>

// How the writer reads its sources: ReadFile, or a test's reader that fails as a disk would.
using ZipReadFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);

class CZipHelper
{
public:
    explicit CZipHelper(ZipReadFn readSource = ReadFile) : m_readSource(readSource) {}
    virtual ~CZipHelper();
    CZipHelper(const CZipHelper&) = delete;
    CZipHelper& operator=(const CZipHelper&) = delete;

    // Creates a new archive; FALSE (logged) when one is already open or it cannot be made.
    BOOL Open(const wchar_t* archivePath);
    // TRUE when the archive was written out completely (or none was open). Only then are
    // the files added with deleteSource deleted.
    BOOL Close();
    // One file as folderName\<its name>; with filter only ".txt" and ".dmp" files. With
    // deleteSource the file goes once the archive is closed. TRUE when it was added; a file
    // that could not be read whole leaves an entry that fails its CRC check.
    BOOL AddFile(const wchar_t* folderName, const wchar_t* sourcePath, BOOL filter, BOOL deleteSource);
    // A file, or a folder tree below folderName; the number of files added.
    int AddFolder(const wchar_t* folderName, const wchar_t* sourcePath, BOOL filter, BOOL deleteSource);

    bool IsOpen() const { return m_archive != nullptr; }

    void* m_archive = nullptr;  // minizip's zipFile
    CString m_archivePath;

private:
    // Deflates the open source into the open entry; false when a read or write failed.
    bool WriteEntryData(HANDLE source, const wchar_t* sourcePath, unsigned long& crc, unsigned long& size);

    ZipReadFn m_readSource;
    std::vector<CString> m_deleteAfterClose;
};
