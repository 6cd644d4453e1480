// CButtonEx: a push button that shows one image of its image list, centred.
#pragma once

#include "LookButton.h"

class CButtonEx : public CLookButton
{
public:
    explicit CButtonEx(BOOL classic = ClassicLookDefault()) : CLookButton(classic) {}

    // Replaces the image list by the images of the bitmap (mask colour magenta); the image
    // size is that of image 0.
    BOOL SetImage(UINT bitmapId, int imageWidth);
    void SetImageIndex(int index) { m_image = index; }
    int GetImageIndex() const { return m_image; }

    void DrawItem(DRAWITEMSTRUCT* item) override;
    LRESULT OnCustomDraw(NMCUSTOMDRAW* draw) override { return DrawImage(draw); }
    // Themed look: the image goes on top of the finished face (post-paint).
    LRESULT DrawImage(NMCUSTOMDRAW* draw);

private:
    POINT ImageOrigin(const RECT& item) const;

    CImageList m_images;
    int m_image = -1;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
};
