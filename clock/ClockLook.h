// ClockLook: how the clock looks, as the settings store holds it: colours, font, outline,
// border, reminders, margins, right-edge lock, format, alignment and transparency. Start-up
// applies it to the new clock, the Clock page starts from it, saves it on OK and puts it
// back on Cancel.
#pragma once

#include "ClassLib.h"
#include "Settings.h"

class CDigitClock;

struct ClockLook
{
    int customColours = Setting::kCC.intDefault;  // "CC"; a stored -1 counts as on
    COLORREF background = Setting::kCB.intDefault;  // "CB", "CT", "CO": 24-bit colours
    COLORREF text = Setting::kCT.intDefault;
    COLORREF outline = Setting::kCO.intDefault;
    int customFont = Setting::kCF.intDefault;  // "CF"
    LOGFONTW font{};           // "FN" with a custom font, else the icon-title font
    int useOutline = Setting::kUO.intDefault;  // "UO"
    int thickness = Setting::kOT.intDefault;  // "OT", 1..99
    int border = Setting::k3D.intDefault;  // "3D"
    int reminders = Setting::kTT.intDefault;  // "TT"
    int margins = Setting::kMS.intDefault;  // "MS", 0..99
    int lockRight = Setting::kLR.intDefault;  // "LR"
    CString format;            // "FT"
    int alignment = Setting::kAL.intDefault;  // "AL", 0..2
    int transparent = Setting::kTR.intDefault;  // "TR"

    // The stored look. The ranges keep a damaged store from giving a negative or giant window.
    static ClockLook Load();
    // Writes every value of the look.
    void Save() const;
    // The clock's setters, in the order that lets each redraw build on the last. Without a
    // window they only store. Transparency is left to the caller: the new clock takes it
    // when its window is made.
    void ApplyTo(CDigitClock& clock, BOOL logFormat) const;

    // The outline of a transparent clock is drawn as a path of the drawing library's font
    // family. When the font's face has none, the outline is turned off here and in the store.
    enum class OutlineFace { NotNeeded, Drawable, Dropped };
    OutlineFace KeepOutlineDrawable();

    // The drawing library can make a font family of the face.
    static BOOL IsDrawableFace(const wchar_t* face);
};
