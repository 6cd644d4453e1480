#include "SyncPageFixture.h"

#include "Globals.h"
#include "LocaleTimeFormats.h"
#include "Settings.h"
#include "StringTable.h"
#include "resource.h"

#include "GdiplusSession.h"
#include "ProfileTestApp.h"
#include "TestFiles.h"

namespace syncpage {

using namespace zntest;

namespace {
ProfileTestApp g_app(L"ZarnockSyncPageTests");
testing::Environment* const g_gdiplus = testing::AddGlobalTestEnvironment(new GdiplusSession);
}

CWinApp& App()
{
    return g_app;
}

void ClockFixture::SetUp()
{
    g_app.ClearStore();
    // Every Wine process may set the clock: the client sets it itself (into the recorder).
    g_canSetClock = 1;
    // Start-up's locale formats, which the zone format dialog's samples use.
    InitLocaleTimeFormats();
    // Not a first start: the clock must not open the sheet by itself.
    WriteSettingInt(Setting::kFST, 0);
    WriteSettingInt(Setting::kCF, 0);
    WriteSettingString(Setting::kFT, L"HH:mm:ss");
    clock = new CDigitClock;
    clock->SetClockFont(nullptr);
    clock->SetFormat(L"HH:mm:ss", FALSE);
    g_app.m_pMainWnd = clock;
    ASSERT_TRUE(clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100,
                                100, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
    hwnd = clock->m_hWnd;
    clock->GetSntpWnd()->SetClock(&recorder);
}

void ClockFixture::TearDown()
{
    g_app.m_pMainWnd = nullptr;
    if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
    else if (!hwnd) delete clock;
    g_app.ClearStore();
}

void ClockFixture::OpenSheet(int page, const std::function<void(DWORD, HWND, HWND)>& driver, DWORD watchdogMs)
{
    RunModal([&] { clock->SendMessage(WM_COMMAND, ID_OPTIONS); },
             [&](DWORD thread) {
                 HWND sheet = WaitForThreadDialog(thread, 5000, COptionsSheet::Caption());
                 ASSERT_TRUE(sheet) << "no sheet";
                 SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(page), 0);
                 driver(thread, sheet, CurrentPage(sheet));
             },
             watchdogMs);
}

HWND CurrentPage(HWND sheet)
{
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void Press(HWND sheet, int button)
{
    PostMessageW(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
    WaitForWindowGone(sheet, 5000);
}

std::wstring ChronyAddress()
{
    const char* dir = getenv("ZARNOCK_CHRONY_DIR");
    EXPECT_TRUE(dir) << "run through ctest: the chrony fixture starts the server";
    if (!dir) return {};
    std::string address = ReadBytes(std::wstring(dir, dir + strlen(dir)) + L"\\address");
    while (!address.empty() && (address.back() == '\n' || address.back() == '\r')) address.pop_back();
    EXPECT_FALSE(address.empty()) << "chrony's address file is missing";
    return std::wstring(address.begin(), address.end());
}

} // namespace syncpage
