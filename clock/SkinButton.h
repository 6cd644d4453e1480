// CSkinButton: an owner-drawn push button that shows one picture of an image list on the
// stopwatch's dark panel. It keeps behaving as a push button for the dialog manager (the
// default-button code), though its real style is owner-draw.
#pragma once

#include "ClassLib.h"

#include <commctrl.h>

class CSkinButton : public CWnd
{
public:
    // Takes over a dialog's button and makes it owner-drawn, keeping its other style bits.
    BOOL Attach(HWND button);

    void SetImageIndex(int index);
    // Not owned; null for none.
    void SetImageList(HIMAGELIST list) { m_imageList = list; }
    int GetImageIndex() const { return m_imageIndex; }
    BOOL IsDefault() const { return m_default; }

    // The parent's WM_DRAWITEM for this button.
    void DrawItem(const DRAWITEMSTRUCT* item);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    BOOL m_default = FALSE;
    int m_imageIndex = -1;
    HIMAGELIST m_imageList = nullptr;
};
