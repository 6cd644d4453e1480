// The pipe server end to end, in this process, under a pipe name of its own: the genuine
// request, hostile clients, stopping, and who may talk to it.
#include "Kestrom.h"
#include "LogMan.h"
#include "PipeClient.h"
#include "TestFiles.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace kestrom_test;

constexpr DWORD kNoReply = 0xFFFFFFFF;

class TimeSetPipeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int serial = 0;
        m_name = L"\\\\.\\pipe\\KestromTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++serial);
        m_logPath = zntest::UniqueTempPath(L"kestrom-pipe", L".log");
        m_log = std::make_unique<CLogMan>();
        m_log->Recreate(m_logPath.c_str());
    }

    void TearDown() override
    {
        if (m_thread.joinable())
            StopServer();
        if (m_server)
            m_server->Close();
        m_log.reset();
        DeleteFileW(m_logPath.c_str());
    }

    void StartServer(DWORD clientTimeoutMs)
    {
        m_server = std::make_unique<CTimeSetPipe>(m_name.c_str(), clientTimeoutMs);
        ASSERT_EQ(0u, m_server->CreateEvents());
        ASSERT_EQ(0u, m_server->CreatePipe());
        m_stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(m_stop.IsValid());
        m_thread = std::thread([this] {
            m_result = m_server->Serve(m_stop.Get());
            m_finished = true;
        });
    }

    // Milliseconds from the stop to the end of the serve loop.
    ULONGLONG StopServer()
    {
        ULONGLONG start = GetTickCount64();
        SetEvent(m_stop.Get());
        m_thread.join();
        return GetTickCount64() - start;
    }

    DWORD Send(const SYSTEMTIME& time)
    {
        DWORD reply = kNoReply;
        DWORD error = SendTime(m_name.c_str(), time, &reply);
        EXPECT_EQ(0u, error) << "exchange failed";
        return reply;
    }

    std::string LogText()
    {
        m_log->Close();
        return zntest::ReadBytes(m_logPath);
    }

    std::wstring m_name;
    std::wstring m_logPath;
    std::unique_ptr<CLogMan> m_log;
    std::unique_ptr<CTimeSetPipe> m_server;
    CHandle m_stop;
    std::thread m_thread;
    std::atomic<DWORD> m_result{kNoReply};
    std::atomic<bool> m_finished{false};
};

TEST_F(TimeSetPipeTest, GenuineRequests)
{
    StartServer(2000);
    SYSTEMTIME year1500 = UtcNowPlus(0);
    year1500.wYear = 1500;
    struct Case {
        SYSTEMTIME time;
        DWORD expected;
        const char* why;
    } cases[] = {
        {UtcNowPlus(0), 0, "within half a second of now"},
        {UtcNowPlus(3600), ERROR_PRIVILEGE_NOT_HELD, "an hour away: refused, answered with the code"},
        {Month13(), ERROR_INVALID_PARAMETER, "malformed time"},
        {year1500, ERROR_INVALID_PARAMETER, "a time the system refuses; the service keeps running"},
        {UtcNowPlus(0), 0, "still served after refusals"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Send(c.time)) << c.why;
    EXPECT_LT(StopServer(), 2000u);
    EXPECT_EQ(0u, m_result.load());
}

TEST_F(TimeSetPipeTest, WrongSizesAreAnsweredWithInvalidData)
{
    StartServer(2000);
    const Hostile sized[] = {Hostile::Empty, Hostile::OneByte, Hostile::Fifteen, Hostile::Seventeen, Hostile::Huge};
    for (Hostile kind : sized) {
        DWORD reply = kNoReply;
        EXPECT_EQ(0u, PlayHostile(m_name.c_str(), kind, &reply));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), reply) << "hostile kind " << static_cast<int>(kind);
    }
    EXPECT_EQ(0u, Send(UtcNowPlus(0)));
    EXPECT_FALSE(m_finished.load());
    std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("\t0x000000ea\tKestrom.cpp:")) << "more data logged:\n" << log;
}

TEST_F(TimeSetPipeTest, EarlyDisconnectsAndSilenceDropOnlyThatClient)
{
    // The service's own deadline: every other client waits while one holds the instance.
    StartServer(kClientTimeoutMs);
    for (Hostile kind : {Hostile::OpenAndClose, Hostile::WriteAndClose, Hostile::Silent, Hostile::Lingering}) {
        DWORD reply = kNoReply;
        ULONGLONG start = GetTickCount64();
        EXPECT_EQ(0u, PlayHostile(m_name.c_str(), kind, &reply)) << static_cast<int>(kind);
        if (kind == Hostile::Silent || kind == Hostile::Lingering) {
            EXPECT_LT(GetTickCount64() - start, 2000u) << "let go at 500 ms, kind " << static_cast<int>(kind);
        }
        EXPECT_EQ(0u, Send(UtcNowPlus(0))) << "served after kind " << static_cast<int>(kind);
    }
    EXPECT_FALSE(m_finished.load());
    std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("\t0x00000102\t")) << "the silent client's time-out is logged:\n" << log;
}

TEST_F(TimeSetPipeTest, AThousandConnectionsInARow)
{
    StartServer(300);
    DWORD reply = kNoReply;
    // Warm up: the first round makes the system's own lazily created handles (waiting for a
    // busy pipe makes one), which a leak count must not see.
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(0u, PlayHostile(m_name.c_str(), kAllHostile[i % 7], &reply));
        Send(Month13());
    }
    DWORD before = SettledHandleCount(GetCurrentProcessId());
    ASSERT_GT(before, 0u) << "no handle count to compare";
    int served = 0;
    for (int i = 0; i < 1000; ++i) {
        if (i % 8 == 7) {
            served += Send(Month13()) == ERROR_INVALID_PARAMETER;
            continue;
        }
        Hostile kind = kAllHostile[i % 7];  // every kind but the silent one
        EXPECT_EQ(0u, PlayHostile(m_name.c_str(), kind, &reply)) << i;
    }
    EXPECT_EQ(125, served);
    EXPECT_EQ(0u, Send(UtcNowPlus(0)));
    EXPECT_EQ(before, SettledHandleCount(GetCurrentProcessId()));
    EXPECT_FALSE(m_finished.load());
}

TEST_F(TimeSetPipeTest, StopEndsTheServiceWhileAClientHoldsThePipeSilent)
{
    StartServer(60000);
    std::atomic<bool> clientDone{false};
    std::thread silent([this, &clientDone] {
        DWORD reply;
        PlayHostile(m_name.c_str(), Hostile::Silent, &reply);
        clientDone = true;
    });
    // Until the silent client holds the one instance, a second client finds it busy.
    DWORD error = 0;
    HANDLE probe = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 100; ++i) {
        probe = CreateFileW(m_name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        error = GetLastError();
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);  // got in before the silent client; let it have the pipe
            Sleep(20);
            continue;
        }
        if (error == ERROR_PIPE_BUSY)
            break;
        Sleep(10);
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_PIPE_BUSY), error) << "one client at a time";
    Sleep(100);
    EXPECT_LT(StopServer(), 2000u);
    EXPECT_EQ(0u, m_result.load());
    silent.join();
    EXPECT_TRUE(clientDone.load());
}

TEST_F(TimeSetPipeTest, StopWhileWaitingForAClient)
{
    StartServer(2000);
    Sleep(50);
    EXPECT_LT(StopServer(), 1000u);
    EXPECT_EQ(0u, m_result.load());
}

TEST_F(TimeSetPipeTest, OnlyLocalClientsAndNoSecondInstance)
{
    EXPECT_EQ(static_cast<DWORD>(PIPE_REJECT_REMOTE_CLIENTS), CTimeSetPipe::kPipeMode & PIPE_REJECT_REMOTE_CLIENTS);
    EXPECT_EQ(static_cast<DWORD>(PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE),
        CTimeSetPipe::kPipeMode & (PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE));
    StartServer(2000);

    // Nobody can put up a second instance for the clock to talk to.
    HANDLE squatter = CreateNamedPipeW(m_name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, PIPE_UNLIMITED_INSTANCES,
        16, 16, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, squatter);
    if (squatter != INVALID_HANDLE_VALUE)
        CloseHandle(squatter);
    CTimeSetPipe second(m_name.c_str(), 2000);
    ASSERT_EQ(0u, second.CreateEvents());
    EXPECT_NE(0u, second.CreatePipe());

    DWORD flags = 0, maxInstances = 0;
    ASSERT_TRUE(GetNamedPipeInfo(m_server->PipeHandle(), &flags, nullptr, nullptr, &maxInstances));
    EXPECT_EQ(static_cast<DWORD>(PIPE_SERVER_END | PIPE_TYPE_MESSAGE), flags);
    EXPECT_EQ(1u, maxInstances);
    EXPECT_EQ(0u, Send(UtcNowPlus(0)));
}

TEST_F(TimeSetPipeTest, EveryoneMayReadAndWriteButNotChangeThePipe)
{
    StartServer(2000);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetSecurityInfo(m_server->PipeHandle(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
        nullptr, &dacl, nullptr, &descriptor);
    ASSERT_EQ(0u, error);
    CLocalMemory descriptorOwner(descriptor);
    ASSERT_NE(nullptr, dacl) << "a null access list would give everyone full control";

    BYTE worldSid[SECURITY_MAX_SID_SIZE], systemSid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof worldSid;
    CreateWellKnownSid(WinWorldSid, nullptr, worldSid, &size);
    size = sizeof systemSid;
    CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &size);
    ACCESS_MASK world = 0, system = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        ASSERT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
        PSID sid = &ace->SidStart;
        if (EqualSid(sid, worldSid))
            world |= ace->Mask;
        if (EqualSid(sid, systemSid))
            system |= ace->Mask;
    }
    // Generic rights in the descriptor are mapped to the pipe's own when it is made.
    EXPECT_NE(0u, world & (FILE_READ_DATA | GENERIC_READ));
    EXPECT_NE(0u, world & (FILE_WRITE_DATA | GENERIC_WRITE));
    EXPECT_EQ(0u, world & (WRITE_DAC | WRITE_OWNER | GENERIC_ALL | DELETE));
    EXPECT_NE(0u, system & (WRITE_DAC | GENERIC_ALL));
}

} // namespace
