#include "CGdiObject.h"

#include "CDC.h"

BOOL CGdiObject::Attach(HGDIOBJ obj)
{
    return m_hObject.Attach(obj);
}

HGDIOBJ CGdiObject::Detach()
{
    return m_hObject.Release();
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject) return FALSE;
    return m_hObject.Close() == 0;
}

int CGdiObject::GetObject(int bytes, void* buffer) const
{
    return m_hObject ? ::GetObjectW(m_hObject, bytes, buffer) : 0;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    DeleteObject();
    return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC.Get() : nullptr, width, height));
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* font)
{
    DeleteObject();
    return Attach(::CreateFontIndirectW(font));
}
