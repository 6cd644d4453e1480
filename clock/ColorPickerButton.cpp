#include "ColorPickerButton.h"

#include "Log/LogMan.h"
#include "SupportWindowsVersion.h"
#include "ZNMemDC.h"

#include <uxtheme.h>
#include <vssym32.h>

namespace {

void HLine(CDC& dc, int x0, int x1, int y)
{
    ::MoveToEx(dc, x0, y, nullptr);
    ::LineTo(dc, x1, y);
}

// A pen owned for the length of one drawing, selected into the context meanwhile.
class CSelectPen
{
public:
    CSelectPen(CDC& dc, COLORREF colour) : m_dc(dc), m_pen(::CreatePen(PS_SOLID, 1, colour))
    {
        m_old = m_dc.SelectObject(m_pen.Get());
    }
    ~CSelectPen() { m_dc.SelectObject(m_old); }
    CSelectPen(const CSelectPen&) = delete;
    CSelectPen& operator=(const CSelectPen&) = delete;

private:
    CDC& m_dc;
    CPenHandle m_pen;
    HGDIOBJ m_old;
};

}  // namespace

CColorPickerButton::CColorPickerButton(BOOL classic) : CLookButton(classic)
{
    LOGFONTW lf{};
    lf.lfHeight = ::GetSystemMetrics(SM_CYMENUCHECK) - 1;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = SYMBOL_CHARSET;
    lf.lfQuality = CLEARTYPE_NATURAL_QUALITY;
    lstrcpyW(lf.lfFaceName, L"Marlett");
    m_arrowFont.Reset(::CreateFontIndirectW(&lf));
}

void CColorPickerButton::SetColor(COLORREF colour)
{
    m_colour = colour;
    m_brush.Reset(::CreateSolidBrush(colour));
    if (!m_brush) ZN_LOG_ERROR(GetLastError(), L"CreateSolidBrush", LOG_ERROR);
}

void CColorPickerButton::DrawArrow(CDC& dc, int f, int g, BOOL enabled) const
{
    {
        CSelectPen pen(dc, ::GetSysColor(enabled ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW));
        HLine(dc, f + 8, f + 13, g - 1);
        HLine(dc, f + 9, f + 12, g);
        HLine(dc, f + 10, f + 11, g + 1);
    }
    if (enabled) return;
    CSelectPen pen(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    HLine(dc, f + 12, f + 14, g);
    HLine(dc, f + 11, f + 13, g + 1);
    HLine(dc, f + 11, f + 12, g + 2);
}

void CColorPickerButton::DrawItem(DRAWITEMSTRUCT* item)
{
    CDC target;
    target.Attach(item->hDC);
    {
        CZNMemDC mem(&target, this, TRUE);
        CDC& dc = *mem.GetDrawDC();
        const COLORREF frame = ::GetSysColor(COLOR_WINDOWFRAME), face = ::GetSysColor(COLOR_BTNFACE),
                       light = ::GetSysColor(COLOR_BTNHIGHLIGHT), shadow = ::GetSysColor(COLOR_BTNSHADOW);
        const BOOL pressed = (item->itemState & ODS_SELECTED) != 0;
        const BOOL enabled = (item->itemState & ODS_DISABLED) == 0;
        RECT r = item->rcItem;
        dc.Draw3dRect(&r, pressed ? shadow : face, pressed ? light : frame);
        InflateRect(&r, -1, -1);
        dc.Draw3dRect(&r, pressed ? frame : light, pressed ? face : shadow);
        InflateRect(&r, -1, -1);
        dc.FillSolidRect(&r, face);
        InflateRect(&r, -1, -1);
        if (pressed) OffsetRect(&r, 1, 1);
        if (item->itemState & ODS_FOCUS) ::DrawFocusRect(dc, &r);
        InflateRect(&r, -1, -1);

        RECT line{r.right - 8, r.top, r.right - 7, r.bottom};
        dc.FillSolidRect(&line, shadow);
        line = RECT{r.right - 7, r.top, r.right - 6, r.bottom};
        dc.FillSolidRect(&line, light);
        RECT swatch{r.left + 1, r.top, r.right - 12, r.bottom};
        if (enabled) {
            dc.Draw3dRect(&swatch, frame, frame);
            InflateRect(&swatch, -1, -1);
            if (m_brush) ::FillRect(dc, &swatch, m_brush);
        } else {
            InflateRect(&swatch, -1, -1);
        }
        const int g = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top) / 2;
        DrawArrow(dc, swatch.right, g, enabled);
    }
}

BOOL WINAPI CloseThemeHandle(HANDLE h)
{
    const HRESULT hr = ::CloseThemeData(h);
    if (FAILED(hr)) SetLastError(static_cast<DWORD>(hr));
    return SUCCEEDED(hr);
}

LRESULT CColorPickerButton::OnCustomDraw(NMCUSTOMDRAW* draw)
{
    if (draw->dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
    CDC dc;
    dc.Attach(draw->hdc);
    const BOOL enabled = ::IsWindowEnabled(m_hWnd);
    RECT arrow = draw->rc;
    arrow.left = arrow.right - (::GetSystemMetrics(SM_CXVSCROLL) + 2);
    CThemeHandle theme(IsWindowsExactly(2) ? nullptr : ::OpenThemeData(m_hWnd, L"COMBOBOX"));
    if (theme) {
        ::DrawThemeBackground(theme, dc, CP_DROPDOWNBUTTONRIGHT, enabled ? CBXSR_NORMAL : CBXSR_DISABLED, &arrow, nullptr);
    } else {
        HGDIOBJ oldFont = dc.SelectObject(m_arrowFont.Get());
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(::GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_BTNSHADOW));
        dc.DrawText(L"6", 1, &arrow, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        dc.SelectObject(oldFont);
    }
    RECT etch{arrow.left, draw->rc.top + 4, arrow.left + 1, draw->rc.bottom - 4};
    dc.FillSolidRect(&etch, ::GetSysColor(COLOR_BTNSHADOW));
    OffsetRect(&etch, 1, 0);
    dc.FillSolidRect(&etch, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    if (enabled) {
        RECT swatch = draw->rc;
        swatch.right = arrow.left;
        InflateRect(&swatch, -5, -5);
        swatch.right += 5 - 2;  // up to the separator, clear of its two pixels
        dc.Draw3dRect(&swatch, ::GetSysColor(COLOR_WINDOWFRAME), ::GetSysColor(COLOR_WINDOWFRAME));
        InflateRect(&swatch, -1, -1);
        if (m_brush) ::FillRect(dc, &swatch, m_brush);
    }
    return CDRF_SKIPDEFAULT;
}
