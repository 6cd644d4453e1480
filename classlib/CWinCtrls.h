// The window system's own controls: thin objects over their messages. A control object is
// bound to its dialog's control by DDX_Control; a derived control (an owner-drawn button)
// gets its parent's reflected messages in OnChildNotify.
#pragma once

#include "CWnd.h"

class CStatic : public CWnd
{
public:
    HICON SetIcon(HICON icon) const { return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon))); }
};

class CButton : public CWnd
{
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }

    // Owner-drawn buttons draw here (WM_DRAWITEM reflected by the parent).
    virtual void DrawItem(DRAWITEMSTRUCT* /*item*/) {}
    BOOL OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override
    {
        if (msg != WM_DRAWITEM) return CWnd::OnChildNotify(msg, wp, lp, result);
        DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
        *result = TRUE;
        return TRUE;
    }
};

class CEdit : public CWnd
{
public:
    void LimitText(int chars) const { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(chars)); }
    void SetSel(int start, int end, BOOL noScroll = FALSE) const
    {
        SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
        if (!noScroll) SendMessage(EM_SCROLLCARET);
    }
    void GetSel(int& start, int& end) const
    {
        DWORD s = 0, e = 0;
        SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
        start = static_cast<int>(s);
        end = static_cast<int>(e);
    }
    void ReplaceSel(const wchar_t* text, BOOL canUndo = FALSE) const
    {
        SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text));
    }
};

class CComboBox : public CWnd
{
public:
    int AddString(const wchar_t* text) const { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) const { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
    void ResetContent() const { SendMessage(CB_RESETCONTENT); }
};

class CListBox : public CWnd
{
public:
    int AddString(const wchar_t* text) const { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int index) const { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
    void ResetContent() const { SendMessage(LB_RESETCONTENT); }
};
