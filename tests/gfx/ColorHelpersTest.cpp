#include "ColorHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
struct Hls {
    WORD h, l, s;
};

Hls ToHls(COLORREF c)
{
    Hls r{};
    RgbToHls(c, r.h, r.l, r.s);
    return r;
}
}

TEST(ColorHelpers, RgbToHlsKnownColours)
{
    struct Case {
        COLORREF rgb;
        Hls hls;
        const char* why;
    } cases[] = {
        {RGB(255, 0, 0), {0, 120, 240}, "pure red"},
        {RGB(0, 255, 0), {80, 120, 240}, "pure green"},
        {RGB(0, 0, 255), {160, 120, 240}, "pure blue"},
        {RGB(255, 255, 255), {160, 240, 0}, "white: grey, top lightness"},
        {RGB(0, 0, 0), {160, 0, 0}, "black: grey, no lightness"},
        {RGB(128, 128, 128), {160, 120, 0}, "mid grey"},
        {RGB(0, 128, 255), {140, 120, 240}, "azure"},
        {RGB(255, 255, 0), {40, 120, 240}, "yellow: red wins the tie with green"},
        {RGB(255, 0, 255), {200, 120, 240}, "magenta: red wins the tie with blue"},
        {RGB(0, 255, 255), {120, 120, 240}, "cyan: green wins the tie with blue"},
        {RGB(255, 128, 128), {0, 180, 240}, "light red: lightness above the middle"},
    };
    for (const Case& c : cases) {
        Hls got = ToHls(c.rgb);
        EXPECT_EQ(c.hls.h, got.h) << c.why;
        EXPECT_EQ(c.hls.l, got.l) << c.why;
        EXPECT_EQ(c.hls.s, got.s) << c.why;
    }
}

TEST(ColorHelpers, HlsToRgbEdges)
{
    struct Case {
        Hls hls;
        COLORREF rgb;
        const char* why;
    } cases[] = {
        {{160, 120, 0}, RGB(127, 127, 127), "grey: no rounding term"},
        {{0, 0, 240}, RGB(0, 0, 0), "no lightness is black whatever the hue"},
        {{77, 240, 240}, RGB(255, 255, 255), "full lightness is white whatever the hue"},
        {{240, 120, 240}, RGB(255, 0, 0), "hue 240 is hue 0"},
        {{0, 120, 240}, RGB(255, 0, 0), "red"},
        {{80, 120, 240}, RGB(0, 255, 0), "green"},
        {{160, 120, 240}, RGB(0, 0, 255), "blue"},
        {{30, 240, 0}, RGB(255, 255, 255), "grey at the top"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.rgb, HlsToRgb(c.hls.h, c.hls.l, c.hls.s)) << c.why;
}

TEST(ColorHelpers, HueToRgbWrapsOnce)
{
    // p = 0, q = 240: the ramp up below 40, flat to 120, down to 160, floor after.
    EXPECT_EQ(HueToRgb(0, 240, 160), HueToRgb(0, 240, -80));
    EXPECT_EQ(HueToRgb(0, 240, 80), HueToRgb(0, 240, 320));
    EXPECT_EQ(120, HueToRgb(0, 240, 20));
    EXPECT_EQ(240, HueToRgb(0, 240, 40));
    EXPECT_EQ(240, HueToRgb(0, 240, 119));
    EXPECT_EQ(120, HueToRgb(0, 240, 140));
    EXPECT_EQ(0, HueToRgb(0, 240, 160));
    EXPECT_EQ(0, HueToRgb(0, 240, 240));
}

TEST(ColorHelpers, RoundTripStaysWithinRoundingAndScaleHoldsItsBounds)
{
    for (int r = 0; r <= 255; r += 15)
        for (int g = 0; g <= 255; g += 15)
            for (int b = 0; b <= 255; b += 15) {
                const COLORREF c = RGB(r, g, b);
                const Hls hls = ToHls(c);
                ASSERT_LE(hls.h, 240);
                ASSERT_LE(hls.l, 240);
                ASSERT_LE(hls.s, 240);
                const COLORREF back = HlsToRgb(hls.h, hls.l, hls.s);
                // 240 steps against 256: a channel may move by the scale's resolution.
                ASSERT_LE(std::abs(GetRValue(back) - r), 3) << r << "," << g << "," << b;
                ASSERT_LE(std::abs(GetGValue(back) - g), 3) << r << "," << g << "," << b;
                ASSERT_LE(std::abs(GetBValue(back) - b), 3) << r << "," << g << "," << b;
            }
}

TEST(ColorHelpers, PrimariesRoundTripExactly)
{
    const COLORREF exact[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0),
                              RGB(0, 255, 255), RGB(255, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0)};
    for (COLORREF c : exact) {
        const Hls hls = ToHls(c);
        EXPECT_EQ(c, HlsToRgb(hls.h, hls.l, hls.s)) << std::hex << c;
    }
}

TEST(ColorHelpers, ShadeDimAndTint)
{
    struct Case {
        COLORREF (*fn)(COLORREF);
        COLORREF in, out;
        const char* why;
    } cases[] = {
        {ShadeColor, RGB(255, 0, 0), RGB(85, 0, 0), "shade: a third of the lightness"},
        {ShadeColor, RGB(255, 255, 255), RGB(85, 85, 85), "shade of white is a dark grey"},
        {ShadeColor, RGB(0, 0, 0), RGB(0, 0, 0), "shade of black stays black"},
        {DimColor, RGB(255, 0, 0), RGB(170, 0, 0), "dim: two thirds"},
        {DimColor, RGB(255, 255, 255), RGB(170, 170, 170), "dim of white"},
        {TintColor, RGB(255, 0, 0), RGB(255, 128, 128), "tint keeps the hue"},
        {TintColor, RGB(0, 0, 0), RGB(127, 127, 127), "tint of black is mid grey"},
        {TintColor, RGB(255, 255, 255), RGB(255, 255, 255), "tint is capped at full lightness"},
        {TintColor, RGB(240, 240, 240), RGB(247, 247, 247), "tint of a light grey"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.out, c.fn(c.in)) << c.why;
}

TEST(ColorHelpers, NearestColorOnTrueColourScreen)
{
    HDC screen = GetDC(nullptr);
    ASSERT_NE(nullptr, screen);
    const bool trueColour = GetDeviceCaps(screen, BITSPIXEL) >= 24;
    const COLORREF colours[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(1, 2, 3), RGB(0, 128, 255), RGB(200, 17, 99)};
    for (COLORREF c : colours) {
        EXPECT_EQ(GetNearestColor(screen, c), NearestColor(c));
        if (trueColour) {
            EXPECT_EQ(c, NearestColor(c)) << "a true-colour screen shows every colour";
        }
    }
    ReleaseDC(nullptr, screen);
}
