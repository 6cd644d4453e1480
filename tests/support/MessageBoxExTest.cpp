#include "MessageBoxEx.h"

#include "StringTable.h"
#include "TestApp.h"

#include <gtest/gtest.h>

namespace {

DWORD Me() { return GetCurrentThreadId(); }

HICON SystemIcon(const wchar_t* id) { return LoadIconW(nullptr, id); }

TEST(MessageBoxes, YesNoCancelShowsYesAndNoAtTheRightWithExclamation)
{
    BoxWatcher w(Me(), ClickButton(IDNO));
    EXPECT_EQ(IDNO, ShowMessageBoxEx(nullptr, L"Save the changes?", L"mbx-ync", MB_YESNOCANCEL));
    const BoxView& v = w.View();
    ASSERT_TRUE(v.found);
    EXPECT_STREQ(L"mbx-ync", v.caption);
    ASSERT_EQ(1u, v.buttons.count(IDYES));
    ASSERT_EQ(1u, v.buttons.count(IDNO));
    ASSERT_EQ(1u, v.buttons.count(IDCANCEL));
    const BoxControl& yes = v.buttons.at(IDYES);
    const BoxControl& no = v.buttons.at(IDNO);
    const BoxControl& cancel = v.buttons.at(IDCANCEL);
    EXPECT_TRUE(yes.visible);
    EXPECT_TRUE(no.visible);
    EXPECT_FALSE(cancel.visible);
    // No sits where Cancel was (the right-hand end), Yes just left of it.
    EXPECT_TRUE(EqualRect(&no.rect, &cancel.rect));
    EXPECT_LT(yes.rect.right, no.rect.left);
    EXPECT_EQ(yes.rect.top, no.rect.top);
    EXPECT_EQ(SystemIcon(IDI_EXCLAMATION), v.icon);
}

TEST(MessageBoxes, EscapeAndCloseStillAnswerCancel)
{
    {
        BoxWatcher w(Me(), PressEscape());
        EXPECT_EQ(IDCANCEL, ShowMessageBoxEx(nullptr, L"Escape", L"mbx-esc", MB_YESNOCANCEL));
    }
    {
        BoxWatcher w(Me(), [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); });
        EXPECT_EQ(IDCANCEL, ShowMessageBoxEx(nullptr, L"Close", L"mbx-close", MB_YESNOCANCEL));
    }
    {
        BoxWatcher w(Me(), ClickButton(IDYES));
        EXPECT_EQ(IDYES, ShowMessageBoxEx(nullptr, L"Yes", L"mbx-yes", MB_YESNOCANCEL | MB_ICONQUESTION));
        EXPECT_EQ(SystemIcon(IDI_QUESTION), w.View().icon) << "an icon of the caller's stays";
    }
}

TEST(MessageBoxes, YesNoAndOkGoToTheSystemBoxUnchanged)
{
    {
        BoxWatcher w(Me(), ClickButton(IDYES));
        EXPECT_EQ(IDYES, ShowMessageBoxEx(nullptr, L"Plain", L"mbx-yn", MB_YESNO));
        const BoxView& v = w.View();
        ASSERT_TRUE(v.found);
        EXPECT_TRUE(v.buttons.at(IDYES).visible);
        EXPECT_TRUE(v.buttons.at(IDNO).visible);
        EXPECT_EQ(nullptr, v.icon) << "no icon is added to MB_YESNO";
    }
    {
        BoxWatcher w(Me(), ClickButton(IDOK));
        EXPECT_EQ(IDOK, ShowMessageBoxEx(nullptr, L"Plain", L"mbx-ok", MB_OK));
        EXPECT_EQ(nullptr, w.View().icon);
    }
}

TEST(MessageBoxes, OtherButtonSetsKeepTheirButtons)
{
    struct Case { UINT type; int answer; HICON icon; const char* why; };
    const Case cases[] = {
        {MB_OKCANCEL, IDCANCEL, SystemIcon(IDI_EXCLAMATION), "icon added, nothing moved"},
        {MB_RETRYCANCEL, IDRETRY, nullptr, "not among the sets that get an icon"},
        {MB_ABORTRETRYIGNORE | MB_ICONINFORMATION, IDIGNORE, SystemIcon(IDI_INFORMATION), "caller's icon"},
    };
    for (const Case& c : cases) {
        BoxWatcher w(Me(), ClickButton(c.answer));
        EXPECT_EQ(c.answer, ShowMessageBoxEx(nullptr, L"Buttons", L"mbx-other", c.type)) << c.why;
        const BoxView& v = w.View();
        EXPECT_EQ(c.icon, v.icon) << c.why;
        for (const auto& b : v.buttons) EXPECT_TRUE(b.second.visible) << c.why << " button " << b.first;
    }
}

TEST(MessageBoxes, EmptyCaptionShowsTheProductName)
{
    const wchar_t* captions[] = {nullptr, L""};
    const UINT types[] = {MB_OK, MB_YESNOCANCEL};
    for (const wchar_t* caption : captions) {
        for (UINT type : types) {
            BoxWatcher w(Me(), PressEscape());
            ShowMessageBoxEx(nullptr, L"Caption", caption, type);
            EXPECT_STREQ(GetStr(SID_PRODUCT), w.View().caption) << type;
        }
    }
    CMessageBoxEx box(nullptr, L"x", L"", MB_OKCANCEL);
    EXPECT_STREQ(L"Zarnock", box.m_caption);
}

TEST(MessageBoxes, TopLevelOwnerIsDisabledWhileTheBoxIsUp)
{
    ASSERT_TRUE(CWnd::RegisterClass(L"zn_test_owner", 0));
    CWnd frame;
    ASSERT_TRUE(frame.CreateEx(0, L"zn_test_owner", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr));
    CWnd child;
    ASSERT_TRUE(child.CreateEx(0, L"zn_test_owner", L"child", WS_VISIBLE, 0, 0, 50, 50, frame.m_hWnd, nullptr));

    BoxWatcher w(Me(), ClickButton(IDNO), frame.m_hWnd);
    EXPECT_EQ(IDNO, ShowMessageBoxEx(child.m_hWnd, L"Owned", L"mbx-owned", MB_YESNOCANCEL));
    ASSERT_TRUE(w.View().found);
    EXPECT_FALSE(w.View().ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(frame.m_hWnd)) << "enabled again afterwards";
    EXPECT_FALSE(TestApp().InModalState());
}

TEST(MessageBoxes, HookTakesOnlyTheNextBox)
{
    // After one box, a later plain dialog of the same thread is not taken over: its Cancel
    // button stays where the system put it.
    {
        BoxWatcher w(Me(), ClickButton(IDYES));
        ShowMessageBoxEx(nullptr, L"First", L"mbx-first", MB_YESNOCANCEL);
    }
    BoxWatcher w(Me(), ClickButton(IDCANCEL));
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, L"Second", L"mbx-second", MB_YESNOCANCEL));
    EXPECT_TRUE(w.View().buttons.at(IDCANCEL).visible);
}

TEST(DeleteProfileEntry, RemovesOneValueOnly)
{
    CWinApp& app = TestApp();
    ASSERT_TRUE(app.WriteProfileInt(L"DeleteEntry", L"A", 1));
    ASSERT_TRUE(app.WriteProfileInt(L"DeleteEntry", L"B", 2));
    DeleteProfileEntry(L"DeleteEntry", L"A");
    EXPECT_EQ(7u, app.GetProfileInt(L"DeleteEntry", L"A", 7));
    EXPECT_EQ(2u, app.GetProfileInt(L"DeleteEntry", L"B", 7));
    DeleteProfileEntry(L"DeleteEntry", L"A");  // already gone: nothing happens
    // A null entry must not take the whole section with it.
    DeleteProfileEntry(L"DeleteEntry", nullptr);
    EXPECT_EQ(2u, app.GetProfileInt(L"DeleteEntry", L"B", 7));
    app.WriteProfileString(L"DeleteEntry", nullptr, nullptr);
}

} // namespace
