#include "PaintBuffer.h"

#include "Log/LogMan.h"

#include <utility>

namespace {
// The last error as an HRESULT; a call that failed without setting one still fails.
int LastErrorResult()
{
    const LONG err = static_cast<LONG>(GetLastError());
    if (err > 0) return static_cast<int>(0x80070000u | (static_cast<DWORD>(err) & 0xFFFF));
    return err < 0 ? err : E_FAIL;
}
}

int CPaintBuffer::Prepare(SIZE size)
{
    if (m_hBitmap && size.cx == m_size.cx && size.cy == m_size.cy) return 0;

    DeleteBitmap();
    if (!m_hDC) {
        m_hDC.Reset(CreateCompatibleDC(nullptr));
        if (!m_hDC) {
            int hr = LastErrorResult();
            ZN_LOG_ERROR(hr, L"CreateCompatibleDC", LOG_ERROR);
            return hr;
        }
    }

    BITMAPINFO info{};
    BITMAPINFOHEADER& h = info.bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = size.cx;
    h.biHeight = size.cy;   // positive: rows bottom-up, as UpdateLayeredWindow expects them
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    // BI_RGB lets the size be 0; a byte count past 32 bits is left to the system to refuse.
    const ULONGLONG bytes = size.cx > 0 && size.cy > 0 ? ULONGLONG(size.cx) * ULONGLONG(size.cy) * 4 : 0;
    h.biSizeImage = bytes <= MAXDWORD ? static_cast<DWORD>(bytes) : 0;

    void* pixels = nullptr;
    SetLastError(0);
    CBitmapHandle bitmap(CreateDIBSection(m_hDC, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap || !pixels) {
        int hr = LastErrorResult();
        ZN_LOG_ERROR(hr, L"CreateDIBSection", LOG_ERROR);
        return hr;
    }
    m_hBitmap = std::move(bitmap);
    m_pPixels = pixels;
    m_hOldObject = SelectObject(m_hDC, m_hBitmap);
    m_size = size;
    return 0;
}

void CPaintBuffer::DeleteBitmap()
{
    // Deselected first: a bitmap still selected into a context is not deleted.
    if (m_hBitmap) SelectObject(m_hDC, m_hOldObject);
    m_hBitmap.Reset();
    m_pPixels = nullptr;
    m_hOldObject = nullptr;
    m_size = SIZE{0, 0};
}

void CPaintBuffer::Release()
{
    DeleteBitmap();
    m_hDC.Reset();
}
