#include "SkinButton.h"

#include "ZNMemDC.h"

namespace {

const COLORREF kFace = 0x404040;
const COLORREF kLight = 0x808080;
const COLORREF kDark = 0x000000;

}  // namespace

void CSkinButton::PreSubclassWindow()
{
    const LONG_PTR style = GetStyle();
    m_default = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
}

void CSkinButton::SetImageIndex(int index)
{
    if (m_imageIndex == index) return;
    m_imageIndex = index;
    if (m_hWnd) Invalidate(FALSE);
}

void CSkinButton::DrawItem(DRAWITEMSTRUCT* item)
{
    CDC target;
    target.Attach(item->hDC);
    {
        CZNMemDC mem(&target, this, TRUE);
        CDC& draw = *mem.GetDrawDC();
        HDC dc = draw;
        const RECT& r = item->rcItem;
        draw.FillSolidRect(&r, kFace);
        const bool pressed = (item->itemState & ODS_SELECTED) != 0;
        const bool sunken = pressed && (item->itemState & ODS_FOCUS) != 0;
        draw.Draw3dRect(&r, sunken ? kDark : kLight, sunken ? kLight : kDark);
        if (m_imageList && m_imageIndex >= 0) {
            int cx = 0, cy = 0;
            ImageList_GetIconSize(m_imageList, &cx, &cy);
            int x = r.left + (r.right - r.left - cx) / 2;
            int y = r.top + (r.bottom - r.top - cy) / 2;
            if (pressed) {
                ++x;
                ++y;
            }
            if (item->itemState & ODS_DISABLED) {
                CIconHandle icon(ImageList_GetIcon(m_imageList, m_imageIndex, ILD_NORMAL));
                DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.Get()), 0, x, y, cx, cy,
                           DST_ICON | DSS_DISABLED);
            } else {
                ImageList_Draw(m_imageList, m_imageIndex, dc, x, y, ILD_TRANSPARENT);
            }
        }
    }
}

LRESULT CSkinButton::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case BM_SETSTYLE: {
        // The dialog manager moves the default between push buttons this way; owner-draw
        // must stay, so the request is remembered instead of applied.
        const WPARAM type = wp & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            m_default = type == BS_DEFPUSHBUTTON;
            wp = (wp & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW;
            Invalidate(FALSE);
        }
        return Default(msg, wp, lp);
    }
    case WM_GETDLGCODE:
        return Default(msg, wp, lp) | (m_default ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case WM_ERASEBKGND:
        return TRUE;
    default:
        return CButton::WindowProc(msg, wp, lp);
    }
}
