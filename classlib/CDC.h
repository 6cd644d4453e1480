// CDC: a device context. A CDC deletes only the context that it made itself
// (CreateCompatibleDC); one it was handed with Attach is borrowed and stays its owner's on
// every path (an owner-draw item's, a buffered paint's, a kept paint buffer's). CPaintDC and
// CClientDC borrow the contexts of BeginPaint and GetDC and give them back with EndPaint and,
// through their lent-context owner, ReleaseDC.
#pragma once

#include "CGdiObject.h"
#include "CHandle.h"

class CWnd;

class CDC
{
public:
    CDC() = default;
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Borrows the context: drawn on, never deleted here. Refused while one is held.
    BOOL Attach(HDC dc);
    // Lets the context go; one that the object made is the caller's to delete from then on.
    HDC Detach();
    // Makes a context of the object's own, deleted with it.
    BOOL CreateCompatibleDC(CDC* dc);
    // Deletes the context that the object made; a borrowed one is only let go (FALSE).
    BOOL DeleteDC();

    operator HDC() const { return m_hDC.Get(); }

    HGDIOBJ SelectObject(HGDIOBJ obj) { return ::SelectObject(m_hDC, obj); }
    HGDIOBJ SelectObject(CGdiObject* obj) { return ::SelectObject(m_hDC, obj->m_hObject.Get()); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int GetClipBox(RECT* rect) const { return ::GetClipBox(m_hDC, rect); }
    int DrawText(const wchar_t* text, int count, RECT* rect, UINT format)
    {
        return ::DrawTextW(m_hDC, text, count, rect, format);
    }
    BOOL BitBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, width, height, src ? src->m_hDC.Get() : nullptr, xSrc, ySrc, rop);
    }
    int FillRect(const RECT* rect, HBRUSH brush) { return ::FillRect(m_hDC, rect, brush); }
    int FrameRect(const RECT* rect, HBRUSH brush) { return ::FrameRect(m_hDC, rect, brush); }
    BOOL DrawIconEx(int x, int y, HICON icon, int width, int height, UINT flags)
    {
        return ::DrawIconEx(m_hDC, x, y, icon, width, height, 0, nullptr, flags);
    }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
    // A solid rectangle of one colour (through ExtTextOut: no brush is made).
    void FillSolidRect(const RECT* rect, COLORREF color)
    {
        COLORREF old = ::SetBkColor(m_hDC, color);
        ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
        ::SetBkColor(m_hDC, old);
    }
    // A one-pixel frame: the top and left edges in one colour, the bottom and right in another.
    void Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight)
    {
        const int w = rect->right - rect->left, h = rect->bottom - rect->top;
        RECT edge{rect->left, rect->top, rect->left + w - 1, rect->top + 1};
        FillSolidRect(&edge, topLeft);
        edge = RECT{rect->left, rect->top, rect->left + 1, rect->top + h - 1};
        FillSolidRect(&edge, topLeft);
        edge = RECT{rect->right - 1, rect->top, rect->right, rect->bottom};
        FillSolidRect(&edge, bottomRight);
        edge = RECT{rect->left, rect->bottom - 1, rect->right, rect->bottom};
        FillSolidRect(&edge, bottomRight);
    }

    CBorrowedDCHandle m_hDC;   // the context drawn on, whoever owns it

private:
    CMemDCHandle m_own;        // the same context when the object made it
};

class CPaintDC : public CDC
{
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

// A window's client-area context; with no window, the screen's.
class CClientDC : public CDC
{
public:
    explicit CClientDC(CWnd* wnd);

private:
    CClientDCHandle m_lent;
};
