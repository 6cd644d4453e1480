// The clock window's look: measuring the text, the opaque paint, the layered image and its push.
#include "DigitClock.h"

#include "SupportWindowsHelpers.h"
#include "ColorHelpers.h"
#include "ZNMemDC.h"
#include "Log/LogMan.h"
#include "ClockRenderCache.h"
#include "RTLLayout.h"

#include <cstring>
#include <string>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

bool RightToLeftReading()
{
    return IsRTLLayout() != 0;
}

ARGB MakeArgb(int alpha, COLORREF colour)
{
    return (static_cast<ARGB>(alpha & 0xFF) << 24) | (static_cast<ARGB>(GetRValue(colour)) << 16) |
           (static_cast<ARGB>(GetGValue(colour)) << 8) | GetBValue(colour);
}

void SetupQuality(GpGraphics* g, GpResult& result)
{
    result << GdipSetSmoothingMode(g, SmoothingModeAntiAlias);
    result << GdipSetTextRenderingHint(g, TextRenderingHintAntiAlias);
}

void Draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight)
{
    auto fill = [dc](int x, int y, int cx, int cy, COLORREF c) {
        RECT f{x, y, x + cx, y + cy};
        SetBkColor(dc, c);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &f, nullptr, 0, nullptr);
    };
    int w = r.right - r.left, h = r.bottom - r.top;
    fill(r.left, r.top, w - 1, 1, topLeft);
    fill(r.left, r.top, 1, h - 1, topLeft);
    fill(r.right - 1, r.top, 1, h, bottomRight);
    fill(r.left, r.bottom - 1, w, 1, bottomRight);
}

UINT DrawTextFlags(int alignment, bool rightToLeft)
{
    UINT flags = DT_NOPREFIX | DT_EDITCONTROL | DT_NOCLIP;
    if (alignment == 1) flags |= DT_RIGHT;
    else if (alignment == 2) flags |= DT_CENTER;
    if (rightToLeft) flags |= DT_RTLREADING;
    return flags;
}

}  // namespace

CClockRenderCache& CDigitClock::RenderCache()
{
    if (!m_renderCache) m_renderCache.reset(new CClockRenderCache);
    return *m_renderCache;
}

SIZE CDigitClock::MeasureClockText(BOOL layered, const wchar_t* text)
{
    SIZE size{0, 0};
    if (!m_hWnd) return size;
    LOGFONTW lf{};
    m_font.GetLogFont(&lf);

    // The same text in the same look measures the same: a window made with its first text
    // and then given it, or a look set again, measures once.
    CClockRenderCache& cache = RenderCache();
    CClockRenderCache::Measured& last = cache.m_measured;
    const int values[7] = {m_gdiplusOpaque, m_gdiplusLayered, m_useOutline, m_outlineThickness,
                           m_margin,        m_showBorder,     m_alignment};
    const HGDIOBJ fontHandle = m_font.GetSafeHandle();
    if (last.size.cx >= 0 && last.layered == layered && last.fontHandle == fontHandle &&
        memcmp(&last.font, &lf, sizeof(lf)) == 0 && memcmp(last.values, values, sizeof(values)) == 0 &&
        last.text == text)
        return last.size;

    const HDC dc = cache.MeasureDC();
    if (!dc) return size;
    if ((!layered && m_gdiplusOpaque) || (layered && (m_useOutline || m_gdiplusLayered))) {
        GpResult result;
        if (GpGraphics* g = cache.MeasureGraphics(result)) {
            GpFont* font = cache.Font(CClockRenderCache::KeyOf(lf, GetDeviceCaps(dc, LOGPIXELSY)), result);
            GpStringFormat* format = cache.Format(m_alignment, false, result);
            RectF layout(0, 0, 0, 0), box(0, 0, 0, 0);
            if (font && format) result << GdipMeasureString(g, text, -1, font, &layout, format, &box, nullptr, nullptr);
            int extra = layered ? (m_useOutline ? 2 * m_outlineThickness : 0)
                                : 2 * m_margin + (m_showBorder ? 4 : 0);
            size.cx = extra + static_cast<int>(box.Width);
            size.cy = extra + static_cast<int>(box.Height);
        }
    } else {
        HGDIOBJ old = SelectObject(dc, m_font.GetSafeHandle() ? m_font.GetSafeHandle() : GetStockObject(DEFAULT_GUI_FONT));
        CString measured = CString(text) + L"\n";
        RECT r{0, 0, 0, 0};
        DrawTextW(dc, measured, -1, &r, DT_EDITCONTROL | DT_NOPREFIX | DT_CALCRECT | DT_NOCLIP);
        if (!layered) {
            int by = m_margin + (m_showBorder ? 2 : 0);
            InflateRect(&r, by, by);
        }
        SelectObject(dc, old);
        size.cx = r.right - r.left;
        size.cy = r.bottom - r.top;
    }
    last.layered = layered;
    last.fontHandle = fontHandle;
    last.font = lf;
    memcpy(last.values, values, sizeof(values));
    last.text = text;
    last.size = size;
    return size;
}

const wchar_t* CDigitClock::WindowText(CString& read)
{
    if (m_windowTextKnown) return m_windowText.c_str();
    read = GetWindowText();
    return read.GetString();
}

LRESULT CDigitClock::OnSetText(WPARAM wp, LPARAM lp)
{
    m_stateFlags |= STATE_TEXT_RESIZE;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(lp);
    SIZE size = MeasureClockText((GetExStyle() & WS_EX_LAYERED) != 0, text ? text : L"");
    LRESULT r = Default(WM_SETTEXT, wp, lp);
    m_windowTextKnown = r != FALSE;
    if (m_windowTextKnown) m_windowText.assign(text ? text : L"");
    RECT window;
    GetWindowRect(&window);
    int oldWidth = window.right - window.left;
    if (m_lockRightBorder && oldWidth != 0 && oldWidth != size.cx) {
        SetWindowPos(m_hWnd, nullptr, window.right - size.cx, window.top, size.cx, size.cy,
                     SWP_NOACTIVATE | SWP_NOZORDER);
    } else if (size.cx != oldWidth || size.cy != window.bottom - window.top) {
        // A text of the size the window has (every tick but a few) leaves the window as it
        // is; asking for the same size again costs a round trip to the window manager.
        SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE);
    }
    m_stateFlags &= ~STATE_TEXT_RESIZE;
    return r;
}

void CDigitClock::OnPaint()
{
    CPaintDC paint(this);
    if (!paint.m_hDC || (GetExStyle() & WS_EX_LAYERED)) return;
    // The opaque look is drawn in the back buffer that the layered look uses (the window's
    // size in either mode): a paint buffer made anew for each of a hundred paints a second
    // costs about what the whole drawing does.
    CZNMemDC mem(&paint, this, m_paintBuffer);
    PaintOpaque(*mem.GetDrawDC());
}

void CDigitClock::PaintOpaque(HDC dc)
{
    RECT r;
    GetClientRect(&r);
    if (m_showBorder) {
        Draw3dRect(dc, r, m_highlightColour, ShadeColor(m_backgroundColour));
        InflateRect(&r, -1, -1);
        Draw3dRect(dc, r, m_backgroundColour, m_shadowColour);
        InflateRect(&r, -1, -1);
    }
    SetBkColor(dc, m_backgroundColour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    InflateRect(&r, -m_margin, -m_margin);

    CString read;
    const wchar_t* text = WindowText(read);
    bool rtl = RightToLeftReading();
    if (m_gdiplusOpaque) {
        // A graphics over the context of this paint: the caller's context may be any.
        GpResult result;
        CGpGraphics g;
        if (result << GdipCreateFromHDC(dc, g.Out())) return;
        SetupQuality(g, result);
        LOGFONTW lf{};
        m_font.GetLogFont(&lf);
        CClockRenderCache& cache = RenderCache();
        GpFont* font = cache.Font(CClockRenderCache::KeyOf(lf, GetDeviceCaps(dc, LOGPIXELSY)), result);
        GpStringFormat* format = cache.Format(m_alignment, rtl, result);
        GpSolidFill* brush = font && format ? cache.TextBrush(MakeArgb(m_textAlpha, m_textColour), result) : nullptr;
        if (brush) {
            RectF layout(static_cast<REAL>(r.left), static_cast<REAL>(r.top), static_cast<REAL>(r.right - r.left),
                         static_cast<REAL>(r.bottom - r.top));
            result << GdipDrawString(g, text, -1, font, &layout, format, brush);
        }
    } else {
        HGDIOBJ oldFont = SelectObject(dc, m_font.GetSafeHandle());
        COLORREF oldColour = SetTextColor(dc, m_textColour);
        int oldMode = SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text, -1, &r, DrawTextFlags(m_alignment, rtl));
        SetBkMode(dc, oldMode);
        SetTextColor(dc, oldColour);
        SelectObject(dc, oldFont);
    }
}

void CDigitClock::DrawLayered(SIZE size, const wchar_t* text)
{
    if (m_paintBuffer.Prepare(size) != 0 || !m_paintBuffer.m_pPixels) return;
    HDC dc = m_paintBuffer.m_hDC;
    const int width = size.cx, height = size.cy;
    const bool rtl = RightToLeftReading();

    if (!m_useOutline && !m_gdiplusLayered) {
        // Plain GDI: white on black, then the brightness becomes the coverage of the
        // (premultiplied) text colour.
        RECT r{0, 0, width, height};
        HGDIOBJ oldFont = SelectObject(dc, m_font.GetSafeHandle());
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, OPAQUE);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
        DrawTextW(dc, text, -1, &r, DrawTextFlags(m_alignment, rtl));
        SelectObject(dc, oldFont);
        GdiFlush();
        BYTE* p = static_cast<BYTE*>(m_paintBuffer.m_pPixels);
        const int red = GetRValue(m_textColour), green = GetGValue(m_textColour), blue = GetBValue(m_textColour);
        for (int i = 0, n = width * height; i < n; ++i, p += 4) {
            int a = (p[0] == 255 && p[1] == 255 && p[2] == 255) ? 255 : (p[0] + p[1] + p[2]) / 3;
            p[3] = static_cast<BYTE>(a);
            p[2] = static_cast<BYTE>((red * a + 128) / 255);
            p[1] = static_cast<BYTE>((green * a + 128) / 255);
            p[0] = static_cast<BYTE>((blue * a + 128) / 255);
        }
        return;
    }

    GpResult result;
    CClockRenderCache& cache = RenderCache();
    GpGraphics* g = cache.LayeredGraphics(m_paintBuffer.m_pPixels, width, height, result);
    if (!g) return;
    result << GdipGraphicsClear(g, 0x00000000);

    LOGFONTW lf{};
    m_font.GetLogFont(&lf);
    const int ppi = GetScreenDpiY();
    const CClockRenderCache::FontKey key = CClockRenderCache::KeyOf(lf, ppi);
    GpStringFormat* format = cache.Format(m_alignment, rtl, result);
    RectF all(0, 0, static_cast<REAL>(width), static_cast<REAL>(height));
    if (m_useOutline) {
        GpFontFamily* family = cache.Family(key, result);
        GpPath* path = family && format ? cache.EmptyPath(result) : nullptr;
        if (path) {
            RectF layout = all;
            if (m_alignment == 0) layout.X += static_cast<REAL>(m_outlineThickness);
            else if (m_alignment == 1) layout.X -= static_cast<REAL>(m_outlineThickness);
            REAL em = static_cast<REAL>(key.pointSize * ppi / 72);
            if (!(result << GdipAddPathString(path, text, -1, family, key.style, em, &layout, format))) {
                if (GpPen* pen = cache.Pen(MakeArgb(m_outlineAlpha, m_outlineColour), m_outlineThickness, result))
                    result << GdipDrawPath(g, pen, path);
                int fillAlpha = m_outlineAlpha > m_textAlpha ? 255 : m_textAlpha;
                if (GpSolidFill* brush = cache.BodyBrush(MakeArgb(fillAlpha, m_textColour), result))
                    result << GdipFillPath(g, brush, path);
            }
        }
    } else {
        GpFont* font = cache.Font(key, result);
        GpSolidFill* brush = font && format ? cache.TextBrush(MakeArgb(m_textAlpha, m_textColour), result) : nullptr;
        if (brush) result << GdipDrawString(g, text, -1, font, &all, format, brush);
    }
    GdipFlush(g, FlushIntentionSync);
}

void CDigitClock::PushLayered()
{
    RECT window;
    GetWindowRect(&window);
    SIZE size{window.right - window.left, window.bottom - window.top};
    if (size.cx <= 0 || size.cy <= 0 || !m_pfnUpdateLayeredWindow) return;
    CString read;
    DrawLayered(size, WindowText(read));
    if (!m_paintBuffer.m_hDC) return;
    POINT dest{window.left, window.top};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // A failed push leaves the previous image on screen; nothing better can be done.
    m_pfnUpdateLayeredWindow(m_hWnd, nullptr, &dest, &size, m_paintBuffer.m_hDC, &source, 0, &blend, ULW_ALPHA);
}
