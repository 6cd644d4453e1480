// The reading-direction decision (with the system's answers injected: Wine never reports
// Middle-East support) and its application to a real dialog.
#include "RTLLayout.h"

#include "Log/LogMan.h"
#include "StringTable.h"
#include "TestApp.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

#include <vector>

using namespace zntest;

namespace {

class FakeSystem : public CRTLSystemInfo
{
public:
    FakeSystem(const wchar_t* user, const wchar_t* system, int middleEast)
        : m_user(user), m_system(system), m_middleEast(middleEast) {}

    // A null name is a failing query, which leaves the buffer as it was.
    BOOL GetLanguageName(LCID locale, wchar_t* buffer, int size) override
    {
        const wchar_t* name = locale == LOCALE_SYSTEM_DEFAULT ? m_system : m_user;
        if (!name) return FALSE;
        lstrcpynW(buffer, name, size);
        return TRUE;
    }
    LANGID GetSystemUILanguage() override { return 0x040d; }
    int GetMiddleEastEnabled() override { return m_middleEast; }

private:
    const wchar_t* m_user;
    const wchar_t* m_system;
    int m_middleEast;
};

TEST(RTLLayout, Decision)
{
    const struct {
        int setting;
        const wchar_t* user;
        const wchar_t* system;
        int middleEast;
        int expected;
        const char* why;
    } cases[] = {
        {-1, L"English", L"Hebrew", 1, 1, "the system locale decides"},
        {-1, L"Hebrew", L"English", 1, 0, "the user locale does not count"},
        {-1, L"Hebrew", L"Hebrew", 0, 0, "no Middle-East support"},
        {-1, L"English", L"HEBREW", 2, 1, "any case, any non-zero flag"},
        {-1, L"Hebrew", nullptr, 1, 0, "failed system query: no language"},
        {-1, L"English", L"Hebrew (Israel)", 1, 0, "the whole name must match"},
        {1, L"English", L"English", 0, 1, "on"},
        {0, L"Hebrew", L"Hebrew", 1, 0, "off"},
        {2, L"Hebrew", L"Hebrew", 1, 0, "2 is off"},
        {-2, L"Hebrew", L"Hebrew", 1, 0, "other negative values are off"},
    };
    for (const auto& c : cases) {
        FakeSystem system(c.user, c.system, c.middleEast);
        InitRTLLayout(c.setting, system);
        EXPECT_EQ(IsRTLLayout(), c.expected) << c.why;
    }
}

TEST(RTLLayout, AutomaticDecisionIsLogged)
{
    TempFolder folder;
    std::wstring path = folder.Path(L"rtl.txt");
    CLogMan log;
    ASSERT_EQ(log.OpenFile(path.c_str(), L'-', FALSE, 0, 51200), 0);
    SetAppLogMan(&log);
    FakeSystem system(L"English", L"Hebrew", 1);
    InitRTLLayout(-1, system);
    SetAppLogMan(nullptr);
    log.Close();

    std::string bytes = ReadBytes(path);
    for (const char* text : {" - RTL -1 ", " - English ", " - Hebrew ", " - 0x0000040d ", " - 1 "})
        EXPECT_THAT(bytes, ::testing::HasSubstr(text));
}

TEST(RTLLayout, SettingFromTheStore)
{
    const wchar_t* common = GetStr(SID_SECTION_COMMON);
    const wchar_t* rtl = GetStr(SID_KEY_RTL);
    TestApp().WriteProfileInt(common, rtl, 1);
    InitRTLLayout();
    EXPECT_EQ(IsRTLLayout(), 1);
    TestApp().WriteProfileInt(common, rtl, 2);
    InitRTLLayout();
    EXPECT_EQ(IsRTLLayout(), 0);
    TestApp().WriteProfileString(common, rtl, nullptr);
    InitRTLLayout();
    EXPECT_EQ(IsRTLLayout(), 0) << "absent: automatic, and Wine has no Middle-East support";
    TestApp().WriteProfileString(nullptr, nullptr, nullptr);
}

// An in-memory dialog template: one edit and one static, both direct children.
std::vector<WORD> DialogTemplate(DWORD exStyle)
{
    std::vector<WORD> t;
    auto dword = [&t](DWORD v) { t.push_back(LOWORD(v)); t.push_back(HIWORD(v)); };
    auto item = [&](DWORD style, DWORD itemExStyle, WORD id, WORD atom) {
        if (t.size() % 2) t.push_back(0);
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(itemExStyle);
        for (WORD v : {10, 10, 80, 12}) t.push_back(v);
        t.push_back(id);
        t.push_back(0xFFFF);
        t.push_back(atom);
        t.push_back(0);  // no text
        t.push_back(0);  // no creation data
    };
    dword(WS_POPUP | WS_CAPTION);
    dword(exStyle);
    t.push_back(3);
    for (WORD v : {0, 0, 200, 100}) t.push_back(v);
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    t.push_back(0);  // no title
    item(ES_AUTOHSCROLL, 0, 100, 0x0081);
    item(0, 0, 101, 0x0082);
    item(ES_AUTOHSCROLL, WS_EX_RIGHT, 102, 0x0081);
    return t;
}

INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

struct Dialog
{
    explicit Dialog(DWORD exStyle)
    {
        std::vector<WORD> t = DialogTemplate(exStyle);
        window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                            nullptr, NoDialogProc, 0);
        // An edit that is not a direct child of the dialog.
        HWND group = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 50, 50, window, nullptr, nullptr, nullptr);
        nested = CreateWindowExW(0, L"Edit", L"", WS_CHILD, 0, 0, 40, 12, group, nullptr, nullptr, nullptr);
    }
    ~Dialog() { DestroyWindow(window); }

    LONG_PTR Ex(HWND w) const { return GetWindowLongPtrW(w, GWL_EXSTYLE); }
    HWND Item(int id) const { return GetDlgItem(window, id); }

    HWND window = nullptr;
    HWND nested = nullptr;
};

const LONG_PTR kRTL = WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR;

TEST(RTLLayout, ApplyToADialog)
{
    FakeSystem system(L"English", L"English", 0);
    const struct {
        int setting;
        DWORD dialogExStyle;
        bool dialogChanges;
        bool editChanges;
        const char* why;
    } cases[] = {
        {1, 0, true, true, "dialog and its direct edit"},
        {1, WS_EX_RIGHT, false, true, "dialog already right-aligned: only its edits"},
        {0, 0, false, false, "layout off: nothing"},
    };
    for (const auto& c : cases) {
        InitRTLLayout(c.setting, system);
        Dialog dialog(c.dialogExStyle);
        ASSERT_TRUE(dialog.window && dialog.nested);
        LONG_PTR window = dialog.Ex(dialog.window);
        LONG_PTR edit = dialog.Ex(dialog.Item(100));
        LONG_PTR text = dialog.Ex(dialog.Item(101));
        LONG_PTR rightEdit = dialog.Ex(dialog.Item(102));
        LONG_PTR nested = dialog.Ex(dialog.nested);
        ASSERT_EQ(edit & kRTL, 0) << c.why;

        ApplyRTLLayout(dialog.window);
        EXPECT_EQ(dialog.Ex(dialog.window), c.dialogChanges ? window | kRTL : window) << c.why;
        EXPECT_EQ(dialog.Ex(dialog.Item(100)), c.editChanges ? edit | kRTL : edit) << c.why;
        EXPECT_EQ(dialog.Ex(dialog.Item(101)), text) << c.why << ": not an edit";
        EXPECT_EQ(dialog.Ex(dialog.Item(102)), rightEdit) << c.why << ": edit already right-aligned";
        EXPECT_EQ(dialog.Ex(dialog.nested), nested) << c.why << ": nested edit";
    }
    InitRTLLayout(0, system);
}

} // namespace
