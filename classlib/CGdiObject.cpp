#include "CGdiObject.h"

#include "CDC.h"

BOOL CGdiObject::Attach(HGDIOBJ obj)
{
    if (!obj || m_hObject) return FALSE;
    m_hObject = obj;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ obj = m_hObject;
    m_hObject = nullptr;
    return obj;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject) return FALSE;
    return ::DeleteObject(Detach());
}

int CGdiObject::GetObject(int bytes, void* buffer) const
{
    return m_hObject ? ::GetObjectW(m_hObject, bytes, buffer) : 0;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    DeleteObject();
    return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* font)
{
    DeleteObject();
    return Attach(::CreateFontIndirectW(font));
}
