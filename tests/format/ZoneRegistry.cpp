#include "ZoneRegistry.h"

SYSTEMTIME Rule(WORD year, WORD month, WORD dayOfWeek, WORD occurrence, WORD hour)
{
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDayOfWeek = dayOfWeek;
    st.wDay = occurrence;
    st.wHour = hour;
    return st;
}

CTestZoneKey::CTestZoneKey(const wchar_t* name, const std::vector<BYTE>& tzi, DWORD type)
    : m_path(CString(GetTimeZonesKeyPath()) + L"\\" + name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    ok = RegSetValueExW(key, L"TZI", 0, type, tzi.data(), static_cast<DWORD>(tzi.size())) == ERROR_SUCCESS;
    RegCloseKey(key);
}

CTestZoneKey::CTestZoneKey(const wchar_t* name) : m_path(CString(GetTimeZonesKeyPath()) + L"\\" + name)
{
    HKEY key = nullptr;
    ok = RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
}

CTestZoneKey::~CTestZoneKey()
{
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_path);
}

std::vector<BYTE> CTestZoneKey::Bytes(LONG bias, LONG standardBias, LONG daylightBias, const SYSTEMTIME& standardDate,
                                      const SYSTEMTIME& daylightDate)
{
    tagZoneTzi tzi{ bias, standardBias, daylightBias, standardDate, daylightDate };
    const BYTE* p = reinterpret_cast<const BYTE*>(&tzi);
    return std::vector<BYTE>(p, p + sizeof(tzi));
}
