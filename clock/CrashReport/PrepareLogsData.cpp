#include "PrepareLogsData.h"
#include "CHandle.h"

#include "CrashReport/RegistryExport.h"
#include "FileEx.h"
#include "Log/LogMan.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportShell.h"
#include "SupportText.h"
#include "SupportUtilities.h"

#include <vector>

namespace {

bool StartsWithNoCase(const CString& text, const CString& prefix)
{
    return !prefix.IsEmpty() && text.GetLength() >= prefix.GetLength() &&
           text.Left(prefix.GetLength()).CompareNoCase(prefix) == 0;
}

bool FolderHasEntries(const CString& folder)
{
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW(folder + L"*.*", &found));
    if (!search) return false;
    do {
        if (lstrcmpW(found.cFileName, L".") != 0 && lstrcmpW(found.cFileName, L"..") != 0) return true;
    } while (FindNextFileW(search, &found));
    return false;
}

// "SOFTWARE\<company>\<product>": the settings store of the running application.
CStringA SettingsKeyPath()
{
    CWinApp* app = AfxGetApp();
    if (!app || app->m_pszRegistryKey.IsEmpty()) return CStringA();
    return WideToAnsi(CString(L"SOFTWARE\\") + app->m_pszRegistryKey + L"\\" + app->m_pszProfileName);
}

void ExportSettingsInto(HANDLE file, void* key)
{
    ExportRegistryKey(HKEY_CURRENT_USER, *static_cast<const CStringA*>(key), file);
}

// A size above 0 of a file that exists; a missing, unreadable or empty one is logged.
bool HasContent(const CString& path)
{
    if (!FileExists(path)) {
        ZN_LOG(LOG_WARNING, path.GetString());
        return false;
    }
    CFileExStatus status;
    if (!CFileEx::GetStatus(path, status)) {
        ZN_LOG(LOG_ERROR, path.GetString());
        return false;
    }
    if (status.m_size == 0) {
        ZN_LOG(LOG_WARNING, L"0 " << path.GetString());
        return false;
    }
    return true;
}

bool CopyInto(const CString& source, const CString& target, std::vector<tagLogRecordInfo>& work)
{
    if (!CopyFileW(source, target, FALSE)) {
        ZN_LOG_ERROR(GetLastError(), source + L" -> " + target, LOG_ERROR);
        return false;
    }
    work.push_back({CString(), target});
    return true;
}

void AddDump(const CString& dumpPath, const CString& workFolder, std::vector<tagLogRecordInfo>& work)
{
    ZN_LOG(LOG_INFO, dumpPath.GetString());
    if (!FileExists(dumpPath)) {
        ZN_LOG(LOG_WARNING, L"no dump " << dumpPath.GetString());
        return;
    }
    CopyInto(dumpPath, workFolder + L"bugreport.dmp", work);
}

void AddSettings(const CString& workFolder, std::vector<tagLogRecordInfo>& work)
{
    CString file = CreateTempFileName(nullptr);
    ZN_LOG(LOG_INFO, file.GetString());
    if (file.IsEmpty()) {
        ZN_LOG(LOG_WARNING, L"no settings file");
        return;
    }
    const CStringA key = SettingsKeyPath();
    {
        CHandle out(CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_FLAG_WRITE_THROUGH, nullptr));
        if (!out) {
            ZN_LOG_ERROR(GetLastError(), file, LOG_ERROR);
            DeleteFileW(file);
            return;
        }
        SetFilePointer(out, 0, nullptr, FILE_END);
        ExportRegistryKey(HKEY_CURRENT_USER, key, out);
        ExportRegistryKey(HKEY_LOCAL_MACHINE, key, out);
    }
    if (!FileExists(file)) {
        ZN_LOG(LOG_WARNING, file.GetString());
        return;
    }
    const CString target = workFolder + L"settings.txt";
    if (!MoveFileExW(file, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        ZN_LOG_ERROR(GetLastError(), file + L" -> " + target, LOG_ERROR);
        DeleteFileW(file);
        return;
    }
    work.push_back({CString(), target});
}

void AddSyncLog(const CString& workFolder, std::vector<tagLogRecordInfo>& work)
{
    CString source = BuildLogFilePath(GetStr(SID_LOGS_FOLDER), GetStr(SID_LOG_SYNC), GetStr(SID_LOG_NAME_FORMAT),
                                      GetStr(SID_LOG_SYNC));
    ZN_LOG(LOG_INFO, source.GetString());
    if (HasContent(source)) CopyInto(source, workFolder + L"synclog.txt", work);
}

void AddLiveLog(CLogMan& log, bool exportIntoLog, const CString& baseName, const CString& workFolder,
                std::vector<tagLogRecordInfo>& work)
{
    if (exportIntoLog && log.IsOpen()) {
        CStringA key = SettingsKeyPath();
        log.WriteIntoFile(ExportSettingsInto, &key);
    }
    ZN_LOG(LOG_INFO, L"Log");
    log.Flush();
    const CString path = log.GetFilePath();
    ZN_LOG(LOG_INFO, path.GetString());
    log.Flush();
    if (HasContent(path)) CopyInto(path, workFolder + baseName + L".txt", work);
    log.Flush();
}

// Packs the work list; the archive's path, or empty when nothing could be put in it.
CString WriteArchive(const CString& zipPath, const CString& workFolder, const std::vector<tagLogRecordInfo>& work,
                     ZipReadFn readSource)
{
    CZipHelper zip(readSource);
    if (!zip.Open(zipPath)) {
        ZN_LOG_ERROR(static_cast<DWORD>(E_FAIL), zipPath, LOG_ERROR);
        return CString();
    }
    int added = 0;
    for (const tagLogRecordInfo& entry : work) {
        CFileExStatus status;
        if (!CFileEx::GetStatus(entry.path, status)) continue;
        const int number = added + 1;
        CString name;
        if (status.m_attribute & FILE_ATTRIBUTE_DIRECTORY) {
            name = entry.name;
            if (name.IsEmpty()) name = entry.path.Mid(entry.path.ReverseFind(L'\\') + 1);
            if (name.IsEmpty()) name.Format(L"Folder%d", number);
        }
        const BOOL deleteAfter = StartsWithNoCase(entry.path, workFolder);
        if (zip.AddFolder(name, entry.path, TRUE, deleteAfter) > 0) added = number;
    }
    // An archive minizip could not finish is no archive, whatever it holds.
    const BOOL closed = zip.Close();
    if (added > 0 && closed) return zipPath;
    ZN_LOG(LOG_ERROR, L"no archive " << added << L" " << zipPath.GetString());
    if (!DeleteFileW(zipPath)) {
        const LONG error = static_cast<LONG>(GetLastError());
        ZN_LOG(LOG_ERROR, CFileException::OsErrorToException(error) << L" " << error << L" " << zipPath.GetString());
    }
    return CString();
}

} // namespace

void CPrepareLogsData::SetRequest(int mode, int settings, int dump, const wchar_t* dumpPath)
{
    m_mode = mode;
    m_settings = settings;
    m_dump = dump;
    m_dumpPath = dumpPath ? dumpPath : L"";
}

CString DiagnosticArchiveName(const SYSTEMTIME& time, bool dump, int mode)
{
    CString name = CString(GetStr(SID_SHORT_PREFIX)) + (dump ? L"-bugreport" : L"-logs");
    if (mode == LOGS_ALL) name += L"-all";
    CString file;
    file.Format(L"%s-%d-%02d-%02d-%02d%02d.zip", name.GetString(), time.wYear, time.wMonth, time.wDay, time.wHour,
                time.wMinute);
    return file;
}

void CPrepareLogsData::PrepareZipReal()
{
    CString baseName = L"baselog";
    bool takeLiveLog = m_dump || m_mode == LOGS_SYNC;
    CLogMan* log = GetAppLogMan();
    if (log) {
        CString folder, file, stem, extension;
        SplitPath(log->GetFilePath(), folder, file);
        SplitExtension(file, stem, extension);
        if (extension.CompareNoCase(L"tmp") == 0) {
            baseName += L".tmp";
            takeLiveLog = true;
        }
    }
    const CString workName = CString(GetStr(SID_PRODUCT)) + (m_dump ? L" Dump Files" : L" Log Files");

    CString zipPath;
    if (m_mode == LOGS_SYNC || m_mode == LOGS_ALL || m_settings || m_dump) {
        CString workFolder = GetTempFolder(workName);
        if (workFolder.IsEmpty()) {
            ZN_LOG(LOG_ERROR, L"no work folder " << workName.GetString());
        } else {
            ZN_LOG(LOG_INFO, workFolder.GetString());
            FlushLog();
            if (workFolder.Right(1) != L"\\") workFolder += L"\\";
            if (FolderHasEntries(workFolder)) ShellDeletePath(workFolder + L"*.*", false);

            std::vector<tagLogRecordInfo> work;
            if (m_mode == LOGS_ALL) {
                CString logFolder = GetLogFolder(GetStr(SID_LOGS_FOLDER), nullptr);
                ZN_LOG(LOG_INFO, logFolder.GetString());
                if (FolderExists(logFolder)) work.push_back({L"Base", logFolder});
                else ZN_LOG(LOG_WARNING, L"no log folder " << logFolder.GetString());
                FlushLog();
            }
            if (m_dump) AddDump(m_dumpPath, workFolder, work);
            if (m_settings) AddSettings(workFolder, work);
            if (m_mode == LOGS_SYNC) AddSyncLog(workFolder, work);
            if (takeLiveLog && log) AddLiveLog(*log, !m_dump && !m_settings, baseName, workFolder, work);

            SYSTEMTIME now{};
            COleDateTime local = GetLocalDateTime();
            if (local.GetStatus() != COleDateTime::valid || !local.GetAsSystemTime(now)) now = SYSTEMTIME{};
            zipPath = workFolder + DiagnosticArchiveName(now, m_dump != 0, m_mode);
            ZN_LOG(LOG_INFO, zipPath.GetString());
            FlushLog();

            // The archive deleted the copies it holds whole; a copy it could not store whole
            // stays beside it, and without an archive every copy stays, to be sent by hand.
            zipPath = WriteArchive(zipPath, workFolder, work, m_readSource);
            if (zipPath.IsEmpty()) RemoveDirectoryW(workFolder);  // only when nothing was gathered into it
            FlushLog();
        }
    }
    m_zipPath = zipPath;
    ZN_LOG(LOG_INFO, L"Done");
    FlushLog();
}

HRESULT PrepareLogsThreadCallback(void* request)
{
    ZN_LOG(LOG_INFO, L"10");
    if (request) static_cast<CPrepareLogsData*>(request)->PrepareZipReal();
    ZN_LOG(LOG_INFO, L"11");
    return 0;
}
