#include "ClockLook.h"

#include "DigitClock.h"
#include "GdiplusObjects.h"
#include "Log/LogMan.h"

#include <gdiplus.h>

#include <algorithm>

namespace {

COLORREF StoredColour(const SettingDef& s)
{
    return static_cast<COLORREF>(GetSettingInt(s)) & 0xFFFFFF;
}

}  // namespace

ClockLook ClockLook::Load()
{
    ClockLook look;
    look.customColours = GetSettingInt(Setting::kCC);
    if (look.customColours == -1) look.customColours = 1;
    look.background = StoredColour(Setting::kCB);
    look.text = StoredColour(Setting::kCT);
    look.outline = StoredColour(Setting::kCO);
    look.customFont = GetSettingInt(Setting::kCF);
    if (look.customFont) GetSettingFont(Setting::kFN, &look.font);
    else SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(look.font), &look.font, 0);
    look.useOutline = GetSettingInt(Setting::kUO);
    look.thickness = std::clamp(GetSettingInt(Setting::kOT), 1, 99);
    look.border = GetSettingInt(Setting::k3D);
    look.reminders = GetSettingInt(Setting::kTT);
    look.margins = std::clamp(GetSettingInt(Setting::kMS), 0, 99);
    look.lockRight = GetSettingInt(Setting::kLR);
    look.format = GetSettingString(Setting::kFT);
    look.alignment = std::clamp(GetSettingInt(Setting::kAL), 0, 2);
    look.transparent = GetSettingInt(Setting::kTR);
    return look;
}

void ClockLook::Save() const
{
    WriteSettingInt(Setting::kCC, customColours);
    WriteSettingInt(Setting::kCF, customFont);
    WriteSettingInt(Setting::kUO, useOutline);
    WriteSettingInt(Setting::k3D, border);
    WriteSettingInt(Setting::kTT, reminders);
    WriteSettingInt(Setting::kCB, static_cast<int>(background));
    WriteSettingInt(Setting::kCT, static_cast<int>(text));
    WriteSettingInt(Setting::kCO, static_cast<int>(outline));
    WriteSettingInt(Setting::kOT, thickness);
    WriteSettingInt(Setting::kMS, margins);
    WriteSettingString(Setting::kFT, format);
    WriteSettingInt(Setting::kAL, alignment);
    WriteSettingInt(Setting::kLR, lockRight);
    WriteSettingInt(Setting::kTR, transparent);
    WriteSettingFont(Setting::kFN, font);
}

void ClockLook::ApplyTo(CDigitClock& clock, BOOL logFormat) const
{
    // On a live window each setter redraws and may resize, and a resize keeps the locked
    // edge of the moment: the right-edge lock comes before the format's new size.
    if (customColours) clock.SetCustomColours(background, text);
    else clock.UseSystemColours();
    clock.SetOutline(useOutline, outline, thickness);
    clock.SetClockFont(customFont ? &font : nullptr);
    clock.SetShowBorder(border);
    clock.SetShowReminders(reminders);
    clock.SetMargins(margins);
    clock.SetLockRightBorder(lockRight);
    clock.SetFormat(format, logFormat);
    clock.SetAlignment(alignment);
}

ClockLook::OutlineFace ClockLook::KeepOutlineDrawable()
{
    if (!transparent || !useOutline) return OutlineFace::NotNeeded;
    if (IsDrawableFace(font.lfFaceName)) return OutlineFace::Drawable;
    ZN_LOG(LOG_ERROR, font.lfFaceName);
    useOutline = 0;
    WriteSettingInt(Setting::kUO, 0);
    return OutlineFace::Dropped;
}

BOOL ClockLook::IsDrawableFace(const wchar_t* face)
{
    CGpFontFamily family;
    return Gdiplus::DllExports::GdipCreateFontFamilyFromName(face, nullptr, family.Out()) == Gdiplus::Ok && family;
}
