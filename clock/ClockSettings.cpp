#include "ClockSettings.h"

#include "SupportWindowsHelpers.h"

#include <cstring>

int GetCommonInt(StrId key, int defaultValue)
{
    CWinApp* app = AfxGetApp();
    if (!app) return defaultValue;
    return static_cast<int>(app->GetProfileInt(GetStr(SID_SECTION_COMMON), GetStr(key), defaultValue));
}

bool ReadProfileRect(const wchar_t* section, const wchar_t* entry, RECT& r)
{
    r = RECT{};
    CWinApp* app = AfxGetApp();
    BYTE* data = nullptr;
    UINT bytes = 0;
    if (!app || !app->GetProfileBinary(section, entry, &data, &bytes)) return false;
    bool ok = bytes == sizeof(RECT);
    if (ok) std::memcpy(&r, data, sizeof(RECT));
    delete[] data;
    return ok;
}

SIZE ScreenDpi()
{
    return SIZE{GetScreenDpiX(), GetScreenDpiY()};
}
