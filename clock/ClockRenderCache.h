// CClockRenderCache: the GDI+ objects of the clock's look, kept between renders. Building a
// GDI+ font, family or string format costs far more than drawing with it, and the clock
// draws up to a hundred times a second: what the look is made of is kept here and made
// again only when what it is made from changes.
#pragma once

#include "GdiplusObjects.h"

#include <string>

// A GDI+ status remembered once: the first failure of a draw is the one worth knowing.
struct GpResult
{
    Gdiplus::GpStatus first = Gdiplus::Ok;
    Gdiplus::GpStatus operator<<(Gdiplus::GpStatus s)
    {
        if (first == Gdiplus::Ok && s != Gdiplus::Ok) first = s;
        return s;
    }
};

class CClockRenderCache
{
public:
    // The face name, size in points and style of the clock font.
    struct FontKey
    {
        wchar_t face[LF_FACESIZE] = {};
        int pointSize = 0;
        INT style = Gdiplus::FontStyleRegular;

        bool operator==(const FontKey& other) const;
    };
    static FontKey KeyOf(const LOGFONTW& lf, int pixelsPerInch);

    // The family of the face alone (the outline's, which has no fallback); none when the face
    // cannot be found.
    Gdiplus::GpFontFamily* Family(const FontKey& key, GpResult& result);
    // The font in points; a face that cannot be had gives the generic sans-serif family.
    Gdiplus::GpFont* Font(const FontKey& key, GpResult& result);
    // A clone of the generic typographic format with the clock's alignment and flags; one
    // for each reading direction, since measuring is always left to right.
    Gdiplus::GpStringFormat* Format(int alignment, bool rightToLeft, GpResult& result);
    // Solid fills of the text and of the outlined body, each of one colour.
    Gdiplus::GpSolidFill* TextBrush(Gdiplus::ARGB colour, GpResult& result) { return Brush(m_textBrush, colour, result); }
    Gdiplus::GpSolidFill* BodyBrush(Gdiplus::ARGB colour, GpResult& result) { return Brush(m_bodyBrush, colour, result); }
    // The outline's pen, round-joined.
    Gdiplus::GpPen* Pen(Gdiplus::ARGB colour, int width, GpResult& result);
    // An empty path in alternate fill mode.
    Gdiplus::GpPath* EmptyPath(GpResult& result);
    // Graphics over the paint buffer's pixels as premultiplied ARGB, anti-aliased; made again
    // when the buffer's DIB section is.
    Gdiplus::GpGraphics* LayeredGraphics(void* pixels, int width, int height, GpResult& result);
    // Measuring needs a context of the screen's resolution, not the window's own: one
    // memory context, and the graphics over it, serve every measure.
    HDC MeasureDC();
    Gdiplus::GpGraphics* MeasureGraphics(GpResult& result);

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

    void UseFontKey(const FontKey& key);
    static Gdiplus::GpSolidFill* Brush(CGpSolidFill& brush, Gdiplus::ARGB colour, GpResult& result);

    FontKey m_fontKey;
    bool m_familyMade = false, m_fontMade = false;
    CGpFontFamily m_family, m_fallbackFamily;
    CGpFont m_font;
    Formats m_formats[2];
    CGpSolidFill m_textBrush, m_bodyBrush;
    CGpPen m_pen;
    Gdiplus::ARGB m_penColour = 0;
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
