#include "SntpTestSupport.h"

#include "Log/LogMan.h"

#include <gtest/gtest.h>

namespace sntptest {

namespace {

struct TestApplication : CWinApp
{
    TestApplication() : CWinApp(L"Zarnock")
    {
        SetRegistryKey(L"Mervale Software");
        m_pszProfileName = L"Zarnock SNTP Tests";
        m_logPath = TempFile(L"sntp_program_log");
        m_log.OpenFile(m_logPath.c_str(), L'-', FALSE, 0, 10 * 1024 * 1024);
        SetAppLogMan(&m_log);
    }
    ~TestApplication() override
    {
        SetAppLogMan(nullptr);
        m_log.Close();
        DeleteFileW(m_logPath.c_str());
    }
    CLogMan m_log;
    std::wstring m_logPath;
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
    TheApp().m_log.Flush();
    return ReadBytes(TheApp().m_logPath);
}

std::wstring TempFile(const wchar_t* stem)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + stem + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(GetTickCount()) + L".txt";
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(f, buffer, sizeof(buffer), &n, nullptr) && n) bytes.append(buffer, n);
    CloseHandle(f);
    return bytes;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

void Pump(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

} // namespace sntptest
