#include "CGdiObject.h"

#include "CDC.h"

#include <utility>

BOOL CGdiObject::Attach(HGDIOBJ obj)
{
    return AttachHandle(m_hObject, obj);
}

HGDIOBJ CGdiObject::Detach()
{
    return std::exchange(m_hObject, nullptr);
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
