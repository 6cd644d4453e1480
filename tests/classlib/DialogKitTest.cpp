// The class library's dialog kit driven for real: data exchange both ways and its refusal,
// reflection of owner drawing to the control's object, PreTranslateMessage inside the
// system's modal loops, and the property sheet's notifications, caption and lazy pages.
#include "ClassLib.h"

#include "DialogDriver.h"

#include <gmock/gmock.h>

namespace {

using namespace zntest;

const UINT kProbe = WM_APP + 5;

TEST(ParseDialogInt, AcceptsWholeNumbersOnly)
{
    struct Case { const wchar_t* text; BOOL ok; int value; } cases[] = {
        {L"42", TRUE, 42},
        {L"  -7 ", TRUE, -7},
        {L"+3", TRUE, 3},
        {L"-2147483648", TRUE, INT_MIN},
        {L"2147483647", TRUE, INT_MAX},
        {L"2147483648", FALSE, 0},      // out of range
        {L"", FALSE, 0},
        {L"   ", FALSE, 0},
        {L"abc", FALSE, 0},
        {L"12a", FALSE, 0},             // trailing letters
        {L"1 2", FALSE, 0},
        {L"0x10", FALSE, 0},
    };
    for (const Case& c : cases) {
        int value = 0;
        EXPECT_EQ(c.ok, ParseDialogInt(c.text, &value)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.value, value) << c.text;
        }
    }
}

class CDrawnButton : public CButton
{
public:
    void DrawItem(DRAWITEMSTRUCT* item) override
    {
        ++m_draws;
        FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    int m_draws = 0;
};

class CKitDialog : public CDialog
{
public:
    CKitDialog() : CDialog(100) {}
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_combo.AddString(L"a");
        m_combo.AddString(L"b");
        m_combo.AddString(L"c");
        UpdateData(FALSE);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message != kProbe) return FALSE;
        ++m_probes;
        return TRUE;
    }

    int m_number = 5;
    int m_check = BST_CHECKED;
    int m_comboIndex = 2;
    int m_radio = 1;
    int m_probes = 0;
    CComboBox m_combo;
    CDrawnButton m_drawn;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, 1003, m_combo);
        DDX_Control(dx, 1007, m_drawn);
        DDX_Text(dx, 1001, m_number);
        DDX_Check(dx, 1002, m_check);
        DDX_CBIndex(dx, 1003, m_comboIndex);
        DDX_Radio(dx, 1004, m_radio);
    }
};

TEST(DialogKit, ExchangesValuesBothWaysAndRefusesAnythingButAnInteger)
{
    CKitDialog dlg;
    INT_PTR result = 0;
    std::wstring refusal;
    bool boxKeptDialog = false;
    std::wstring shownNumber;
    int shownRadio = -1, shownCheck = -1;
    LRESULT shownCombo = -1;
    RunModal([&] { result = dlg.DoModal(); },
             [&](DWORD thread) {
                 HWND d = WaitForThreadDialog(thread, 5000, L"Kit Dialog");
                 ASSERT_TRUE(d);
                 shownNumber = GetItemText(d, 1001);
                 shownCheck = GetCheck(d, 1002);
                 shownRadio = GetCheck(d, 1005);
                 shownCombo = SendMessageW(GetDlgItem(d, 1003), CB_GETCURSEL, 0, 0);
                 PostMessageW(d, kProbe, 0, 0);
                 SetItemText(d, 1001, L"12a");
                 Click(d, IDOK);
                 AnswerBox(thread, IDOK, 5000, &refusal, d);
                 boxKeptDialog = IsWindow(d) != FALSE;
                 SetItemText(d, 1001, L" -31 ");
                 SetCheck(d, 1002, false);
                 SetCheck(d, 1006, true);
                 SetCheck(d, 1005, false);
                 SelectCombo(d, 1003, 0);
                 Click(d, IDOK);
                 WaitForWindowGone(d, 5000);
             });
    EXPECT_EQ(L"5", shownNumber);
    EXPECT_EQ(BST_CHECKED, shownCheck);
    EXPECT_EQ(BST_CHECKED, shownRadio);
    EXPECT_EQ(2, shownCombo);
    EXPECT_EQ(L"Enter an integer.", refusal);
    EXPECT_TRUE(boxKeptDialog);
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(-31, dlg.m_number);
    EXPECT_EQ(BST_UNCHECKED, dlg.m_check);
    EXPECT_EQ(2, dlg.m_radio);
    EXPECT_EQ(0, dlg.m_comboIndex);
    EXPECT_EQ(1, dlg.m_probes) << "PreTranslateMessage inside the dialog's modal loop";
    EXPECT_GT(dlg.m_drawn.m_draws, 0) << "WM_DRAWITEM reflected to the button's object";
}

class CKitPage : public CPropertyPage
{
public:
    explicit CKitPage(UINT id) : CPropertyPage(id) {}
    BOOL OnInitDialog() override
    {
        ++m_inits;
        return CPropertyPage::OnInitDialog();
    }
    BOOL OnSetActive() override { ++m_setActive; return TRUE; }
    BOOL OnKillActive() override { ++m_killActive; return !m_refuseLeave; }
    void OnOK() override { ++m_ok; }
    void OnCancel() override { ++m_cancel; }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message != kProbe) return FALSE;
        ++m_probes;
        return TRUE;
    }
    int m_inits = 0, m_setActive = 0, m_killActive = 0, m_ok = 0, m_cancel = 0, m_probes = 0;
    bool m_refuseLeave = false;
};

class CKitSheet : public CPropertySheet
{
public:
    CKitSheet() : CPropertySheet(L"Kit Sheet", nullptr, 0), m_first(110), m_second(111)
    {
        m_psh.dwFlags |= PSH_NOAPPLYNOW;
        AddPage(&m_first);
        AddPage(&m_second);
    }
    BOOL OnInitDialog() override { m_initialised = true; return TRUE; }
    BOOL OnCommand(UINT id, UINT, HWND) override
    {
        if (id != IDHELP) return FALSE;
        ++m_help;
        return TRUE;
    }
    CKitPage m_first, m_second;
    bool m_initialised = false;
    int m_help = 0;
};

TEST(PropertySheetKit, ShowsTheExactCaptionMakesPagesLazilyAndMapsTheNotifications)
{
    CKitSheet sheet;
    sheet.m_first.m_refuseLeave = true;
    INT_PTR result = 0;
    std::wstring caption;
    bool applyVisible = true;
    int activeAfterRefusal = -1;
    RunModal([&] { result = sheet.DoModal(); },
             [&](DWORD thread) {
                 HWND s = WaitForThreadDialog(thread, 5000, L"Kit Sheet");
                 ASSERT_TRUE(s);
                 caption = GetText(s);
                 applyVisible = IsItemVisible(s, 0x3021);
                 SendMessageW(s, PSM_SETCURSEL, 1, 0);
                 activeAfterRefusal = static_cast<int>(
                     SendMessageW(reinterpret_cast<HWND>(SendMessageW(s, PSM_GETTABCONTROL, 0, 0)), TCM_GETCURSEL, 0, 0));
                 HWND page = reinterpret_cast<HWND>(SendMessageW(s, PSM_GETCURRENTPAGEHWND, 0, 0));
                 PostMessageW(page, kProbe, 0, 0);
                 SendMessageW(s, WM_COMMAND, IDHELP, 0);
                 WaitFor([&] { return sheet.m_first.m_probes > 0; }, 2000);
                 sheet.m_first.m_refuseLeave = false;
                 PostMessageW(s, PSM_PRESSBUTTON, PSBTN_OK, 0);
                 WaitForWindowGone(s, 5000);
             });
    EXPECT_EQ(L"Kit Sheet", caption);
    EXPECT_FALSE(applyVisible);
    EXPECT_TRUE(sheet.m_initialised);
    EXPECT_EQ(0, activeAfterRefusal) << "the first page refused to be left";
    EXPECT_EQ(1, sheet.m_help);
    EXPECT_EQ(1, sheet.m_first.m_probes);
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(1, sheet.m_first.m_inits);
    EXPECT_EQ(1, sheet.m_first.m_ok);
    EXPECT_EQ(0, sheet.m_second.m_inits) << "a page never shown is never made";
    EXPECT_EQ(0, sheet.m_second.m_ok);
    EXPECT_EQ(nullptr, sheet.m_hWnd);
}

TEST(PropertySheetKit, CancelReachesTheCreatedPagesOnly)
{
    CKitSheet sheet;
    INT_PTR result = 0;
    RunModal([&] { result = sheet.DoModal(); },
             [&](DWORD thread) {
                 HWND s = WaitForThreadDialog(thread, 5000, L"Kit Sheet");
                 ASSERT_TRUE(s);
                 SendMessageW(s, PSM_SETCURSEL, 1, 0);
                 PostMessageW(s, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
                 WaitForWindowGone(s, 5000);
             });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(1, sheet.m_first.m_cancel);
    EXPECT_EQ(1, sheet.m_second.m_cancel);
    EXPECT_EQ(1, sheet.m_second.m_setActive);
    EXPECT_EQ(0, sheet.m_first.m_ok + sheet.m_second.m_ok);
}

}  // namespace
