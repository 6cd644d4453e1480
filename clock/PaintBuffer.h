// CPaintBuffer: the clock window's back buffer, a 32-bit DIB section selected into a memory
// context that is kept between paints. The layered look draws its image in it and pushes it
// to the window; the opaque look's paint draws in it through CZNMemDC and copies it out.
// Callers read the members directly and write m_pPixels only after a Prepare that returned 0.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"

class CPaintBuffer
{
public:
    CPaintBuffer() = default;
    virtual ~CPaintBuffer() { Release(); }
    CPaintBuffer(const CPaintBuffer&) = delete;
    CPaintBuffer& operator=(const CPaintBuffer&) = delete;

    // 0 when the buffer has exactly this size (made anew only when the size changed), else
    // the failure as an HRESULT; after a failure there is no bitmap and the size is 0x0.
    int Prepare(SIZE size);
    void Release();

    CMemDCHandle m_hDC;             // compatible with the screen; made once, kept until Release
    CBitmapHandle m_hBitmap;        // the DIB section, selected into m_hDC while it exists
    void* m_pPixels = nullptr;      // blue, green, red, alpha; rows bottom-up
    HGDIOBJ m_hOldObject = nullptr; // what m_hDC held before the DIB section
    SIZE m_size{0, 0};

private:
    void DeleteBitmap();
};
