#include "ClockPlacement.h"

#include <algorithm>
#include <sstream>

namespace {

// One axis of KeepOnMonitor: lo/hi are the window's edges, mlo/mhi the monitor's, shown
// the visible extent. Returns the new low edge.
LONG KeepAxis(LONG lo, LONG hi, LONG mlo, LONG mhi, LONG shown, LONG needed)
{
    if (shown > 0) {
        if (mhi - lo == shown) return mhi - needed;               // sticks out past the far edge
        if (hi - mlo == shown) return lo + (needed - (hi - mlo));  // sticks out past the near edge
        return lo;
    }
    if (mhi - lo < needed) return mhi - needed;
    if (hi - mlo < needed) return lo + (needed - (hi - mlo));
    return lo;
}

}  // namespace

bool KeepOnMonitor(RECT& window, const RECT& monitor, BOOL transparent)
{
    RECT shown;
    if (!IntersectRect(&shown, &window, &monitor)) SetRectEmpty(&shown);
    const LONG extra = transparent ? 4 : 0;
    const LONG width = window.right - window.left, height = window.bottom - window.top;
    const LONG needW = std::max<LONG>(18 + extra, width / 2);
    const LONG needH = std::max<LONG>(14 + extra, height / 2);
    const bool empty = IsRectEmpty(&shown) != FALSE;

    bool moved = false;
    if (shown.right - shown.left < needW) {
        LONG left = KeepAxis(window.left, window.right, monitor.left, monitor.right,
                             empty ? 0 : shown.right - shown.left, needW);
        if (left != window.left) {
            OffsetRect(&window, left - window.left, 0);
            moved = true;
        }
    }
    if (shown.bottom - shown.top < needH) {
        LONG top = KeepAxis(window.top, window.bottom, monitor.top, monitor.bottom,
                            empty ? 0 : shown.bottom - shown.top, needH);
        if (top != window.top) {
            OffsetRect(&window, 0, top - window.top);
            moved = true;
        }
    }
    return moved;
}

void ShiftForDisplayChange(RECT& window, const RECT& oldMonitor, const RECT& newMonitor, int keepLeft, int keepTop)
{
    if (!keepLeft && window.left - oldMonitor.left > oldMonitor.right - window.right)
        OffsetRect(&window, newMonitor.right - oldMonitor.right, 0);
    if (!keepTop && window.top - oldMonitor.top > oldMonitor.bottom - window.bottom)
        OffsetRect(&window, 0, newMonitor.bottom - oldMonitor.bottom);
}

bool CoversMonitor(const RECT& window, const RECT& monitor)
{
    return window.right - window.left == monitor.right - monitor.left &&
           window.bottom - window.top == monitor.bottom - monitor.top;
}

CString RectText(const RECT& r)
{
    std::wostringstream s;
    s << r.left << L"," << r.top << L" " << (r.right - r.left) << L"x" << (r.bottom - r.top);
    return CString(s.str());
}
