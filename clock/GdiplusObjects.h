// Owners of GDI+ flat-interface objects, one line per kind over the class library's handle
// owner: fonts, families, string formats, brushes, pens, paths, graphics and bitmaps that
// outlive one call are freed exactly once. GDI+ must still be running when they go.
#pragma once

#include "CHandle.h"

#include <gdiplus.h>

// Base is the type that the delete function takes (a solid fill is freed as a brush, a
// bitmap as an image).
template <typename T, typename Base, Gdiplus::GpStatus(WINGDIPAPI* DeleteFn)(Base*)>
struct CGdiplusTraits
{
    using Type = T*;
    static T* None() { return nullptr; }
    static bool IsNone(T* p) { return p == nullptr; }
    static DWORD Close(T* p) { return static_cast<DWORD>(DeleteFn(p)); }
};

template <typename T, Gdiplus::GpStatus(WINGDIPAPI* DeleteFn)(T*)>
using CGdiplusOwner = CUniqueAny<CGdiplusTraits<T, T, DeleteFn>>;

using CGpFontFamily = CGdiplusOwner<Gdiplus::GpFontFamily, Gdiplus::DllExports::GdipDeleteFontFamily>;
using CGpFont = CGdiplusOwner<Gdiplus::GpFont, Gdiplus::DllExports::GdipDeleteFont>;
using CGpStringFormat = CGdiplusOwner<Gdiplus::GpStringFormat, Gdiplus::DllExports::GdipDeleteStringFormat>;
using CGpSolidFill =
    CUniqueAny<CGdiplusTraits<Gdiplus::GpSolidFill, Gdiplus::GpBrush, Gdiplus::DllExports::GdipDeleteBrush>>;
using CGpPen = CGdiplusOwner<Gdiplus::GpPen, Gdiplus::DllExports::GdipDeletePen>;
using CGpPath = CGdiplusOwner<Gdiplus::GpPath, Gdiplus::DllExports::GdipDeletePath>;
using CGpGraphics = CGdiplusOwner<Gdiplus::GpGraphics, Gdiplus::DllExports::GdipDeleteGraphics>;
using CGpBitmap =
    CUniqueAny<CGdiplusTraits<Gdiplus::GpBitmap, Gdiplus::GpImage, Gdiplus::DllExports::GdipDisposeImage>>;
