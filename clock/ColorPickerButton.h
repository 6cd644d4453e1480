// CColorPickerButton: a push button that shows a colour swatch and a drop-down arrow on its
// right, like a closed drop-down list. The owner opens the colour popup on its click.
#pragma once

#include "LookButton.h"

class CColorPickerButton : public CLookButton
{
public:
    explicit CColorPickerButton(BOOL classic = ClassicLookDefault());

    // Stores the colour and makes the swatch's brush; the owner redraws the button.
    void SetColor(COLORREF colour);
    COLORREF GetColor() const { return m_colour; }

    void DrawItem(DRAWITEMSTRUCT* item) override;
    LRESULT OnCustomDraw(NMCUSTOMDRAW* draw) override;

private:
    // The drop-down arrow of the classic look, from f (the swatch area's right edge) at the
    // vertical middle g.
    void DrawArrow(CDC& dc, int f, int g, BOOL enabled) const;

    COLORREF m_colour = RGB(255, 255, 255);
    CBrushHandle m_brush;
    CFontHandle m_arrowFont;
};
