// The System event-log reader through a table of the tests' own in place of wevtapi: the
// fake keeps events per id, renders them into buffers laid out as wevtapi lays them out
// (values first, their texts after), records every call and can fail any of them.
#include "CrashReport/EventLogHelper.h"
#include "LogCapture.h"
#include "SupportTime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

struct FakeValue
{
    FakeValue(DWORD t, ULONGLONG n = 0, std::wstring s = std::wstring()) : type(t), number(n), text(std::move(s)) {}
    DWORD type;
    ULONGLONG number;
    std::wstring text;
};

struct FakeEvent
{
    std::vector<FakeValue> system;  // record id, event id, time created
    std::vector<FakeValue> user;
};

struct FakeWevtapi
{
    std::map<int, std::vector<FakeEvent>> events;  // newest first, per id
    std::vector<std::string> calls;
    std::vector<DWORD> timeouts;  // of each EvtNext
    std::map<std::string, DWORD> failures;  // call name -> error
    // Rewrites a rendered values buffer (for damaged data).
    std::function<void(std::vector<BYTE>&, DWORD&)> damage;
    int level = 4;
    int open = 0;  // handles given out and not closed

    // Handles are indexes into this list.
    struct Handle {
        char kind;  // 'q' query, 'e' event, 'v' values context, 'u' user context
        int id;
        size_t index;
    };
    std::vector<Handle> handles;
    EVT_HANDLE Make(char kind, int id, size_t index)
    {
        handles.push_back({kind, id, index});
        ++open;
        return reinterpret_cast<EVT_HANDLE>(handles.size());
    }
    Handle& At(EVT_HANDLE h) { return handles.at(reinterpret_cast<size_t>(h) - 1); }
    bool Fails(const std::string& call)
    {
        auto it = failures.find(call);
        if (it == failures.end()) return false;
        SetLastError(it->second);
        return true;
    }
};

FakeWevtapi* g_fake = nullptr;

EVT_HANDLE WINAPI FakeQuery(EVT_HANDLE, LPCWSTR path, LPCWSTR query, DWORD flags)
{
    std::wstring q(query);
    int id = std::stoi(q.substr(q.find(L'=') + 1));
    g_fake->calls.push_back("Query " + std::string(path, path + wcslen(path)) + " " + std::to_string(id) + " " +
                            std::to_string(flags));
    if (g_fake->Fails("Query " + std::to_string(id))) return nullptr;
    return g_fake->Make('q', id, 0);
}

BOOL WINAPI FakeNext(EVT_HANDLE query, DWORD size, EVT_HANDLE* events, DWORD timeout, DWORD, DWORD* returned)
{
    const int id = g_fake->At(query).id;  // Make below moves the handle list
    g_fake->calls.push_back("Next " + std::to_string(id) + " " + std::to_string(size));
    g_fake->timeouts.push_back(timeout);
    if (g_fake->Fails("Next")) return FALSE;
    const auto& list = g_fake->events[id];
    if (list.empty()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    *returned = 0;
    for (size_t i = 0; i < list.size() && i < size; ++i) events[(*returned)++] = g_fake->Make('e', id, i);
    return TRUE;
}

EVT_HANDLE WINAPI FakeCreateRenderContext(DWORD count, LPCWSTR* paths, DWORD flags)
{
    g_fake->calls.push_back("Context " + std::to_string(count) + " " + std::to_string(flags));
    if (count == 3 && (!paths || std::wstring(paths[2]) != L"Event/System/TimeCreated/@SystemTime")) return nullptr;
    if (g_fake->Fails(flags == EvtRenderContextUser ? "Context user" : "Context values")) return nullptr;
    return g_fake->Make(flags == EvtRenderContextUser ? 'u' : 'v', 0, 0);
}

// Values first, then their texts, as wevtapi renders them.
std::vector<BYTE> Layout(const std::vector<FakeValue>& values)
{
    size_t head = values.size() * sizeof(EVT_VARIANT), size = head;
    for (const auto& v : values)
        if (v.type == EvtVarTypeString) size += (v.text.size() + 1) * sizeof(wchar_t);
    std::vector<BYTE> buffer(size);
    auto* out = reinterpret_cast<EVT_VARIANT*>(buffer.data());
    size_t textAt = head;
    for (size_t i = 0; i < values.size(); ++i) {
        out[i].Type = values[i].type;
        out[i].Count = 0;
        out[i].UInt64Val = values[i].number;
        if (values[i].type == EvtVarTypeUInt16) out[i].UInt16Val = static_cast<UINT16>(values[i].number);
        if (values[i].type == EvtVarTypeString) {
            std::memcpy(buffer.data() + textAt, values[i].text.c_str(), (values[i].text.size() + 1) * sizeof(wchar_t));
            out[i].StringVal = reinterpret_cast<LPCWSTR>(buffer.data() + textAt);
            textAt += (values[i].text.size() + 1) * sizeof(wchar_t);
        }
    }
    return buffer;
}

BOOL WINAPI FakeRender(EVT_HANDLE context, EVT_HANDLE fragment, DWORD, DWORD size, void* buffer, DWORD* used,
                       DWORD* count)
{
    const auto c = g_fake->At(context);
    const auto e = g_fake->At(fragment);
    const FakeEvent& event = g_fake->events[e.id][e.index];
    std::string name = c.kind == 'u' ? "Render user" : "Render values";
    g_fake->calls.push_back(name + " " + std::to_string(e.id) + "/" + std::to_string(e.index));
    if (g_fake->Fails(name)) return FALSE;
    std::vector<BYTE> bytes = Layout(c.kind == 'u' ? event.user : event.system);
    DWORD n = static_cast<DWORD>(c.kind == 'u' ? event.user.size() : event.system.size());
    if (g_fake->damage && c.kind == 'v') g_fake->damage(bytes, n);
    *used = static_cast<DWORD>(bytes.size());
    *count = n;
    if (size < bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // The reader's buffer is a fresh one: pointers are moved into it.
    BYTE* target = static_cast<BYTE*>(buffer);
    std::memcpy(target, bytes.data(), bytes.size());
    auto* values = reinterpret_cast<EVT_VARIANT*>(target);
    for (DWORD i = 0; i < n && (i + 1) * sizeof(EVT_VARIANT) <= bytes.size(); ++i) {
        const BYTE* p = reinterpret_cast<const BYTE*>(values[i].StringVal);
        if (values[i].Type == EvtVarTypeString && p >= bytes.data() && p < bytes.data() + bytes.size())
            values[i].StringVal = reinterpret_cast<LPCWSTR>(target + (p - bytes.data()));
    }
    return TRUE;
}

BOOL WINAPI FakeClose(EVT_HANDLE h)
{
    auto& handle = g_fake->At(h);
    g_fake->calls.push_back(std::string("Close ") + handle.kind);
    if (handle.kind == 'e' && g_fake->Fails("Close event")) {
        g_fake->failures.erase("Close event");  // only the first try fails
        return FALSE;
    }
    --g_fake->open;
    return TRUE;
}

int FakeAtLeast(int level)
{
    return g_fake->level >= level;
}

const EventLogApi kFakeApi = {FakeQuery, FakeNext, FakeCreateRenderContext, FakeRender, FakeClose, FakeAtLeast};

// 2026-12-08 10:00:00 UTC in 100-ns units.
const ULONGLONG kTime = 134411976000000000ULL;

FakeEvent Event(ULONGLONG record, int id, ULONGLONG time, std::vector<FakeValue> user = {})
{
    return {{{EvtVarTypeUInt64, record}, {EvtVarTypeUInt16, static_cast<ULONGLONG>(id)}, {EvtVarTypeFileTime, time}},
            std::move(user)};
}

std::string Utf8(const CString& s)
{
    std::string out;
    for (const wchar_t* p = s.GetString(); *p; ++p) out += static_cast<char>(*p);
    return out;
}

std::string LocalText(ULONGLONG time)
{
    FILETIME ft{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    return Utf8(FileTimeText(FileTimeUtcToLocal(ft)));
}

class EventLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_fake = &fake;
        SetEventLogApi(&kFakeApi);
    }
    void TearDown() override
    {
        SetEventLogApi(nullptr);
        g_fake = nullptr;
    }
    void Run()
    {
        CEventLogHelper helper(3);
        helper.LogSystemEvents();
    }
    std::vector<std::string> Evr()
    {
        std::vector<std::string> out;
        for (const auto& l : log.Texts(" - "))
            if (l.rfind("EVR", 0) == 0) out.push_back(l);
        return out;
    }

    FakeWevtapi fake;
    LogCapture log;
};

TEST_F(EventLogTest, NoEventsGiveOneWarningPerId)
{
    Run();
    const std::vector<std::string> calls = {
        "Query System 1074 513", "Next 1074 3", "Close q", "Query System 6009 513", "Next 6009 3", "Close q",
        "Query System 12 513",   "Next 12 3",   "Close q", "Query System 13 513",   "Next 13 3",   "Close q"};
    EXPECT_EQ(calls, fake.calls);
    EXPECT_EQ(std::vector<std::string>(4, "0x00000103"), log.Texts(" W ")) << "ERROR_NO_MORE_ITEMS";
    EXPECT_TRUE(Evr().empty());
    EXPECT_EQ(0, fake.open);
}

TEST_F(EventLogTest, ThreeOfEachIdNewestFirstInIdOrder)
{
    for (int id : {13, 12, 6009, 1074})
        for (ULONGLONG i = 0; i < 3; ++i)
            fake.events[id].push_back(Event(1000 * id + 3 - i, id, kTime - i * 10000000ULL + (i == 0 ? 1234567 : 0)));
    fake.events[1074][0].user = {{EvtVarTypeString, 0, L"C:\\Windows\\system32\\shutdown.exe"},
                                 {EvtVarTypeUInt32, 7},
                                 {EvtVarTypeUInt64, 123456789012ULL},
                                 {EvtVarTypeSizeT, 42},
                                 {EvtVarTypeBinary, 0},
                                 {EvtVarTypeFileTime, kTime + 5},
                                 {EvtVarTypeGuid, 0}};
    Run();
    std::vector<std::string> evr = Evr();
    ASSERT_EQ(12u, evr.size());
    EXPECT_EQ("EVR 1074 " + LocalText(kTime) + ".1234567 1074003 C:\\Windows\\system32\\shutdown.exe / 7 / "
              "123456789012 / 42 / {b} / 12/08/2026 10:00:00.0000005Z / <15> /",
              evr[0]);
    // A whole second has no fraction: eight blanks hold its place.
    EXPECT_EQ("EVR 1074 " + LocalText(kTime - 10000000ULL) + "         1074002", evr[1]);
    const char* ids[] = {" 1074", " 6009", "   12", "   13"};
    for (size_t i = 0; i < evr.size(); ++i) EXPECT_EQ(std::string("EVR") + ids[i / 3], evr[i].substr(0, 8)) << i;
    EXPECT_TRUE(log.Texts(" * ").empty());
    EXPECT_EQ(0, fake.open) << "every query, event and context closed";
}

TEST_F(EventLogTest, FailedQueryAndRenderAreLoggedAndSkipped)
{
    fake.events[1074] = {Event(1, 1074, kTime), Event(2, 1074, kTime)};
    fake.events[12] = {Event(3, 12, kTime)};
    fake.failures = {{"Query 6009", ERROR_ACCESS_DENIED}, {"Render user", ERROR_INVALID_DATA}};
    Run();
    std::vector<std::string> errors = log.Texts(" * ");
    EXPECT_NE(errors.end(), std::find(errors.begin(), errors.end(), "6009"));
    EXPECT_NE(errors.end(), std::find(errors.begin(), errors.end(), "0x00000005"));
    // A failing user-data render still writes the event's line, without user data.
    EXPECT_EQ(3u, Evr().size());
    EXPECT_EQ(3, std::count(errors.begin(), errors.end(), "0x8007000d Render"));
    EXPECT_EQ(0, fake.open);

    // A failing values render writes no line for that event.
    fake.calls.clear();
    fake.failures = {{"Render values", ERROR_INVALID_DATA}};
    log.Take();
    Run();
    EXPECT_EQ(3u, Evr().size()) << "no new line";
    EXPECT_EQ(0, std::count(fake.calls.begin(), fake.calls.end(), "Render user 1074/0"));
    EXPECT_EQ(0, fake.open);
}

// Under Wine the query fails with no error code and a render would end the process.
TEST_F(EventLogTest, NothingIsRenderedAfterAFailedQuery)
{
    fake.events[1074] = {Event(1, 1074, kTime)};
    fake.failures = {{"Query 1074", 0}, {"Query 6009", 0}, {"Query 12", 0}, {"Query 13", 0}};
    Run();
    for (const auto& c : fake.calls) EXPECT_EQ(0u, c.find("Query")) << c;
    EXPECT_EQ(4u, log.Texts(" * ").size()) << "the four ids, and no empty error entries";
}

// A hung Event Log service answers no batch: start-up waits a few seconds at most for each,
// logs the time-out as an error and goes on with the next id.
TEST_F(EventLogTest, HungServiceHoldsEachBatchAFewSecondsAtMost)
{
    fake.failures = {{"Next", ERROR_TIMEOUT}};
    Run();
    ASSERT_EQ(4u, fake.timeouts.size());
    for (DWORD timeout : fake.timeouts) EXPECT_LE(timeout, 10000u) << "INFINITE is 0xFFFFFFFF";
    EXPECT_EQ(std::vector<std::string>(4, "0x000005b4"), log.Texts(" * "));
    EXPECT_EQ(0, fake.open);
}

TEST_F(EventLogTest, VersionGateAsksNothingBeforeVista)
{
    fake.level = 2;
    Run();
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(EventLogTest, DamagedValuesAreLoggedAsFarAsValid)
{
    fake.events[13] = {Event(9, 13, kTime)};
    const struct {
        const char* what;
        std::function<void(std::vector<BYTE>&, DWORD&)> damage;
        std::string line;
    } cases[] = {
        {"one value only", [](std::vector<BYTE>&, DWORD& n) { n = 1; }, "EVR    0  9"},
        {"more values than the buffer holds", [](std::vector<BYTE>& b, DWORD& n) { b.resize(sizeof(EVT_VARIANT)); n = 3; },
         "EVR    0  9"},
        {"unexpected types",
         [](std::vector<BYTE>& b, DWORD&) {
             auto* v = reinterpret_cast<EVT_VARIANT*>(b.data());
             v[0].Type = EvtVarTypeUInt32;
             v[1].Type = EvtVarTypeString;
             v[2].Type = EvtVarTypeSysTime;
         },
         "EVR    0  0"},
        {"no values", [](std::vector<BYTE>& b, DWORD& n) { b.clear(); n = 0; }, "EVR    0  0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake.damage = c.damage;
        log.Take();
        Run();
        std::string text = log.Take();
        EXPECT_NE(std::string::npos, text.find(c.line)) << text;
        EXPECT_EQ(0, fake.open);
    }
}

TEST_F(EventLogTest, UserTextIsNeverReadPastItsBuffer)
{
    std::wstring longText(5000, L'x');
    fake.events[12] = {Event(5, 12, kTime, {{EvtVarTypeString, 0, longText}, {EvtVarTypeUInt32, 1}})};
    Run();
    std::vector<std::string> evr = Evr();
    ASSERT_EQ(1u, evr.size());
    EXPECT_NE(std::string::npos, evr[0].find(std::string(5000, 'x') + " / 1 /"));

    // The same event whose text runs to the buffer's very end without its terminator.
    fake.events[12] = {Event(6, 12, kTime, {{EvtVarTypeString, 0, L"abc"}})};
    log.Take();
    CEventLogHelper helper(3);
    EventLogApi cut = kFakeApi;
    cut.Render = [](EVT_HANDLE context, EVT_HANDLE event, DWORD flags, DWORD size, void* buffer, DWORD* used,
                    DWORD* count) -> BOOL {
        BOOL ok = FakeRender(context, event, flags, size, buffer, used, count);
        // The text's terminator, the buffer's last character, is overwritten.
        if (ok && g_fake->At(context).kind == 'u') static_cast<wchar_t*>(buffer)[size / sizeof(wchar_t) - 1] = L'z';
        return ok;
    };
    SetEventLogApi(&cut);
    helper.LogSystemEvents();
    std::string text = log.Take();
    EXPECT_NE(std::string::npos, text.find(" 6 abcz / ")) << text;
}

TEST_F(EventLogTest, FailedEventCloseIsLoggedAndRetried)
{
    fake.events[1074] = {Event(1, 1074, kTime)};
    fake.failures = {{"Close event", ERROR_INVALID_HANDLE}};
    Run();
    EXPECT_EQ(2, std::count(fake.calls.begin(), fake.calls.end(), "Close e"));
    std::vector<std::string> errors = log.Texts(" * ");
    EXPECT_NE(errors.end(), std::find(errors.begin(), errors.end(), "0x00000006 EvtClose"));
    EXPECT_EQ(0, fake.open);
}

}  // namespace
