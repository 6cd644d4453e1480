// CPrepareLogsData: one request for the diagnostic archive, a zip file in the temporary
// folder with what support needs: a crash's minidump, the settings exported as REGEDIT4
// text, the time-synchronisation log, the whole log folder and a copy of the live log.
#pragma once

#include "ClassLib.h"
#include "SupportTools/ZipHelper.h"

#include <vector>

enum PrepareLogsMode {
    LOGS_NONE = 0,
    LOGS_SYNC = 1,  // the time-synchronisation log and a copy of the live log
    LOGS_ALL = 2,   // the whole log folder
};

// One entry of the work list: a file (name empty) or a folder put under name.
struct tagLogRecordInfo {
    CString name;
    CString path;
};

class CPrepareLogsData
{
public:
    CPrepareLogsData() = default;
    virtual ~CPrepareLogsData() = default;

    void SetRequest(int mode, int settings, int dump, const wchar_t* dumpPath);
    // Builds the archive on the calling thread; the result is m_zipPath, empty when none
    // was made.
    void PrepareZipReal();

    int m_mode = LOGS_NONE;
    int m_settings = 0;
    int m_dump = 0;
    CString m_dumpPath;
    CString m_zipPath;
    ZipReadFn m_readSource = ReadFile;  // how the archive reads what it packs
};

// The archive's file name for a request made at local time `time` (all fields 0 when the
// time is not known): "znc-bugreport-2026-12-07-0905.zip" and the like.
CString DiagnosticArchiveName(const SYSTEMTIME& time, bool dump, int mode);

// The work function that builds the archive on the progress dialog's worker.
HRESULT PrepareLogsThreadCallback(void* request);
