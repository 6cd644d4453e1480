#include "PaintBuffer.h"

#include <gtest/gtest.h>

namespace {
DIBSECTION SectionOf(HBITMAP bitmap)
{
    DIBSECTION section{};
    GetObjectW(bitmap, sizeof(section), &section);
    return section;
}

// A size no machine can back with memory: 2^20 x 2^20 pixels of 4 bytes.
const SIZE kHuge{1 << 20, 1 << 20};
}

TEST(CPaintBuffer, PrepareMakesA32BitBottomUpSectionSelectedInTheContext)
{
    CPaintBuffer buffer;
    EXPECT_EQ(0, buffer.m_size.cx);
    EXPECT_EQ(nullptr, buffer.m_hDC);

    ASSERT_EQ(0, buffer.Prepare(SIZE{10, 5}));
    ASSERT_NE(nullptr, buffer.m_hDC);
    ASSERT_NE(nullptr, buffer.m_pPixels);
    EXPECT_EQ(10, buffer.m_size.cx);
    EXPECT_EQ(5, buffer.m_size.cy);
    EXPECT_EQ(buffer.m_hBitmap, GetCurrentObject(buffer.m_hDC, OBJ_BITMAP));

    const DIBSECTION section = SectionOf(buffer.m_hBitmap);
    EXPECT_EQ(10, section.dsBmih.biWidth);
    EXPECT_EQ(5, section.dsBmih.biHeight) << "positive height: rows bottom-up";
    EXPECT_EQ(32, section.dsBmih.biBitCount);

    // The first row in memory is the bottom row of the picture; bytes are blue, green, red, alpha.
    static_cast<DWORD*>(buffer.m_pPixels)[0] = 0x00FF0000;   // red
    GdiFlush();
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(buffer.m_hDC, 0, 4));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(buffer.m_hDC, 0, 0));
}

TEST(CPaintBuffer, SameSizeKeepsTheSectionAndAnyChangeRemakesItInTheSameContext)
{
    CPaintBuffer buffer;
    ASSERT_EQ(0, buffer.Prepare(SIZE{20, 8}));
    const HDC dc = buffer.m_hDC;
    HBITMAP first = buffer.m_hBitmap;
    void* pixels = buffer.m_pPixels;

    EXPECT_EQ(0, buffer.Prepare(SIZE{20, 8}));
    EXPECT_EQ(first, buffer.m_hBitmap) << "same size: nothing changes";
    EXPECT_EQ(pixels, buffer.m_pPixels);

    const SIZE changes[] = {{21, 8}, {21, 9}, {3, 9}};
    for (SIZE s : changes) {
        ASSERT_EQ(0, buffer.Prepare(s));
        EXPECT_EQ(dc, buffer.m_hDC) << "the memory context is kept";
        EXPECT_EQ(s.cx, SectionOf(buffer.m_hBitmap).dsBmih.biWidth);
        EXPECT_EQ(s.cy, SectionOf(buffer.m_hBitmap).dsBmih.biHeight);
        EXPECT_EQ(buffer.m_hBitmap, GetCurrentObject(dc, OBJ_BITMAP));
    }
    EXPECT_EQ(0u, GetObjectType(first)) << "the replaced section was deleted";
}

TEST(CPaintBuffer, FailedPrepareLeavesNoBitmapAndARetryFailsAgain)
{
    CPaintBuffer buffer;
    ASSERT_EQ(0, buffer.Prepare(SIZE{16, 16}));
    HBITMAP old = buffer.m_hBitmap;

    const int hr = buffer.Prepare(kHuge);
    EXPECT_LT(hr, 0) << "a failure is an HRESULT";
    EXPECT_EQ(nullptr, buffer.m_hBitmap);
    EXPECT_EQ(nullptr, buffer.m_pPixels);
    EXPECT_EQ(0, buffer.m_size.cx);
    EXPECT_EQ(0, buffer.m_size.cy);
    EXPECT_EQ(0u, GetObjectType(old));

    EXPECT_LT(buffer.Prepare(kHuge), 0) << "the same size again must not report success without a bitmap";
    EXPECT_EQ(nullptr, buffer.m_pPixels);

    EXPECT_LT(buffer.Prepare(SIZE{0, 0}), 0) << "an empty buffer is no buffer, even when nothing was made";

    ASSERT_EQ(0, buffer.Prepare(SIZE{16, 16}));
    EXPECT_NE(nullptr, buffer.m_pPixels);
}

TEST(CPaintBuffer, ReleaseFreesEverything)
{
    CPaintBuffer buffer;
    ASSERT_EQ(0, buffer.Prepare(SIZE{4, 4}));
    HDC dc = buffer.m_hDC;
    HBITMAP bitmap = buffer.m_hBitmap;
    buffer.Release();
    EXPECT_EQ(nullptr, buffer.m_hDC);
    EXPECT_EQ(nullptr, buffer.m_hBitmap);
    EXPECT_EQ(nullptr, buffer.m_pPixels);
    EXPECT_EQ(0, buffer.m_size.cx);
    EXPECT_EQ(0u, GetObjectType(dc));
    EXPECT_EQ(0u, GetObjectType(bitmap));

    ASSERT_EQ(0, buffer.Prepare(SIZE{4, 4})) << "usable again after Release";
}
