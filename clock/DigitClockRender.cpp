// The clock window's look: measuring the text, the opaque paint, the layered image and its push.
#include "DigitClock.h"

#include "SupportWindowsHelpers.h"
#include "ColorHelpers.h"
#include "ZNMemDC.h"
#include "Log/LogMan.h"
#include "GdiplusObjects.h"
#include "RTLLayout.h"

#include <cstring>
#include <cwchar>
#include <string>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// String format flags: no clip, no wrap, no font fallback, no fit black box.
const INT kFormatFlags = 0x5404;
const INT kMeasureTrailingSpaces = 0x800;
const INT kDirectionRightToLeft = 0x1;

bool RightToLeftReading()
{
    return IsRTLLayout() != 0;
}

// A GDI+ status remembered once: the first failure of a draw is the one worth knowing.
struct GpResult
{
    GpStatus first = Ok;
    GpStatus operator<<(GpStatus s)
    {
        if (first == Ok && s != Ok) first = s;
        return s;
    }
};

int PointSize(const LOGFONTW& lf, int pixelsPerInch)
{
    return -MulDiv(lf.lfHeight, 72, pixelsPerInch);
}

INT FontStyleOf(const LOGFONTW& lf)
{
    INT style = lf.lfWeight == FW_BOLD ? FontStyleBold : FontStyleRegular;
    if (lf.lfItalic) style |= FontStyleItalic;
    return style;
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

// Building a GDI+ font, family or string format costs far more than drawing with it, and the
// clock draws up to a hundred times a second: what the look is made of is kept here and
// made again only when what it is made from changes.
class CClockRenderCache
{
public:
    // The face name, size in points and style of the clock font.
    struct FontKey
    {
        wchar_t face[LF_FACESIZE] = {};
        int pointSize = 0;
        INT style = FontStyleRegular;

        bool operator==(const FontKey& other) const
        {
            return pointSize == other.pointSize && style == other.style &&
                   wcsncmp(face, other.face, LF_FACESIZE) == 0;
        }
    };

    static FontKey KeyOf(const LOGFONTW& lf, int pixelsPerInch)
    {
        FontKey key;
        wcsncpy(key.face, lf.lfFaceName, LF_FACESIZE - 1);
        key.pointSize = PointSize(lf, pixelsPerInch);
        key.style = FontStyleOf(lf);
        return key;
    }

    // The family of the face alone (the outline's, which has no fallback); none when the face
    // cannot be found.
    GpFontFamily* Family(const FontKey& key, GpResult& result)
    {
        UseFontKey(key);
        if (!m_familyMade) {
            m_familyMade = true;
            if (result << GdipCreateFontFamilyFromName(key.face, nullptr, m_family.Out())) m_family.Release();
        }
        return m_family;
    }

    // The font in points; a face that cannot be had gives the generic sans-serif family.
    GpFont* Font(const FontKey& key, GpResult& result)
    {
        GpFontFamily* family = Family(key, result);
        if (!m_fontMade) {
            m_fontMade = true;
            const REAL size = static_cast<REAL>(key.pointSize);
            if (family && (result << GdipCreateFont(family, size, key.style, UnitPoint, m_font.Out())))
                m_font.Release();
            if (!m_font && GdipGetGenericFontFamilySansSerif(m_fallbackFamily.Out()) == Ok)
                GdipCreateFont(m_fallbackFamily, size, key.style, UnitPoint, m_font.Out());
        }
        return m_font;
    }

    // A clone of the generic typographic format with the clock's alignment and flags; one
    // for each reading direction, since measuring is always left to right.
    GpStringFormat* Format(int alignment, bool rightToLeft, GpResult& result)
    {
        Formats& slot = m_formats[rightToLeft ? 1 : 0];
        if (slot.format && slot.alignment == alignment) return slot.format;
        slot.format.Reset();
        GpStringFormat* generic = nullptr;
        if (result << GdipStringFormatGetGenericTypographic(&generic)) return nullptr;
        if (result << GdipCloneStringFormat(generic, slot.format.Out())) return nullptr;
        StringAlignment align = alignment == 1 ? StringAlignmentFar
                              : alignment == 2 ? StringAlignmentCenter
                                               : StringAlignmentNear;
        INT flags = kFormatFlags;
        if (alignment != 1) flags |= kMeasureTrailingSpaces;
        if (rightToLeft) flags |= kDirectionRightToLeft;
        result << GdipSetStringFormatAlign(slot.format, align);
        result << GdipSetStringFormatFlags(slot.format, flags);
        result << GdipSetStringFormatTrimming(slot.format, StringTrimmingNone);
        slot.alignment = alignment;
        return slot.format;
    }

    // Solid fills of the text and of the outlined body, each of one colour.
    GpSolidFill* TextBrush(ARGB colour, GpResult& result) { return Brush(m_textBrush, colour, result); }
    GpSolidFill* BodyBrush(ARGB colour, GpResult& result) { return Brush(m_bodyBrush, colour, result); }

    // The outline's pen, round-joined.
    GpPen* Pen(ARGB colour, int width, GpResult& result)
    {
        if (m_pen && m_penColour == colour && m_penWidth == width) return m_pen;
        m_pen.Reset();
        if (result << GdipCreatePen1(colour, static_cast<REAL>(width), UnitWorld, m_pen.Out())) return nullptr;
        GdipSetPenLineJoin(m_pen, LineJoinRound);
        m_penColour = colour;
        m_penWidth = width;
        return m_pen;
    }

    // An empty path in alternate fill mode.
    GpPath* EmptyPath(GpResult& result)
    {
        if (m_path) {
            if (!(result << GdipResetPath(m_path))) return m_path;
            m_path.Reset();
        }
        if (result << GdipCreatePath(FillModeAlternate, m_path.Out())) return nullptr;
        return m_path;
    }

    // Graphics over the paint buffer's pixels as premultiplied ARGB, anti-aliased; made again
    // when the buffer's DIB section is.
    GpGraphics* LayeredGraphics(void* pixels, int width, int height, GpResult& result)
    {
        // The bitmap's resolution turns the font's points into pixels.
        const POINT dpi{GetScreenDpiX(), GetScreenDpiY()};
        if (m_layered && pixels == m_layeredPixels && width == m_layeredSize.cx && height == m_layeredSize.cy &&
            dpi.x == m_layeredDpi.x && dpi.y == m_layeredDpi.y)
            return m_layered;
        m_layered.Reset();
        m_layeredBitmap.Reset();
        m_layeredPixels = nullptr;
        // The rows are bottom-up, so the first scan line is the last in memory.
        const INT stride = width * 4;
        BYTE* lastRow = static_cast<BYTE*>(pixels) + static_cast<size_t>(stride) * (height - 1);
        if (result << GdipCreateBitmapFromScan0(width, height, -stride, PixelFormat32bppPARGB, lastRow,
                                                m_layeredBitmap.Out()))
            return nullptr;
        GdipBitmapSetResolution(m_layeredBitmap, static_cast<REAL>(dpi.x), static_cast<REAL>(dpi.y));
        if (result << GdipGetImageGraphicsContext(m_layeredBitmap, m_layered.Out())) {
            m_layeredBitmap.Reset();
            return nullptr;
        }
        result << GdipSetSmoothingMode(m_layered, SmoothingModeAntiAlias);
        result << GdipSetTextRenderingHint(m_layered, TextRenderingHintAntiAlias);
        m_layeredPixels = pixels;
        m_layeredSize = SIZE{width, height};
        m_layeredDpi = dpi;
        return m_layered;
    }

    // Measuring needs a context of the screen's resolution, not the window's own: one
    // memory context, and the graphics over it, serve every measure.
    HDC MeasureDC()
    {
        if (!m_measureDC) m_measureDC.Reset(CreateCompatibleDC(nullptr));
        return m_measureDC;
    }
    GpGraphics* MeasureGraphics(GpResult& result)
    {
        if (!m_measureGraphics && MeasureDC() && (result << GdipCreateFromHDC(m_measureDC, m_measureGraphics.Out())))
            m_measureGraphics.Release();
        return m_measureGraphics;
    }

    // The last measured text and the look it was measured in.
    struct Measured
    {
        BOOL layered = FALSE;
        HGDIOBJ fontHandle = nullptr;
        LOGFONTW font{};
        int values[7] = {};
        std::wstring text;
        SIZE size{-1, -1};
    };
    Measured m_measured;

private:
    struct Formats
    {
        CGpStringFormat format;
        int alignment = -1;
    };

    void UseFontKey(const FontKey& key)
    {
        if (m_fontKey == key) return;
        m_font.Reset();
        m_fallbackFamily.Reset();
        m_family.Reset();
        m_familyMade = m_fontMade = false;
        m_fontKey = key;
    }

    static GpSolidFill* Brush(CGpSolidFill& brush, ARGB colour, GpResult& result)
    {
        ARGB current = 0;
        if (brush && GdipGetSolidFillColor(brush, &current) == Ok && current == colour) return brush;
        brush.Reset();
        if (result << GdipCreateSolidFill(colour, brush.Out())) return nullptr;
        return brush;
    }

    FontKey m_fontKey;
    bool m_familyMade = false, m_fontMade = false;
    CGpFontFamily m_family, m_fallbackFamily;
    CGpFont m_font;
    Formats m_formats[2];
    CGpSolidFill m_textBrush, m_bodyBrush;
    CGpPen m_pen;
    ARGB m_penColour = 0;
    int m_penWidth = 0;
    CGpPath m_path;
    // Declared after the bitmap it draws into, so it is released first.
    CGpBitmap m_layeredBitmap;
    CGpGraphics m_layered;
    void* m_layeredPixels = nullptr;
    SIZE m_layeredSize{0, 0};
    POINT m_layeredDpi{0, 0};
    CMemDCHandle m_measureDC;
    CGpGraphics m_measureGraphics;
};

void CClockRenderCacheDeleter::operator()(CClockRenderCache* cache) const
{
    delete cache;
}

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
