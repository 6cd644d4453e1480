// CChoozeColorDlg: the small palette popup that a colour button opens under itself: 20
// fixed colours, the current colour when it is not among them, and "&Other..." for the
// system's colour dialog. It holds the mouse capture while open, so it sees every click:
// one outside closes it with Cancel.
#pragma once

#include "ClassLib.h"

class CChoozeColorDlg : public CDialog
{
public:
    CChoozeColorDlg(CWnd* anchor, HWND parent);

    // The colour that the popup starts from and, after OK, the one chosen. Process-wide,
    // like the palette and the 16 custom colours of the colour dialog.
    static COLORREF GetCurrentColor() { return s_colors[kCurrent]; }
    static void SetCurrentColor(COLORREF colour) { s_colors[kCurrent] = colour; }
    // The index of the colour in the palette of 20, -1 when it is not there.
    static int PaletteIndex(COLORREF colour);
    // Where the popup goes: under the anchor's lower-left corner; above the anchor when its
    // bottom would pass the bottom of the work area, and moved left by what passes its right
    // edge. The work area is that of the anchor's monitor (the taskbar left out).
    static POINT PlacePopup(const RECT& anchor, SIZE popup, const RECT& work);

    BOOL OnInitDialog() override;
    // Enter keeps the current colour.
    void OnOK() override { Close(IDOK); }
    void OnCancel() override { Close(IDCANCEL); }
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static const int kPaletteSize = 20;
    static const int kCurrent = 20;
    static COLORREF s_colors[21];
    static COLORREF s_customColors[16];

    void OnDrawItem(DRAWITEMSTRUCT* item);
    void OnMouseMove(POINT client);
    void OnCaptureChanged();
    void OnOther();
    void Close(int result);
    // The visible swatch or "&Other..." under a client point; null for none.
    HWND PickableAt(POINT client) const;

    CWnd* m_anchor;
    BOOL m_releasingCapture = FALSE;
    BOOL m_closing = FALSE;
    BOOL m_captured = FALSE;
};
