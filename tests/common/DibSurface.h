// A 32-bit top-down surface to draw on (or copy a window or the screen to) and read back.
#pragma once

#include "CDC.h"

class DibSurface
{
public:
    DibSurface(int cx, int cy) : m_cx(cx), m_cy(cy)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = cx;
        info.bmiHeader.biHeight = -cy;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc.CreateCompatibleDC(nullptr);
        m_bitmap.Attach(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0));
        m_old = m_dc.SelectObject(&m_bitmap);
    }
    ~DibSurface() { m_dc.SelectObject(m_old); }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    COLORREF Pixel(int x, int y) const
    {
        const DWORD p = Bits()[y * m_cx + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // The pixels as the surface holds them (0x00RRGGBB), after pending drawing is done.
    const DWORD* Bits() const
    {
        GdiFlush();
        return m_bits;
    }

    CDC m_dc;
    int m_cx, m_cy;

private:
    CBitmap m_bitmap;
    DWORD* m_bits = nullptr;
    HGDIOBJ m_old = nullptr;
};
