// The clock's hand-off of a time to the time-setting service: the service's state, and the
// pipe exchange against a pipe server of the tests' own. Each status line the hand-off
// leaves is recorded with its kind (a failure result, or a plain "error ... L:tag" line).
#include "SntpTestSupport.h"
#include "TimeSetClient.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace sntptest;

namespace {

struct StatusLine
{
    std::string text;
    BOOL result;
    bool operator==(const StatusLine& other) const { return text == other.text && result == other.result; }
};

void PrintTo(const StatusLine& line, std::ostream* out) { *out << (line.result ? "result " : "line ") << line.text; }

class RecordingTimeSet : public FakeStateTimeSet
{
public:
    RecordingTimeSet()
    {
        SetStatusSink([this](const wchar_t* text, BOOL result) {
            std::string narrow;
            for (const wchar_t* p = text; *p; ++p) narrow += static_cast<char>(*p);
            lines.push_back({narrow, result});
        });
    }
    std::vector<StatusLine> lines;
};

class TimeSetTest : public testing::Test
{
protected:
    void SetUp() override { App(); }
    RecordingTimeSet service;
};

// The service side of the pipe: one connection, with the answer the case asks for.
class PipeServer
{
public:
    enum class Answer { Zero, Five, Nothing, TwoBytes };

    explicit PipeServer(Answer answer) : m_answer(answer)
    {
        m_name = L"\\\\.\\Pipe\\ZarnockSntpTest" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++s_count);
        m_pipe.Reset(CreateNamedPipeW(m_name.c_str(), PIPE_ACCESS_DUPLEX,
                                      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 64, 64, 0, nullptr));
        m_done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_thread = std::thread([this] { Serve(); });
    }
    ~PipeServer()
    {
        SetEvent(m_done);
        m_thread.join();
    }
    const wchar_t* Name() const { return m_name.c_str(); }
    DWORD received = 0;
    SYSTEMTIME request{};

private:
    void Serve()
    {
        if (!ConnectNamedPipe(m_pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
        ReadFile(m_pipe, &request, sizeof(request), &received, nullptr);
        DWORD n = 0;
        DWORD reply = m_answer == Answer::Five ? 5 : 0;
        if (m_answer == Answer::Zero || m_answer == Answer::Five) WriteFile(m_pipe, &reply, 4, &n, nullptr);
        if (m_answer == Answer::TwoBytes) WriteFile(m_pipe, &reply, 2, &n, nullptr);
        WaitForSingleObject(m_done, 10000);
        DisconnectNamedPipe(m_pipe);
    }

    static inline int s_count = 0;
    Answer m_answer;
    std::wstring m_name;
    CHandle m_pipe;
    CHandle m_done;
    std::thread m_thread;
};

struct PipeCase
{
    const char* why;
    PipeServer::Answer answer;
    BOOL result;
    const char* line;
};

class PipeTest : public TimeSetTest, public testing::WithParamInterface<PipeCase>
{
};

TEST_P(PipeTest, SendTimeToService)
{
    const PipeCase& c = GetParam();
    PipeServer server(c.answer);
    service.fakeState = SERVICE_RUNNING;
    service.m_pipeName = server.Name();
    service.m_pipeTimeoutMs = 500;
    SYSTEMTIME t{2026, 12, 2, 8, 12, 34, 56, 789};
    DWORD start = GetTickCount();
    EXPECT_EQ(service.SendTimeToService(t), c.result);
    EXPECT_LT(GetTickCount() - start, 3000u) << "the exchange is bounded";
    EXPECT_EQ(server.received, 16u);
    EXPECT_EQ(memcmp(&server.request, &t, sizeof(t)), 0);
    std::vector<StatusLine> expected;
    if (c.line) expected.push_back({c.line, FALSE});
    EXPECT_EQ(service.lines, expected) << c.why;
}

INSTANTIATE_TEST_SUITE_P(Answers, PipeTest, testing::Values(
    PipeCase{"0 is success", PipeServer::Answer::Zero, TRUE, nullptr},
    PipeCase{"any other reply fails", PipeServer::Answer::Five, FALSE, "error 0x000005 L:640"},
    PipeCase{"a short reply fails", PipeServer::Answer::TwoBytes, FALSE, "error 0x000002 L:633"},
    PipeCase{"a silent service is given up", PipeServer::Answer::Nothing, FALSE, "error 0x000102 L:626"}));

TEST_F(TimeSetTest, ServiceStatesOtherThanRunningFailBeforeThePipe)
{
    struct { DWORD state; StatusLine line; } cases[] = {
        {SERVICE_STOPPED, {"service stopped", TRUE}},
        {SERVICE_START_PENDING, {"service start pending", TRUE}},
        {SERVICE_STOP_PENDING, {"service stop pending", TRUE}},
        {SERVICE_CONTINUE_PENDING, {"service continue pending", TRUE}},
        {SERVICE_PAUSE_PENDING, {"service pause pending", TRUE}},
        {SERVICE_PAUSED, {"service paused", TRUE}},
        {9, {"service status unknown", TRUE}},
        {0, {"error 00000000 L:537", FALSE}},
    };
    SYSTEMTIME t{2026, 12, 2, 8, 12, 34, 56, 0};
    for (auto& c : cases) {
        service.lines.clear();
        service.fakeState = c.state;
        EXPECT_FALSE(service.SendTimeToService(t));
        EXPECT_EQ(service.lines, std::vector<StatusLine>{c.line}) << c.state;
    }
}

TEST_F(TimeSetTest, WithoutThePipeOpeningFails)
{
    service.fakeState = SERVICE_RUNNING;
    service.m_pipeName = L"\\\\.\\Pipe\\ZarnockSntpTestNobodyHere";
    SYSTEMTIME t{2026, 12, 2, 8, 12, 34, 56, 0};
    EXPECT_FALSE(service.SendTimeToService(t));
    EXPECT_EQ(service.lines, (std::vector<StatusLine>{{"error 0x000002 L:595", FALSE}}));
}

TEST_F(TimeSetTest, AMissingServiceHasState0)
{
    service.m_serviceName = L"ZarnockSntpTestNoSuchService";
    EXPECT_EQ(service.QueryServiceState(), 0u);
    EXPECT_EQ(service.lines, (std::vector<StatusLine>{{"error 0x000424 L:118", FALSE}}));
}

} // namespace
