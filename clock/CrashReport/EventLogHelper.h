// CEventLogHelper: copies the System event log's recent shutdown, restart and start events
// (ids 1074, 6009, 12, 13; newest first, a fixed number per id) into the program log, one
// "EVR" entry per event. The Event Log API (wevtapi.dll) is loaded on first use, so the
// program still starts where it is missing.
#pragma once

#include "CHandle.h"
#include "ClassLib.h"

#include <winevt.h>

// The functions the reader calls: wevtapi.dll's own unless a test installs a table of its own.
struct EventLogApi
{
    EVT_HANDLE(WINAPI* Query)(EVT_HANDLE session, LPCWSTR path, LPCWSTR query, DWORD flags);
    BOOL(WINAPI* Next)(EVT_HANDLE resultSet, DWORD size, EVT_HANDLE* events, DWORD timeout, DWORD flags,
                       DWORD* returned);
    EVT_HANDLE(WINAPI* CreateRenderContext)(DWORD pathCount, LPCWSTR* paths, DWORD flags);
    BOOL(WINAPI* Render)(EVT_HANDLE context, EVT_HANDLE fragment, DWORD flags, DWORD bufferSize, void* buffer,
                         DWORD* bufferUsed, DWORD* propertyCount);
    BOOL(WINAPI* Close)(EVT_HANDLE object);
    // The version gate (the Windows version level of the process).
    int (*IsWindowsAtLeast)(int level);
};

// The table in use; wevtapi's is loaded on the first call (its entries are null when the
// library cannot be loaded). A test's table stays in force until it sets null again.
const EventLogApi& GetEventLogApi();
void SetEventLogApi(const EventLogApi* api);

class CEventLogHelper
{
public:
    explicit CEventLogHelper(int maxEventsPerQuery);
    virtual ~CEventLogHelper();
    CEventLogHelper(const CEventLogHelper&) = delete;
    CEventLogHelper& operator=(const CEventLogHelper&) = delete;

    // The whole job; nothing before Windows Vista.
    void LogSystemEvents();
    // Closes the current query; a failed close is logged and the handle kept.
    void Close();
    // Reads up to batchCount x maximum events of the current query and logs them.
    void ReadBatch(DWORD batchCount);
    // Logs one event; 0, or the failure as an HRESULT (0x80070000 | the Win32 code).
    HRESULT Render(EVT_HANDLE event);

private:
    int m_maxEvents;
    CEventLogHandle m_query;
};
