#include "SntpTestSupport.h"

#include "LogCapture.h"
#include "ProfileTestApp.h"

namespace sntptest {

namespace {

struct TestApplication : ProfileTestApp
{
    TestApplication() : ProfileTestApp(L"Zarnock SNTP Tests", L"Zarnock") {}
    LogCapture m_log{10 * 1024 * 1024};
};

TestApplication& TheApp()
{
    static TestApplication app;
    return app;
}

} // namespace

CWinApp& App() { return TheApp(); }

std::string ProgramLog()
{
    return TheApp().m_log.Text();
}

} // namespace sntptest
