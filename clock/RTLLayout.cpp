#include "RTLLayout.h"

#include "Log/LogMan.h"
#include "Settings.h"
#include "StringTable.h"

namespace {

int g_rtlLayout = 0;

constexpr LONG_PTR kRTLStyles = WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR;

void AddRTLStyles(HWND window)
{
    LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (!(style & WS_EX_RIGHT)) SetWindowLongPtrW(window, GWL_EXSTYLE, style | kRTLStyles);
}

} // namespace

BOOL CRTLSystemInfo::GetLanguageName(LCID locale, wchar_t* buffer, int size)
{
    return GetLocaleInfoW(locale, LOCALE_SENGLANGUAGE, buffer, size) != 0;
}

LANGID CRTLSystemInfo::GetSystemUILanguage()
{
    return GetSystemDefaultUILanguage();
}

int CRTLSystemInfo::GetMiddleEastEnabled()
{
    return GetSystemMetrics(SM_MIDEASTENABLED);
}

void InitRTLLayout()
{
    int setting = GetSettingInt(Setting::kRTL);
    CRTLSystemInfo system;
    InitRTLLayout(setting, system);
}

void InitRTLLayout(int setting, CRTLSystemInfo& system)
{
    ZN_LOG(LOG_INFO, GetStr(SID_KEY_RTL) << L" " << setting);
    if (setting != -1) {
        g_rtlLayout = setting == 1 ? 1 : 0;
        return;
    }

    // One buffer for both names; a failed query empties it, so the system locale can never
    // read as the user's language.
    wchar_t language[256];
    for (LCID locale : {LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT}) {
        if (!system.GetLanguageName(locale, language, 256)) language[0] = 0;
        language[255] = 0;
        ZN_LOG(LOG_INFO, language);
    }
    int middleEast = system.GetMiddleEastEnabled();
    ZN_LOG(LOG_INFO, HexText(system.GetSystemUILanguage(), TRUE).GetString());
    ZN_LOG(LOG_INFO, middleEast);
    g_rtlLayout = middleEast != 0 && lstrcmpiW(language, L"Hebrew") == 0 ? 1 : 0;
}

int IsRTLLayout()
{
    return g_rtlLayout;
}

void ApplyRTLLayout(HWND window)
{
    if (!g_rtlLayout || !window) return;
    AddRTLStyles(window);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32];
        if (GetClassNameW(child, className, 32) && lstrcmpiW(className, L"edit") == 0) AddRTLStyles(child);
    }
}
