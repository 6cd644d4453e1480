#include "ClockStatic.h"

namespace {

// The fastest solid fill GDI has: an opaque empty text run, no brush made or selected.
void FillSolid(HDC dc, int left, int top, int right, int bottom, COLORREF colour)
{
    RECT r{left, top, right, bottom};
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

}  // namespace

int CClockStatic::DigitSegments(int digit)
{
    static const int kSegments[10] = {
        SEG_TOP | SEG_UPPER_LEFT | SEG_UPPER_RIGHT | SEG_LOWER_LEFT | SEG_LOWER_RIGHT | SEG_BOTTOM,
        SEG_UPPER_RIGHT | SEG_LOWER_RIGHT,
        SEG_TOP | SEG_UPPER_RIGHT | SEG_MIDDLE | SEG_LOWER_LEFT | SEG_BOTTOM,
        SEG_TOP | SEG_UPPER_RIGHT | SEG_MIDDLE | SEG_LOWER_RIGHT | SEG_BOTTOM,
        SEG_UPPER_LEFT | SEG_UPPER_RIGHT | SEG_MIDDLE | SEG_LOWER_RIGHT,
        SEG_TOP | SEG_UPPER_LEFT | SEG_MIDDLE | SEG_LOWER_RIGHT | SEG_BOTTOM,
        SEG_TOP | SEG_UPPER_LEFT | SEG_MIDDLE | SEG_LOWER_LEFT | SEG_LOWER_RIGHT | SEG_BOTTOM,
        SEG_TOP | SEG_UPPER_RIGHT | SEG_LOWER_RIGHT,
        0x7F,
        SEG_TOP | SEG_UPPER_LEFT | SEG_UPPER_RIGHT | SEG_MIDDLE | SEG_LOWER_RIGHT | SEG_BOTTOM,
    };
    return digit >= 0 && digit <= 9 ? kSegments[digit] : 0;
}

void CClockStatic::SetScale(int n)
{
    m_unit = n;
    m_gap = n;
    m_halfHeight = 9 * n;
    m_digitWidth = 11 * n;
    m_digitHeight = 19 * n;
    m_colonOffset = 19 * n / 4;
    m_drawn = false;
}

void CClockStatic::SetText(const wchar_t* text)
{
    if (m_drawn && m_text == text) return;
    m_text = text;
    if (!m_hWnd) return;
    CClientDCHandle dc = GetClientDC(m_hWnd);
    if (!dc) return;
    DrawText(dc.Get(), POINT{2 * m_unit, 2 * m_unit});
    m_drawn = true;
}

void CClockStatic::DrawText(HDC dc, POINT origin) const
{
    int left = origin.x;
    for (int i = 0; i < m_text.GetLength(); ++i) {
        const wchar_t c = m_text[i];
        if (c >= L'0' && c <= L'9') {
            DrawDigit(dc, left, origin.y, c - L'0');
            left += m_digitWidth + 2 * m_gap;
        } else if (c == L':') {
            const int u = m_unit;
            FillSolid(dc, left - u, origin.y + m_colonOffset, left, origin.y + m_colonOffset + u, m_litCentre);
            const int lower = origin.y + m_digitHeight - 2 * u - m_colonOffset;
            FillSolid(dc, left - u, lower, left, lower + u, m_litCentre);
            left += 3 * u;
        } else {
            left += m_digitWidth + 2 * m_gap;
        }
    }
}

void CClockStatic::DrawDigit(HDC dc, int L, int T, int digit) const
{
    const int u = m_unit, H = m_halfHeight;
    const int R = L + m_digitWidth, B = T + m_digitHeight;
    const int lit = DigitSegments(digit);

    // One segment: the outer and inner lines in the edge colour, the centre line in the
    // centre colour, and two squares at the centre line's ends for the bevel.
    auto segment = [&](int bit, const RECT& outer, const RECT& centre, const RECT& inner, POINT a, POINT b) {
        const COLORREF edge = (lit & bit) ? m_litEdge : m_unlit;
        const COLORREF mid = (lit & bit) ? m_litCentre : m_unlit;
        FillSolid(dc, outer.left, outer.top, outer.right, outer.bottom, edge);
        FillSolid(dc, centre.left, centre.top, centre.right, centre.bottom, mid);
        FillSolid(dc, inner.left, inner.top, inner.right, inner.bottom, edge);
        FillSolid(dc, a.x, a.y, a.x + u, a.y + u, edge);
        FillSolid(dc, b.x, b.y, b.x + u, b.y + u, edge);
    };

    segment(SEG_TOP, {L + u, T, R - u, T + u}, {L + 3 * u, T + u, R - 3 * u, T + 2 * u},
            {L + 3 * u, T + 2 * u, R - 3 * u, T + 3 * u}, {L + 2 * u, T + u}, {R - 3 * u, T + u});
    segment(SEG_MIDDLE, {L + 3 * u, T + H - u, R - 3 * u, T + H}, {L + 3 * u, T + H, R - 3 * u, T + H + u},
            {L + 3 * u, T + H + u, R - 3 * u, T + H + 2 * u}, {L + 2 * u, T + H}, {R - 3 * u, T + H});
    segment(SEG_BOTTOM, {L + u, B - u, R - u, B}, {L + 3 * u, B - 2 * u, R - 3 * u, B - u},
            {L + 3 * u, B - 3 * u, R - 3 * u, B - 2 * u}, {L + 2 * u, B - 2 * u}, {R - 3 * u, B - 2 * u});
    segment(SEG_UPPER_LEFT, {L, T + u, L + u, T + H}, {L + u, T + 3 * u, L + 2 * u, T + H - u},
            {L + 2 * u, T + 3 * u, L + 3 * u, T + H - u}, {L + u, T + 2 * u}, {L + u, T + H - u});
    segment(SEG_UPPER_RIGHT, {R - u, T + u, R, T + H}, {R - 2 * u, T + 3 * u, R - u, T + H - u},
            {R - 3 * u, T + 3 * u, R - 2 * u, T + H - u}, {R - 2 * u, T + 2 * u}, {R - 2 * u, T + H - u});
    segment(SEG_LOWER_LEFT, {L, B - H, L + u, B - u}, {L + u, B - H + u, L + 2 * u, B - 3 * u},
            {L + 2 * u, B - H + u, L + 3 * u, B - 3 * u}, {L + u, B - H}, {L + u, B - 2 * u});
    segment(SEG_LOWER_RIGHT, {R - u, B - H, R, B - u}, {R - 2 * u, B - H + u, R - u, B - 3 * u},
            {R - 3 * u, B - H + u, R - 2 * u, B - 3 * u}, {R - 2 * u, B - H}, {R - 2 * u, B - 2 * u});
}

void CClockStatic::OnPaint()
{
    CPaintDC dc(this);
    RECT r;
    ::GetClientRect(m_hWnd, &r);
    FillSolid(dc, r.left + 2, r.top + 2, r.right - 2, r.bottom - 2, m_background);
    DrawText(dc, POINT{2 * m_unit, 2 * m_unit});
    m_drawn = true;
}

void CClockStatic::OnLButtonDown()
{
    // The display covers most of the panel: a press on it drags the stopwatch.
    POINT pt;
    ::GetCursorPos(&pt);
    ::SendMessageW(::GetParent(m_hWnd), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
}

LRESULT CClockStatic::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        return 0;
    default:
        return CStatic::WindowProc(msg, wp, lp);
    }
}
