#include "ZipHelper.h"
#include "CHandle.h"

#include "FileEx.h"
#include "Log/LogMan.h"
#include "SupportFiles.h"
#include "SupportText.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdio>
#include <vector>

namespace {

constexpr DWORD kChunkBytes = 16384;
constexpr int kLevel = 9;
constexpr int kMemLevel = 8;  // zlib's default, as minizip uses it

// minizip opens its file by an 8-bit name; it is handed UTF-8 here and opened by its wide
// name, so a temporary folder whose path the ANSI code page cannot spell still works.
voidpf ZCALLBACK OpenByUtf8Name(voidpf, const char* name, int mode)
{
    const wchar_t* how = nullptr;
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) how = L"rb";
    else if (mode & ZLIB_FILEFUNC_MODE_EXISTING) how = L"r+b";
    else if (mode & ZLIB_FILEFUNC_MODE_CREATE) how = L"wb";
    if (!name || !how) return nullptr;
    return _wfopen(Utf8ToWideAll(name), how);
}

bool HasArchiveExtension(const wchar_t* path)
{
    wchar_t ext[_MAX_EXT] = {};
    if (_wsplitpath_s(path, nullptr, 0, nullptr, 0, nullptr, 0, ext, _MAX_EXT) != 0) return false;
    return lstrcmpiW(ext, L".txt") == 0 || lstrcmpiW(ext, L".dmp") == 0;
}

// The file's last change as a DOS date (high word) and time (low word) in local time.
uLong DosTimeOf(const FILETIME& utc)
{
    FILETIME local{};
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return 0;
    return (static_cast<uLong>(date) << 16) | time;
}

} // namespace

CZipHelper::~CZipHelper()
{
    Close();
}

BOOL CZipHelper::Open(const wchar_t* archivePath)
{
    if (m_archive) {
        ZN_LOG(LOG_ERROR, m_archivePath.GetString());
        ZN_LOG(LOG_ERROR, (archivePath ? archivePath : L""));
        return FALSE;
    }
    if (!archivePath || !*archivePath) return FALSE;
    zlib_filefunc_def io;
    fill_fopen_filefunc(&io);
    io.zopen_file = OpenByUtf8Name;
    m_archive = zipOpen2(WideToUtf8(archivePath), APPEND_STATUS_CREATE, nullptr, &io);
    if (!m_archive) {
        ZN_LOG_ERROR(GetLastError(), archivePath, LOG_ERROR);
        return FALSE;
    }
    m_archivePath = archivePath;
    return TRUE;
}

BOOL CZipHelper::Close()
{
    if (!m_archive) return TRUE;
    int result = zipClose(m_archive, nullptr);
    m_archive = nullptr;
    if (result != ZIP_OK) ZN_LOG_ERROR(static_cast<DWORD>(result), m_archivePath, LOG_ERROR);
    std::vector<CString> sources;
    sources.swap(m_deleteAfterClose);
    // An archive that could not be finished holds nothing: its sources are all there is.
    if (result != ZIP_OK) return FALSE;
    for (const CString& source : sources) {
        if (DeleteFileW(source)) continue;
        LONG error = static_cast<LONG>(GetLastError());
        ZN_LOG(LOG_ERROR, CFileException::OsErrorToException(error) << L" " << error << L" " << source.GetString());
    }
    return TRUE;
}

bool CZipHelper::WriteEntryData(HANDLE source, const wchar_t* sourcePath, unsigned long& crc, unsigned long& size)
{
    // The entry is written raw and deflated here, so that its CRC is the one this code
    // computed: minizip would give a file cut short by a read error a CRC that fits.
    z_stream stream{};
    if (deflateInit2(&stream, kLevel, Z_DEFLATED, -MAX_WBITS, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        ZN_LOG_ERROR(static_cast<DWORD>(Z_MEM_ERROR), sourcePath, LOG_ERROR);
        return false;
    }
    std::vector<BYTE> chunk(kChunkBytes), packed(kChunkBytes);
    bool readWhole = true;
    for (int flush = Z_NO_FLUSH; flush != Z_FINISH;) {
        DWORD got = 0;
        if (!m_readSource(source, chunk.data(), kChunkBytes, &got, nullptr)) {
            readWhole = false;
            ZN_LOG_ERROR(static_cast<DWORD>(-1), sourcePath, LOG_ERROR);
            got = 0;
        }
        // What was read is still packed, so the entry stays a sound deflate stream.
        if (got == 0) flush = Z_FINISH;
        crc = crc32(crc, chunk.data(), got);
        size += got;
        stream.next_in = chunk.data();
        stream.avail_in = got;
        int deflated;
        do {
            stream.next_out = packed.data();
            stream.avail_out = kChunkBytes;
            deflated = deflate(&stream, flush);
            const unsigned produced = kChunkBytes - stream.avail_out;
            if (produced && zipWriteInFileInZip(m_archive, packed.data(), produced) != ZIP_OK) {
                ZN_LOG_ERROR(static_cast<DWORD>(ZIP_ERRNO), sourcePath, LOG_ERROR);
                deflateEnd(&stream);
                return false;
            }
        } while (stream.avail_out == 0 || (flush == Z_FINISH && deflated != Z_STREAM_END && deflated != Z_STREAM_ERROR));
    }
    deflateEnd(&stream);
    return readWhole;
}

BOOL CZipHelper::AddFile(const wchar_t* folderName, const wchar_t* sourcePath, BOOL filter, BOOL deleteSource)
{
    if (!m_archive || !sourcePath) return FALSE;
    if (filter && !HasArchiveExtension(sourcePath)) return FALSE;

    CFileExStatus status;
    if (!CFileEx::GetStatus(sourcePath, status)) {
        ZN_LOG_ERROR(ERROR_FILE_NOT_FOUND, sourcePath, LOG_ERROR);
        return FALSE;
    }

    CString folder, fileName;
    SplitPath(sourcePath, folder, fileName);
    CString entryName = folderName ? folderName : L"";
    if (entryName.IsEmpty()) entryName = fileName;
    else AppendPath(entryName, fileName);

    // Opened before the entry is begun: a file that another program holds shut adds no
    // empty entry.
    CHandle source(CreateFileW(sourcePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) {
        ZN_LOG_ERROR(GetLastError(), sourcePath, LOG_ERROR);
        return FALSE;
    }

    zip_fileinfo info{};
    info.dosDate = DosTimeOf(status.m_mtime);
    int result = zipOpenNewFileInZip2(m_archive, WideToAnsi(entryName), &info, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, kLevel, 1);
    if (result != ZIP_OK) {
        ZN_LOG_ERROR(static_cast<DWORD>(result), entryName, LOG_ERROR);
        return FALSE;
    }
    unsigned long crc = crc32(0, nullptr, 0), size = 0;
    const bool whole = WriteEntryData(source, sourcePath, crc, size);
    source.Close();
    // An entry that is not the whole file must not pass for it: its CRC cannot match.
    if (zipCloseFileInZipRaw(m_archive, size, whole ? crc : ~crc) != ZIP_OK || !whole) return FALSE;

    if (deleteSource) m_deleteAfterClose.push_back(sourcePath);
    return TRUE;
}

int CZipHelper::AddFolder(const wchar_t* folderName, const wchar_t* sourcePath, BOOL filter, BOOL deleteSource)
{
    if (!m_archive || !sourcePath) return 0;
    DWORD attributes = GetFileAttributesW(sourcePath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return AddFile(folderName, sourcePath, filter, deleteSource) ? 1 : 0;

    CString pattern = sourcePath;
    AppendPath(pattern, L"*.*");
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW(pattern, &found));
    if (!search) return 0;

    const CString folder = folderName ? folderName : L"";
    int added = 0;
    do {
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0)) continue;
        CString entryFolder = folder;
        if (isFolder) entryFolder = folder.IsEmpty() ? CString(found.cFileName) : folder + L"\\" + found.cFileName;
        CString entryPath = CString(sourcePath) + L"\\" + found.cFileName;
        added += AddFolder(entryFolder, entryPath, filter, deleteSource);
    } while (FindNextFileW(search, &found));
    DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) ZN_LOG(LOG_ERROR, HexText(error, TRUE).GetString());
    return added;
}
