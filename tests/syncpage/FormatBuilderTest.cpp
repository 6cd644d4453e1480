// The display-format builder on the real Clock page (every menu code once, checked against
// what the clock then shows), the hidden separators and the zone token, and the time-zone
// dialogs over the prefix's real "Time Zones" key.
#include "AddTimeZoneDlg.h"
#include "DigitClockAccess.h"
#include "ClockPage.h"
#include "ClockPageFormat.h"
#include "Globals.h"
#include "Settings.h"
#include "SupportTime.h"
#include "SyncPageFixture.h"
#include "TimeZoneFormatDlg.h"
#include "resource.h"

#include "TestFiles.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <regex>

namespace {

using namespace syncpage;
using namespace zntest;

TEST(FormatBuilder, HiddenSeparatorsAroundAnInsertedCode)
{
    struct Case { const wchar_t* text; int start, end; const wchar_t* code, *result; const char* why; } cases[] = {
        {L"hh", 2, 2, L"mm", L"~mm", "after an hours code"},
        {L"hh:", 3, 3, L"mm", L"mm", "after a colon"},
        {L"tt", 0, 0, L"ss", L"ss~", "at 0 before the AM/PM code"},
        {L"@", 0, 0, L"[#005]", L"[#005]~", "in front of @"},
        {L"#005", 0, 0, L"[#001]", L"[#001]~", "in front of #"},
        {L"5", 0, 0, L"[#001]", L"[#001]", "in front of a digit"},
        {L" x", 0, 0, L"[#001]", L"[#001]", "in front of a blank"},
        {L"@x", 1, 1, L"d", L"~d~", "between @ and a letter"},
        {L"abc", 0, 3, L"d", L"d", "the whole text replaced"},
        {L"\u00e9", 1, 1, L"d", L"~d", "a letter of the locale"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.result, SeparatedToken(c.text, c.start, c.end, c.code, TRUE)) << c.why;
    EXPECT_STREQ(L"mm", SeparatedToken(L"hh", 2, 2, L"mm", FALSE));
}

TEST(FormatBuilder, ZoneTokensKeepTheLabelAsTyped)
{
    struct Case { const wchar_t* label; int number, room; const wchar_t* token; } cases[] = {
        {L"", 5, 383, L"[#005]"},
        {L"Tokyo", 12, 383, L"['Tokyo' - #012]"},
        {L"It's", 140, 383, L"['It''''s' - #140]"},
        {L"100%", 1, 383, L"['100%%' - #001]"},
        {L"a|b #005 ~", 1, 383, L"['a|b #005 ~' - #001]"},
        {L"'s''", 7, 383, L"['''s''''' - #007]"},  // quotes at the ends and in a row
        {L"''", 7, 383, L"['''' - #007]"},
        {L"Tokyo", 12, 14, L"['Tok' - #012]"},
        {L"It's", 1, 16, L"['It''' - #001]"},   // a quote is never cut in half
        {L"Tokyo", 12, 6, L"[#012]"},
        {L"Tokyo", 12, 5, L""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.token, ZoneToken(c.label, c.number, c.room)) << c.label << " " << c.room;
    // A huge label is cut in one pass over what fits (cut from its end it would take hours).
    const std::wstring huge(200000, L'a');
    EXPECT_STREQ((L"['" + std::wstring(372, L'a') + L"' - #001]").c_str(), ZoneToken(huge.c_str(), 1, 383));
}

TEST(TimeZones, OffsetsAndOrder)
{
    struct Case { const wchar_t* display; int offset; } cases[] = {
        {L"(UTC+05:30) Chennai, Kolkata", 5030}, {L"(UTC-03:30) Newfoundland", -3030},
        {L"(UTC) Coordinated Universal Time", 0}, {L"(UTC+05:30)", 5030}, {L"(UTC+5:30)", 0},
        {L"(GMT+01:00) x", 1000}, {L"short", 0}, {L"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.offset, CAddTimeZoneDlg::ParseOffset(c.display)) << c.display;

    // By offset, then by name without regard to case; a text without offset among the zeros.
    std::vector<std::unique_ptr<CRegistryTimeZoneInfo>> zones;
    for (const wchar_t* d : {L"(UTC+01:00) b", L"(UTC) Coordinated Universal Time", L"(UTC-05:00) x", L"(UTC+01:00) A",
                             L"(UTC+00:00) Dublin"})
        zones.push_back(std::make_unique<CRegistryTimeZoneInfo>(CRegistryTimeZoneInfo{0, CAddTimeZoneDlg::ParseOffset(d), L"", d}));
    CAddTimeZoneDlg::SortZones(zones);
    std::vector<std::wstring> order;
    for (const auto& z : zones) order.push_back(z->display.GetString());
    EXPECT_THAT(order, testing::ElementsAre(L"(UTC-05:00) x", L"(UTC) Coordinated Universal Time", L"(UTC+00:00) Dublin",
                                            L"(UTC+01:00) A", L"(UTC+01:00) b"));
}

// The prefix's real zones; a key of the test's own without "Display" is left out while the
// keys after it keep their places in the enumeration.
TEST(TimeZones, ReadsTheSystemZonesWithTheirEnumerationNumbers)
{
    const std::wstring root = GetTimeZonesKeyPath();
    const std::wstring own = L"Zarnock Test Zone " + std::to_wstring(GetCurrentProcessId());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (root + L"\\" + own).c_str(), 0, nullptr, 0, KEY_WRITE,
                                             nullptr, &key, nullptr));
    RegCloseKey(key);
    const auto zones = CAddTimeZoneDlg::ReadZones();
    std::vector<std::wstring> names;
    HKEY rootKey = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, root.c_str(), 0, KEY_READ, &rootKey);
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD n = 512;
        if (RegEnumKeyExW(rootKey, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(rootKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (root + L"\\" + own).c_str());

    EXPECT_GT(zones.size(), 100u);
    EXPECT_EQ(names.size() - 1, zones.size()) << "every zone but the test's own has a display text";
    for (const auto& z : zones) {
        ASSERT_LT(static_cast<size_t>(z->number), names.size());
        EXPECT_EQ(names[static_cast<size_t>(z->number)], std::wstring(z->keyName));
        EXPECT_NE(own, std::wstring(z->keyName));
    }
}

HWND FindThreadMenu(DWORD thread)
{
    HWND found = nullptr;
    EnumThreadWindows(thread, [](HWND w, LPARAM lp) {
        wchar_t cls[16];
        if (IsWindowVisible(w) && GetClassNameW(w, cls, 16) && lstrcmpW(cls, L"#32768") == 0) {
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Chooses the item at index (separators not counted) of the thread's pop-up menu with
// keys, each step waiting until the menu shows the item it moved to.
bool ChooseMenuItemSteps(HWND menuWnd, int index);

bool ChooseMenuItem(DWORD thread, int index)
{
    HWND menuWnd = nullptr;
    if (!WaitFor([&] { return (menuWnd = FindThreadMenu(thread)) != nullptr; }, 3000)) return false;
    if (ChooseMenuItemSteps(menuWnd, index)) return true;
    // Never leave the menu's loop running: the page could not be driven any more.
    PostMessageW(menuWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(GetWindow(menuWnd, GW_OWNER), WM_CANCELMODE, 0, 0);
    WaitFor([&] { return !IsWindow(menuWnd) || !IsWindowVisible(menuWnd); }, 2000);
    return false;
}

bool ChooseMenuItemSteps(HWND menuWnd, int index)
{
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWnd, MN_GETHMENU, 0, 0));
    std::vector<int> positions;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        if (!(GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR)) positions.push_back(i);
    if (index >= static_cast<int>(positions.size())) return false;
    auto lit = [&](int k) {
        return (GetMenuState(menu, static_cast<UINT>(positions[static_cast<size_t>(k)]), MF_BYPOSITION) & MF_HILITE) != 0;
    };
    // Should the pointer still lie over the menu and select an item of its own, walk from
    // the first item again until the wanted one is the selected one.
    bool reached = false;
    for (int attempt = 0; attempt < 10 && !reached; ++attempt) {
        PostMessageW(menuWnd, WM_KEYDOWN, VK_HOME, 0);
        if (!WaitFor([&] { return lit(0); }, 500)) continue;
        for (int k = 1; k <= index; ++k) PostMessageW(menuWnd, WM_KEYDOWN, VK_DOWN, 0);
        reached = WaitFor([&] { return lit(index); }, 500);
    }
    if (!reached) return false;
    PostMessageW(menuWnd, WM_KEYDOWN, VK_RETURN, 0);
    return WaitFor([&] { return !IsWindow(menuWnd) || !IsWindowVisible(menuWnd); }, 3000);
}

// A visible window of the thread owned by owner.
HWND OwnedWindow(DWORD thread, HWND owner)
{
    std::pair<HWND, HWND> search(owner, nullptr);
    EnumThreadWindows(thread, [](HWND w, LPARAM lp) {
        auto* s = reinterpret_cast<std::pair<HWND, HWND>*>(lp);
        if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == s->first) s->second = w;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

struct MenuCase
{
    int button;
    int index;
    const wchar_t* code;
    const wchar_t* shows;   // the clock's text, as a pattern
};

const wchar_t kDay[] = L"(Mon|Tue|Wed|Thu|Fri|Sat|Sun)";
const wchar_t kMonth[] = L"(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)";

class FormatMenuTest : public ClockFixture
{
protected:
    void SetUp() override
    {
        ClockFixture::SetUp();
        // The display's pointer starts at its centre, where the pop-up menus open: a menu
        // mapped under it gets a mouse move, which can select an item of its own between
        // the keys that chose one and the Enter that takes it. The display is this
        // program's own, so the pointer is put in the corner no window covers.
        SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
};

TEST_F(FormatMenuTest, EveryMenuCodeGoesInAsGivenAndShowsOnTheClock)
{
    const std::wstring day = kDay, month = kMonth;
    const std::wstring dayFull = L"(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday)";
    const std::wstring monthFull = L"(January|February|March|April|May|June|July|August|September|October|November|December)";
    const std::wstring samples[] = {
        day + L", \\d{1,2} " + month + L" \\d{4}",
        monthFull + L" \\d{2}, \\d{4}",
        L"\\d{1,2} " + month + L" '\\d{2} \\(" + day + L"\\)",
    };
    const MenuCase cases[] = {
        {IDC_DATE, 0, L"d", L"\\d{1,2}"}, {IDC_DATE, 1, L"dd", L"\\d{2}"}, {IDC_DATE, 2, L"ddd", kDay},
        {IDC_DATE, 3, L"dddd", dayFull.c_str()}, {IDC_DATE, 4, L"M", L"\\d{1,2}"}, {IDC_DATE, 5, L"MM", L"\\d{2}"},
        {IDC_DATE, 6, L"MMM", kMonth}, {IDC_DATE, 7, L"MMMM", monthFull.c_str()}, {IDC_DATE, 8, L"yy", L"\\d{2}"},
        {IDC_DATE, 9, L"yyyy", L"\\d{4}"}, {IDC_DATE, 10, L"gg", L"\\S+"}, {IDC_DATE, 11, L"w", L"\\d{1,2}"},
        {IDC_DATE, 12, L"ww", L"\\d{2}"}, {IDC_DATE, 13, L"D", L"\\d{1,3}"}, {IDC_DATE, 14, L"DDD", L"\\d{3}"},
        {IDC_TIME, 0, L"h", L"\\d{1,2}"}, {IDC_TIME, 1, L"hh", L"\\d{2}"}, {IDC_TIME, 2, L"H", L"\\d{1,2}"},
        {IDC_TIME, 3, L"HH", L"\\d{2}"}, {IDC_TIME, 4, L"m", L"\\d{1,2}"}, {IDC_TIME, 5, L"mm", L"\\d{2}"},
        {IDC_TIME, 6, L"s", L"\\d{1,2}"}, {IDC_TIME, 7, L"ss", L"\\d{2}"}, {IDC_TIME, 8, L"S", L"\\d"},
        {IDC_TIME, 9, L"SS", L"\\d{2}"}, {IDC_TIME, 10, L"SSS", L"\\d{3}"}, {IDC_TIME, 11, L"t", L"[AP]"},
        {IDC_TIME, 12, L"tt", L"[AP]M"}, {IDC_TIME, 13, L"zz", L"[-+]?\\d.*"}, {IDC_TIME, 14, L"ZZ", L".+"},
        {IDC_TIME, 15, L"@", L"@\\d{3}.*"},
        {IDC_SAMPLES, 0, L"ddd, d MMM yyyy", samples[0].c_str()},
        {IDC_SAMPLES, 1, L"MMMM dd, yyyy", samples[1].c_str()},
        {IDC_SAMPLES, 2, L"d MMM ''yy (ddd)", samples[2].c_str()},
        {IDC_SAMPLES, 3, L"dd/MM/yyyy", L"\\d{2}/\\d{2}/\\d{4}"}, {IDC_SAMPLES, 4, L"MM-dd-yyyy", L"\\d{2}-\\d{2}-\\d{4}"},
        {IDC_SAMPLES, 5, L"yy.MM.dd", L"\\d{2}\\.\\d{2}\\.\\d{2}"}, {IDC_SAMPLES, 6, L"h.mm tt", L"\\d{1,2}\\.\\d{2} [AP]M"},
        {IDC_SAMPLES, 7, L"hh:mm:ss t", L"\\d{2}:\\d{2}:\\d{2} [AP]"}, {IDC_SAMPLES, 8, L"HH'h'mm'm'", L"\\d{2}h\\d{2}m"},
        {IDC_SAMPLES, 9, L"HH:mm:ss.SSS", L"\\d{2}:\\d{2}:\\d{2}\\.\\d{3}"},
        {IDC_SEPARATOR, 0, L" ", L"( |Empty Clock)"}, {IDC_SEPARATOR, 1, L"' '", L"( |Empty Clock)"},
        {IDC_SEPARATOR, 2, L"~", L"(|Empty Clock)"},
        {IDC_SEPARATOR, 3, L"|", L"\\s*"}, {IDC_SEPARATOR, 4, L":", L":"}, {IDC_SEPARATOR, 5, L";", L";"},
        {IDC_SEPARATOR, 6, L".", L"\\."}, {IDC_SEPARATOR, 7, L",", L","}, {IDC_SEPARATOR, 8, L"''", L"'"},
        {IDC_SEPARATOR, 9, L"/", L"/"}, {IDC_SEPARATOR, 10, L"-", L"-"}, {IDC_SEPARATOR, 11, L"%", L"%"},
    };
    struct Seen { std::wstring edit, clock; };
    std::vector<Seen> seen;
    int alignment = -1, image = -1;
    OpenSheet(COptionsSheet::kClockPage, [&](DWORD thread, HWND sheet, HWND page) {
        for (const MenuCase& c : cases) {
            SetItemText(page, IDC_FORMAT, L"");
            Click(page, c.button);
            if (!ChooseMenuItem(thread, c.index)) {
                ADD_FAILURE() << "menu item not chosen: " << Utf8(c.code);
                break;
            }
            WaitFor([&] { return !GetItemText(page, IDC_FORMAT).empty(); }, 2000);
            seen.push_back({GetItemText(page, IDC_FORMAT), GetText(hwnd)});
        }
        Click(page, IDC_ALIGNMENT);
        ChooseMenuItem(thread, 2);
        WaitFor([&] { return ClockFields(clock).m_alignment() == 2; }, 2000);
        alignment = ClockFields(clock).m_alignment();
        auto* clockPage = dynamic_cast<CClockPage*>(CWnd::FromHandlePermanent(page));
        image = clockPage ? clockPage->m_alignmentButton.GetImageIndex() : -1;
        Press(sheet, PSBTN_CANCEL);
    });
    ASSERT_EQ(std::size(cases), seen.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        const MenuCase& c = cases[i];
        SCOPED_TRACE(Utf8(c.code));
        EXPECT_EQ(std::wstring(c.code), seen[i].edit);
        EXPECT_TRUE(std::regex_match(seen[i].clock, std::wregex(c.shows))) << "clock shows \"" << Utf8(seen[i].clock) << "\"";
    }
    EXPECT_EQ(2, alignment) << "Centred";
    EXPECT_EQ(2, image);
}

std::wstring Repeat(const wchar_t* text, int times)
{
    std::wstring out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

// A zone added through the dialog with a hostile label (pasted, as a user would) shows on the
// clock as typed, after the format that was there, and the value written is the zone's
// number without zeros with the chosen zone's key name. The label edit takes no more than
// the format can show.
TEST_F(FormatMenuTest, AZoneWithAHostileLabelShowsAsTyped)
{
    struct Case { std::wstring label; bool cut; } cases[] = {
        {L"It's \"100%\" | #005 ~ ''x'' %d'", false},
        {L"'", false},
        {Repeat(L"Ab'%", 100), true},
        {std::wstring(30000, L'x'), true},
    };
    for (const Case& c : cases) {
        std::wstring edit, shown, chosen;
        size_t labelLength = 0;
        int number = -1;
        OpenSheet(COptionsSheet::kClockPage, [&](DWORD thread, HWND sheet, HWND page) {
            SetItemText(page, IDC_FORMAT, L"HH:mm ");
            SendDlgItemMessageW(page, IDC_FORMAT, EM_SETSEL, 6, 6);
            Click(page, IDC_TIME_ZONE);
            HWND dlg = WaitForThreadDialog(thread, 5000, L"Add Time Zone");
            ASSERT_TRUE(dlg);
            SendDlgItemMessageW(dlg, IDC_TZ_LABEL, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(c.label.c_str()));
            labelLength = GetItemText(dlg, IDC_TZ_LABEL).size();
            SelectCombo(dlg, IDC_TZ_ZONE, 3);
            chosen = GetItemText(dlg, IDC_TZ_ZONE);
            Click(dlg, IDOK);
            WaitForWindowGone(dlg, 5000);
            edit = GetItemText(page, IDC_FORMAT);
            shown = GetText(hwnd);
            Press(sheet, PSBTN_OK);
        });
        std::wsmatch m;
        ASSERT_TRUE(std::regex_search(edit, m, std::wregex(L"#(\\d{3})\\]$"))) << Utf8(edit);
        number = std::stoi(m[1].str());
        EXPECT_LE(edit.size(), 383u);
        EXPECT_EQ(std::min<size_t>(c.label.size(), CAddTimeZoneDlg::kLabelLimit), labelLength);
        // The zone of that number (read as the dialog reads them, checked above against the
        // registry) is the one chosen, and its key name is what was stored.
        const auto zones = CAddTimeZoneDlg::ReadZones();
        const auto zone = std::find_if(zones.begin(), zones.end(), [&](const auto& z) { return z->number == number; });
        ASSERT_NE(zones.end(), zone);
        EXPECT_EQ(chosen, std::wstring((*zone)->display));
        EXPECT_EQ(std::wstring((*zone)->keyName), std::wstring(GetZoneSetting(number))) << "value \"" << number << "\"";
        EXPECT_EQ(0u, edit.rfind(L"HH:mm [", 0)) << Utf8(edit);
        ASSERT_TRUE(std::regex_match(shown, m, std::wregex(L"\\d{2}:\\d{2} \\[(.*) - (.+)\\]"))) << Utf8(shown);
        if (c.cut) {
            EXPECT_EQ(0u, c.label.rfind(m[1].str(), 0)) << "a beginning of the label";
        } else {
            EXPECT_EQ(c.label, m[1].str());
        }
        EXPECT_GT(m[1].str().size(), c.cut ? 50u : 0u);
    }
}

// The zone format dialog from the Add dialog: military time changes every sample at once,
// OK stores the layout and the flag, a layout out of range comes back as 0.
TEST_F(FormatMenuTest, ZoneFormatDialogShowsSamplesAndStoresTheChoice)
{
    g_zonePrefixMode = -5;
    g_zoneTimeMode = 0;
    std::vector<std::wstring> before, after;
    std::wstring noZone;
    bool stayed = false;
    OpenSheet(COptionsSheet::kClockPage, [&](DWORD thread, HWND sheet, HWND page) {
        Click(page, IDC_TIME_ZONE);
        HWND add = WaitForThreadDialog(thread, 5000, L"Add Time Zone");
        ASSERT_TRUE(add);
        Click(add, IDC_TZ_FORMAT);
        HWND format = WaitForThreadDialog(thread, 5000, L"Time Zone Information");
        ASSERT_TRUE(format);
        for (int id = IDC_TZF_TIME; id <= IDC_TZF_DAY_DATE_TIME; ++id) before.push_back(GetItemText(format, id));
        SetCheck(format, IDC_TZF_MILITARY, true);
        for (int id = IDC_TZF_TIME; id <= IDC_TZF_DAY_DATE_TIME; ++id) after.push_back(GetItemText(format, id));
        Click(format, IDOK);
        WaitForWindowGone(format, 5000);
        // "&Add" without a zone keeps the dialog open with its message.
        SendDlgItemMessageW(add, IDC_TZ_ZONE, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        Click(add, IDOK);
        // The box is owned by the Add dialog (the sheet is a dialog of the thread too).
        HWND box = nullptr;
        WaitFor([&] { return (box = OwnedWindow(thread, add)) != nullptr; }, 5000);
        if (box) {
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                wchar_t cls[16];
                if (GetClassNameW(c, cls, 16) && lstrcmpiW(cls, L"Static") == 0) noZone += GetText(c);
            }
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            WaitForWindowGone(box, 5000);
        }
        stayed = IsWindow(add) && IsWindowVisible(add);
        Click(add, IDCANCEL);
        WaitForWindowGone(add, 5000);
        Press(sheet, PSBTN_CANCEL);
    });
    ASSERT_EQ(4u, before.size());
    ASSERT_EQ(4u, after.size());
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_THAT(before[i], testing::EndsWith(L"M")) << "12-hour sample " << i;
        EXPECT_TRUE(std::regex_search(after[i], std::wregex(L"\\d{2}:\\d{2}$"))) << Utf8(after[i]);
    }
    EXPECT_THAT(before[1], testing::StartsWith(after[1].substr(0, 4)));
    EXPECT_EQ(0, GetSettingInt(Setting::kFTZ));
    EXPECT_EQ(1, GetSettingInt(Setting::kFTZTM));
    EXPECT_EQ(0, g_zonePrefixMode);
    EXPECT_EQ(1, g_zoneTimeMode);
    EXPECT_EQ(L"Please select a time zone.", noZone);
    EXPECT_TRUE(stayed);
    g_zoneTimeMode = 0;
}

} // namespace
