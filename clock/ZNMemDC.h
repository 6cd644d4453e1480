// CZNMemDC: the off-screen surface of a paint handler. Drawing goes to the memory context
// while IsValid() and is copied to the target when the object goes; otherwise the handler
// draws on the target itself. Live only for the length of one paint handler.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"

class CPaintBuffer;

// A buffered paint (BeginBufferedPaint): given up, it is ended without touching the target.
// The end function is taken from the same theme library as the begin, so the kind lives here.
struct CBufferedPaintTraits
{
    using Type = HANDLE;
    static HANDLE None() { return nullptr; }
    static bool IsNone(HANDLE h) { return h == nullptr; }
    static DWORD Close(HANDLE h);
};
using CBufferedPaintHandle = CUniqueAny<CBufferedPaintTraits>;

class CZNMemDC
{
public:
    // The surface covers the window's client area grown by its scroll positions. Buffered
    // painting is used when the theme library is loaded; otherwise, with create set, a
    // compatible context and bitmap are made.
    CZNMemDC(CDC* target, CWnd* wnd, BOOL create);
    // The same surface drawn in a back buffer that the window keeps from paint to paint,
    // made again only when its size changes; when it cannot be had, as above with create set.
    CZNMemDC(CDC* target, CWnd* wnd, CPaintBuffer& kept);
    virtual ~CZNMemDC();
    CZNMemDC(const CZNMemDC&) = delete;
    CZNMemDC& operator=(const CZNMemDC&) = delete;

    BOOL IsValid() const { return m_bValid; }
    CDC& GetMemDC() { return m_memDC; }
    // The context to draw on: the memory context when valid, else the target.
    CDC* GetDrawDC() { return m_bValid ? &m_memDC : m_pTarget; }
    const RECT& GetRect() const { return m_rect; }
    BOOL IsBufferedPaint() const { return m_hBufferedPaint.IsValid(); }

    // The module that buffered painting is taken from. Every windowed process has the theme
    // library loaded (under Wine as soon as a window exists), so tests reach the fallback by
    // naming a module that is never loaded.
    static const wchar_t* s_themeLibrary;

private:
    void SetRect(CWnd* wnd);
    void SetUp(BOOL create);
    void CopyBack();

    CDC* m_pTarget;
    BOOL m_bValid = FALSE;
    CBufferedPaintHandle m_hBufferedPaint;
    BOOL m_bKept = FALSE;           // the memory context is the kept buffer's
    CDC m_memDC;
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr;
    RECT m_rect{};
};
