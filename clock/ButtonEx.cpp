#include "ButtonEx.h"

#include "Log/LogMan.h"
#include "ZNMemDC.h"

BOOL CButtonEx::SetImage(UINT bitmapId, int imageWidth)
{
    if (!m_images.Create(::GetModuleHandleW(nullptr), bitmapId, imageWidth, 0, RGB(255, 0, 255))) {
        ZN_LOG_ERROR(GetLastError(), L"ImageList_LoadImage", LOG_ERROR);
        m_imageWidth = m_imageHeight = 0;
        return FALSE;
    }
    IMAGEINFO info{};
    if (m_images.GetImageInfo(0, &info)) {
        m_imageWidth = info.rcImage.right - info.rcImage.left;
        m_imageHeight = info.rcImage.bottom - info.rcImage.top;
    }
    return TRUE;
}

POINT CButtonEx::ImageOrigin(const RECT& item) const
{
    return POINT{item.left + (item.right - item.left - m_imageWidth) / 2,
                 item.top + (item.bottom - item.top - m_imageHeight) / 2};
}

void CButtonEx::DrawItem(DRAWITEMSTRUCT* item)
{
    CDC target;
    target.Attach(item->hDC);
    {
        CZNMemDC mem(&target, this, TRUE);
        CDC& dc = *mem.GetDrawDC();
        const BOOL pressed = (item->itemState & ODS_SELECTED) != 0;
        const BOOL focused = (item->itemState & ODS_FOCUS) != 0;
        RECT r = item->rcItem;
        dc.FillSolidRect(&r, ::GetSysColor(COLOR_BTNFACE));
        if (focused) {
            dc.Draw3dRect(&r, RGB(0, 0, 0), RGB(0, 0, 0));
            InflateRect(&r, -1, -1);
        }
        if (focused && pressed) {
            dc.Draw3dRect(&r, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        } else {
            dc.Draw3dRect(&r, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_3DDKSHADOW));
            InflateRect(&r, -1, -1);
            dc.Draw3dRect(&r, ::GetSysColor(COLOR_3DLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
        }
        if (m_image >= 0 && m_image < m_images.GetImageCount()) {
            POINT at = ImageOrigin(item->rcItem);
            if (pressed) {
                ++at.x;
                ++at.y;
            }
            if (item->itemState & ODS_DISABLED) {
                CIconHandle icon(m_images.ExtractIcon(m_image));
                ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.Get()), 0, at.x, at.y, m_imageWidth,
                             m_imageHeight, DST_ICON | DSS_DISABLED);
            } else {
                m_images.Draw(dc, m_image, at, ILD_TRANSPARENT);
            }
        }
    }
}

LRESULT CButtonEx::DrawImage(NMCUSTOMDRAW* draw)
{
    if (m_classic) return CDRF_DODEFAULT;
    if (draw->dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYPOSTPAINT;
    if (draw->dwDrawStage != CDDS_POSTPAINT) return CDRF_DODEFAULT;
    if (m_image >= 0 && m_image < m_images.GetImageCount())
        m_images.Draw(draw->hdc, m_image, ImageOrigin(draw->rc), ILD_TRANSPARENT);
    return CDRF_SKIPDEFAULT;
}
