#include "CrashReport/EventLogHelper.h"

#include "Log/LogMan.h"
#include "SupportTime.h"
#include "SupportWindowsVersion.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <new>
#include <vector>

namespace {

const int kEventIds[] = {1074, 6009, 12, 13};
// EvtQueryChannelPath | EvtQueryReverseDirection: the newest event first.
const DWORD kQueryFlags = 513;
// A batch is never larger than this, whatever the caller asks.
const DWORD kMaxBatch = 1024;
// Start-up reads the log: a hung Event Log service may hold it this long per batch, no longer.
const DWORD kBatchTimeoutMs = 5000;

template <typename Fn>
void Bind(HMODULE module, const char* name, Fn& fn)
{
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

EventLogApi LoadWevtapi()
{
    EventLogApi api{};
    api.IsWindowsAtLeast = ::IsWindowsAtLeast;
    wchar_t path[MAX_PATH + 16] = {};
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return api;
    wcscat(path, L"\\wevtapi.dll");
    // Kept for the rest of the process, as a delay-loaded import would be.
    HMODULE module = LoadLibraryW(path);
    if (!module) {
        ZN_LOG_ERROR(GetLastError(), path, LOG_ERROR);
        return api;
    }
    Bind(module, "EvtQuery", api.Query);
    Bind(module, "EvtNext", api.Next);
    Bind(module, "EvtCreateRenderContext", api.CreateRenderContext);
    Bind(module, "EvtRender", api.Render);
    Bind(module, "EvtClose", api.Close);
    return api;
}

std::atomic<const EventLogApi*> g_testApi{nullptr};

const EventLogApi& WevtapiTable()
{
    static const EventLogApi api = LoadWevtapi();
    return api;
}

HRESULT HresultFromError(DWORD error)
{
    return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

// The values of a rendered buffer: never more than the buffer holds.
struct RenderedValues
{
    std::vector<BYTE> buffer;
    DWORD count = 0;

    const EVT_VARIANT* Value(DWORD i) const
    {
        return i < count ? reinterpret_cast<const EVT_VARIANT*>(buffer.data()) + i : nullptr;
    }
    // A string value as far as it lies inside the buffer (a value pointing outside it, or a
    // text without its terminator inside it, is cut at the buffer's end).
    std::wstring Text(const EVT_VARIANT& v) const
    {
        const BYTE* begin = buffer.data();
        const BYTE* end = begin + buffer.size();
        const BYTE* p = reinterpret_cast<const BYTE*>(v.StringVal);
        if (!p || p < begin || p >= end) return std::wstring();
        size_t maxChars = static_cast<size_t>(end - p) / sizeof(wchar_t);
        return std::wstring(v.StringVal, wcsnlen(v.StringVal, maxChars));
    }
};

// Renders the event with the context in two passes: the size, then the values.
DWORD RenderValues(const EventLogApi& api, EVT_HANDLE context, EVT_HANDLE event, RenderedValues& out)
{
    DWORD used = 0, count = 0;
    if (!api.Render(context, event, EvtRenderEventValues, 0, nullptr, &used, &count)) {
        DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) return ZN_LOG_ERROR(error, L"EvtRender", LOG_ERROR);
    }
    try {
        out.buffer.assign(used, 0);
    } catch (const std::bad_alloc&) {
        return ZN_LOG_ERROR(ERROR_OUTOFMEMORY, L"EvtRender", LOG_ERROR);
    }
    if (used && !api.Render(context, event, EvtRenderEventValues, used, out.buffer.data(), &used, &count)) {
        DWORD error = GetLastError();
        return ZN_LOG_ERROR(error ? error : ERROR_INVALID_DATA, L"EvtRender", LOG_ERROR);
    }
    out.count = std::min<DWORD>(count, static_cast<DWORD>(out.buffer.size() / sizeof(EVT_VARIANT)));
    return 0;
}

CString Fraction(ULONGLONG fileTime, const wchar_t* suffix)
{
    CString text;
    text.Format(L".%07I64u%s", fileTime % 10000000, suffix);
    return text;
}

void AppendUserValue(const RenderedValues& values, const EVT_VARIANT& v, CString& text)
{
    CString piece;
    switch (v.Type) {
    case EvtVarTypeString: piece = values.Text(v).c_str(); break;
    case EvtVarTypeUInt32: piece.Format(L"%d", static_cast<int>(v.UInt32Val)); break;
    case EvtVarTypeUInt64: piece.Format(L"%I64u", v.UInt64Val); break;
    case EvtVarTypeSizeT: piece.Format(L"%d", static_cast<int>(v.SizeTVal)); break;
    case EvtVarTypeFileTime:
        piece = FileTimeText(FileTimeFromTicks(v.FileTimeVal));
        if (v.FileTimeVal % 10000000) piece += Fraction(v.FileTimeVal, L"Z");
        break;
    case EvtVarTypeBinary: piece = L"{b}"; break;
    default: piece.Format(L"<%d>", static_cast<int>(v.Type)); break;
    }
    text += piece;
    text += L" / ";
}

}  // namespace

const EventLogApi& GetEventLogApi()
{
    const EventLogApi* test = g_testApi.load();
    return test ? *test : WevtapiTable();
}

void SetEventLogApi(const EventLogApi* api)
{
    g_testApi.store(api);
}

BOOL WINAPI CloseEventLogHandle(HANDLE h)
{
    const EventLogApi& api = GetEventLogApi();
    if (!api.Close) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return api.Close(h);
}

CEventLogHelper::CEventLogHelper(int maxEventsPerQuery) : m_maxEvents(maxEventsPerQuery) {}

CEventLogHelper::~CEventLogHelper() = default;

void CEventLogHelper::LogSystemEvents()
{
    // The version is asked before wevtapi is loaded: it does not exist before Vista.
    const EventLogApi* test = g_testApi.load();
    int (*atLeast)(int) = test ? test->IsWindowsAtLeast : ::IsWindowsAtLeast;
    if (!atLeast || !atLeast(WINLEVEL_VISTA)) return;
    const EventLogApi& api = GetEventLogApi();
    if (!api.Query || !api.Next || !api.CreateRenderContext || !api.Render || !api.Close) return;

    for (int id : kEventIds) {
        wchar_t query[64];
        _snwprintf(query, 64, L"Event/System[EventID=%d]", id);
        query[63] = 0;
        EVT_HANDLE h = api.Query(nullptr, L"System", query, kQueryFlags);
        if (!h) {
            DWORD error = GetLastError();
            ZN_LOG(LOG_ERROR, id);
            ZN_LOG_ERROR(error, L"", LOG_ERROR);
            continue;
        }
        m_query.Reset(h);
        ReadBatch(1);
        Close();
    }
}

void CEventLogHelper::Close()
{
    if (!m_query) return;
    if (CloseEventLogHandle(m_query.Get())) {
        m_query.Release();
        return;
    }
    ZN_LOG_ERROR(GetLastError(), L"EvtClose", LOG_ERROR);
}

void CEventLogHelper::ReadBatch(DWORD batchCount)
{
    const EventLogApi& api = GetEventLogApi();
    if (!m_query || m_maxEvents <= 0 || !api.Next) return;
    DWORD wanted = static_cast<DWORD>(m_maxEvents);
    wanted = batchCount > kMaxBatch / wanted ? kMaxBatch : batchCount * wanted;
    if (wanted == 0) return;
    std::vector<EVT_HANDLE> raw(wanted, nullptr);
    DWORD returned = 0;
    if (!api.Next(m_query.Get(), wanted, raw.data(), kBatchTimeoutMs, 0, &returned)) {
        DWORD error = GetLastError();
        // No such event in the log is normal; anything else is a failure.
        ZN_LOG_ERROR(error, L"", error == ERROR_NO_MORE_ITEMS ? LOG_WARNING : LOG_ERROR);
        return;
    }
    std::vector<CEventLogHandle> events;
    events.reserve(wanted);
    for (DWORD i = 0; i < std::min(wanted, returned); ++i) events.emplace_back(raw[i]);
    for (CEventLogHandle& event : events) {
        HRESULT hr = Render(event.Get());
        if (hr != 0) ZN_LOG_ERROR(hr, L"Render", LOG_ERROR);
        if (CloseEventLogHandle(event.Get()))
            event.Release();
        else
            ZN_LOG_ERROR(GetLastError(), L"EvtClose", LOG_ERROR);
    }
    // Handles whose close failed are tried once more as their owners go.
}

HRESULT CEventLogHelper::Render(EVT_HANDLE event)
{
    const EventLogApi& api = GetEventLogApi();
    LPCWSTR paths[] = {L"Event/System/EventRecordID", L"Event/System/EventID",
                       L"Event/System/TimeCreated/@SystemTime"};
    CEventLogHandle context(api.CreateRenderContext(3, paths, EvtRenderContextValues));
    if (!context) return HresultFromError(ZN_LOG_ERROR(GetLastError(), L"EvtCreateRenderContext", LOG_ERROR));
    RenderedValues system;
    if (DWORD error = RenderValues(api, context.Get(), event, system)) return HresultFromError(error);

    ULONGLONG recordId = 0;
    const EVT_VARIANT* v = system.Value(0);
    if (v && v->Type == EvtVarTypeUInt64) recordId = v->UInt64Val;
    v = system.Value(1);
    CString idText;
    idText.Format(L"% 5d", v && v->Type == EvtVarTypeUInt16 ? static_cast<int>(v->UInt16Val) : 0);
    CString timeText;
    v = system.Value(2);
    if (v && v->Type == EvtVarTypeFileTime) {
        timeText = FileTimeText(FileTimeUtcToLocal(FileTimeFromTicks(v->FileTimeVal)));
        if (v->FileTimeVal % 10000000)
            timeText += Fraction(v->FileTimeVal, L"");
        else
            timeText += L"        ";
    }
    DWORD closeError = context.Close();
    if (closeError) ZN_LOG_ERROR(closeError, L"EvtClose", LOG_ERROR);

    HRESULT result = 0;
    CString userText;
    context.Reset(api.CreateRenderContext(0, nullptr, EvtRenderContextUser));
    if (!context) {
        result = HresultFromError(ZN_LOG_ERROR(GetLastError(), L"EvtCreateRenderContext", LOG_ERROR));
    } else {
        RenderedValues user;
        if (DWORD error = RenderValues(api, context.Get(), event, user)) {
            result = HresultFromError(error);
        } else {
            for (DWORD i = 0; i < user.count; ++i) AppendUserValue(user, *user.Value(i), userText);
        }
        closeError = context.Close();
        if (closeError) ZN_LOG_ERROR(closeError, L"EvtClose", LOG_ERROR);
    }

    CString line;
    line.Format(L"EVR%s %s %I64u ", idText.GetString(), timeText.GetString(), recordId);
    line += userText;
    ZN_LOG(LOG_INFO, line.GetString());
    return result;
}
