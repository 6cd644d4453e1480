// The About box on its real template, driven from a second thread, and the help: the real
// zarnock.chm beside the test program under Wine's HTML Help viewer (its window and title,
// never its pages, which Wine shows blank), and the message for a missing file.
#include "AboutDlg.h"
#include "AppHelp.h"
#include "resource.h"

#include "ClockTestApp.h"
#include "DialogDriver.h"
#include "MessagePump.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

#include <mutex>
#include <vector>

namespace {

// The folder of the test program (the build's bin folder, where zarnock.chm lies too).
std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

class TestAbout : public CAboutDlg
{
public:
    void OpenAddress(const wchar_t* address) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        opened.push_back(address);
    }
    std::mutex m_lock;
    std::vector<std::wstring> opened;
};

POINT ClientCentre(HWND dialog, int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    POINT pt{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(dialog, &pt);
    return pt;
}

void Mouse(HWND dialog, UINT msg, POINT pt)
{
    SendMessageW(dialog, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(pt.x, pt.y));
}

TEST(AboutDlgTest, TextsLinkClicksAndTheFileVersionOnADoubleClick)
{
    TestAbout about;
    std::wstring caption, title, version, longVersion, notice, link;
    COLORREF linkColour = 0;
    size_t openedAfterClick = 0, openedAfterMisses = 0;
    zntest::RunModal([&] { about.DoModal(); },
                     [&](DWORD thread) {
                         HWND d = zntest::WaitForThreadDialog(thread, 5000, L"About Zarnock");
                         if (!d) return;
                         caption = zntest::GetText(d);
                         title = zntest::GetItemText(d, IDC_ABOUT_TITLE);
                         version = zntest::GetItemText(d, IDC_ABOUT_VERSION);
                         notice = zntest::GetItemText(d, IDC_ABOUT_NOTICE);
                         link = zntest::GetItemText(d, IDC_ABOUT_LINK);
                         HDC dc = CreateCompatibleDC(nullptr);
                         SendMessageW(d, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                      reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_ABOUT_LINK)));
                         linkColour = GetTextColor(dc);
                         DeleteDC(dc);

                         const POINT on = ClientCentre(d, IDC_ABOUT_LINK), off = ClientCentre(d, IDC_ABOUT_NOTICE);
                         Mouse(d, WM_LBUTTONDOWN, on);
                         Mouse(d, WM_LBUTTONUP, on);
                         openedAfterClick = about.opened.size();
                         Mouse(d, WM_LBUTTONDOWN, on);
                         Mouse(d, WM_LBUTTONUP, off);
                         Mouse(d, WM_LBUTTONDOWN, off);
                         Mouse(d, WM_LBUTTONUP, on);
                         openedAfterMisses = about.opened.size();

                         SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_ICON, STN_DBLCLK),
                                      reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_ABOUT_ICON)));
                         longVersion = zntest::GetItemText(d, IDC_ABOUT_VERSION);
                         zntest::Click(d, IDOK);
                     });
    EXPECT_EQ(caption, L"About Zarnock");
    EXPECT_EQ(title, L"Zarnock");
    EXPECT_EQ(version, L"Version 5.1.2");
    EXPECT_EQ(longVersion, L"Version 5.1.2  File version 5.1.2.0") << "the test program carries the clock's version";
    EXPECT_FALSE(notice.empty());
    EXPECT_EQ(link, L"www.mervale-software.example");
    EXPECT_EQ(linkColour, RGB(0, 0, 255));
    EXPECT_EQ(openedAfterClick, 1u);
    EXPECT_EQ(openedAfterMisses, 1u) << "a click that starts or ends off the link opens nothing";
    ASSERT_FALSE(about.opened.empty());
    EXPECT_EQ(about.opened[0], L"https://www.mervale-software.example/zarnock/?src=about&version=5.1.2.0r");
}

TEST(AboutDlgTest, FileVersionLineWithoutAReadableProgram)
{
    for (const wchar_t* path : {L"", L"C:\\no\\such\\program.exe"}) {
        std::wstring line = CAboutDlg::FileVersionLine(L"Version ", path).GetString();
        EXPECT_THAT(line, testing::StartsWith(L"Version 5.1.2  File version (0x")) << path;
        EXPECT_THAT(line, testing::EndsWith(L")")) << path;
    }
}

TEST(HelpRules, PathsAndTopics)
{
    EXPECT_STREQ(GetHelpFilePath(L"").GetString(), L"");
    EXPECT_STREQ(GetHelpFilePath(nullptr).GetString(), L"");
    EXPECT_STREQ(GetHelpFilePath(L"C:\\Zarnock").GetString(), L"C:\\Zarnock\\zarnock.chm");
    EXPECT_STREQ(GetHelpFilePath(L"C:\\Zarnock\\").GetString(), L"C:\\Zarnock\\zarnock.chm");
    EXPECT_STREQ(GetHelpTopic(CString(L"h.chm"), 0).GetString(), L"h.chm");
    EXPECT_STREQ(GetHelpTopic(CString(L"h.chm"), 0x213EF).GetString(), L"h.chm::/html/tips/addtimeserver.htm");
}

BOOL CALLBACK CollectHelpWindow(HWND hwnd, LPARAM param)
{
    wchar_t cls[32];
    if (GetClassNameW(hwnd, cls, 32) && lstrcmpW(cls, L"HH Parent") == 0) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND ThreadHelpWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), CollectHelpWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

class HelpTest : public testing::Test
{
protected:
    void SetUp() override { g_app.ClearStore(); }
    void TearDown() override
    {
        if (HWND h = ThreadHelpWindow()) SendMessageW(h, WM_CLOSE, 0, 0);
        zntest::PumpPending();
        g_app.ClearStore();
    }
    // Runs WinHelp, answering a box if one comes; the box's text.
    std::wstring RunHelp(DWORD_PTR data)
    {
        std::wstring boxText;
        zntest::RunModal([&] { g_app.WinHelp(data, data ? HELP_CONTEXT : HELP_FINDER); },
                         [&](DWORD thread) { zntest::AnswerBox(thread, IDOK, 1500, &boxText); });
        return boxText;
    }
};

TEST_F(HelpTest, HelpFileBesideTheProgramOpensInTheViewer)
{
    ASSERT_TRUE(zntest::FileExists(ProgramFolder() + L"\\zarnock.chm")) << "built beside the program";
    g_app.SetInstallPath(ProgramFolder().c_str());
    for (DWORD_PTR data : {DWORD_PTR(0), kHelpContextTimeSync}) {
        EXPECT_EQ(RunHelp(data), L"") << "no box for " << data;
        HWND viewer = nullptr;
        EXPECT_TRUE(zntest::PumpUntil([&] { return (viewer = ThreadHelpWindow()) != nullptr; }, 5000)) << data;
        if (!viewer) continue;
        wchar_t title[64] = {};
        GetWindowTextW(viewer, title, 64);
        EXPECT_STREQ(title, L"Zarnock Help");
        SendMessageW(viewer, WM_CLOSE, 0, 0);
        zntest::PumpUntil([&] { return !IsWindow(viewer); }, 3000);
        EXPECT_FALSE(IsWindow(viewer));
    }
}

TEST_F(HelpTest, MissingFileOrInstallPathShowsCannotOpenHelp)
{
    zntest::TempFolder empty;
    g_app.SetInstallPath(empty.Path().c_str());
    EXPECT_EQ(RunHelp(0), L"Cannot open help.") << "no file in the install folder";
    g_app.ClearStore();
    EXPECT_EQ(RunHelp(0), L"Cannot open help.") << "no install path";
    EXPECT_EQ(ThreadHelpWindow(), nullptr);
}

}  // namespace
