// Small readers of the clock's settings ("Common" section of the settings store) and the
// screen facts that placement needs.
#pragma once

#include "ClassLib.h"
#include "StringTable.h"

// An int of "Common"; the caller passes the setting's default.
int GetCommonInt(StrId key, int defaultValue);
// A RECT setting: exactly 16 bytes, else it counts as absent (false, and r all-zero).
bool ReadProfileRect(const wchar_t* section, const wchar_t* entry, RECT& r);
// The process-wide screen DPI: cx horizontal, cy vertical.
SIZE ScreenDpi();

inline int ClampInt(int v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}
