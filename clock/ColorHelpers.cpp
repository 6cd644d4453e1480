#include "ColorHelpers.h"

#include "Log/LogMan.h"

#include <algorithm>

namespace {
const int kHlsMax = 240;
const int kRgbMax = 255;
const WORD kUndefinedHue = 160;

// Every colour variant keeps hue and saturation and replaces the lightness.
template <typename F>
COLORREF WithLightness(COLORREF rgb, F newLightness)
{
    WORD h = 0, l = 0, s = 0;
    RgbToHls(rgb, h, l, s);
    return HlsToRgb(h, static_cast<WORD>(newLightness(l)), s);
}
}

void RgbToHls(COLORREF rgb, WORD& hue, WORD& lightness, WORD& saturation)
{
    const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
    const int cMax = std::max({r, g, b});
    const int cMin = std::min({r, g, b});
    const int sum = cMax + cMin;

    const int l = (sum * kHlsMax + kRgbMax) / (2 * kRgbMax);
    lightness = static_cast<WORD>(l);
    if (cMax == cMin) {
        saturation = 0;
        hue = kUndefinedHue;
        return;
    }

    const int d = cMax - cMin;
    if (l <= kHlsMax / 2)
        saturation = static_cast<WORD>((d * kHlsMax + sum / 2) / sum);
    else
        saturation = static_cast<WORD>((d * kHlsMax + (2 * kRgbMax - sum) / 2) / (2 * kRgbMax - sum));

    const int rd = ((cMax - r) * (kHlsMax / 6) + d / 2) / d;
    const int gd = ((cMax - g) * (kHlsMax / 6) + d / 2) / d;
    const int bd = ((cMax - b) * (kHlsMax / 6) + d / 2) / d;
    int h;
    if (r == cMax)
        h = bd - gd;
    else if (g == cMax)
        h = kHlsMax / 3 + rd - bd;
    else
        h = 2 * kHlsMax / 3 + gd - rd;
    if (h < 0) h += kHlsMax;
    if (h > kHlsMax) h -= kHlsMax;
    hue = static_cast<WORD>(h);
}

int HueToRgb(int p, int q, short hue)
{
    int h = hue;
    if (h < 0) h += kHlsMax;
    if (h > kHlsMax) h -= kHlsMax;
    if (h < kHlsMax / 6) return p + ((q - p) * h + kHlsMax / 12) / (kHlsMax / 6);
    if (h < kHlsMax / 2) return q;
    if (h < 2 * kHlsMax / 3) return p + ((q - p) * (2 * kHlsMax / 3 - h) + kHlsMax / 12) / (kHlsMax / 6);
    return p;
}

COLORREF HlsToRgb(WORD hue, WORD lightness, WORD saturation)
{
    const int h = hue, l = lightness, s = saturation;
    if (s == 0) {
        const BYTE grey = static_cast<BYTE>((l * kRgbMax) / kHlsMax);
        return RGB(grey, grey, grey);
    }
    const int m2 = l <= kHlsMax / 2 ? (l * (kHlsMax + s) + kHlsMax / 2) / kHlsMax
                                    : l + s - (l * s + kHlsMax / 2) / kHlsMax;
    const int m1 = 2 * l - m2;
    auto channel = [&](int channelHue) {
        return static_cast<BYTE>((HueToRgb(m1, m2, static_cast<short>(channelHue)) * kRgbMax + kHlsMax / 2) / kHlsMax);
    };
    return RGB(channel(h + kHlsMax / 3), channel(h), channel(h - kHlsMax / 3));
}

COLORREF ShadeColor(COLORREF rgb)
{
    return WithLightness(rgb, [](int l) { return l / 3; });
}

COLORREF DimColor(COLORREF rgb)
{
    return WithLightness(rgb, [](int l) { return 2 * l / 3; });
}

COLORREF TintColor(COLORREF rgb)
{
    return WithLightness(rgb, [](int l) { return std::min(l / 2 + kHlsMax / 2, kHlsMax); });
}

COLORREF NearestColor(COLORREF rgb)
{
    CClientDC screen(nullptr);
    if (!screen.m_hDC) {
        ZN_LOG_ERROR(GetLastError(), L"GetDC", LOG_ERROR);
        return rgb;
    }
    COLORREF nearest = GetNearestColor(screen, rgb);
    if (nearest == CLR_INVALID) {
        ZN_LOG_ERROR(GetLastError(), L"GetNearestColor", LOG_ERROR);
        return rgb;
    }
    return nearest;
}
