// Time-zone records of the tests' own in the registry's "Time Zones" key (HKLM; Wine runs
// everything elevated), each removed again by its owner.
#pragma once

#include "SupportTime.h"

#include <vector>

SYSTEMTIME Rule(WORD year, WORD month, WORD dayOfWeek, WORD occurrence, WORD hour);

class CTestZoneKey
{
public:
    // Writes value "TZI" with the bytes given and the registry type given.
    CTestZoneKey(const wchar_t* name, const std::vector<BYTE>& tzi, DWORD type = REG_BINARY);
    // A key without a "TZI" value.
    explicit CTestZoneKey(const wchar_t* name);
    ~CTestZoneKey();
    CTestZoneKey(const CTestZoneKey&) = delete;
    CTestZoneKey& operator=(const CTestZoneKey&) = delete;

    static std::vector<BYTE> Bytes(LONG bias, LONG standardBias, LONG daylightBias, const SYSTEMTIME& standardDate,
                                   const SYSTEMTIME& daylightDate);
    bool ok = false;

private:
    CString m_path;
};
