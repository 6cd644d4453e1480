// CSkinButton: an owner-drawn push button that shows one picture of an image list on the
// stopwatch's dark panel. It keeps behaving as a push button for the dialog manager (the
// default-button code), though its real style is owner-draw.
#pragma once

#include "ClassLib.h"

#include <commctrl.h>

class CSkinButton : public CButton
{
public:
    // Bound to the dialog's button (DDX_Control): it becomes owner-drawn, keeping its
    // other style bits.
    void PreSubclassWindow() override;

    void SetImageIndex(int index);
    // Not owned; null for none.
    void SetImageList(HIMAGELIST list) { m_imageList = list; }
    int GetImageIndex() const { return m_imageIndex; }
    BOOL IsDefault() const { return m_default; }

    // The parent's WM_DRAWITEM, reflected to the button.
    void DrawItem(DRAWITEMSTRUCT* item) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    BOOL m_default = FALSE;
    int m_imageIndex = -1;
    HIMAGELIST m_imageList = nullptr;
};
