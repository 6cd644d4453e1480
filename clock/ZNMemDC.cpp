#include "ZNMemDC.h"

#include "PaintBuffer.h"

#include <uxtheme.h>

#include <utility>

namespace {
using BeginBufferedPaintFn = HPAINTBUFFER(WINAPI*)(HDC, const RECT*, BP_BUFFERFORMAT, BP_PAINTPARAMS*, HDC*);
using EndBufferedPaintFn = HRESULT(WINAPI*)(HPAINTBUFFER, BOOL);

// Buffered painting is taken only from a theme library that is already loaded: loading it
// here would pull the theme engine into processes that never asked for it.
template <typename Fn>
Fn ThemeFunction(const char* name)
{
    HMODULE theme = GetModuleHandleW(CZNMemDC::s_themeLibrary);
    return theme ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(theme, name))) : nullptr;
}
}

const wchar_t* CZNMemDC::s_themeLibrary = L"uxtheme.dll";

DWORD CBufferedPaintTraits::Close(HANDLE h)
{
    auto end = ThemeFunction<EndBufferedPaintFn>("EndBufferedPaint");
    return end && SUCCEEDED(end(static_cast<HPAINTBUFFER>(h), FALSE)) ? 0 : ERROR_INVALID_HANDLE;
}

CZNMemDC::CZNMemDC(CDC* target, CWnd* wnd, BOOL create) : m_pTarget(target)
{
    SetRect(wnd);
    SetUp(create);
}

CZNMemDC::CZNMemDC(CDC* target, CWnd* wnd, CPaintBuffer& kept) : m_pTarget(target)
{
    SetRect(wnd);
    // An empty surface is left to the usual set-up, which draws nothing off-screen for it.
    const SIZE size{m_rect.right - m_rect.left, m_rect.bottom - m_rect.top};
    if (size.cx > 0 && size.cy > 0 && kept.Prepare(size) == 0 && kept.m_pPixels) {
        m_memDC.Attach(kept.m_hDC);
        m_bKept = TRUE;
        m_bValid = TRUE;
        return;
    }
    SetUp(TRUE);
}

void CZNMemDC::SetRect(CWnd* wnd)
{
    HWND hwnd = wnd ? wnd->m_hWnd : nullptr;
    ::GetClientRect(hwnd, &m_rect);
    m_rect.right += GetScrollPos(hwnd, SB_HORZ);
    m_rect.bottom += GetScrollPos(hwnd, SB_VERT);
}

void CZNMemDC::SetUp(BOOL create)
{
    if (auto begin = ThemeFunction<BeginBufferedPaintFn>("BeginBufferedPaint")) {
        HDC bufferDC = nullptr;
        CBufferedPaintHandle paint(begin(*m_pTarget, &m_rect, BPBF_TOPDOWNDIB, nullptr, &bufferDC));
        if (paint && bufferDC) {
            m_hBufferedPaint = std::move(paint);
            m_memDC.Attach(bufferDC);
            m_bValid = TRUE;
            return;
        }
        // A paint without a context is of no use; the owner ends it here.
    }

    if (!create) return;
    if (m_memDC.CreateCompatibleDC(m_pTarget) &&
        m_bitmap.CreateCompatibleBitmap(m_pTarget, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top)) {
        m_hOldBitmap = m_memDC.SelectObject(&m_bitmap);
        m_bValid = TRUE;
    }
}

CZNMemDC::~CZNMemDC()
{
    if (m_hBufferedPaint) {
        // The buffer's context is the buffered paint's (borrowed): ending the paint frees it.
        if (auto end = ThemeFunction<EndBufferedPaintFn>("EndBufferedPaint"))
            end(static_cast<HPAINTBUFFER>(m_hBufferedPaint.Release()), TRUE);
        return;
    }
    if (!m_bValid) return;
    CopyBack();
    // The kept buffer's context (borrowed) and bitmap stay with the buffer for the next paint.
    if (m_bKept) return;
    m_memDC.SelectObject(m_hOldBitmap);
}

void CZNMemDC::CopyBack()
{
    RECT box = m_rect;
    switch (m_pTarget->GetClipBox(&box)) {
    case NULLREGION:
        break;
    case SIMPLEREGION:
        m_pTarget->BitBlt(box.left, box.top, box.right - box.left, box.bottom - box.top, &m_memDC, box.left, box.top,
                          SRCCOPY);
        break;
    default:   // a complex region or no answer: the whole surface
        box = m_rect;
        m_pTarget->BitBlt(box.left, box.top, box.right - box.left, box.bottom - box.top, &m_memDC, box.left, box.top,
                          SRCCOPY);
        break;
    }
}
