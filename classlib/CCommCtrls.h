// The common controls (up-down, trackbar, date-time picker) and image lists: thin objects
// over their messages and calls.
#pragma once

#include "CHandle.h"
#include "CWnd.h"

#include <commctrl.h>

// The up-down control.
class CSpinButtonCtrl : public CWnd
{
public:
    // UDM_SETRANGE takes the range as two 16-bit halves: upper in the low word.
    void SetRange(short lower, short upper) const { SendMessage(UDM_SETRANGE, 0, MAKELPARAM(upper, lower)); }
    int SetPos(int pos) const { return static_cast<int>(SendMessage(UDM_SETPOS, 0, MAKELPARAM(pos, 0))); }
};

// The trackbar.
class CSliderCtrl : public CWnd
{
public:
    void SetRange(int lower, int upper, BOOL redraw = FALSE) const
    {
        SendMessage(TBM_SETRANGEMIN, FALSE, lower);
        SendMessage(TBM_SETRANGEMAX, redraw, upper);
    }
    void SetPos(int pos) const { SendMessage(TBM_SETPOS, TRUE, pos); }
    int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
    void SetTicFreq(int frequency) const { SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(frequency)); }
    void SetPageSize(int size) const { SendMessage(TBM_SETPAGESIZE, 0, size); }
};

// The date-time picker.
class CDateTimeCtrl : public CWnd
{
public:
    BOOL SetFormat(const wchar_t* format) const { return static_cast<BOOL>(SendMessage(DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format))); }
    // GDT_VALID, GDT_NONE or GDT_ERROR.
    DWORD GetTime(SYSTEMTIME* time) const { return static_cast<DWORD>(SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(time))); }
    BOOL SetTime(const SYSTEMTIME* time) const
    {
        return static_cast<BOOL>(SendMessage(DTM_SETSYSTEMTIME, time ? GDT_VALID : GDT_NONE, reinterpret_cast<LPARAM>(time)));
    }
};

// An image list, owned.
class CImageList
{
public:
    // Images of the given width cut from a bitmap resource; pixels of the mask colour are transparent.
    BOOL Create(HINSTANCE instance, UINT bitmapId, int imageWidth, int grow, COLORREF mask)
    {
        m_list.Reset(ImageList_LoadImageW(instance, MAKEINTRESOURCEW(bitmapId), imageWidth, grow, mask, IMAGE_BITMAP,
                                          LR_CREATEDIBSECTION));
        return m_list.IsValid();
    }
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow)
    {
        m_list.Reset(ImageList_Create(cx, cy, flags, initial, grow));
        return m_list.IsValid();
    }
    int GetImageCount() const { return m_list ? ImageList_GetImageCount(m_list) : 0; }
    BOOL GetImageInfo(int index, IMAGEINFO* info) const { return m_list && ImageList_GetImageInfo(m_list, index, info); }
    BOOL Draw(HDC dc, int index, POINT pt, UINT style) const { return ImageList_Draw(m_list, index, dc, pt.x, pt.y, style); }
    // A new icon of one image; the caller destroys it.
    HICON ExtractIcon(int index) const { return ImageList_GetIcon(m_list, index, ILD_NORMAL); }
    HIMAGELIST GetSafeHandle() const { return m_list.Get(); }
    operator HIMAGELIST() const { return m_list.Get(); }

private:
    CImageListHandle m_list;
};
