// Colour arithmetic on the hue/lightness/saturation scale of the system's colour dialog:
// hue, lightness and saturation run 0..240 (colour bytes 0..255); hue 160 marks a grey,
// whose hue is undefined.
#pragma once

#include "ClassLib.h"

void RgbToHls(COLORREF rgb, WORD& hue, WORD& lightness, WORD& saturation);
COLORREF HlsToRgb(WORD hue, WORD lightness, WORD saturation);
int HueToRgb(int p, int q, short hue);

// Darker and lighter variants: only the lightness changes.
COLORREF ShadeColor(COLORREF rgb);   // L / 3
COLORREF DimColor(COLORREF rgb);     // 2L / 3
COLORREF TintColor(COLORREF rgb);    // min(L / 2 + 120, 240)

// The colour the screen shows for rgb (palette displays snap it).
COLORREF NearestColor(COLORREF rgb);
