// The reading direction: right-to-left layout is decided once at start-up from the setting
// "RTL" (-1 automatic, 1 on, anything else off) and applied by every dialog to itself and
// its direct edit children.
#pragma once

#include "ClassLib.h"

// What the automatic decision reads from the system. Tests answer for it: Wine always
// reports Middle-East support off.
class CRTLSystemInfo
{
public:
    virtual ~CRTLSystemInfo() = default;
    // The English name of the locale's language (LOCALE_SENGLANGUAGE); FALSE when unknown.
    virtual BOOL GetLanguageName(LCID locale, wchar_t* buffer, int size);
    virtual LANGID GetSystemUILanguage();
    virtual int GetMiddleEastEnabled();
};

// Reads "RTL" of section "Common" and decides; called once by start-up.
void InitRTLLayout();
// The decision for a given setting value and system.
void InitRTLLayout(int setting, CRTLSystemInfo& system);
int IsRTLLayout();
// Adds right-to-left styles to a dialog and its direct edit children while the layout is on.
void ApplyRTLLayout(HWND window);
