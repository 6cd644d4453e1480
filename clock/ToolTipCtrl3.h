// CToolTipCtrl3: the clock's own popup tip, shown next to the clock when a click cannot be
// handed to the paired program: today's long date in bold with the program icon, a
// separator, "Today's upcoming reminders:" and a bold line saying why the paired program
// did not answer. The window lives from one click to the next; its fonts live with it.
#pragma once

#include "ClassLib.h"

class CToolTipCtrl3 : public CWnd
{
public:
    CToolTipCtrl3() = default;
    ~CToolTipCtrl3() override;

    // Makes both fonts and the (hidden) window; nonzero on success. The window has no owner.
    virtual BOOL Create(CWnd* parent);
    void Hide();
    void Popup();
    void ShowTip(BOOL repaint);

    BOOL m_bSiblingFound = FALSE;  // a window of the paired program exists
    HWND m_hAnchor = nullptr;      // the tip opens next to this window
    CString m_strText;             // the date line as last composed
    CFont m_fontRegular;
    CFont m_fontBold;

    // The pieces of the tip that need no window, open to tests.
    static CString GetDateText();
    static CString FormatDateLine(const SYSTEMTIME& date, const wchar_t* longDateFormat);
    static UINT GetHintStringId(int pairedKind, BOOL siblingFound);
    // The hint line for the paired program of setting "TPS" and m_bSiblingFound.
    CString GetHintText() const;
    static int GetIconSize(int smallIconWidth);
    // Top-left corner of a tip of this size next to the anchor rectangle inside the area.
    static POINT PlaceTip(const RECT& anchor, const RECT& area, SIZE tip);
    // The tip's size for its three lines and icon, measured on dc.
    SIZE MeasureTip(CDC& dc, int iconSize);
    // Paints the tip's content over client on dc.
    void Draw(CDC& dc, const RECT& client, BOOL rtl);

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    void OnPaint();
    void OnSettingChange(UINT flags, const wchar_t* section);
    void OnDestroy();

private:
    BOOL MakeFonts();
};
