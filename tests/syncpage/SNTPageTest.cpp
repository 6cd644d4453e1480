// The Time Synchronization page: the server list read from real files (damaged and hostile
// ones too), the combo's contents and selection in the real page, the settings it writes,
// and "Adjust &Now" against chrony on loopback and against a server that never answers.
#include "SNTPage.h"

#include "Settings.h"
#include "SyncPageFixture.h"
#include "resource.h"

#include "MessagePump.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

#include <vector>

namespace {

using namespace syncpage;
using namespace zntest;

std::string Sections(int count, const std::string& prefix = "s")
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "[" + prefix + std::to_string(i) + "]\r\nLoc=Server " + std::to_string(i) + "\r\nAdr=host" +
                std::to_string(i) + ".example\r\n";
    return text;
}

std::string Utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

struct ListCase
{
    const char* why;
    std::string bytes;
    bool missing;
    size_t count;                 // usable sections
    const wchar_t* firstLoc;      // of the first usable one, when any
    const wchar_t* firstAdr;
};

TEST(ServerList, ReadsWhatIsUsableFromAnyFile)
{
    std::string junk(4096, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919) % 256);
    const std::string big = "[big]\r\nLoc=Big\r\nAdr=big.example\r\n" + std::string(2 * 1024 * 1024, 'x') + "\r\n";
    const std::string longValue(300, 'L');
    const ListCase cases[] = {
        {"missing file", "", true, 0, nullptr, nullptr},
        {"empty file", "", false, 0, nullptr, nullptr},
        {"ANSI", "[a]\r\nLoc=Alpha\r\nAdr= alpha.example \r\n", false, 1, L"Alpha", L"alpha.example"},
        {"UTF-16 with BOM", Utf16File(L"[a]\r\nLoc=\u00c5land\r\nAdr=aland.example\r\n"), false, 1, L"\u00c5land",
         L"aland.example"},
        {"no Adr, blank Adr, no Loc", "[a]\r\nLoc=A\r\n[b]\r\nLoc=B\r\nAdr=   \r\n[c]\r\nAdr=c.example\r\n[d]\r\nLoc=D\r\nAdr=d\r\n",
         false, 1, L"D", L"d"},
        {"values cut to 127", "[a]\r\nLoc=" + longValue + "\r\nAdr=" + longValue + "\r\n", false, 1, nullptr, nullptr},
        {"10,000 sections: only names that fit in 1024 characters", Sections(10000), false, 0, L"Server 0",
         L"host0.example"},
        {"2 MB of one line", big, false, 1, L"Big", L"big.example"},
        {"binary junk", junk, false, 0, nullptr, nullptr},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.why);
        const std::wstring path = UniqueTempPath(L"timesvrs", L".dat");
        if (!c.missing) WriteBytes(path, c.bytes);
        const auto servers = CSNTPage::ReadServerList(path.c_str());
        DeleteFileW(path.c_str());
        if (c.count) {
            EXPECT_EQ(c.count, servers.size());
        }
        if (c.firstLoc) {
            ASSERT_FALSE(servers.empty());
            EXPECT_STREQ(c.firstLoc, servers[0].loc);
            EXPECT_STREQ(c.firstAdr, servers[0].adr);
        }
        for (const auto& s : servers) {
            EXPECT_LE(s.loc.GetLength(), 127);
            EXPECT_LE(s.adr.GetLength(), 127);
            EXPECT_FALSE(s.loc.IsEmpty() || s.adr.IsEmpty());
        }
        if (c.bytes == Sections(10000)) {
            // "[sN]" names of 3 to 6 characters: well under 300 fit, never a cut one.
            EXPECT_GT(servers.size(), 150u);
            EXPECT_LT(servers.size(), 300u);
        }
    }
}

TEST(ServerList, TheShippedListIsUsable)
{
    const char* bin = getenv("ZARNOCK_TEST_BIN");
    ASSERT_TRUE(bin);
    std::wstring path(bin, bin + strlen(bin));
    for (auto& ch : path) if (ch == L'/') ch = L'\\';
    path = L"Z:" + path + L"\\timesvrs.dat";
    const auto servers = CSNTPage::ReadServerList(path.c_str());
    EXPECT_GE(servers.size(), 40u);
    for (const auto& s : servers) EXPECT_EQ(-1, s.adr.FindOneOf(L" \t/:")) << s.adr.GetString();
}

class SNTPageTest : public ClockFixture
{
protected:
    void SetUp() override
    {
        ClockFixture::SetUp();
        listPath = UniqueTempPath(L"timesvrs", L".dat");
        CSNTPage::s_serverListPath = listPath.c_str();
    }
    void TearDown() override
    {
        CSNTPage::s_serverListPath = nullptr;
        DeleteFileW(listPath.c_str());
        ClockFixture::TearDown();
    }
    static std::vector<std::wstring> ComboItems(HWND page)
    {
        std::vector<std::wstring> items;
        const int n = static_cast<int>(SendDlgItemMessageW(page, IDC_SNTP_SERVER, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t text[256] = L"";
            SendDlgItemMessageW(page, IDC_SNTP_SERVER, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        return items;
    }
    static std::vector<std::wstring> ListLines(HWND page)
    {
        std::vector<std::wstring> lines;
        const int n = static_cast<int>(SendDlgItemMessageW(page, IDC_SNTP_LOG, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t text[512] = L"";
            SendDlgItemMessageW(page, IDC_SNTP_LOG, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            lines.push_back(text);
        }
        return lines;
    }
    static int Selected(HWND page) { return static_cast<int>(SendDlgItemMessageW(page, IDC_SNTP_SERVER, CB_GETCURSEL, 0, 0)); }

    std::wstring listPath;
};

struct SelectionCase
{
    const char* why;
    const char* file;
    const wchar_t* svr;
    std::vector<std::wstring> items;
    int selected;
    const wchar_t* address;
};

TEST_F(SNTPageTest, ListsTheServersAndSelectsTheStoredOne)
{
    const char* twoServers = "[b]\r\nLoc=Beta\r\nAdr=de.pool.ntp.org\r\n[a]\r\nLoc=Alpha\r\nAdr=alpha.example\r\n";
    const SelectionCase cases[] = {
        {"stored server in the file under another letter case", twoServers, L"DE.Pool.NTP.org",
         {L" [ Do not synchronize ]", L"Alpha", L"Beta"}, 2, L"de.pool.ntp.org"},
        {"stored server not in the file: shown as itself", twoServers, L"10.1.2.3",
         {L" [ Do not synchronize ]", L"10.1.2.3", L"Alpha", L"Beta"}, 1, L"10.1.2.3"},
        {"nothing stored", twoServers, nullptr, {L" [ Do not synchronize ]", L"Alpha", L"Beta"}, 0, L""},
        {"missing file and a stored server", nullptr, L"ntp.example", {L" [ Do not synchronize ]", L"ntp.example"}, 1,
         L"ntp.example"},
        {"texts that may sort before the first item stay after it",
         "[x]\r\nLoc=!!first\r\nAdr=x.example\r\n[y]\r\nLoc=[ \r\nAdr=y.example\r\n", L"x.example",
         {L" [ Do not synchronize ]", L"[", L"!!first"}, -2, L"x.example"},
        {"the same text twice: the one whose address is stored",
         "[p]\r\nLoc=Same\r\nAdr=p.example\r\n[q]\r\nLoc=Same\r\nAdr=q.example\r\n", L"q.example",
         {L" [ Do not synchronize ]", L"Same", L"Same"}, -2, L"q.example"},
    };
    for (const SelectionCase& c : cases) {
        SCOPED_TRACE(c.why);
        DeleteFileW(listPath.c_str());
        if (c.file) WriteBytes(listPath, c.file);
        if (c.svr) WriteSettingString(Setting::kSVR, c.svr);
        else WriteSettingString(Setting::kSVR, nullptr);
        std::vector<std::wstring> items;
        int selected = -1;
        std::wstring address;
        bool adjustEnabled = true;
        OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
            items = ComboItems(page);
            selected = Selected(page);
            address = GetItemText(page, IDC_SNTP_ADDRESS);
            adjustEnabled = IsItemEnabled(page, IDC_SNTP_ADJUST_NOW);
            Press(sheet, PSBTN_CANCEL);
        });
        // Leading blanks are kept; the combo's own order of the rest is the system's.
        std::vector<std::wstring> sortedItems(items.begin() + (items.empty() ? 0 : 1), items.end());
        std::vector<std::wstring> expected(c.items.begin() + 1, c.items.end());
        std::sort(sortedItems.begin(), sortedItems.end());
        std::sort(expected.begin(), expected.end());
        ASSERT_FALSE(items.empty());
        EXPECT_EQ(c.items[0], items[0]);
        EXPECT_EQ(expected, sortedItems);
        if (c.selected >= 0) {
            EXPECT_EQ(c.selected, selected);
        } else {
            EXPECT_GT(selected, 0);
        }
        EXPECT_EQ(std::wstring(c.address), address);
        EXPECT_EQ(selected > 0, adjustEnabled);
    }
}

TEST_F(SNTPageTest, IntervalIsShownInRangeAndOkWritesWhatThePageShows)
{
    WriteBytes(listPath, "[a]\r\nLoc=Alpha\r\nAdr=alpha.example\r\n");
    struct Case { int stored; const wchar_t* shown; } cases[] = {{0, L"1"}, {100, L"24"}, {7, L"7"}};
    for (const Case& c : cases) {
        WriteSettingInt(Setting::kAHR, c.stored);
        std::wstring shown;
        OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
            shown = GetItemText(page, IDC_SNTP_INTERVAL);
            Press(sheet, PSBTN_CANCEL);
        });
        EXPECT_EQ(std::wstring(c.shown), shown) << c.stored;
    }

    // "Do not synchronize" disables the page and OK stores an empty server.
    WriteSettingString(Setting::kSVR, L"alpha.example");
    WriteSettingInt(Setting::kNOD, 1);
    bool enabledAfter = true, intervalEnabled = true;
    OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
        SetCheck(page, IDC_SNTP_AUTOMATIC, true);
        SetItemText(page, IDC_SNTP_INTERVAL, L"5");
        SetCheck(page, IDC_SNTP_MSO, true);
        SendDlgItemMessageW(page, IDC_SNTP_LAN, BM_CLICK, 0, 0);
        SelectCombo(page, IDC_SNTP_SERVER, 0);
        enabledAfter = IsItemEnabled(page, IDC_SNTP_ADJUST_NOW) || IsItemEnabled(page, IDC_SNTP_LOG) ||
                       IsItemEnabled(page, IDC_SNTP_LAN) || IsItemEnabled(page, IDC_SNTP_AUTOMATIC);
        intervalEnabled = IsItemEnabled(page, IDC_SNTP_INTERVAL);
        Press(sheet, PSBTN_OK);
    });
    EXPECT_FALSE(enabledAfter);
    EXPECT_FALSE(intervalEnabled);
    EXPECT_EQ(L"", std::wstring(GetSettingString(Setting::kSVR)));
    EXPECT_EQ(1, GetSettingInt(Setting::kATA));
    EXPECT_EQ(5, GetSettingInt(Setting::kAHR));
    EXPECT_EQ(1, GetSettingInt(Setting::kMSO));
    EXPECT_EQ(0, GetSettingInt(Setting::kNOD));

    // No range check on the typed interval: a negative one is stored as 24.
    OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
        SelectCombo(page, IDC_SNTP_SERVER, 1);
        SetItemText(page, IDC_SNTP_INTERVAL, L"-3");
        Press(sheet, PSBTN_OK);
    });
    EXPECT_EQ(24, GetSettingInt(Setting::kAHR));
}

// "Adjust &Now" against chrony: the client's progress lines in the list box, the sync log's
// line, and "&Clear Log" deleting that log.
TEST_F(SNTPageTest, AdjustNowAgainstChronyFillsTheListAndTheSyncLog)
{
    const std::wstring address = ChronyAddress();
    ASSERT_FALSE(address.empty());
    WriteBytes(listPath, "[c]\r\nLoc=Chrony on loopback\r\nAdr=" + Utf8(address) + "\r\n");
    const std::wstring logPath(CSNTPage::SyncLogPath());
    DeleteFileW(logPath.c_str());
    std::vector<std::wstring> lines;
    std::string logText;
    bool logGone = false;
    OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
        SelectCombo(page, IDC_SNTP_SERVER, 1);
        Click(page, IDC_SNTP_ADJUST_NOW);
        // The client's last line ("Synchronization disabled") comes first.
        WaitFor([&] { return ListLines(page).size() >= 3; }, 12000);
        lines = ListLines(page);
        logText = ReadBytes(logPath);
        Click(page, IDC_SNTP_CLEAR_LOG);
        logGone = WaitFor([&] { return !FileExists(logPath); }, 3000);
        Press(sheet, PSBTN_CANCEL);
    });
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(L"Synchronization disabled", lines[0]);
    EXPECT_EQ(L"Started", lines[1]);
    EXPECT_EQ(0u, lines[2].rfind(L"Synchronized : ", 0)) << Utf8(lines[2]);
    EXPECT_NE(std::string::npos, logText.find("Time Synchronized to Host '" + Utf8(address) + "' : ")) << logText;
    EXPECT_EQ(1, recorder.sets);
    EXPECT_TRUE(logGone);
    // Opening the page again shows the client's last line first.
    std::vector<std::wstring> again;
    OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
        again = ListLines(page);
        Press(sheet, PSBTN_CANCEL);
    });
    ASSERT_EQ(1u, again.size());
    EXPECT_EQ(lines[2], again[0]);
}

// A server that never answers: the sheet stays responsive while the query runs, closing it
// mid-query detaches the list box, the query ends on its own, and Cancel put the stored
// (empty) server back into the client.
TEST_F(SNTPageTest, AdjustNowNeverBlocksAndCancelDuringTheQueryIsSafe)
{
    WriteBytes(listPath, "[s]\r\nLoc=Silent\r\nAdr=127.3.3.3\r\n");
    CSNTPWnd* sntp = clock->GetSntpWnd();
    bool running = false, answered = false;
    OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
        SelectCombo(page, IDC_SNTP_SERVER, 1);
        Click(page, IDC_SNTP_ADJUST_NOW);
        running = WaitFor([&] { return sntp->IsRequestRunning(); }, 3000);
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(page, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
        Press(sheet, PSBTN_CANCEL);
    });
    EXPECT_TRUE(running);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(sntp->IsRequestRunning()) << "the query goes on after the sheet";
    EXPECT_TRUE(PumpUntil([&] { return !sntp->IsRequestRunning(); }, 15000));
    EXPECT_EQ(0, sntp->m_strStatus.Find(L"Failed : timeout")) << Utf8(std::wstring(sntp->m_strStatus));
    sntp->SyncNow(FALSE);
    EXPECT_FALSE(sntp->IsRequestRunning()) << "Cancel left the page's server in the client";
}

// "Adjust &Now" while a scheduled query runs: the page says the clock is busy, changes
// nothing in that query, and does not show its result as the page's own.
TEST_F(SNTPageTest, AdjustNowWhileAQueryRunsSaysBusyAndLeavesThatQueryAlone)
{
    WriteBytes(listPath, "[o]\r\nLoc=Other\r\nAdr=127.3.3.4\r\n");
    CSNTPWnd* sntp = clock->GetSntpWnd();
    sntp->Synchronize("127.3.3.3", 123, FALSE);
    ASSERT_TRUE(sntp->IsRequestRunning());
    std::vector<std::wstring> lines, after;
    OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
        const size_t before = ListLines(page).size();
        SelectCombo(page, IDC_SNTP_SERVER, 1);
        SetCheck(page, IDC_SNTP_MSO, true);
        Click(page, IDC_SNTP_ADJUST_NOW);
        WaitFor([&] { return ListLines(page).size() > before; }, 3000);
        lines = ListLines(page);
        recorder.tickOffset = 10000;
        WaitFor([&] { return !sntp->IsRequestRunning(); }, 5000);
        // Answered once the client's timer message (which ends the query) has returned.
        SendMessageW(page, WM_NULL, 0, 0);
        after = ListLines(page);
        Press(sheet, PSBTN_CANCEL);
    });
    recorder.tickOffset = 0;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(L"Busy with another synchronization: please try again in a few seconds", lines.back());
    EXPECT_EQ(lines, after) << "the other query's result is not the page's";
    EXPECT_FALSE(sntp->IsRequestRunning());
}

// A stored server of more than 255 characters reads back whole: OK without a change leaves
// the client's schedule alone (a restart would set the periodic timer again).
TEST_F(SNTPageTest, OkWithALongStoredServerAndNoChangeLeavesTheScheduleAlone)
{
    const std::wstring name = std::wstring(300, L'n') + L".example";
    WriteSettingString(Setting::kSVR, name.c_str());
    WriteSettingInt(Setting::kATA, 1);
    CSNTPWnd* sntp = clock->GetSntpWnd();
    sntp->LoadOptions(TRUE);
    ASSERT_TRUE(KillTimer(sntp->m_hWnd, 18));
    std::wstring address;
    OpenSheet(COptionsSheet::kTimeSyncPage, [&](DWORD, HWND sheet, HWND page) {
        address = GetItemText(page, IDC_SNTP_ADDRESS);
        Press(sheet, PSBTN_OK);
    });
    EXPECT_EQ(name, address);
    EXPECT_FALSE(KillTimer(sntp->m_hWnd, 18)) << "OK restarted the schedule";
    EXPECT_EQ(name, std::wstring(GetSettingString(Setting::kSVR)));
}

} // namespace
