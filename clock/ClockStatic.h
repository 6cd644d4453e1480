// CClockStatic: the stopwatch's seven-segment display, a static control drawn with solid
// rectangles straight onto its client area (no off-screen buffer: a few dozen fills).
// Every length is a multiple of the unit u that SetScale gives.
#pragma once

#include "ClassLib.h"

class CClockStatic : public CStatic
{
public:
    // Segments of a digit, as bits.
    enum Segment {
        SEG_TOP = 1 << 0,
        SEG_UPPER_LEFT = 1 << 1,
        SEG_UPPER_RIGHT = 1 << 2,
        SEG_MIDDLE = 1 << 3,
        SEG_LOWER_LEFT = 1 << 4,
        SEG_LOWER_RIGHT = 1 << 5,
        SEG_BOTTOM = 1 << 6,
    };
    // The lit segments of a digit 0..9.
    static int DigitSegments(int digit);

    void SetScale(int n);
    // Stores the text and draws it at once; an unchanged text is not drawn again.
    void SetText(const wchar_t* text);
    const CString& GetText() const { return m_text; }

    // Draws the text with its first cell's top-left corner at origin.
    void DrawText(HDC dc, POINT origin) const;

    COLORREF m_background = 0x242424;
    COLORREF m_litEdge = 0x00FF20;
    COLORREF m_litCentre = 0x00FFFF;
    COLORREF m_unlit = 0x004D0C;
    int m_unit = 1;
    int m_digitWidth = 11;
    int m_digitHeight = 19;
    int m_halfHeight = 9;
    int m_gap = 1;
    int m_colonOffset = 4;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnPaint();
    void OnLButtonDown();

private:
    void DrawDigit(HDC dc, int left, int top, int digit) const;

    CString m_text;
    bool m_drawn = false;
};
