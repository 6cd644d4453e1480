// The yardstick of the tick benchmark: the least a Win32 program does to show a hundredths
// clock. Every 10 ms a new text and SetWindowText; the repaint draws the text antialiased
// with GDI+ into a memory buffer and copies the buffer to the window.
#pragma once

#include "GdiplusObjects.h"
#include "Win.h"

class CTickReference
{
public:
    CTickReference() = default;
    ~CTickReference() { Destroy(); }
    CTickReference(const CTickReference&) = delete;
    CTickReference& operator=(const CTickReference&) = delete;

    // A topmost tool popup of the given place and size, shown without activation, its timer
    // running. GDI+ must have been started.
    bool Create(int x, int y, SIZE size);
    void Destroy();
    HWND Handle() const { return m_hwnd; }

    long ticks = 0, paints = 0;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnTimer();
    void OnPaint();

    HWND m_hwnd = nullptr;
    SIZE m_size{0, 0};
    wchar_t m_text[32] = {};
    HDC m_memDC = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    HBRUSH m_background = nullptr;
    CGpFontFamily m_family;
    CGpFont m_font;
    CGpSolidFill m_brush;
};
