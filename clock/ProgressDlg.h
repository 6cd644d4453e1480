// CProgressDlg: a small modeless dialog with one line of text and a progress bar that
// moves on its own while long work runs elsewhere.
#pragma once

#include "ClassLib.h"

class CProgressDlg : public CDialog
{
public:
    CProgressDlg(BOOL marquee, HWND parent);

    // Creates, centres and shows the dialog, then dispatches what is queued so it paints.
    BOOL Open(HWND parent, const wchar_t* text);
    // Stops the bar; outside marquee mode it is drawn full.
    void Complete();

    BOOL m_marquee = FALSE;
    UINT_PTR m_timerId = 0;
    HWND m_text = nullptr;
    HWND m_progress = nullptr;

protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnTimer(UINT_PTR id);
    void OnDestroy();
};
