// CGdiObject: the one owner of a GDI object (pen, brush, font, bitmap); the object is deleted
// with the wrapper unless it was detached. CBitmap and CFont add the creation calls the
// program uses.
#pragma once

#include "Win.h"

class CDC;

class CGdiObject
{
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    BOOL Attach(HGDIOBJ obj);
    HGDIOBJ Detach();
    BOOL DeleteObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    int GetObject(int bytes, void* buffer) const;

    HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject
{
public:
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CFont : public CGdiObject
{
public:
    BOOL CreateFontIndirect(const LOGFONTW* font);
    int GetLogFont(LOGFONTW* font) const { return GetObject(sizeof(LOGFONTW), font); }
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};
