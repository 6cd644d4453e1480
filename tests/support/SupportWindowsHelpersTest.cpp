// Error texts, the process token, the screen, and the thread DPI switch where the function
// is missing.
#include "SupportWindowsHelpers.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WindowsHelpers, ErrorTextsTokensAndTheScreen)
{
    EXPECT_FALSE(GetErrorText(ERROR_FILE_NOT_FOUND).IsEmpty());
    EXPECT_TRUE(GetErrorText(0x2FFFFFFF).IsEmpty()) << "no message for the code";

    BOOL elevated = 7;
    EXPECT_EQ(S_OK, GetProcessElevation(GetCurrentProcess(), &elevated));
    EXPECT_TRUE(elevated == 0 || elevated == 1);
    EXPECT_EQ(S_OK, GetProcessElevation(GetCurrentProcess(), nullptr));
    EXPECT_EQ(E_FAIL, GetProcessElevation(nullptr, &elevated));
    EXPECT_EQ(FALSE, elevated);

    // Every Wine process runs as an administrator.
    EXPECT_EQ(1, IsUserAdmin());
    EXPECT_EQ(FALSE, IsWow64()) << "a 64-bit build";
    EXPECT_GT(GetScreenDpiY(), 0);
    EXPECT_GT(GetScreenDpiX(), 0);
    EXPECT_EQ(nullptr, GetLastActivePopupWnd()) << "no main window";
    EXPECT_EQ(1, TrimWorkingSet());
}

TEST(WindowsHelpers, AMissingDpiFunctionIsLoggedOnlyFromWindows10On)
{
    HMODULE without = GetModuleHandleW(L"kernel32.dll");
    const auto unaware = DPI_AWARENESS_CONTEXT_UNAWARE;
    {
        LogCapture log;
        EXPECT_EQ(unaware, SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE, without, 6));
        EXPECT_EQ(unaware, SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE, nullptr, 2));
        EXPECT_EQ(std::string(), log.Text()) << "older systems never had it";
    }
    {
        LogCapture log;
        EXPECT_EQ(unaware, SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE, without, 7));
        EXPECT_EQ(unaware, SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE, nullptr, 7));
        std::string text = log.Text();
        size_t first = text.find("SetThreadDpiAwarenessContext");
        ASSERT_NE(std::string::npos, first);
        EXPECT_NE(std::string::npos, text.find("SetThreadDpiAwarenessContext", first + 1)) << "one entry per call";
    }
    {
        // Wine's user32 has the function: the thread's context changes and nothing is logged.
        LogCapture log;
        DPI_AWARENESS_CONTEXT previous = SetThreadDpiAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
        EXPECT_NE(nullptr, previous);
        SetThreadDpiAwareness(previous);
        EXPECT_EQ(std::string(), log.Text());
    }
}

} // namespace
