// The clock window's look: measuring the text, the opaque paint, the layered image and its push.
#include "DigitClock.h"

#include "SupportWindowsHelpers.h"
#include "ColorHelpers.h"
#include "ZNMemDC.h"
#include "Log/LogMan.h"
#include "RTLLayout.h"

#include <gdiplus.h>

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

// The GDI+ objects of one draw, made and released within it.
struct GpFontSet
{
    GpFontFamily* family = nullptr;
    GpFont* font = nullptr;
    GpStringFormat* format = nullptr;
    int pointSize = 0;
    INT style = FontStyleRegular;

    ~GpFontSet()
    {
        if (font) GdipDeleteFont(font);
        if (family) GdipDeleteFontFamily(family);
        if (format) GdipDeleteStringFormat(format);
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

void MakeFormat(GpFontSet& set, int alignment, bool rightToLeft, GpResult& result)
{
    GpStringFormat* generic = nullptr;
    if (result << GdipStringFormatGetGenericTypographic(&generic)) return;
    if (result << GdipCloneStringFormat(generic, &set.format)) return;
    StringAlignment align = alignment == 1 ? StringAlignmentFar
                          : alignment == 2 ? StringAlignmentCenter
                                           : StringAlignmentNear;
    INT flags = kFormatFlags;
    if (alignment != 1) flags |= kMeasureTrailingSpaces;
    if (rightToLeft) flags |= kDirectionRightToLeft;
    result << GdipSetStringFormatAlign(set.format, align);
    result << GdipSetStringFormatFlags(set.format, flags);
    result << GdipSetStringFormatTrimming(set.format, StringTrimmingNone);
}

// Family, font in points and string format; a face that cannot be had gives the generic
// sans-serif family.
void MakeFontSet(GpFontSet& set, const LOGFONTW& lf, int pixelsPerInch, int alignment, bool rightToLeft,
                 bool withFont, GpResult& result)
{
    set.pointSize = PointSize(lf, pixelsPerInch);
    set.style = FontStyleOf(lf);
    if (result << GdipCreateFontFamilyFromName(lf.lfFaceName, nullptr, &set.family)) set.family = nullptr;
    if (withFont && set.family &&
        (result << GdipCreateFont(set.family, static_cast<REAL>(set.pointSize), set.style, UnitPoint, &set.font))) {
        set.font = nullptr;
    }
    if (withFont && !set.font) {
        if (set.family) GdipDeleteFontFamily(set.family);
        set.family = nullptr;
        if (GdipGetGenericFontFamilySansSerif(&set.family) == Ok)
            GdipCreateFont(set.family, static_cast<REAL>(set.pointSize), set.style, UnitPoint, &set.font);
    }
    MakeFormat(set, alignment, rightToLeft, result);
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

SIZE CDigitClock::MeasureClockText(BOOL layered, const wchar_t* text)
{
    SIZE size{0, 0};
    if (!m_hWnd) return size;
    HDC dc = GetDC(m_hWnd);
    if (!dc) return size;
    LOGFONTW lf{};
    m_font.GetLogFont(&lf);

    if ((!layered && m_gdiplusOpaque) || (layered && (m_useOutline || m_gdiplusLayered))) {
        GpResult result;
        GpGraphics* g = nullptr;
        if (!(result << GdipCreateFromHDC(dc, &g))) {
            GpFontSet set;
            MakeFontSet(set, lf, GetDeviceCaps(dc, LOGPIXELSY), m_alignment, false, true, result);
            RectF layout(0, 0, 0, 0), box(0, 0, 0, 0);
            if (set.font && set.format)
                result << GdipMeasureString(g, text, -1, set.font, &layout, set.format, &box, nullptr, nullptr);
            int extra = layered ? (m_useOutline ? 2 * m_outlineThickness : 0)
                                : 2 * m_margin + (m_showBorder ? 4 : 0);
            size.cx = extra + static_cast<int>(box.Width);
            size.cy = extra + static_cast<int>(box.Height);
            GdipDeleteGraphics(g);
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
    ReleaseDC(m_hWnd, dc);
    return size;
}

LRESULT CDigitClock::OnSetText(WPARAM wp, LPARAM lp)
{
    m_stateFlags |= STATE_TEXT_RESIZE;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(lp);
    SIZE size = MeasureClockText((GetExStyle() & WS_EX_LAYERED) != 0, text ? text : L"");
    LRESULT r = Default(WM_SETTEXT, wp, lp);
    RECT window;
    GetWindowRect(&window);
    int oldWidth = window.right - window.left;
    if (m_lockRightBorder && oldWidth != 0 && oldWidth != size.cx) {
        SetWindowPos(m_hWnd, nullptr, window.right - size.cx, window.top, size.cx, size.cy,
                     SWP_NOACTIVATE | SWP_NOZORDER);
    } else {
        SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE);
    }
    m_stateFlags &= ~STATE_TEXT_RESIZE;
    return r;
}

void CDigitClock::OnPaint()
{
    CPaintDC paint(this);
    if (!paint.m_hDC || (GetExStyle() & WS_EX_LAYERED)) return;
    CZNMemDC mem(&paint, this, TRUE);
    PaintOpaque(*mem.GetDrawDC());
}

void CDigitClock::PaintOpaque(HDC dc)
{
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

        CString text = GetWindowText();
        bool rtl = RightToLeftReading();
        if (m_gdiplusOpaque) {
            GpResult result;
            GpGraphics* g = nullptr;
            if (!(result << GdipCreateFromHDC(dc, &g))) {
                SetupQuality(g, result);
                LOGFONTW lf{};
                m_font.GetLogFont(&lf);
                GpFontSet set;
                MakeFontSet(set, lf, GetDeviceCaps(dc, LOGPIXELSY), m_alignment, rtl, true, result);
                GpSolidFill* brush = nullptr;
                if (set.font && set.format && !(result << GdipCreateSolidFill(MakeArgb(m_textAlpha, m_textColour), &brush))) {
                    RectF layout(static_cast<REAL>(r.left), static_cast<REAL>(r.top), static_cast<REAL>(r.right - r.left),
                                 static_cast<REAL>(r.bottom - r.top));
                    result << GdipDrawString(g, text, -1, set.font, &layout, set.format, brush);
                    GdipDeleteBrush(brush);
                }
                GdipDeleteGraphics(g);
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
}

void CDigitClock::DrawLayered(SIZE size, const wchar_t* text)
{
    if (m_paintBuffer.Prepare(size) != 0 || !m_paintBuffer.m_pPixels) return;
    HDC dc = m_paintBuffer.m_hDC;
    const int width = size.cx, height = size.cy;
    LOGFONTW lf{};
    m_font.GetLogFont(&lf);
    const int ppi = GetScreenDpiY();
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

    // GDI+ draws straight into the DIB section's bits as premultiplied ARGB; the rows are
    // bottom-up, so the first scan line is the last in memory.
    GpResult result;
    const INT stride = width * 4;
    BYTE* lastRow = static_cast<BYTE*>(m_paintBuffer.m_pPixels) + static_cast<size_t>(stride) * (height - 1);
    GpBitmap* bitmap = nullptr;
    if (result << GdipCreateBitmapFromScan0(width, height, -stride, PixelFormat32bppPARGB, lastRow, &bitmap)) return;
    GdipBitmapSetResolution(bitmap, static_cast<REAL>(GetScreenDpiX()), static_cast<REAL>(GetScreenDpiY()));
    GpGraphics* g = nullptr;
    if (result << GdipGetImageGraphicsContext(bitmap, &g)) {
        GdipDisposeImage(bitmap);
        return;
    }
    SetupQuality(g, result);
    result << GdipGraphicsClear(g, 0x00000000);

    RectF all(0, 0, static_cast<REAL>(width), static_cast<REAL>(height));
    GpFontSet set;
    if (m_useOutline) {
        MakeFontSet(set, lf, ppi, m_alignment, rtl, false, result);
        GpPath* path = nullptr;
        if (set.family && set.format && !(result << GdipCreatePath(FillModeAlternate, &path))) {
            RectF layout = all;
            if (m_alignment == 0) layout.X += static_cast<REAL>(m_outlineThickness);
            else if (m_alignment == 1) layout.X -= static_cast<REAL>(m_outlineThickness);
            REAL em = static_cast<REAL>(set.pointSize * ppi / 72);
            if (!(result << GdipAddPathString(path, text, -1, set.family, set.style, em, &layout, set.format))) {
                GpPen* pen = nullptr;
                if (!(result << GdipCreatePen1(MakeArgb(m_outlineAlpha, m_outlineColour),
                                               static_cast<REAL>(m_outlineThickness), UnitWorld, &pen))) {
                    GdipSetPenLineJoin(pen, LineJoinRound);
                    result << GdipDrawPath(g, pen, path);
                    GdipDeletePen(pen);
                }
                int fillAlpha = m_outlineAlpha > m_textAlpha ? 255 : m_textAlpha;
                GpSolidFill* brush = nullptr;
                if (!(result << GdipCreateSolidFill(MakeArgb(fillAlpha, m_textColour), &brush))) {
                    result << GdipFillPath(g, brush, path);
                    GdipDeleteBrush(brush);
                }
            }
            GdipDeletePath(path);
        }
    } else {
        MakeFontSet(set, lf, ppi, m_alignment, rtl, true, result);
        GpSolidFill* brush = nullptr;
        if (set.font && set.format && !(result << GdipCreateSolidFill(MakeArgb(m_textAlpha, m_textColour), &brush))) {
            result << GdipDrawString(g, text, -1, set.font, &all, set.format, brush);
            GdipDeleteBrush(brush);
        }
    }
    GdipFlush(g, FlushIntentionSync);
    GdipDeleteGraphics(g);
    GdipDisposeImage(bitmap);
}

void CDigitClock::PushLayered()
{
    RECT window;
    GetWindowRect(&window);
    SIZE size{window.right - window.left, window.bottom - window.top};
    if (size.cx <= 0 || size.cy <= 0 || !m_pfnUpdateLayeredWindow) return;
    DrawLayered(size, GetWindowText());
    if (!m_paintBuffer.m_hDC) return;
    POINT dest{window.left, window.top};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // A failed push leaves the previous image on screen; nothing better can be done.
    m_pfnUpdateLayeredWindow(m_hWnd, nullptr, &dest, &size, m_paintBuffer.m_hDC, &source, 0, &blend, ULW_ALPHA);
}
