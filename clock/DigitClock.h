// CDigitClock: the clock window. A borderless popup that shows the display text of its
// format, either painted opaque or pushed as a layered window with per-pixel alpha.
#pragma once

#include "ClassLib.h"
#include "CFrameWnd.h"
#include "ChimeSchedule.h"
#include "FormatEnvironment.h"
#include "ModalGate.h"
#include "PaintBuffer.h"
#include "Settings.h"
#include "SNTPWnd.h"
#include "ToolTipCtrl3.h"
#include "SupportTime.h"

#include <memory>
#include <string>
#include <vector>

// The display timer's id (set when the window is made and when the format changes).
#define ZN_CLOCK_TIMER_ID 15

class CClockRenderCache;

class CDigitClock : public CFrameWnd
{
public:
    CDigitClock();
    ~CDigitClock() override;

    // Setters: the one way in which the rest of the program changes the live clock. Each
    // stores its values; those that change the look redraw when the window exists.
    void UseSystemColours();
    void SetCustomColours(COLORREF background, COLORREF text);
    void SetClockFont(const LOGFONTW* font);
    void SetOutline(int useOutline, COLORREF colour, int thickness);
    void SetShowBorder(int show);
    void SetShowReminders(int show);
    void SetMargins(int pixels);
    void SetLockRightBorder(int lock);
    void SetAlignment(int alignment);
    void SetFormat(const wchar_t* format, BOOL log);
    void SetChimeOptions(int mode, int hourOnce, int flags, const wchar_t* hourSound, const wchar_t* halfHourSound,
                         const wchar_t* quarterPastSound, const wchar_t* quarterToSound);
    void EnableSound(int enable);
    void SetTransparent(int transparent);
    void SetText(const wchar_t* text);
    void SavePlacement();
    void ActivateLastPopup();

    BOOL HasLayeredSupport() const { return m_pfnUpdateLayeredWindow != nullptr; }
    // Sets the current window text again: re-measures, resizes and redraws.
    void Refresh();
    // The window size that the text needs, for the opaque or the layered look.
    SIZE MeasureClockText(BOOL layered, const wchar_t* text);
    // Draws the layered image of the text into the paint buffer.
    void DrawLayered(SIZE size, const wchar_t* text);
    // Draws the opaque look of the window text (border, background, text) on a context
    // that stands for the client area.
    void PaintOpaque(HDC dc);

    // Format engine.
    // The display text of the current format for a local time (one pass, no registry).
    void FormatTime(const SYSTEMTIME& time, CString& text);
    // The fragment that one run (a character repeated length times) gives for stage 2.
    CString ExpandFormatToken(const wchar_t* run, int length, const SYSTEMTIME& time);
    // An 'S' outside literals and zone tokens: the display needs a 1 ms timer.
    BOOL FormatHasMilliseconds() const { return FormatHasMilliseconds(m_format); }
    static BOOL FormatHasMilliseconds(const wchar_t* format);
    // Reads the zones of the format's #NNN tokens from section "TimeZones" and the system's
    // zone data, with their transitions in the year given (0: the current UTC year).
    void LoadFormatTimeZones(const wchar_t* format, BOOL log, int year = 0);
    BOOL FindFormatTimeZone(int key, tagTZI2& zone) const;
    static int GetWeekNumber(const COleDateTime& date);
    static int WeekOfYearFromWeekEnd(const COleDateTime& weekEnd);
    // The machine seen by the engine; the system's unless a test gives its own.
    void SetFormatEnvironment(IFormatEnvironment* environment) { m_formatEnvironment = environment; }

    enum StateFlags {
        STATE_OPTIONS_OPEN = 1,
        STATE_INITIAL_PLACEMENT = 2,
        STATE_TEXT_RESIZE = 4,
    };

    typedef BOOL(WINAPI* UpdateLayeredWindowFn)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*,
                                                 DWORD);

    // Display timer, full-screen watch and chimes.
    ChimeSettings GetChimeSettings() const;
    // Runs one chime step at the clock reading now.
    void ChimeStep(const ChimeClock& now);
    // Looks at the foreground window; TRUE when the full-screen state changed.
    BOOL WatchFullScreen();

    // Placement, display, power and session.
    void AdjustWindowPos(BOOL transparent, BOOL forced);

    // Tray icon, context menu, commands and the hand-off of clicks.
    // The tray icon's id, and the message the shell sends for it (the id in wParam, the
    // mouse message in lParam).
    static constexpr UINT kTrayIconId = 12;
    static constexpr UINT kTrayCallbackMessage = WM_USER + 101;
    BOOL NotifyIcon(DWORD message, UINT flags, HICON icon, const wchar_t* tip = nullptr);
    void ShowContextMenu(POINT screen);
    // The sound item's state text and the update handlers, applied to the menu's items.
    void PrepareContextMenu(HMENU popup);
    LRESULT ForwardClick(int show);
    void RaiseClock();
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* cmdUI, bool queryOnly) override;
    // The product page: the maker's address + "/zarnock/?src=about&version=" + the full version.
    static CString WebPageAddress();
    // Hands an address to the shell; tests stand in for the browser.
    virtual void OpenAddress(const wchar_t* address);
    // The SNTP client; the time-synchronisation page reaches it here.
    CSNTPWnd* GetSntpWnd() { return &m_sntp; }
    // The values other windows change without a redraw: the always-on-top switch (the window's
    // own z-order is the caller's), the full-screen watch and the chimes' quiet rules.
    int AlwaysOnTop() const { return m_alwaysOnTop; }
    void SetAlwaysOnTop(int on) { m_alwaysOnTop = on; }
    void SetWatchFullScreen(int watch) { m_watchFullScreen = watch; }
    void SetSoundWithScreenSaver(int on) { m_soundWithScreenSaver = on; }
    void SetSoundOverFullScreen(int on) { m_soundOverFullScreen = on; }
    BOOL HasTrayIcon() const { return m_trayIconAdded; }

    // The registered messages "TaskbarCreated" and the sibling program's tip message.
    static UINT TaskbarCreatedMessage();
    static UINT SiblingTipMessage();

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    // SetTimer of the display timer; tests stand in for a system out of timers.
    virtual UINT_PTR SetDisplayTimer(UINT interval) { return CWnd::SetTimer(ZN_CLOCK_TIMER_ID, interval); }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    int OnCreate(CREATESTRUCTW* cs);
    void OnDestroy();
    void OnPaint();
    LRESULT OnSetText(WPARAM wp, LPARAM lp);
    void OnTimer(UINT_PTR id);

    // WM_QUERYENDSESSION and WM_ENDSESSION, after the message's own step.
    void OnSessionEnding(UINT msg, WPARAM wp, LPARAM lp);
    void OnDisplayChange(WPARAM depth, LPARAM size);
    void OnPowerBroadcast(WPARAM event);
    void OnDpiChanged(WPARAM dpi, const RECT* suggested);
    void OnExitSizeMove();

    LRESULT OnTrayNotify(WPARAM wp, LPARAM lp);
    LRESULT OnTaskbarCreated();
    void OnContextMenu(POINT screen);
    void OnCommand(UINT id);
    void OnClose();
    void OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnOptions();
    void OnSoundToggle();
    void OnLockPosition();
    void OnExit();
    void OnWebPage();
    void OnSyncNow();
    void OnNewStopwatch();
    void OnHelpTopics();
    void OnAbout();
    void DestroyOwnedDialogs();
    void TrackMouse(DWORD flags);

private:
    // Tests and benchmarks reach the state below through this one friend.
    friend struct CDigitClockAccess;

    int m_gdiplusOpaque = Setting::kGPST.intDefault;
    int m_gdiplusLayered = Setting::kGPSTT.intDefault;
    int m_alwaysOnTop = Setting::kAT.intDefault;
    int m_reassertTopmost = Setting::kATF.intDefault;
    int m_watchFullScreen = Setting::kFSW.intDefault;
    int m_soundWithScreenSaver = Setting::kSSA.intDefault;
    int m_soundOverFullScreen = Setting::kSFS.intDefault;
    int m_proportionalDpi = Setting::kPDPI.intDefault;
    int m_placementMayBeSaved = 1;
    int m_soundEnabled = Setting::kSE.intDefault;
    int m_timerInterval = 0;
    UINT_PTR m_timerId = 0;
    CFont m_font;
    CString m_format;
    int m_useOutline = Setting::kUO.intDefault;
    int m_showBorder = Setting::k3D.intDefault;
    int m_showReminders = Setting::kTT.intDefault;
    int m_lockRightBorder = Setting::kLR.intDefault;
    int m_outlineThickness = Setting::kOT.intDefault;
    int m_margin = Setting::kMS.intDefault;
    int m_alignment = Setting::kAL.intDefault;
    int m_chimeMode = Setting::kCH0.intDefault;
    int m_hourFileOnce = Setting::kH1.intDefault;
    int m_chimeFlags = Setting::kCH1.intDefault;  // "CH1" or "CH2"
    int m_customColours = Setting::kCC.intDefault;
    COLORREF m_textColour = Setting::kCT.intDefault;
    COLORREF m_backgroundColour = Setting::kCB.intDefault;
    COLORREF m_highlightColour = 0;
    COLORREF m_shadowColour = 0;
    COLORREF m_outlineColour = Setting::kCO.intDefault;
    int m_textAlpha = Setting::kCTA.intDefault;
    int m_outlineAlpha = Setting::kCOA.intDefault;
    RECT m_monitorArea{};
    RECT m_monitorRect{};
    CString m_hourSound;             // "H0"
    CString m_halfHourSound;         // "H2"
    CString m_quarterPastSound;      // "H4"
    CString m_quarterToSound;        // "H5"
    int m_stateFlags = 0;
    UpdateLayeredWindowFn m_pfnUpdateLayeredWindow = nullptr;
    CPaintBuffer m_paintBuffer;
    CToolTipCtrl3 m_tip;
    CSNTPWnd m_sntp;
    std::vector<tagTZI2> m_formatZones;

    // Display timer, full-screen watch and chimes.
    CChimeSchedule m_chimeSchedule;
    BOOL m_fullScreen = FALSE;
    // The sizes of all monitors, kept until the display, the DPI or a system setting changes;
    // empty when they are to be asked again.
    std::vector<SIZE> m_monitorSizes;
    // Placement, display, power and session.
    int m_adjustAllowed = Setting::kAWP.intDefault;
    CString m_suspendedLogPath;      // the log closed for a suspend, reopened on resume
    // Tray icon and the mouse.
    BOOL m_trayIconAdded = FALSE;
    BOOL m_trackingLeave = FALSE;
    // Handlers running a message loop of their own (the SNTP client's failure box among
    // them), and a close that waits for them.
    CModalGate m_modal{m_hWnd};

    int NeededTimerInterval() const { return FormatHasMilliseconds() ? 1 : 250; }
    void PushLayered();
    CClockRenderCache& RenderCache();
    void PlaceAtCreation(const SIZE& size, int transparent);

    void AppendFormatToken(std::wstring& out, const wchar_t* run, int length, const SYSTEMTIME& time);
    void AppendZoneTime(std::wstring& out, int key, const SYSTEMTIME& time);

    IFormatEnvironment* m_formatEnvironment;
    int m_formatZonesYear = 0;      // the year the zones' transitions were resolved for
    std::wstring m_formatScratch;   // the intermediate text, kept to spare the tick an allocation
    // Ordinal comparison of the window text with a new text, without a copy per tick.
    bool IsWindowText(const CString& text);
    std::wstring m_windowTextScratch;
    // What the window text is: every text reaches the window through WM_SETTEXT, whose
    // handler keeps this copy. Until a text was set, the window is asked.
    std::wstring m_windowText;
    bool m_windowTextKnown = false;
    // The window text, from the copy when there is one, else read into read.
    const wchar_t* WindowText(CString& read);
    // Whether a window of this size may cover a monitor.
    bool HasMonitorSize(const RECT& window);
    // Whether the clock is topmost with no window above it.
    bool IsTopOfZOrder() const;
    std::unique_ptr<CClockRenderCache> m_renderCache;
};

// Brings the open Options sheet (and whatever it has open) to the front, with a beep.
void ActivateOpenOptions();

// The full rectangle of the monitor that the rectangle lies most on; the primary monitor's
// when it lies on none.
RECT GetMonitorRectForWindow(const RECT& window);

// Whether a click may be handed to a sibling program's window: always on systems before
// Windows Vista (windowsLevel below 3) and from an elevated clock, or one whose elevation
// cannot be read; else only to a sibling known not to be elevated (a message from a
// non-elevated program to an elevated one would be dropped).
bool MaySendToSibling(int windowsLevel, bool selfKnown, bool selfElevated, bool siblingKnown, bool siblingElevated);

// The moving state between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE.
extern int g_clockMoving;
