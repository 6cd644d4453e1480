// Shared pieces of the SNTP and worker-thread tests: the test's own application object and
// program log, with the common files and message pump at hand, and a hand-off to the
// time-setting service whose state the test sets.
#pragma once

#include "ClassLib.h"
#include "MessagePump.h"
#include "TestFiles.h"
#include "TimeSetClient.h"

#include <string>

namespace sntptest {

// The application object of this test program (own profile name, so parallel test programs
// never share settings) with its program log open on a temporary file.
CWinApp& App();
// The program log's text so far (UTF-8 bytes, as written).
std::string ProgramLog();

// The hand-off with a service state of the test's choosing; kRealState asks the service manager.
class FakeStateTimeSet : public CTimeSetClient
{
public:
    static constexpr DWORD kRealState = 0xFFFF;
    DWORD QueryServiceState() override
    {
        return fakeState == kRealState ? CTimeSetClient::QueryServiceState() : fakeState;
    }
    DWORD fakeState = kRealState;
};

using zntest::Pump;
using zntest::PumpUntil;
using zntest::ReadBytes;
using zntest::UniqueTempPath;

} // namespace sntptest
