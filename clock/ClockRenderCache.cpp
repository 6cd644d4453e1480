#include "ClockRenderCache.h"

#include "SupportWindowsHelpers.h"

#include <cwchar>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// String format flags: no clip, no wrap, no font fallback, no fit black box.
const INT kFormatFlags = 0x5404;
const INT kMeasureTrailingSpaces = 0x800;
const INT kDirectionRightToLeft = 0x1;

}  // namespace

bool CClockRenderCache::FontKey::operator==(const FontKey& other) const
{
    return pointSize == other.pointSize && style == other.style && wcsncmp(face, other.face, LF_FACESIZE) == 0;
}

CClockRenderCache::FontKey CClockRenderCache::KeyOf(const LOGFONTW& lf, int pixelsPerInch)
{
    FontKey key;
    wcsncpy(key.face, lf.lfFaceName, LF_FACESIZE - 1);
    key.pointSize = -MulDiv(lf.lfHeight, 72, pixelsPerInch);
    key.style = lf.lfWeight == FW_BOLD ? FontStyleBold : FontStyleRegular;
    if (lf.lfItalic) key.style |= FontStyleItalic;
    return key;
}

GpFontFamily* CClockRenderCache::Family(const FontKey& key, GpResult& result)
{
    UseFontKey(key);
    if (!m_familyMade) {
        m_familyMade = true;
        if (result << GdipCreateFontFamilyFromName(key.face, nullptr, m_family.Out())) m_family.Release();
    }
    return m_family;
}

GpFont* CClockRenderCache::Font(const FontKey& key, GpResult& result)
{
    GpFontFamily* family = Family(key, result);
    if (!m_fontMade) {
        m_fontMade = true;
        const REAL size = static_cast<REAL>(key.pointSize);
        if (family && (result << GdipCreateFont(family, size, key.style, UnitPoint, m_font.Out()))) m_font.Release();
        if (!m_font && GdipGetGenericFontFamilySansSerif(m_fallbackFamily.Out()) == Ok)
            GdipCreateFont(m_fallbackFamily, size, key.style, UnitPoint, m_font.Out());
    }
    return m_font;
}

GpStringFormat* CClockRenderCache::Format(int alignment, bool rightToLeft, GpResult& result)
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

GpPen* CClockRenderCache::Pen(ARGB colour, int width, GpResult& result)
{
    if (m_pen && m_penColour == colour && m_penWidth == width) return m_pen;
    m_pen.Reset();
    if (result << GdipCreatePen1(colour, static_cast<REAL>(width), UnitWorld, m_pen.Out())) return nullptr;
    GdipSetPenLineJoin(m_pen, LineJoinRound);
    m_penColour = colour;
    m_penWidth = width;
    return m_pen;
}

GpPath* CClockRenderCache::EmptyPath(GpResult& result)
{
    if (m_path) {
        if (!(result << GdipResetPath(m_path))) return m_path;
        m_path.Reset();
    }
    if (result << GdipCreatePath(FillModeAlternate, m_path.Out())) return nullptr;
    return m_path;
}

GpGraphics* CClockRenderCache::LayeredGraphics(void* pixels, int width, int height, GpResult& result)
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

HDC CClockRenderCache::MeasureDC()
{
    if (!m_measureDC) m_measureDC.Reset(CreateCompatibleDC(nullptr));
    return m_measureDC;
}

GpGraphics* CClockRenderCache::MeasureGraphics(GpResult& result)
{
    if (!m_measureGraphics && MeasureDC() && (result << GdipCreateFromHDC(m_measureDC, m_measureGraphics.Out())))
        m_measureGraphics.Release();
    return m_measureGraphics;
}

void CClockRenderCache::UseFontKey(const FontKey& key)
{
    if (m_fontKey == key) return;
    m_font.Reset();
    m_fallbackFamily.Reset();
    m_family.Reset();
    m_familyMade = m_fontMade = false;
    m_fontKey = key;
}

GpSolidFill* CClockRenderCache::Brush(CGpSolidFill& brush, ARGB colour, GpResult& result)
{
    ARGB current = 0;
    if (brush && GdipGetSolidFillColor(brush, &current) == Ok && current == colour) return brush;
    brush.Reset();
    if (result << GdipCreateSolidFill(colour, brush.Out())) return nullptr;
    return brush;
}
