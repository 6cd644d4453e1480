// The Options sheet driven for real, opened through the clock window's own command in the
// test's process: caption, pages, topmost, the live preview on the clock, OK into the
// store, Cancel leaving the store byte for byte as it was, a damaged store, typed input,
// and the colour popup with the mouse and with "&Other...".
#include "ChoozeColorDlg.h"
#include "ClockPage.h"
#include "DigitClock.h"
#include "DigitClockAccess.h"
#include "Globals.h"
#include "OptionsSheet.h"
#include "Settings.h"
#include "SupportTools/SupportCheckUpdates.h"
#include "StringTable.h"
#include "resource.h"

#include "DialogDriver.h"
#include "GdiplusSession.h"
#include "ProfileTestApp.h"

#include <gmock/gmock.h>

#include <atomic>
#include <vector>

namespace {

using namespace zntest;

// Records the help asked for instead of opening it.
class OptionsTestApp : public ProfileTestApp
{
public:
    using ProfileTestApp::ProfileTestApp;
    void WinHelp(DWORD_PTR data, UINT command) override
    {
        helpData = data;
        helpCommand = command;
        ++helpCalls;
    }
    DWORD_PTR helpData = 0;
    UINT helpCommand = 0;
    std::atomic<int> helpCalls{0};
};

OptionsTestApp g_app(L"ZarnockOptionsTests");
testing::Environment* const g_gdiplus = testing::AddGlobalTestEnvironment(new GdiplusSession);

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"ZarnockOptionsTests";

void AppendBytes(std::vector<BYTE>& out, const void* p, size_t n)
{
    out.insert(out.end(), static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + n);
}

// Every key, value name, type and data below the key, in the registry's own order.
void ExportKey(HKEY parent, const wchar_t* path, std::vector<BYTE>& out)
{
    HKEY key;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    AppendBytes(out, path, (wcslen(path) + 1) * sizeof(wchar_t));
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameChars = 256, type = 0, bytes = 0;
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(bytes + 2);
        nameChars = 256;
        RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data.data(), &bytes);
        AppendBytes(out, name, (nameChars + 1) * sizeof(wchar_t));
        AppendBytes(out, &type, sizeof(type));
        AppendBytes(out, data.data(), bytes);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameChars = 256;
        if (RegEnumKeyExW(key, i, name, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ExportKey(key, name, out);
    }
    RegCloseKey(key);
}

std::vector<BYTE> ExportStore()
{
    std::vector<BYTE> out;
    ExportKey(HKEY_CURRENT_USER, g_app.StoreKey(), out);
    return out;
}

HKEY Section(StrId section)
{
    return g_app.GetSectionKey(GetStr(section));
}

void SetDword(StrId section, const wchar_t* name, DWORD value)
{
    HKEY key = Section(section);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

int StoredInt(const SettingDef& s)
{
    return GetSettingInt(s);
}

bool RunValuePresent()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool present = RegQueryValueExW(key, kRunValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return present;
}

// What the clock shows, to compare before and after a Cancel.
struct Look
{
    COLORREF textColour, background, outlineColour;
    int customColours, useOutline, thickness, margin, border, reminders, alignment, lockRight, alwaysOnTop, fullScreen;
    LONG_PTR exStyle;
    LOGFONTW font;
    CString format;

    static Look Of(CDigitClock* c)
    {
        Look l{};
        l.textColour = ClockFields(c).m_textColour();
        l.background = ClockFields(c).m_backgroundColour();
        l.outlineColour = ClockFields(c).m_outlineColour();
        l.customColours = ClockFields(c).m_customColours();
        l.useOutline = ClockFields(c).m_useOutline();
        l.thickness = ClockFields(c).m_outlineThickness();
        l.margin = ClockFields(c).m_margin();
        l.border = ClockFields(c).m_showBorder();
        l.reminders = ClockFields(c).m_showReminders();
        l.alignment = ClockFields(c).m_alignment();
        l.lockRight = ClockFields(c).m_lockRightBorder();
        l.alwaysOnTop = ClockFields(c).m_alwaysOnTop();
        l.fullScreen = ClockFields(c).m_watchFullScreen();
        l.exStyle = c->GetExStyle() & (WS_EX_LAYERED | WS_EX_TOPMOST);
        ClockFields(c).m_font().GetLogFont(&l.font);
        l.format = ClockFields(c).m_format();
        return l;
    }
    bool operator==(const Look& o) const
    {
        return textColour == o.textColour && background == o.background &&
               outlineColour == o.outlineColour && customColours == o.customColours && useOutline == o.useOutline &&
               thickness == o.thickness && margin == o.margin && border == o.border && reminders == o.reminders &&
               alignment == o.alignment && lockRight == o.lockRight && alwaysOnTop == o.alwaysOnTop &&
               fullScreen == o.fullScreen && exStyle == o.exStyle && memcmp(&font, &o.font, sizeof(font)) == 0 &&
               format == o.format;
    }
};

HWND CurrentPage(HWND sheet)
{
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

HWND Tabs(HWND sheet)
{
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
}

void Press(HWND sheet, int button)
{
    PostMessageW(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
    WaitForWindowGone(sheet, 5000);
}

// A click at the centre of a control of the colour popup, as the popup (holding the
// mouse capture) receives it.
void ClickInPopup(HWND popup, int id, UINT message = WM_LBUTTONUP)
{
    RECT r;
    GetWindowRect(GetDlgItem(popup, id), &r);
    POINT pt{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(popup, &pt);
    PostMessageW(popup, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(pt.x, pt.y));
}

class OptionsSheetTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_app.ClearStore();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue);
        CClockPage::s_runValueName = kRunValue;
        CClockPage::s_programPath = L"";
        SetDword(SID_SECTION_TIMESYNC, GetStr(SID_KEY_FST), 0);
        // The store's look, as the clock shows it at start-up.
        WriteSettingInt(Setting::kCF, 0);
        WriteSettingString(Setting::kFT, L"HH:mm:ss");
        g_firstDayOfWeek = 0;
        g_firstWeekOfYear = 0;
        g_positionLocked = 0;
        g_tipTarget = 0;
        clock = new CDigitClock;
        ApplyStoredLook();
        g_app.m_pMainWnd = clock;
    }
    void ApplyStoredLook()
    {
        clock->SetCustomColours(StoredInt(Setting::kCB) & 0xFFFFFF, StoredInt(Setting::kCT) & 0xFFFFFF);
        clock->SetOutline(StoredInt(Setting::kUO), StoredInt(Setting::kCO) & 0xFFFFFF, StoredInt(Setting::kOT));
        clock->SetClockFont(nullptr);
        clock->SetShowBorder(StoredInt(Setting::k3D));
        clock->SetShowReminders(StoredInt(Setting::kTT));
        clock->SetMargins(StoredInt(Setting::kMS));
        clock->SetFormat(GetSettingString(Setting::kFT), FALSE);
    }
    void Create()
    {
        ASSERT_TRUE(clock->CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP,
                                    100, 100, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
        hwnd = clock->m_hWnd;
    }
    void TearDown() override
    {
        // Not the main window any more: its end must not end the thread's message loops.
        g_app.m_pMainWnd = nullptr;
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        else if (!hwnd) delete clock;
        CClockPage::s_runValueName = nullptr;
        CClockPage::s_programPath = nullptr;
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue);
        g_app.ClearStore();
    }
    // Opens the sheet through the clock's command; the driver gets the sheet.
    void Open(const std::function<void(DWORD thread, HWND sheet)>& driver)
    {
        RunModal([&] { clock->SendMessage(WM_COMMAND, ID_OPTIONS); },
                 [&](DWORD thread) {
                     HWND sheet = WaitForThreadDialog(thread, 5000, COptionsSheet::Caption());
                     ASSERT_TRUE(sheet) << "no sheet";
                     driver(thread, sheet);
                 });
    }

    CDigitClock* clock = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(OptionsSheetTest, OpensFromTheClockCommandOnTheClockPageWithoutApplyOnTopAndTheClockTicks)
{
    Create();
    std::wstring caption, firstTab, secondTab, thirdTab, textBefore, textAfter;
    int pages = 0, current = -1, sheets = 0;
    bool apply = true, topmost = false, openFlag = false, helpOnEveryPage = true;
    g_app.helpCalls = 0;
    Open([&](DWORD thread, HWND sheet) {
        caption = GetText(sheet);
        HWND tabs = Tabs(sheet);
        pages = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
        current = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
        for (int i = 0; i < 3; ++i) {
            wchar_t text[64] = L"";
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 64;
            SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            (i == 0 ? firstTab : i == 1 ? secondTab : thirdTab) = text;
        }
        apply = IsItemVisible(sheet, 0x3021);
        for (int page = COptionsSheet::kClockPage; page <= COptionsSheet::kAdvancedPage; ++page) {
            SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(page), 0);
            helpOnEveryPage = helpOnEveryPage && IsItemVisible(sheet, IDHELP) && IsItemEnabled(sheet, IDHELP);
        }
        SendMessageW(sheet, PSM_SETCURSEL, COptionsSheet::kClockPage, 0);
        Click(sheet, IDHELP);
        WaitFor([&] { return g_app.helpCalls > 0; }, 2000);
        topmost = (GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        openFlag = (ClockFields(clock).m_stateFlags() & CDigitClock::STATE_OPTIONS_OPEN) != 0;
        // A second request only brings the open sheet forward.
        PostMessageW(hwnd, WM_COMMAND, ID_OPTIONS, 0);
        textBefore = GetText(hwnd);
        WaitFor([&] { return GetText(hwnd) != textBefore; }, 2500);
        textAfter = GetText(hwnd);
        EnumThreadWindows(thread, [](HWND w, LPARAM lp) {
            if (GetText(w) == std::wstring(COptionsSheet::Caption())) ++*reinterpret_cast<int*>(lp);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&sheets));
        Press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(std::wstring(L"Zarnock ") + GetStr(SID_VERSION) + L" : Options", caption);
    EXPECT_EQ(3, pages);
    EXPECT_EQ(L"Clock", firstTab);
    EXPECT_EQ(L"Time Synchronization", secondTab);
    EXPECT_EQ(L"Advanced", thirdTab);
    EXPECT_EQ(0, current);
    EXPECT_FALSE(apply);
    EXPECT_TRUE(helpOnEveryPage);
    ASSERT_EQ(1, g_app.helpCalls);
    EXPECT_EQ(0u, g_app.helpData);
    EXPECT_EQ(static_cast<UINT>(HELP_FINDER), g_app.helpCommand) << "the help's contents";
    EXPECT_TRUE(topmost);
    EXPECT_TRUE(openFlag);
    EXPECT_EQ(1, sheets);
    EXPECT_NE(textBefore, textAfter) << "the clock ticks while the sheet is open";
    EXPECT_EQ(0, ClockFields(clock).m_stateFlags() & CDigitClock::STATE_OPTIONS_OPEN);
}

TEST_F(OptionsSheetTest, FirstStartOpensTheSheetAndClearsTheFlagWhateverClosesIt)
{
    RegDeleteKeyValueW(HKEY_CURRENT_USER, g_app.StoreKey() + L"\\" + GetStr(SID_SECTION_TIMESYNC), GetStr(SID_KEY_FST));
    int current = -1;
    RunModal([&] { Create(); },
             [&](DWORD thread) {
                 HWND sheet = WaitForThreadDialog(thread, 5000, COptionsSheet::Caption());
                 ASSERT_TRUE(sheet);
                 current = static_cast<int>(SendMessageW(Tabs(sheet), TCM_GETCURSEL, 0, 0));
                 Press(sheet, PSBTN_CANCEL);
             });
    EXPECT_EQ(1, current) << "the first start opens the Time Synchronization page";
    EXPECT_EQ(0, StoredInt(Setting::kFST));
}

TEST_F(OptionsSheetTest, ChangesShowOnTheLiveClockAndOkWritesThem)
{
    Create();
    std::wstring text;
    bool layered = false, topmostAfterUncheck = true, fullScreenEnabled = true, findEnabled = true;
    int margin = 0, locked = 0, firstDay = 0;
    Open([&](DWORD, HWND sheet) {
        HWND page = CurrentPage(sheet);
        SetItemText(page, IDC_FORMAT, L"'Zq' HH:mm");
        text = GetText(hwnd);
        SendMessageW(GetDlgItem(page, IDC_MARGINS_EDIT), WM_KEYDOWN, VK_UP, 0);
        SendMessageW(GetDlgItem(page, IDC_MARGINS_EDIT), WM_KEYUP, VK_UP, 0);
        margin = ClockFields(clock).m_margin();
        SetCheck(page, IDC_TRANSPARENT, true);
        layered = (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
        SetCheck(page, IDC_ALWAYS_ON_TOP, false);
        topmostAfterUncheck = (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        fullScreenEnabled = IsItemEnabled(page, IDC_FULL_SCREEN);
        SetCheck(page, IDC_LOCK_POSITION, true);
        locked = g_positionLocked;
        findEnabled = IsItemEnabled(page, IDC_FIND_CLOCK);
        SelectCombo(page, IDC_FIRST_DAY, 3);
        firstDay = g_firstDayOfWeek;
        Press(sheet, PSBTN_OK);
    });
    EXPECT_EQ(0u, text.find(L"Zq ")) << "preview of the format";
    EXPECT_EQ(3, margin);
    EXPECT_TRUE(layered);
    EXPECT_FALSE(topmostAfterUncheck);
    EXPECT_FALSE(fullScreenEnabled);
    EXPECT_EQ(1, locked);
    EXPECT_FALSE(findEnabled);
    EXPECT_EQ(3, firstDay);
    EXPECT_EQ(CString(L"'Zq' HH:mm"), GetSettingString(Setting::kFT));
    EXPECT_EQ(3, StoredInt(Setting::kMS));
    EXPECT_EQ(1, StoredInt(Setting::kTR));
    EXPECT_EQ(0, StoredInt(Setting::kAT));
    EXPECT_EQ(1, StoredInt(Setting::kLW));
    EXPECT_EQ(3, StoredInt(Setting::kFDOW));
    EXPECT_TRUE(ClockFields(clock).m_trayIconAdded()) << "not always on top: the tray icon is back";
}

TEST_F(OptionsSheetTest, CancelLeavesTheStoreByteForByteAndTheClockAsItWas)
{
    Create();
    const std::vector<BYTE> before = ExportStore();
    const Look look = Look::Of(clock);
    bool changed = false;
    Open([&](DWORD, HWND sheet) {
        HWND page = CurrentPage(sheet);
        SetItemText(page, IDC_FORMAT, L"'Cancelled' ss");
        SendMessageW(GetDlgItem(page, IDC_MARGINS_EDIT), WM_KEYDOWN, VK_UP, 0);
        SetCheck(page, IDC_SHOW_BORDER, true);
        SetCheck(page, IDC_LOCK_RIGHT, true);
        SetCheck(page, IDC_TRANSPARENT, true);
        SetCheck(page, IDC_USE_OUTLINE, false);
        SetCheck(page, IDC_ALWAYS_ON_TOP, false);
        SetCheck(page, IDC_FULL_SCREEN, true);
        SetCheck(page, IDC_LOCK_POSITION, true);
        SetCheck(page, IDC_CUSTOM_COLORS, false);
        SetCheck(page, IDC_REMINDERS, false);
        SelectCombo(page, IDC_FIRST_DAY, 5);
        SelectCombo(page, IDC_FIRST_WEEK, 2);
        SelectCombo(page, IDC_SOURCE, 2);
        changed = !(Look::Of(clock) == look);
        SendMessageW(sheet, PSM_SETCURSEL, COptionsSheet::kAdvancedPage, 0);
        SetItemText(CurrentPage(sheet), IDC_SWM_EDIT, L"20");
        Press(sheet, PSBTN_CANCEL);
    });
    EXPECT_TRUE(changed);
    EXPECT_TRUE(before == ExportStore()) << "Cancel wrote to the store";
    EXPECT_TRUE(look == Look::Of(clock)) << "the clock is back to its old look";
    EXPECT_EQ(0, g_firstDayOfWeek);
    EXPECT_EQ(0, g_firstWeekOfYear);
    EXPECT_EQ(0, g_positionLocked);
    EXPECT_EQ(0, g_tipTarget);
}

TEST_F(OptionsSheetTest, CancelWithoutAClockWindowPutsTheWeekRulesAndTheLockBack)
{
    g_app.m_pMainWnd = nullptr;
    const CString caption = COptionsSheet::Caption();
    RunModal([&] { COptionsSheet(caption, nullptr, COptionsSheet::kClockPage).DoModal(); },
             [&](DWORD thread) {
                 HWND sheet = WaitForThreadDialog(thread, 5000, caption);
                 ASSERT_TRUE(sheet) << "no sheet";
                 SetCheck(CurrentPage(sheet), IDC_LOCK_POSITION, true);
                 SelectCombo(CurrentPage(sheet), IDC_FIRST_DAY, 5);
                 SelectCombo(CurrentPage(sheet), IDC_FIRST_WEEK, 2);
                 Press(sheet, PSBTN_CANCEL);
             });
    EXPECT_EQ(0, g_positionLocked);
    EXPECT_EQ(0, g_firstDayOfWeek);
    EXPECT_EQ(0, g_firstWeekOfYear);
}

TEST_F(OptionsSheetTest, OkWithNothingChangedRewritesOnlyTheRunValue)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    CClockPage::s_programPath = exe;
    const std::wstring quoted = std::wstring(L"\"") + exe + L"\"";
    HKEY run;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &run, nullptr));
    RegSetValueExW(run, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(quoted.c_str()),
                   static_cast<DWORD>((quoted.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(run);
    Create();
    const std::vector<BYTE> before = ExportStore();
    int checked = -1;
    bool enabled = false;
    Open([&](DWORD, HWND sheet) {
        HWND page = CurrentPage(sheet);
        checked = GetCheck(page, IDC_LOAD_ON_STARTUP);
        enabled = IsItemEnabled(page, IDC_LOAD_ON_STARTUP);
        Press(sheet, PSBTN_OK);
    });
    EXPECT_EQ(BST_CHECKED, checked);
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(before == ExportStore()) << "nothing changed: only the Run value is written";
    EXPECT_TRUE(RunValuePresent());

    // Without a usable program the box is off and disabled, and OK deletes the value.
    CClockPage::s_programPath = L"C:\\no such folder\\Zarnock.exe";
    Open([&](DWORD, HWND sheet) {
        HWND page = CurrentPage(sheet);
        checked = GetCheck(page, IDC_LOAD_ON_STARTUP);
        enabled = IsItemEnabled(page, IDC_LOAD_ON_STARTUP);
        Press(sheet, PSBTN_OK);
    });
    EXPECT_EQ(BST_UNCHECKED, checked);
    EXPECT_FALSE(enabled);
    EXPECT_FALSE(RunValuePresent());
}

TEST_F(OptionsSheetTest, DamagedStoreOpensWithDefaultsAndClamps)
{
    {
        HKEY common = Section(SID_SECTION_COMMON);
        RegSetValueExW(common, GetStr(SID_KEY_CC), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
        const BYTE junk[3] = {1, 2, 3};
        RegSetValueExW(common, GetStr(SID_KEY_FN), 0, REG_BINARY, junk, 3);
        RegCloseKey(common);
    }
    WriteSettingInt(Setting::kAL, 5);
    WriteSettingInt(Setting::kOT, -7);
    WriteSettingInt(Setting::kMS, 99999);
    WriteSettingInt(Setting::kCB, static_cast<int>(0xFF123456));
    WriteSettingInt(Setting::kSWM, -3);
    WriteSettingInt(Setting::kCF, 1);
    WriteSettingString(Setting::kFT, L"HH:mm:ss");
    g_tipTarget = 7;
    Create();
    int customColours = -1, source = -1;
    std::wstring thickness, margins, multiplier, fontLabel;
    Open([&](DWORD, HWND sheet) {
        HWND page = CurrentPage(sheet);
        customColours = GetCheck(page, IDC_CUSTOM_COLORS);
        thickness = GetItemText(page, IDC_THICKNESS_EDIT);
        margins = GetItemText(page, IDC_MARGINS_EDIT);
        source = static_cast<int>(SendDlgItemMessageW(page, IDC_SOURCE, CB_GETCURSEL, 0, 0));
        fontLabel = GetItemText(page, IDC_FONT_LABEL);
        SetCheck(page, IDC_REMINDERS, false);
        SetCheck(page, IDC_REMINDERS, true);
        SendMessageW(sheet, PSM_SETCURSEL, COptionsSheet::kAdvancedPage, 0);
        multiplier = GetItemText(CurrentPage(sheet), IDC_SWM_EDIT);
        Press(sheet, PSBTN_OK);
    });
    EXPECT_EQ(BST_CHECKED, customColours) << "a value of the wrong type counts as absent";
    EXPECT_EQ(L"1", thickness);
    EXPECT_EQ(L"99", margins);
    EXPECT_EQ(0, source);
    EXPECT_FALSE(fontLabel.empty());
    EXPECT_EQ(L"0", multiplier);
    EXPECT_EQ(2, StoredInt(Setting::kAL));
    EXPECT_EQ(1, StoredInt(Setting::kOT));
    EXPECT_EQ(99, StoredInt(Setting::kMS));
    EXPECT_EQ(0x123456, StoredInt(Setting::kCB));
    EXPECT_EQ(0, StoredInt(Setting::kSWM));
    EXPECT_EQ(0, StoredInt(Setting::kTPS));
}

TEST_F(OptionsSheetTest, TypedInputIsClampedAndAnEmptyFormatIsRefused)
{
    Create();
    int margin = 0, thickness = 0, formatLength = 0, multiplierAfterOk = -1;
    std::wstring refusal;
    bool stayedOpen = false;
    Open([&](DWORD thread, HWND sheet) {
        HWND page = CurrentPage(sheet);
        SetItemText(page, IDC_MARGINS_EDIT, L"99999");
        margin = ClockFields(clock).m_margin();
        SetCheck(page, IDC_TRANSPARENT, true);
        SetCheck(page, IDC_USE_OUTLINE, true);
        SetItemText(page, IDC_THICKNESS_EDIT, L"0");
        thickness = ClockFields(clock).m_outlineThickness();
        HWND edit = GetDlgItem(page, IDC_FORMAT);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        const std::wstring pasted(500, L'H');
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
        formatLength = static_cast<int>(GetText(edit).size());
        SetItemText(page, IDC_FORMAT, L"   ");
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        AnswerBox(thread, IDOK, 5000, &refusal, sheet);
        stayedOpen = IsWindow(sheet) && IsWindowVisible(sheet);
        PostMessageW(sheet, PSM_SETCURSEL, COptionsSheet::kAdvancedPage, 0);  // refused as well: the format is still empty
        AnswerBox(thread, IDOK, 5000, nullptr, sheet);
        SetItemText(page, IDC_FORMAT, L" x ");
        SendMessageW(sheet, PSM_SETCURSEL, COptionsSheet::kAdvancedPage, 0);
        SetItemText(CurrentPage(sheet), IDC_SWM_EDIT, L"50");
        Press(sheet, PSBTN_OK);
        multiplierAfterOk = StoredInt(Setting::kSWM);
    });
    EXPECT_EQ(99, margin);
    EXPECT_EQ(1, thickness);
    EXPECT_EQ(383, formatLength);
    EXPECT_EQ(L"The format string is empty.", refusal);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(CString(L" x "), GetSettingString(Setting::kFT)) << "saved with its blanks";
    EXPECT_EQ(50, multiplierAfterOk) << "a typed multiplier is written as typed";
}

int CountPixels(const CPaintBuffer& buffer, COLORREF colour)
{
    int n = 0;
    const DWORD* p = static_cast<const DWORD*>(buffer.m_pPixels);
    const DWORD want = 0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (int i = 0; p && i < buffer.m_size.cx * buffer.m_size.cy; ++i) n += p[i] == want;
    return n;
}

TEST_F(OptionsSheetTest, ColourPopupPicksWithTheMouseAndWithOther)
{
    WriteSettingInt(Setting::kTR, 1);
    Create();
    clock->SetTransparent(1);
    bool currentHidden = false;
    HWND focused = nullptr, yellowSwatch = nullptr;
    COLORREF afterOutside = 0;
    Open([&](DWORD thread, HWND sheet) {
        HWND page = CurrentPage(sheet);
        Click(page, IDC_TEXT_COLOR);
        HWND popup = WaitForThreadDialog(thread, 5000, nullptr, sheet);
        ASSERT_TRUE(popup);
        currentHidden = !IsWindowVisible(GetDlgItem(popup, IDC_COLOR_CURRENT));
        DWORD popupThread = GetWindowThreadProcessId(popup, nullptr);
        WaitFor([&] {
            GUITHREADINFO gui{};
            gui.cbSize = sizeof(gui);
            if (GetGUIThreadInfo(popupThread, &gui)) focused = gui.hwndFocus;
            return focused != nullptr;
        }, 2000);
        yellowSwatch = GetDlgItem(popup, IDC_COLOR_FIRST + 6);
        ClickInPopup(popup, IDC_COLOR_FIRST + 12);  // blue
        WaitForWindowGone(popup, 5000);

        Click(page, IDC_BACK_COLOR);
        popup = WaitForThreadDialog(thread, 5000, nullptr, sheet);
        ASSERT_TRUE(popup);
        ClickInPopup(popup, IDC_COLOR_OTHER);
        HWND colour = WaitForThreadDialog(thread, 5000, L"Color", sheet);
        ASSERT_TRUE(colour);
        SetItemText(colour, 706, L"10");
        SetItemText(colour, 707, L"20");
        SetItemText(colour, 708, L"30");
        PostMessageW(colour, WM_COMMAND, IDOK, 0);
        WaitForWindowGone(popup, 5000);

        Click(page, IDC_OUTLINE_COLOR);
        popup = WaitForThreadDialog(thread, 5000, nullptr, sheet);
        ASSERT_TRUE(popup);
        PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-50, -50));
        WaitForWindowGone(popup, 5000);
        afterOutside = ClockFields(clock).m_outlineColour();
        Press(sheet, PSBTN_OK);
    });
    EXPECT_TRUE(currentHidden) << "yellow is in the palette";
    EXPECT_EQ(yellowSwatch, focused) << "the focus starts on the current colour's swatch";
    EXPECT_EQ(RGB(0, 0, 255), ClockFields(clock).m_textColour());
    EXPECT_GT(CountPixels(ClockFields(clock).m_paintBuffer(), RGB(0, 0, 255)), 20) << "the clock draws the new colour";
    EXPECT_EQ(RGB(10, 20, 30), ClockFields(clock).m_backgroundColour());
    EXPECT_EQ(static_cast<COLORREF>(StoredInt(Setting::kCO)), afterOutside) << "a click outside changes nothing";
    EXPECT_EQ(RGB(0, 0, 255), static_cast<COLORREF>(StoredInt(Setting::kCT)));
    EXPECT_EQ(RGB(10, 20, 30), static_cast<COLORREF>(StoredInt(Setting::kCB)));
}

}  // namespace

namespace {

TEST_F(OptionsSheetTest, ChangeFontTakesTheChosenFaceWithTheStoredQuality)
{
    WriteSettingInt(Setting::kCF, 1);
    WriteSettingInt(Setting::kCFQ, 9);
    Create();
    std::wstring label;
    Open([&](DWORD thread, HWND sheet) {
        HWND page = CurrentPage(sheet);
        Click(page, IDC_CHANGE_FONT);
        HWND font = WaitForThreadDialog(thread, 5000, L"Font", sheet);
        ASSERT_TRUE(font);
        HWND faces = GetDlgItem(font, 0x470);
        SendMessageW(faces, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"Tahoma"));
        SendMessageW(font, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELCHANGE), reinterpret_cast<LPARAM>(faces));
        PostMessageW(font, WM_COMMAND, IDOK, 0);
        WaitForWindowGone(font, 5000);
        label = GetItemText(page, IDC_FONT_LABEL);
        Press(sheet, PSBTN_OK);
    });
    EXPECT_EQ(0u, label.find(L"Tahoma (")) << "the label names the face and its points";
    LOGFONTW lf{};
    ClockFields(clock).m_font().GetLogFont(&lf);
    EXPECT_STREQ(L"Tahoma", lf.lfFaceName);
    EXPECT_EQ(6, lf.lfQuality) << "\"CFQ\" 9 is limited to 6";
    LOGFONTW stored{};
    GetSettingFont(Setting::kFN, &stored);
    EXPECT_STREQ(L"Tahoma", stored.lfFaceName);
}

TEST_F(OptionsSheetTest, FindClockWindowMovesTheClockIntoViewAndTurnsTransparencyOff)
{
    WriteSettingInt(Setting::kTR, 1);
    Create();
    clock->SetTransparent(1);
    std::wstring message;
    int transparentCheck = -1;
    Open([&](DWORD thread, HWND sheet) {
        HWND page = CurrentPage(sheet);
        Click(page, IDC_FIND_CLOCK);
        AnswerBox(thread, IDOK, 5000, &message, sheet);
        transparentCheck = GetCheck(page, IDC_TRANSPARENT);
        Press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(L"The clock window has been moved to the upper right corner of the primary monitor and transparency "
              L"has been turned off to show it.",
              message);
    EXPECT_EQ(BST_UNCHECKED, transparentCheck);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(work.right - 30, r.right);
    EXPECT_EQ(work.top + 30, r.top);
}

}  // namespace

namespace {

std::atomic<int> g_linksOpened{0};

// The reminder source's link opens on a press and a release over it, and not on a release
// after the press lost the mouse capture (another window took the input meanwhile).
TEST_F(OptionsSheetTest, TheLinkOpensOnAClickButNotAfterThePressLostTheCapture)
{
    Create();
    g_linksOpened = 0;
    CClockPage::s_openLink = [](const wchar_t*) { ++g_linksOpened; };
    int afterClick = -1, afterLostCapture = -1;
    Open([&](DWORD, HWND sheet) {
        HWND page = CurrentPage(sheet);
        RECT r;
        GetWindowRect(GetDlgItem(page, IDC_SOURCE_LINK), &r);
        POINT pt{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ScreenToClient(page, &pt);
        const LPARAM at = MAKELPARAM(pt.x, pt.y);
        SendMessageW(page, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(page, WM_LBUTTONUP, 0, at);
        afterClick = g_linksOpened;
        SendMessageW(page, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(page, WM_CANCELMODE, 0, 0);
        SendMessageW(page, WM_LBUTTONUP, 0, at);
        afterLostCapture = g_linksOpened;
        Press(sheet, PSBTN_CANCEL);
    });
    CClockPage::s_openLink = nullptr;
    EXPECT_EQ(1, afterClick);
    EXPECT_EQ(1, afterLostCapture);
}

TEST_F(OptionsSheetTest, SoundOptionsOpenFromThePageOnlyWhileSoundIsOn)
{
    Create();
    bool enabledOn = false, enabledOff = true, opened = false;
    Open([&](DWORD thread, HWND sheet) {
        HWND page = CurrentPage(sheet);
        enabledOn = IsItemEnabled(page, IDC_SOUND_OPTIONS);
        Click(page, IDC_SOUND_OPTIONS);
        HWND sound = WaitForThreadDialog(thread, 5000, L"Sound Options", sheet);
        opened = sound != nullptr;
        if (sound) {
            PostMessageW(sound, WM_COMMAND, IDCANCEL, 0);
            WaitForWindowGone(sound, 5000);
        }
        SetCheck(page, IDC_SOUND_ENABLED, false);
        enabledOff = IsItemEnabled(page, IDC_SOUND_OPTIONS);
        Press(sheet, PSBTN_CANCEL);
    });
    EXPECT_TRUE(enabledOn);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(enabledOff) << "\"Sound &Options...\" only while sound is on";
}

// "Check For Updates" runs the update check from the page; a site that refuses the
// connection ends in the check's warning with libcurl's reason. While a site keeps the
// check waiting the whole sheet is disabled, so it cannot be closed under the check.
TEST_F(OptionsSheetTest, CheckForUpdatesTellsWhyTheSiteCouldNotBeAsked)
{
    GetUpdateCheckSite().address = L"http://127.0.0.1:9";
    Create();
    std::wstring message;
    Open([&](DWORD thread, HWND sheet) {
        Click(CurrentPage(sheet), IDC_CHECK_UPDATES);
        AnswerBox(thread, IDOK, 10000, &message, sheet);
        Press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(0u, message.rfind(L"Unable to check for updates.\n\nCouldn't connect to server", 0));

    // A listener that never accepts: the connection is made, the answer never comes.
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    SOCKET silent = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof addr;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&addr), &length);
    GetUpdateCheckSite().address.Format(L"http://127.0.0.1:%u", ntohs(addr.sin_port));
    GetUpdateCheckSite().totalTimeoutMs = 1500;
    bool disabledMeanwhile = false, enabledAfter = false;
    Open([&](DWORD thread, HWND sheet) {
        Click(CurrentPage(sheet), IDC_CHECK_UPDATES);
        for (int i = 0; i < 40 && !disabledMeanwhile; ++i, Sleep(25)) disabledMeanwhile = !IsWindowEnabled(sheet);
        AnswerBox(thread, IDOK, 10000, &message, sheet);
        enabledAfter = IsWindowEnabled(sheet) != FALSE;
        Press(sheet, PSBTN_CANCEL);
    });
    closesocket(silent);
    WSACleanup();
    GetUpdateCheckSite() = UpdateCheckSite{};
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(enabledAfter);
    EXPECT_EQ(0u, message.rfind(L"Unable to check for updates.\n\nTimeout was reached", 0));
}

}  // namespace
