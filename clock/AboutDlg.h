// CAboutDlg: the modal About box: product name, short version, the maker's notice and web
// address as a link; a double-click on the program icon reveals the full file version.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"

class CAboutDlg : public CDialog
{
public:
    explicit CAboutDlg(HWND parent = nullptr);

    // The address the link opens: the maker's page with the product and full version.
    static CString AboutAddress();
    // The version line after a double-click on the icon, for the program file at path.
    static CString FileVersionLine(const wchar_t* label, const wchar_t* path);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    // Hands the address to the shell; tests stand in for the browser.
    virtual void OpenAddress(const wchar_t* address);

    HBRUSH OnCtlColor(HDC dc, HWND control, LRESULT defaultBrush);
    void OnLButtonDown(POINT client);
    void OnLButtonUp(POINT client);
    void OnMouseMove(POINT client);
    BOOL OnSetCursor(HWND window, UINT hitTest);
    void OnIconDoubleClick();
    void OnSysColorChange();
    void OnDestroy();

    CFontHandle m_versionFont;
    CFontHandle m_titleFont;
    CFontHandle m_linkFont;
    HCURSOR m_handCursor = nullptr;
    HCURSOR m_arrowCursor = nullptr;
    CBrushHandle m_windowBrush;
    CStatic m_link;

private:
    bool IsOverLink(POINT client) const;
    CString m_versionLabel;
};
