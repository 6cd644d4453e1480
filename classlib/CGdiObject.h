// CGdiObject: the one owner of a GDI object (pen, brush, font, bitmap); the object is deleted
// with the wrapper unless it was detached. CBitmap and CFont add the creation calls the
// program uses.
#pragma once

#include "CHandle.h"

class CDC;

class CGdiObject
{
public:
    CGdiObject() = default;
    virtual ~CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    BOOL Attach(HGDIOBJ obj);
    HGDIOBJ Detach();
    BOOL DeleteObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject.Get(); }
    int GetObject(int bytes, void* buffer) const;

    CGdiObjectHandle m_hObject;
};

class CBitmap : public CGdiObject
{
public:
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject.Get()); }
};

class CFont : public CGdiObject
{
public:
    BOOL CreateFontIndirect(const LOGFONTW* font);
    int GetLogFont(LOGFONTW* font) const { return GetObject(sizeof(LOGFONTW), font); }
    operator HFONT() const { return static_cast<HFONT>(m_hObject.Get()); }
};
