#include "Settings.h"

#include "Log/LogMan.h"
#include "SupportText.h"
#include "SupportWindowsHelpers.h"
#include "SupportWindowsVersion.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kMinPoints = 6;
constexpr int kMaxPoints = 2304;
// CLEARTYPE_QUALITY; stored qualities 2..6 are the user's own choice and are kept.
constexpr BYTE kDefaultQuality = 5;
constexpr BYTE kMaxQuality = 6;

// The 60-byte LOGFONTA: the same fields as LOGFONTW, then 32 bytes of face name in the
// ANSI code page, converted from the bytes read (never past them) into a terminated name.
void CopyNarrowFont(const BYTE* data, LOGFONTW* font)
{
    std::memcpy(font, data, offsetof(LOGFONTA, lfFaceName));
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, data + offsetof(LOGFONTA, lfFaceName), LF_FACESIZE);
    std::fill(std::begin(font->lfFaceName), std::end(font->lfFaceName), L'\0');
    lstrcpynW(font->lfFaceName, MultiByteToWide(face, CP_ACP), LF_FACESIZE);
}

void LogIfNotWritten(BOOL written, const wchar_t* section, const wchar_t* name)
{
    // The store tells only that a write failed, not why: the setting's name is the clue.
    if (!written) ZN_LOG(LOG_ERROR, L"Setting not written: " << section << L"\\" << name);
}

} // namespace

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

bool GetStoredSettingInt(const SettingDef& s, int* value)
{
    const int stored = GetSettingInt(s, kProfileAbsentInt);
    if (stored == kProfileAbsentInt) return false;
    *value = stored;
    return true;
}

bool GetSettingRect(const SettingDef& s, RECT* rect)
{
    CWinApp* app = AfxGetApp();
    if (!app) return false;
    const std::vector<BYTE> data = app->GetProfileBinary(s.Section(), s.Name());
    if (data.size() != sizeof(RECT)) return false;
    std::memcpy(rect, data.data(), sizeof(RECT));
    return true;
}

int ReadProfileFont(LOGFONTW* font, const wchar_t* section, const wchar_t* entry, int defaultPoints)
{
    *font = LOGFONTW{};
    bool read = false;
    CWinApp* app = AfxGetApp();
    const std::vector<BYTE> data = app ? app->GetProfileBinary(section, entry) : std::vector<BYTE>();
    // Only a whole font record counts; anything else (the restore switch's single byte
    // among them) is absent and gets the full defaults.
    if (data.size() == sizeof(LOGFONTW)) {
        std::memcpy(font, data.data(), sizeof(LOGFONTW));
        font->lfFaceName[LF_FACESIZE - 1] = 0;
        read = true;
    } else if (data.size() == sizeof(LOGFONTA)) {
        CopyNarrowFont(data.data(), font);
        read = true;
    }

    int points = font->lfHeight ? font->lfHeight : defaultPoints;
    points = std::clamp(points, kMinPoints, kMaxPoints);
    if (!read) {
        font->lfWeight = FW_BOLD;
        font->lfItalic = 1;
        font->lfCharSet = DEFAULT_CHARSET;
    }
    font->lfHeight = -MulDiv(points, GetScreenDpiY(), 72);
    if (!font->lfFaceName[0]) {
        const unsigned face = IsWindowsAtLeast(WINLEVEL_VISTA) ? SID_FONT_NEW : SID_FONT_OLD;
        lstrcpynW(font->lfFaceName, GetStr(face), LF_FACESIZE);
    }

    int quality = GetSettingInt(Setting::kCFQ);
    BYTE low = static_cast<BYTE>(quality & 0xFF);
    if (low) font->lfQuality = std::min(low, kMaxQuality);
    else if (font->lfQuality < 2) font->lfQuality = kDefaultQuality;
    return quality;
}

void WriteProfileFont(const LOGFONTW& font, const wchar_t* section, const wchar_t* entry)
{
    CWinApp* app = AfxGetApp();
    if (!app) return;
    LOGFONTW stored = font;
    stored.lfHeight = -MulDiv(font.lfHeight, 72, GetScreenDpiY());
    LogIfNotWritten(app->WriteProfileBinary(section, entry, reinterpret_cast<const BYTE*>(&stored), sizeof(stored)),
                    section, entry);
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
    if (CWinApp* app = AfxGetApp()) LogIfNotWritten(app->WriteProfileInt(s.Section(), s.Name(), value), s.Section(), s.Name());
}

void WriteSettingString(const SettingDef& s, const wchar_t* value)
{
    if (CWinApp* app = AfxGetApp())
        LogIfNotWritten(app->WriteProfileString(s.Section(), s.Name(), value), s.Section(), s.Name());
}

void WriteSettingRect(const SettingDef& s, const RECT& rect)
{
    if (CWinApp* app = AfxGetApp())
        LogIfNotWritten(
            app->WriteProfileBinary(s.Section(), s.Name(), reinterpret_cast<const BYTE*>(&rect), sizeof(rect)),
            s.Section(), s.Name());
}

void WriteSettingFont(const SettingDef& s, const LOGFONTW& font)
{
    WriteProfileFont(font, s.Section(), s.Name());
}

void WriteSettingIntIfAbsent(const SettingDef& s, int value)
{
    if (CWinApp* app = AfxGetApp()) app->WriteProfileIntIfAbsent(s.Section(), s.Name(), value, 1);
}

void WriteSettingStringIfAbsent(const SettingDef& s, const wchar_t* value)
{
    if (CWinApp* app = AfxGetApp()) app->WriteProfileStringIfAbsent(s.Section(), s.Name(), value, 1);
}

void DeleteSetting(const SettingDef& s)
{
    if (CWinApp* app = AfxGetApp())
        LogIfNotWritten(app->WriteProfileString(s.Section(), s.Name(), nullptr), s.Section(), s.Name());
}

CString GetDefaultClockFormat()
{
    return GetStr(SID_DEFAULT_FORMAT);
}

void RestoreDisplaySettings()
{
    CWinApp* app = AfxGetApp();
    if (!app) return;
    WriteSettingString(Setting::kFT, GetDefaultClockFormat());
    WriteSettingInt(Setting::kXY, Setting::kXY.intDefault);
    WriteSettingInt(Setting::kCC, Setting::kCC.intDefault);
    WriteSettingInt(Setting::kCF, Setting::kCF.intDefault);
    // One byte is no font record, so the font reader falls back to its full defaults.
    const BYTE noFont = 0;
    LogIfNotWritten(app->WriteProfileBinary(Setting::kFN.Section(), Setting::kFN.Name(), &noFont, 1),
                    Setting::kFN.Section(), Setting::kFN.Name());
    WriteSettingInt(Setting::kTR, Setting::kTR.intDefault);
    WriteSettingInt(Setting::kAT, Setting::kAT.intDefault);
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
    if (CWinApp* app = AfxGetApp())
        LogIfNotWritten(app->WriteProfileString(GetStr(SID_SECTION_TIMEZONES), ZoneValueName(number), zoneKeyName),
                        GetStr(SID_SECTION_TIMEZONES), ZoneValueName(number));
}
