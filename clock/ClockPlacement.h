// The rectangle rules of the clock window's placement: how much of it must stay on its
// monitor, how a display change carries it along, and when a window counts as full screen.
// Pure functions of rectangles, so that every rule is tested without a display.
#pragma once

#include "ClassLib.h"

// Moves window back so that enough of it shows on monitor: half its width and height, at
// least 18 x 14 pixels (22 x 18 when transparent, whose edge pixels may be see-through).
// True when it moved.
bool KeepOnMonitor(RECT& window, const RECT& monitor, BOOL transparent);

// After a display change from monitor oldMonitor to newMonitor: a window nearer the right
// (bottom) edge keeps its distance to that edge, unless keepLeft (keepTop) is set.
void ShiftForDisplayChange(RECT& window, const RECT& oldMonitor, const RECT& newMonitor, int keepLeft, int keepTop);

// A window of exactly its monitor's width and height (wherever it lies) is full screen.
bool CoversMonitor(const RECT& window, const RECT& monitor);
// "left,top widthxheight", as the placement's log entries write a rectangle.
CString RectText(const RECT& r);
