#include "SupportMail.h"
#include "SupportShell.h"

#include "LogCapture.h"
#include "SupportRegistry.h"

#include <gtest/gtest.h>

namespace {

TEST(SupportShell, ErrorCodeText)
{
    EXPECT_STREQ(L"Error: 0x000005", ErrorCodeText(5));
    EXPECT_STREQ(L"Error: 00000000", ErrorCodeText(0));
    EXPECT_STREQ(L"Error: 0x80004005", ErrorCodeText(0x80004005));
}

TEST(SupportShell, MonitorLogTextAndEnumeration)
{
    MONITORINFO info{};
    info.rcMonitor = {0, 0, 1920, 1080};
    info.dwFlags = MONITORINFOF_PRIMARY;
    EXPECT_STREQ(L"1 (0,0)(1920x1080)", MonitorLogText(info));
    info.rcMonitor = {-1280, 100, 0, 1124};
    info.dwFlags = 0;
    EXPECT_STREQ(L"0 (-1280,100)(1280x1024)", MonitorLogText(info));

    LogCapture log;
    std::vector<RECT> rects;
    ASSERT_TRUE(EnumDisplayMonitors(nullptr, nullptr, MonitorEnumProc, reinterpret_cast<LPARAM>(&rects)));
    ASSERT_GE(rects.size(), 1u);
    EXPECT_EQ(rects.size(), log.Entries(" - ").size());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), rects[0].right - rects[0].left);
}

// The clock's kind of target: handlers for some ids, update handlers for fewer.
class MenuTarget : public CWnd
{
public:
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* cmdUI, bool queryOnly) override
    {
        if (code == CN_UPDATE_COMMAND_UI) {
            if (id == 10) { cmdUI->Enable(FALSE); return TRUE; }
            if (id == 11) { cmdUI->SetCheck(1); return TRUE; }
            return FALSE;
        }
        if (code == CN_COMMAND && (id == 10 || id == 11 || id == 12 || id == 21)) {
            if (!queryOnly) ++ran;
            return TRUE;
        }
        return FALSE;
    }
    int ran = 0;
};

UINT State(HMENU m, UINT id) { return GetMenuState(m, id, MF_BYCOMMAND); }

TEST(SupportShell, UpdateMenuCmdUIWalksTheWholeMenu)
{
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 21, L"nested, handled");
    AppendMenuW(sub, MF_STRING, 22, L"nested, no handler");
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 10, L"disabled by its update handler");
    AppendMenuW(menu, MF_STRING, 11, L"checked by its update handler");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, 12, L"handler only");
    AppendMenuW(menu, MF_STRING, 13, L"no handler");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"sub");

    MenuTarget target;
    UpdateMenuCmdUI(&target, menu);
    EXPECT_TRUE(State(menu, 10) & MF_GRAYED);
    EXPECT_FALSE(State(menu, 11) & MF_GRAYED);
    EXPECT_TRUE(State(menu, 11) & MF_CHECKED);
    EXPECT_FALSE(State(menu, 12) & MF_GRAYED);
    EXPECT_TRUE(State(menu, 13) & MF_GRAYED);
    EXPECT_FALSE(State(sub, 21) & MF_GRAYED);
    EXPECT_TRUE(State(sub, 22) & MF_GRAYED);
    EXPECT_EQ(0, target.ran) << "the walk only asks; it never runs a command";
    DestroyMenu(menu);
}

TEST(SupportShell, GetLocalDateTime)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    COleDateTime now = GetLocalDateTime();
    ASSERT_EQ(COleDateTime::valid, now.GetStatus());
    EXPECT_GE(now.GetYear(), before.wYear);
    EXPECT_LE(now.GetYear(), before.wYear + 1);
}

TEST(SupportShell, SkipWorkingSetTrim)
{
    EXPECT_EQ(1, SkipWorkingSetTrim());
}

TEST(SupportMail, CommandProgramPath)
{
    struct Case { const wchar_t* command; const wchar_t* program; const char* why; };
    const Case cases[] = {
        {L"\"C:\\Program Files\\Mail\\mail.exe\" /compose \"%1\"", L"C:\\Program Files\\Mail\\mail.exe", "quoted"},
        {L"C:\\mail.exe -m %1", L"C:\\mail.exe", "up to the first blank"},
        {L"C:\\mail.exe", L"", "no blank: no program"},
        {L"\"C:\\mail.exe", L"", "no closing quote"},
        {L"\"", L"", "a lone quote"},
        {L"\" C:\\x.exe \" -a", L"C:\\x.exe", "trimmed"},
        {L"", L"", "empty"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.program, CommandProgramPath(c.command)) << c.why;
}

TEST(SupportMail, UserChoiceProgIdWins)
{
    const wchar_t key[] = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\mailto\\UserChoice";
    ASSERT_EQ(0, RegistryWriteString(HKEY_CURRENT_USER, key, L"Progid", L"ZnTest.Mail", nullptr));
    CString client;
    LogCapture log;
    EXPECT_TRUE(GetDefaultMailClient(client, true));
    EXPECT_STREQ(L"ZnTest.Mail", client);
    EXPECT_EQ(2u, log.Entries(" - ").size()) << "the id and its command";
    RegistryDeleteValue(HKEY_CURRENT_USER, key, L"Progid");

    // Without a choice: the "mailto" command, usable only when its program exists.
    CString command = RegistryReadString(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", nullptr, L"", FALSE);
    command.Trim();
    bool found = GetDefaultMailClient(client, false);
    if (found) EXPECT_STREQ(command, client);
    else EXPECT_TRUE(client.IsEmpty());
}

} // namespace
