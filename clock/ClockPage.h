// CClockPage: the Options sheet's "Clock" page: display format, font, colours, transparency
// and outline, margins and border, reminder source, window locks, always-on-top, full-screen
// behaviour, sound switch, week numbering and start with Windows. Every change shows at once
// on the running clock through its setters; OK writes the profile, Cancel puts the clock's
// stored look back. Without a clock window the page works on its own values.
#pragma once

#include "ButtonEx.h"
#include "ColorPickerButton.h"
#include "Settings.h"

class CDigitClock;
struct ClockLook;

class CClockPage : public CPropertyPage
{
public:
    CClockPage();

    // The values the enabling rules read, and what they enable.
    struct EnableInput
    {
        bool customColors, customFont, transparent, useOutline, reminders;
    };
    struct Enabled
    {
        bool textColor, backColor, font, border, margins, outlineColor, thickness, useOutline, reminderSource;
    };
    static Enabled EnablingRules(const EnableInput& in);
    // A spin's new value from its notification: the margins (0..99) and the outline
    // thickness (1..99: it can never store 0).
    static int SpinMargins(int position, int delta);
    static int SpinThickness(int position, int delta);
    // Typed values, read as unsigned integers and kept in the spins' ranges.
    static int TypedMargins(const wchar_t* text);
    static int TypedThickness(const wchar_t* text);
    // A reminder source other than 1 or 2 is 0.
    static int SourceIndex(int stored) { return stored == 1 || stored == 2 ? stored : 0; }
    // The points of a font height in pixels at the screen's vertical DPI.
    static int FontPoints(const LOGFONTW& font, int dpiY) { return -MulDiv(font.lfHeight, 72, dpiY); }
    // The quality of a newly chosen font: "CFQ" (its low byte, at most 6) when not 0; else
    // the dialog's own, with 0 and 1 made ClearType.
    static BYTE ChosenFontQuality(int storedCfq, BYTE dialogQuality);

    // The display-format builder (its tokens: ClockPageFormat.h). The format edit holds at
    // most this many characters.
    static constexpr int kFormatLimit = 383;
    // Replaces the format edit's selection with the code (undoable); a code that does not
    // fit whole into the edit's limit is not inserted.
    void InsertFormatToken(const wchar_t* code, BOOL autoSeparate);

    void LoadSettings();
    void SaveSettings();
    BOOL OnInitDialog() override;
    BOOL OnKillActive() override;
    void OnOK() override { SaveSettings(); }
    void OnCancel() override;

    // Start with Windows: the Run value of HKEY_CURRENT_USER that names the program. Tests
    // give their own value name and program here (null: the product name and the installed
    // program).
    static const wchar_t* s_runValueName;
    static const wchar_t* s_programPath;
    CString m_runValueName;
    CString m_programPath;
    // Opens the reminder source's information address; tests record it here instead (null:
    // the shell opens it).
    static void (*s_openLink)(const wchar_t* address);

    // Values, by their profile names in section "Common".
    CString m_format;                 // "FT"
    int m_selStart = 0, m_selEnd = 0;  // the format edit's last selection
    int m_customColors = Setting::kCC.intDefault;  // "CC"
    int m_customFont = Setting::kCF.intDefault;  // "CF"
    int m_useOutline = Setting::kUO.intDefault;  // "UO"
    int m_border = Setting::k3D.intDefault;  // "3D"
    int m_reminders = Setting::kTT.intDefault;  // "TT"
    int m_source = Setting::kTPS.intDefault;  // "TPS"
    int m_thickness = Setting::kOT.intDefault;  // "OT"
    int m_margins = Setting::kMS.intDefault;  // "MS"
    int m_alignment = Setting::kAL.intDefault;  // "AL"
    int m_lockPosition = Setting::kLW.intDefault;  // "LW"
    int m_lockRight = Setting::kLR.intDefault;  // "LR"
    int m_transparent = Setting::kTR.intDefault;  // "TR"
    int m_soundEnabled = Setting::kSE.intDefault;  // "SE"
    int m_alwaysOnTop = Setting::kAT.intDefault;  // "AT"
    int m_fullScreen = Setting::kFSW.intDefault;  // "FSW"
    int m_loadOnStartup = 0;
    int m_savedFirstDay = 0, m_savedFirstWeek = 0, m_savedPositionLocked = 0;
    LOGFONTW m_fontData{};
    BOOL m_modified = FALSE;
    BOOL m_initialised = FALSE;

    CStatic m_sourceIcon;
    CStatic m_link;
    CButtonEx m_alignmentButton;
    CEdit m_formatEdit;
    CSpinButtonCtrl m_marginsSpin;
    CSpinButtonCtrl m_thicknessSpin;
    CColorPickerButton m_textColor;
    CColorPickerButton m_backColor;
    CColorPickerButton m_outlineColor;
    CComboBox m_firstDay;
    CComboBox m_firstWeek;
    CComboBox m_sourceList;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    BOOL OnNotify(NMHDR* header, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // The clock window, when there is one.
    CDigitClock* Clock() const;
    // The look as the page holds it.
    ClockLook PageLook() const;
    void LoadStartupFlag();
    void SaveStartupFlag();
    void ApplyEnablingRules();
    void SetFontLabel();
    void SetSourceIcon();
    void ApplyTrayIcon(CDigitClock* clock, int alwaysOnTop);
    void ApplyOutline() const;
    void ApplyColours() const;
    CString LinkAddress() const;

    void OnFormatChange();
    void OnMarginsChange();
    void OnThicknessChange();
    void OnCheck(UINT id);
    void OnTransparent();
    void OnColorButton(CColorPickerButton& button);
    void OnChangeFont();
    void OnSourceChange();
    void OnFindClockWindow();
    void OnFormatMenu(UINT buttonId);
    void OnAlignmentMenu();
    void OnTimeZone();
    // The pop-up of menu 209 under the button; the chosen command, 0 when dismissed.
    UINT TrackFormatMenu(UINT buttonId, int popupIndex, CMenuHandle& menu, HMENU* popup);
    void OnSoundOptions();
    void OnPrepareLogs();
    BOOL OnSetCursor(HWND window, UINT hitTest);
    void OnLButtonDown(POINT pt);
    void OnLButtonUp(POINT pt);
    void OnCaptureChanged(HWND newCapture);
    HBRUSH OnCtlColorStatic(HDC dc, HWND control);
    void OnDestroy();
    bool IsOverLink(POINT client) const;

    CFontHandle m_font;       // the clock font chosen on the page
    CFontHandle m_linkFont;   // the link label's font, underlined
    CCursorHandle m_hand;
    HCURSOR m_arrow = nullptr;
    CIconHandle m_icon;       // the reminder source's icon in static 1016
    BOOL m_linkCaptured = FALSE;
};
