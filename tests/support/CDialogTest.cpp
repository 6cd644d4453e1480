#include "ClassLib.h"
#include "TestApp.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A dialog template built in memory: a caption, one edit (id 100) and OK and Cancel.
class TemplateBuilder
{
public:
    explicit TemplateBuilder(const wchar_t* caption)
    {
        DLGTEMPLATE t{};
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
        t.cdit = 3;
        t.cx = 160;
        t.cy = 60;
        Put(&t, sizeof(t));
        Word(0);  // no menu
        Word(0);  // the standard dialog class
        Text(caption);
        Word(8);
        Text(L"MS Shell Dlg");
        Item(100, WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 0x0081, L"", 5, 5, 150, 14);
        Item(IDOK, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 0x0080, L"OK", 50, 40, 50, 14);
        Item(IDCANCEL, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0x0080, L"Cancel", 105, 40, 50, 14);
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Put(const void* p, size_t bytes)
    {
        const WORD* w = static_cast<const WORD*>(p);
        m_words.insert(m_words.end(), w, w + bytes / 2);
    }
    void Word(WORD w) { m_words.push_back(w); }
    void Text(const wchar_t* s) { do Word(*s); while (*s++); }
    void Align() { if (m_words.size() % 2) Word(0); }
    void Item(WORD id, DWORD style, WORD cls, const wchar_t* text, short x, short y, short cx, short cy)
    {
        Align();
        DLGITEMTEMPLATE it{};
        it.style = style;
        it.x = x; it.y = y; it.cx = cx; it.cy = cy;
        it.id = id;
        Put(&it, sizeof(it));
        Word(0xFFFF);
        Word(cls);
        Text(text);
        Word(0);
    }
    std::vector<WORD> m_words;
};

class NameDialog : public CDialog
{
public:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        initSeen = m_hWnd != nullptr;
        SetDlgItemTextW(m_hWnd, 100, L"initial");
        return TRUE;
    }
    void OnOK() override
    {
        wchar_t text[64] = {};
        GetDlgItemTextW(m_hWnd, 100, text, 64);
        name = text;
        CDialog::OnOK();
    }
    bool initSeen = false;
    int appCommands = 0;
    CString name;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_APP) {
            ++appCommands;
            SetDlgItemTextW(m_hWnd, 100, reinterpret_cast<const wchar_t*>(lp));
            return 0;
        }
        return CDialog::WindowProc(msg, wp, lp);
    }
};

TEST(CDialog, InMemoryTemplateRoutesMessagesAndEndsWithOk)
{
    TemplateBuilder tmpl(L"dlg-name");
    NameDialog dlg;
    ASSERT_TRUE(dlg.InitModalIndirect(tmpl.Get()));
    static const wchar_t kTyped[] = L"typed";
    BoxWatcher w(GetCurrentThreadId(), [](HWND box) {
        SendMessageW(box, WM_APP, 0, reinterpret_cast<LPARAM>(kTyped));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_TRUE(w.View().found);
    EXPECT_STREQ(L"dlg-name", w.View().caption);
    EXPECT_TRUE(dlg.initSeen);
    EXPECT_EQ(1, dlg.appCommands);
    EXPECT_STREQ(L"typed", dlg.name);
    EXPECT_EQ(nullptr, dlg.m_hWnd) << "the object lets go of the window when it is destroyed";
    EXPECT_FALSE(TestApp().InModalState());
}

TEST(CDialog, EscapeCancels)
{
    TemplateBuilder tmpl(L"dlg-esc");
    NameDialog dlg;
    dlg.InitModalIndirect(tmpl.Get());
    BoxWatcher w(GetCurrentThreadId(), [](HWND box) {
        HWND edit = GetDlgItem(box, 100);
        PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_TRUE(dlg.name.IsEmpty()) << "OnOK never ran";
}

TEST(CDialog, MissingTemplateFails)
{
    CDialog none;
    EXPECT_EQ(-1, none.DoModal());
    CDialog missing(54321u);
    EXPECT_EQ(-1, missing.DoModal());
    EXPECT_FALSE(TestApp().InModalState());
}

} // namespace
