// The program's message boxes: ShowMessageBoxEx captions every box with the product name
// by default; CMessageBoxEx takes over the system message box so that a Yes/No/Cancel box
// shows its Yes and No buttons at the right-hand side.
#pragma once

#include "ClassLib.h"

// The id of the pressed button. An empty or null caption becomes the product name.
int ShowMessageBoxEx(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

class CMessageBoxEx : public CDialog
{
public:
    CMessageBoxEx(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
    ~CMessageBoxEx() override;

    INT_PTR DoModal() override;

    CString m_caption;
    CString m_text;
    WORD m_iconId = 0;              // resource id of the MB_USERICON icon
    HINSTANCE m_iconModule = nullptr;
    HWND m_owner = nullptr;
    UINT m_type = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    int OnCreate(CREATESTRUCTW* create);
    // Runs after the system box has laid itself out.
    BOOL OnInitDialog() override;

private:
    static LRESULT CALLBACK CreateHook(int code, WPARAM wp, LPARAM lp);
    void Unhook();

    CHookHandle m_hook;
};

// Removes one value of the settings store.
void DeleteProfileEntry(const wchar_t* section, const wchar_t* entry);
