#include "Settings.h"

#include "SupportSettings.h"

#include <cstring>
#include <memory>

const SettingDef* const kAllSettings[] = {
    &Setting::kMAPI,
    &Setting::kStamp,
    &Setting::kPDPI,
    &Setting::kAWP,
    &Setting::kWPM,
    &Setting::kCFQ,
    &Setting::kGPST,
    &Setting::kGPSTT,
    &Setting::kDP,
    &Setting::kDR,
    &Setting::kMR,
    &Setting::kCR,
    &Setting::kXY,
    &Setting::kCC,
    &Setting::kCB,
    &Setting::kCT,
    &Setting::kCF,
    &Setting::kUO,
    &Setting::kOT,
    &Setting::kCO,
    &Setting::kCTA,
    &Setting::kCOA,
    &Setting::kFN,
    &Setting::k3D,
    &Setting::kLR,
    &Setting::kTT,
    &Setting::kMS,
    &Setting::kFT,
    &Setting::kAL,
    &Setting::kCH0,
    &Setting::kCH1,
    &Setting::kCH2,
    &Setting::kH0,
    &Setting::kH2,
    &Setting::kH4,
    &Setting::kH5,
    &Setting::kH1,
    &Setting::kH3,
    &Setting::kPS,
    &Setting::kPST,
    &Setting::kLX,
    &Setting::kLY,
    &Setting::kTPS,
    &Setting::kSXY,
    &Setting::kSWSA,
    &Setting::kRTL,
    &Setting::kFSW,
    &Setting::kSOR,
    &Setting::kSE,
    &Setting::kSD,
    &Setting::kSSA,
    &Setting::kSFS,
    &Setting::kTR,
    &Setting::kAT,
    &Setting::kATF,
    &Setting::kFDOW,
    &Setting::kFWOY,
    &Setting::kFTZ,
    &Setting::kFTZTM,
    &Setting::kLW,
    &Setting::kLCS,
    &Setting::kLEV,
    &Setting::kMMNC,
    &Setting::kMMLN,
    &Setting::kMASV,
    &Setting::kASVP,
    &Setting::kSWM,
    &Setting::kFST,
    &Setting::kW2F,
    &Setting::kNOR,
    &Setting::kNOD,
    &Setting::kATA,
    &Setting::kMSO,
    &Setting::kAHR,
    &Setting::kSVR
};
const size_t kAllSettingsCount = sizeof(kAllSettings) / sizeof(kAllSettings[0]);

namespace {

struct BinaryValue
{
    std::unique_ptr<BYTE[]> data;
    UINT size = 0;
};

BinaryValue ReadBinary(const SettingDef& s)
{
    BinaryValue v;
    CWinApp* app = AfxGetApp();
    BYTE* data = nullptr;
    if (app && app->GetProfileBinary(s.Section(), s.Name(), &data, &v.size)) v.data.reset(data);
    return v;
}

} // namespace

int GetSettingInt(const SettingDef& s)
{
    return GetSettingInt(s, s.intDefault);
}

int GetSettingInt(const SettingDef& s, int readerDefault)
{
    CWinApp* app = AfxGetApp();
    return app ? static_cast<int>(app->GetProfileInt(s.Section(), s.Name(), readerDefault)) : readerDefault;
}

CString GetSettingString(const SettingDef& s)
{
    CWinApp* app = AfxGetApp();
    const wchar_t* def = GetStr(s.textDefault);
    return app ? app->GetProfileString(s.Section(), s.Name(), def) : CString(def);
}

bool GetSettingRect(const SettingDef& s, RECT* rect)
{
    BinaryValue v = ReadBinary(s);
    if (!v.data || v.size != sizeof(RECT)) return false;
    std::memcpy(rect, v.data.get(), sizeof(RECT));
    return true;
}

int GetSettingFont(const SettingDef& s, LOGFONTW* font)
{
    return ReadProfileFont(font, s.Section(), s.Name(), s.intDefault);
}

bool IsSettingAbsent(const SettingDef& s)
{
    CWinApp* app = AfxGetApp();
    if (!app) return true;
    if (s.type == SettingType::String)
        return app->GetProfileString(s.Section(), s.Name(), kProfileAbsentText) == kProfileAbsentText;
    return static_cast<int>(app->GetProfileInt(s.Section(), s.Name(), kProfileAbsentInt)) == kProfileAbsentInt;
}

void WriteSettingInt(const SettingDef& s, int value)
{
    if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(s.Section(), s.Name(), value);
}

void WriteSettingString(const SettingDef& s, const wchar_t* value)
{
    if (CWinApp* app = AfxGetApp()) app->WriteProfileString(s.Section(), s.Name(), value);
}

void WriteSettingRect(const SettingDef& s, const RECT& rect)
{
    if (CWinApp* app = AfxGetApp())
        app->WriteProfileBinary(s.Section(), s.Name(), reinterpret_cast<const BYTE*>(&rect), sizeof(rect));
}

void WriteSettingFont(const SettingDef& s, const LOGFONTW& font)
{
    WriteProfileFont(font, s.Section(), s.Name());
}

void RestoreDisplaySettings()
{
    CWinApp* app = AfxGetApp();
    if (!app) return;
    WriteSettingString(Setting::kFT, GetDefaultClockFormat());
    WriteSettingInt(Setting::kXY, kPositionUnset);
    WriteSettingInt(Setting::kCC, 1);
    WriteSettingInt(Setting::kCF, 1);
    // One byte is no font record, so the font reader falls back to its full defaults.
    const BYTE noFont = 0;
    app->WriteProfileBinary(Setting::kFN.Section(), Setting::kFN.Name(), &noFont, 1);
    WriteSettingInt(Setting::kTR, 0);
    WriteSettingInt(Setting::kAT, 1);
}

namespace {
CString ZoneValueName(int number)
{
    CString name;
    name.Format(L"%d", number);
    return name;
}
}

CString GetZoneSetting(int number)
{
    CWinApp* app = AfxGetApp();
    return app ? app->GetProfileString(GetStr(SID_SECTION_TIMEZONES), ZoneValueName(number), L"") : CString();
}

void WriteZoneSetting(int number, const wchar_t* zoneKeyName)
{
    if (CWinApp* app = AfxGetApp()) app->WriteProfileString(GetStr(SID_SECTION_TIMEZONES), ZoneValueName(number), zoneKeyName);
}
