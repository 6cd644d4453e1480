// The settings store: every user setting of the clock with its section, value name, type
// and default, in HKEY_CURRENT_USER\Software\Mervale Software\Zarnock\<section>. There is
// no cache: every read goes to the registry. The program reads and writes its settings
// only through the functions below, so each name and default is written once, here; value
// names come from the string table, and readers get the defaults below unless the
// setting's default is the reader's own (the current DPI, the user locale's week rules).
#pragma once

#include "ClassLib.h"
#include "StringTable.h"

enum class SettingType {
    Int,     // REG_DWORD, read as a signed 32-bit number
    String,  // REG_SZ
    Rect,    // REG_BINARY of exactly 16 bytes: a RECT in screen pixels; any other length is absent
    Font,    // REG_BINARY LOGFONTW with its height in points (ReadProfileFont)
    Packed,  // REG_DWORD of two signed 16-bit halves
};

struct SettingDef
{
    StrId section;
    StrId name;
    SettingType type;
    int intDefault;        // Int and Packed; the default size in points for Font
    StrId textDefault;     // String
    bool readerDefault;    // the reader passes the default (it depends on the machine)

    const wchar_t* Section() const { return GetStr(section); }
    const wchar_t* Name() const { return GetStr(name); }
};

// The position fields of "XY" and "SXY" when no position was stored.
constexpr int kPositionUnset = 0x4E204E20;

namespace Setting {
// Section "Common".
inline constexpr SettingDef kMAPI{SID_SECTION_COMMON, SID_KEY_MAPI, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kStamp{SID_SECTION_COMMON, SID_KEY_STAMP, SettingType::String, 0, SID_EMPTY, false};
inline constexpr SettingDef kPDPI{SID_SECTION_COMMON, SID_KEY_PDPI, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kAWP{SID_SECTION_COMMON, SID_KEY_AWP, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kWPM{SID_SECTION_COMMON, SID_KEY_WPM, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kCFQ{SID_SECTION_COMMON, SID_KEY_CFQ, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kGPST{SID_SECTION_COMMON, SID_KEY_GPST, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kGPSTT{SID_SECTION_COMMON, SID_KEY_GPSTT, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kDP{SID_SECTION_COMMON, SID_KEY_DP, SettingType::Packed, 0, SID_EMPTY, true};
inline constexpr SettingDef kDR{SID_SECTION_COMMON, SID_KEY_DR, SettingType::Rect, 0, SID_EMPTY, false};
inline constexpr SettingDef kMR{SID_SECTION_COMMON, SID_KEY_MR, SettingType::Rect, 0, SID_EMPTY, false};
inline constexpr SettingDef kCR{SID_SECTION_COMMON, SID_KEY_CR, SettingType::Rect, 0, SID_EMPTY, false};
inline constexpr SettingDef kXY{SID_SECTION_COMMON, SID_KEY_XY, SettingType::Packed, kPositionUnset, SID_EMPTY, false};
inline constexpr SettingDef kCC{SID_SECTION_COMMON, SID_KEY_CC, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kCB{SID_SECTION_COMMON, SID_KEY_CB, SettingType::Int, 0x800000, SID_EMPTY, false};
inline constexpr SettingDef kCT{SID_SECTION_COMMON, SID_KEY_CT, SettingType::Int, 0xFFFF, SID_EMPTY, false};
inline constexpr SettingDef kCF{SID_SECTION_COMMON, SID_KEY_CF, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kUO{SID_SECTION_COMMON, SID_KEY_UO, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kOT{SID_SECTION_COMMON, SID_KEY_OT, SettingType::Int, 4, SID_EMPTY, false};
inline constexpr SettingDef kCO{SID_SECTION_COMMON, SID_KEY_CO, SettingType::Int, 255, SID_EMPTY, false};
inline constexpr SettingDef kCTA{SID_SECTION_COMMON, SID_KEY_CTA, SettingType::Int, 255, SID_EMPTY, false};
inline constexpr SettingDef kCOA{SID_SECTION_COMMON, SID_KEY_COA, SettingType::Int, 255, SID_EMPTY, false};
inline constexpr SettingDef kFN{SID_SECTION_COMMON, SID_KEY_FN, SettingType::Font, 14, SID_EMPTY, false};
inline constexpr SettingDef k3D{SID_SECTION_COMMON, SID_KEY_3D, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kLR{SID_SECTION_COMMON, SID_KEY_LR, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kTT{SID_SECTION_COMMON, SID_KEY_TT, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kMS{SID_SECTION_COMMON, SID_KEY_MS, SettingType::Int, 2, SID_EMPTY, false};
inline constexpr SettingDef kFT{SID_SECTION_COMMON, SID_KEY_FT, SettingType::String, 0, SID_DEFAULT_FORMAT, false};
inline constexpr SettingDef kAL{SID_SECTION_COMMON, SID_KEY_AL, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kCH0{SID_SECTION_COMMON, SID_KEY_CH0, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kCH1{SID_SECTION_COMMON, SID_KEY_CH1, SettingType::Int, 0x010101, SID_EMPTY, false};
inline constexpr SettingDef kCH2{SID_SECTION_COMMON, SID_KEY_CH2, SettingType::Int, 0x0101, SID_EMPTY, false};
inline constexpr SettingDef kH0{SID_SECTION_COMMON, SID_KEY_H0, SettingType::String, 0, SID_EMPTY, false};
inline constexpr SettingDef kH2{SID_SECTION_COMMON, SID_KEY_H2, SettingType::String, 0, SID_EMPTY, false};
inline constexpr SettingDef kH4{SID_SECTION_COMMON, SID_KEY_H4, SettingType::String, 0, SID_EMPTY, false};
inline constexpr SettingDef kH5{SID_SECTION_COMMON, SID_KEY_H5, SettingType::String, 0, SID_EMPTY, false};
inline constexpr SettingDef kH1{SID_SECTION_COMMON, SID_KEY_H1, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kH3{SID_SECTION_COMMON, SID_KEY_H3, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kPS{SID_SECTION_COMMON, SID_KEY_PS, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kPST{SID_SECTION_COMMON, SID_KEY_PST, SettingType::Int, 0x11000800, SID_EMPTY, false};
inline constexpr SettingDef kLX{SID_SECTION_COMMON, SID_KEY_LX, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kLY{SID_SECTION_COMMON, SID_KEY_LY, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kTPS{SID_SECTION_COMMON, SID_KEY_TPS, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kSXY{SID_SECTION_COMMON, SID_KEY_SXY, SettingType::Packed, kPositionUnset, SID_EMPTY, false};
inline constexpr SettingDef kSWSA{SID_SECTION_COMMON, SID_KEY_SWSA, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kRTL{SID_SECTION_COMMON, SID_KEY_RTL, SettingType::Int, -1, SID_EMPTY, false};
inline constexpr SettingDef kFSW{SID_SECTION_COMMON, SID_KEY_FSW, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kSOR{SID_SECTION_COMMON, SID_KEY_SOR, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kSE{SID_SECTION_COMMON, SID_KEY_SE, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kSD{SID_SECTION_COMMON, SID_KEY_SD, SettingType::Int, 127, SID_EMPTY, false};
inline constexpr SettingDef kSSA{SID_SECTION_COMMON, SID_KEY_SSA, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kSFS{SID_SECTION_COMMON, SID_KEY_SFS, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kTR{SID_SECTION_COMMON, SID_KEY_TR, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kAT{SID_SECTION_COMMON, SID_KEY_AT, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kATF{SID_SECTION_COMMON, SID_KEY_ATF, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kFDOW{SID_SECTION_COMMON, SID_KEY_FDOW, SettingType::Int, 0, SID_EMPTY, true};
inline constexpr SettingDef kFWOY{SID_SECTION_COMMON, SID_KEY_FWOY, SettingType::Int, 0, SID_EMPTY, true};
inline constexpr SettingDef kFTZ{SID_SECTION_COMMON, SID_KEY_FTZ, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kFTZTM{SID_SECTION_COMMON, SID_KEY_FTZTM, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kLW{SID_SECTION_COMMON, SID_KEY_LW, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kLCS{SID_SECTION_COMMON, SID_KEY_LCS, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kLEV{SID_SECTION_COMMON, SID_KEY_LEV, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kMMNC{SID_SECTION_COMMON, SID_KEY_MMNC, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kMMLN{SID_SECTION_COMMON, SID_KEY_MMLN, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kMASV{SID_SECTION_COMMON, SID_KEY_MASV, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kASVP{SID_SECTION_COMMON, SID_KEY_ASVP, SettingType::Int, 75, SID_EMPTY, false};
inline constexpr SettingDef kSWM{SID_SECTION_COMMON, SID_KEY_SWM, SettingType::Int, 0, SID_EMPTY, false};
// Section "TimeSync".
inline constexpr SettingDef kFST{SID_SECTION_TIMESYNC, SID_KEY_FST, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kW2F{SID_SECTION_TIMESYNC, SID_KEY_W2F, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kNOR{SID_SECTION_TIMESYNC, SID_KEY_NOR, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kNOD{SID_SECTION_TIMESYNC, SID_KEY_NOD, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kATA{SID_SECTION_TIMESYNC, SID_KEY_ATA, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kMSO{SID_SECTION_TIMESYNC, SID_KEY_MSO, SettingType::Int, 0, SID_EMPTY, false};
inline constexpr SettingDef kAHR{SID_SECTION_TIMESYNC, SID_KEY_AHR, SettingType::Int, 1, SID_EMPTY, false};
inline constexpr SettingDef kSVR{SID_SECTION_TIMESYNC, SID_KEY_SVR, SettingType::String, 0, SID_EMPTY, false};
} // namespace Setting

// Every setting above, in the order of the table; for tests and the settings export.
extern const SettingDef* const kAllSettings[];
extern const size_t kAllSettingsCount;

// Readers. Without an application object they give the default.
int GetSettingInt(const SettingDef& s);
int GetSettingInt(const SettingDef& s, int readerDefault);
CString GetSettingString(const SettingDef& s);
// True with the rectangle when exactly 16 bytes are stored.
bool GetSettingRect(const SettingDef& s, RECT* rect);
// Fills the font (Font settings); returns the "CFQ" value read on the way.
int GetSettingFont(const SettingDef& s, LOGFONTW* font);
// The same for any binary value: a 92-byte LOGFONTW, or the older 60-byte LOGFONTA, with
// lfHeight in screen pixels; anything else gives the full defaults (bold italic at the
// default size).
int ReadProfileFont(LOGFONTW* font, const wchar_t* section, const wchar_t* entry, int defaultPoints);
// True when reading with the sentinel default gives the sentinel (int, packed, string).
bool IsSettingAbsent(const SettingDef& s);
// For settings whose default is the reader's own: true with the stored value, false when absent.
bool GetStoredSettingInt(const SettingDef& s, int* value);

// Writers; failures are not reported.
void WriteSettingInt(const SettingDef& s, int value);
void WriteSettingString(const SettingDef& s, const wchar_t* value);
void WriteSettingRect(const SettingDef& s, const RECT& rect);
void WriteSettingFont(const SettingDef& s, const LOGFONTW& font);
// Stores the font as 92 bytes with its height in points; nothing without an application object.
void WriteProfileFont(const LOGFONTW& font, const wchar_t* section, const wchar_t* entry);
// First-run values: written only when the setting is absent (a user's own value stays).
void WriteSettingIntIfAbsent(const SettingDef& s, int value);
void WriteSettingStringIfAbsent(const SettingDef& s, const wchar_t* value);
void DeleteSetting(const SettingDef& s);

// The "restore" switch: the display format, the position form "XY", the colours and font
// switches, the font itself, transparency and always-on-top go back to their defaults;
// nothing else changes (a stored "CR" keeps deciding the position).
void RestoreDisplaySettings();
// The display format of a new installation and of the restore switch.
CString GetDefaultClockFormat();

// Section "TimeZones": one value per further time zone, named by the zone's number in
// decimal without leading zeros ("#005" is the value "5"), holding the zone's key name.
CString GetZoneSetting(int number);
void WriteZoneSetting(int number, const wchar_t* zoneKeyName);
