// The clock window's tray icon, context menu and commands, its mouse gestures, the close,
// and the hand-off of hovers and clicks to a sibling program (or the clock's own tip).
#include "DigitClock.h"

#include "AboutDlg.h"
#include "App.h"
#include "CrashReport/ErrorReportingHelper.h"
#include "Globals.h"
#include "Log/LogMan.h"
#include "CHandle.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportShell.h"
#include "SupportUtilities.h"
#include "SupportWindowsVersion.h"
#include "SupportWindowsHelpers.h"
#include "StopWatchTimerDlg.h"
#include "ToolTipCtrl3.h"
#include "WSoundThread.h"
#include "resource.h"

#include <shellapi.h>
#include <windowsx.h>

#include <new>

namespace {

// A sibling that does not answer within this time is given up (it may hang).
const UINT kSiblingTimeoutMs = 3000;
// The close gives up on owned dialogs it cannot destroy after this many tries.
const int kCloseTries = 64;


HICON LoadTrayIcon()
{
    int small = GetSystemMetrics(SM_CXSMICON);
    int size = small < 24 ? 16 : small < 32 ? 24 : 32;
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
}

struct OwnedDialogSearch
{
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<OwnedDialogSearch*>(param);
    wchar_t cls[16];
    if (GetWindow(hwnd, GW_OWNER) == search->owner && GetClassNameW(hwnd, cls, 16) && lstrcmpW(cls, L"#32770") == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool MaySendToSibling(int windowsLevel, bool selfKnown, bool selfElevated, bool siblingKnown, bool siblingElevated)
{
    return windowsLevel < 3 || !selfKnown || selfElevated || !siblingKnown || !siblingElevated;
}

UINT CDigitClock::TaskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

UINT CDigitClock::SiblingTipMessage()
{
    static const UINT message = RegisterWindowMessageW(GetStr(SID_SIBLING_TIP_MSG));
    return message;
}

void ActivateOpenOptions()
{
    MessageBeep(0);
    CString title;
    title.Format(LoadResString(IDS_OPTIONS_TITLE), GetStr(SID_VERSION));
    if (HWND sheet = FindWindowW(L"#32770", title)) SetForegroundWindow(GetLastActivePopup(sheet));
}

void CDigitClock::ActivateLastPopup()
{
    if (m_hWnd) SetForegroundWindow(GetLastActivePopup(m_hWnd));
}

BOOL CDigitClock::NotifyIcon(DWORD message, UINT flags, HICON icon, const wchar_t* tip)
{
    // The icon is ours to destroy, whatever the shell answers.
    const CIconHandle owned(icon);
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = m_hWnd;
    data.uID = kTrayIconId;
    data.uFlags = flags;
    if (flags & NIF_TIP) {
        CString text = tip ? CString(tip) : LoadResString(IDR_MAINFRAME);
        lstrcpynW(data.szTip, text, static_cast<int>(sizeof(data.szTip) / sizeof(data.szTip[0])));
    }
    if (flags & NIF_MESSAGE) data.uCallbackMessage = kTrayCallbackMessage;
    if (flags & NIF_ICON) data.hIcon = icon;
    BOOL result = Shell_NotifyIconW(message, &data);
    if (result) {
        if (message == NIM_ADD) m_trayIconAdded = TRUE;
        else if (message == NIM_DELETE) m_trayIconAdded = FALSE;
    }
    return result;
}

LRESULT CDigitClock::OnTaskbarCreated()
{
    // The shell restarted and forgot every icon.
    if (!m_alwaysOnTop) NotifyIcon(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, LoadTrayIcon());
    return 0;
}

void CDigitClock::RaiseClock()
{
    if (m_alwaysOnTop) return;
    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
    SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
}

LRESULT CDigitClock::OnTrayNotify(WPARAM, LPARAM lp)
{
    const UINT mouse = LOWORD(lp);
    if (g_sendingLogs || IsCrashing()) {
        ZN_LOG(LOG_WARNING, L"tray " << mouse);
        return 0;
    }
    const bool sheetOpen = (m_stateFlags & STATE_OPTIONS_OPEN) != 0;
    switch (mouse) {
    case WM_LBUTTONDOWN:
        RaiseClock();
        if (sheetOpen) ActivateOpenOptions();
        else ActivateLastPopup();
        break;
    case WM_LBUTTONDBLCLK:
        RaiseClock();
        if (sheetOpen) ActivateOpenOptions();
        else SendMessage(WM_COMMAND, ID_OPTIONS);
        break;
    case WM_RBUTTONUP: {
        RaiseClock();
        if (sheetOpen) {
            ActivateOpenOptions();
            break;
        }
        POINT pt;
        GetCursorPos(&pt);
        ShowContextMenu(pt);
        break;
    }
    default:
        break;
    }
    return 0;
}

void CDigitClock::OnContextMenu(POINT screen)
{
    ShowContextMenu(screen);
}

void CDigitClock::PrepareContextMenu(HMENU popup)
{
    SetMenuDefaultItem(popup, ID_OPTIONS, FALSE);

    const CString soundItem = LoadResString(IDS_SOUND_ITEM);
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128];
        if (GetMenuStringW(popup, static_cast<UINT>(i), text, 128, MF_BYPOSITION) <= 0 || soundItem != text) continue;
        CString label = soundItem + (m_soundEnabled ? L" ( enabled )" : L" ( disabled )");
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<wchar_t*>(label.GetString());
        SetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &info);
        break;
    }
    UpdateMenuCmdUI(this, popup);
}

void CDigitClock::ShowContextMenu(POINT screen)
{
    if (m_stateFlags & STATE_OPTIONS_OPEN) {
        ActivateOpenOptions();
        return;
    }
    const CMenuHandle bar(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    if (!bar) {
        ZN_LOG_ERROR(GetLastError(), L"LoadMenu", LOG_ERROR);
        return;
    }
    HMENU popup = GetSubMenu(bar, 0);
    {
        CModalGate::CScope scope(m_modal);
        ActivateLastPopup();
        PrepareContextMenu(popup);
        // Not topmost while the menu is open, or the display tick would push the clock over it.
        const int alwaysOnTop = m_alwaysOnTop;
        m_alwaysOnTop = 0;
        TrackPopupMenu(popup, TPM_RIGHTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_hWnd, nullptr);
        m_alwaysOnTop = alwaysOnTop;
        PostMessage(WM_NULL);
    }
    TrimWorkingSet();
}

BOOL CDigitClock::OnCmdMsg(UINT id, int code, CCmdUI* cmdUI, bool queryOnly)
{
    if (code == CN_UPDATE_COMMAND_UI) {
        if (!cmdUI) return FALSE;
        switch (id) {
        case ID_SOUND_DISABLE:
            cmdUI->Enable(m_soundEnabled != 0);
            return TRUE;
        case ID_SOUND_ENABLE:
            cmdUI->Enable(m_soundEnabled == 0);
            return TRUE;
        case ID_LOCK_POSITION:
            cmdUI->SetCheck(g_positionLocked ? 1 : 0);
            return TRUE;
        case ID_OPTIONS:
            cmdUI->Enable(!m_sntp.IsRequestRunning() && IsWindowEnabled(m_hWnd));
            return TRUE;
        case ID_SYNC_NOW:
            cmdUI->Enable(!GetSettingString(Setting::kSVR).IsEmpty() && !m_sntp.IsRequestRunning());
            return TRUE;
        default:
            return FALSE;
        }
    }
    if (code != CN_COMMAND) return FALSE;
    void (CDigitClock::*handler)() = nullptr;
    switch (id) {
    case ID_OPTIONS:
        handler = &CDigitClock::OnOptions;
        break;
    case ID_SOUND_DISABLE:
    case ID_SOUND_ENABLE:
        handler = &CDigitClock::OnSoundToggle;
        break;
    case ID_LOCK_POSITION:
        handler = &CDigitClock::OnLockPosition;
        break;
    case ID_APP_EXIT_CLOCK:
        handler = &CDigitClock::OnExit;
        break;
    case ID_WEB_PAGE:
        handler = &CDigitClock::OnWebPage;
        break;
    case ID_SYNC_NOW:
        handler = &CDigitClock::OnSyncNow;
        break;
    case ID_NEW_STOPWATCH:
        handler = &CDigitClock::OnNewStopwatch;
        break;
    case ID_HELP_FINDER:
        handler = &CDigitClock::OnHelpTopics;
        break;
    case ID_APP_ABOUT:
        handler = &CDigitClock::OnAbout;
        break;
    default: {
        // The rest (the report commands) belongs to the application object, whose handlers
        // run message loops of their own.
        CWinApp* app = AfxGetApp();
        if (!app || queryOnly) return app ? app->OnCmdMsg(id, code, nullptr, true) : FALSE;
        CModalGate::CScope scope(m_modal);
        return app->OnCmdMsg(id, code, nullptr, false);
    }
    }
    // The handler may close the window and free this object: nothing follows it.
    if (!queryOnly) (this->*handler)();
    return TRUE;
}

void CDigitClock::OnCommand(UINT id)
{
    OnCmdMsg(id, CN_COMMAND, nullptr, false);
}

void CDigitClock::OnSoundToggle()
{
    const int wasOn = m_soundEnabled;
    m_soundEnabled = wasOn ? 0 : 1;
    if (wasOn) StopSound();
    WriteSettingInt(Setting::kSE, m_soundEnabled);
}

void CDigitClock::OnLockPosition()
{
    g_positionLocked = g_positionLocked ? 0 : 1;
    WriteSettingInt(Setting::kLW, g_positionLocked);
}

CString CDigitClock::WebPageAddress()
{
    return CString(GetStr(SID_WEB_URL)) + GetStr(SID_ABOUT_PATH) + L"&" + GetStr(SID_VERSION_QUERY) + GetStr(SID_VERSION_FULL);
}

void CDigitClock::OpenAddress(const wchar_t* address)
{
    ShellExecuteOpen(address, TRUE, m_hWnd);
}

void CDigitClock::OnWebPage()
{
    OpenAddress(WebPageAddress());
}

void CDigitClock::OnSyncNow()
{
    m_sntp.SyncNow(TRUE);
}

void CDigitClock::OnNewStopwatch()
{
    OpenStopWatch();
}

void CDigitClock::OnHelpTopics()
{
    if (CWinApp* app = AfxGetApp()) app->WinHelp(0, HELP_FINDER);
}

void CDigitClock::OnAbout()
{
    {
        // The box runs its own loop: a close meanwhile waits for it.
        CModalGate::CScope scope(m_modal);
        CAboutDlg about(m_hWnd);
        about.DoModal();
    }
    TrimWorkingSet();
}

void CDigitClock::OnExit()
{
    SendMessage(WM_CLOSE);
}

void CDigitClock::DestroyOwnedDialogs()
{
    try {
        for (int tries = 0; tries < kCloseTries; ++tries) {
            OwnedDialogSearch search{m_hWnd, nullptr};
            EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
            if (!search.found) return;
            if (!::DestroyWindow(search.found)) ZN_LOG_ERROR(GetLastError(), L"DestroyWindow", LOG_ERROR);
        }
        ZN_LOG(LOG_WARNING, L"close: dialogs left");
    } catch (const std::bad_alloc&) {
        // The program is closing: logged only, no box.
        ZN_LOG(LOG_ERROR, LoadResString(IDS_NO_MEMORY).GetString());
    }
}

void CDigitClock::OnClose()
{
    if (m_modal.HoldClose()) {
        // A handler below runs a loop of its own (a menu, a dialog, a send): it ends first,
        // and the close comes again when the last such handler is done.
        EndMenu();
        DestroyOwnedDialogs();
        return;
    }
    DestroyOwnedDialogs();
    if (m_showReminders) ForwardClick(0);
    // Last: the window's end frees this object.
    DestroyWindow();
}

void CDigitClock::TrackMouse(DWORD flags)
{
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = flags;
    track.hwndTrack = m_hWnd;
    track.dwHoverTime = HOVER_DEFAULT;
    TrackMouseEvent(&track);
    if (flags & TME_LEAVE) m_trackingLeave = (flags & TME_CANCEL) ? FALSE : TRUE;
}

void CDigitClock::OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_LBUTTONDOWN:
        ForwardClick(0);
        if (!g_positionLocked) {
            TrackMouse(TME_CANCEL | TME_HOVER);
            POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ClientToScreen(m_hWnd, &pt);
            PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
            TrackMouse(TME_LEAVE);
        }
        break;
    case WM_LBUTTONDBLCLK:
        SendMessage(WM_COMMAND, ID_OPTIONS);
        break;
    case WM_MOUSEMOVE:
        if (!(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && !m_trackingLeave) TrackMouse(TME_HOVER);
        break;
    case WM_MOUSEHOVER:
        if (m_showReminders) ForwardClick(1);
        TrackMouse(TME_LEAVE);
        break;
    case WM_MOUSELEAVE:
        m_trackingLeave = FALSE;
        ForwardClick(0);
        break;
    case WM_RBUTTONDOWN:
        ForwardClick(0);
        TrackMouse(TME_CANCEL | TME_HOVER);
        Default(msg, wp, lp);
        break;
    case WM_RBUTTONUP:
        TrackMouse(TME_LEAVE);
        Default(msg, wp, lp);
        break;
    default:
        break;
    }
}

LRESULT CDigitClock::ForwardClick(int show)
{
    if (m_tip.m_hWnd) m_tip.Hide();

    const StrId siblingClass = g_tipTarget == 1   ? SID_CALENDAR_WNDCLASS
                               : g_tipTarget == 2 ? SID_CALENDAR_NET_WNDCLASS
                                                  : SID_ORGANIZER_WNDCLASS;
    HWND sibling = FindWindowW(GetStr(siblingClass), nullptr);
    if (sibling) {
        BOOL selfElevated = FALSE, siblingElevated = FALSE;
        bool selfKnown = SUCCEEDED(GetProcessElevation(GetCurrentProcess(), &selfElevated));
        DWORD pid = 0;
        GetWindowThreadProcessId(sibling, &pid);
        CHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        bool siblingKnown = process.Get() && SUCCEEDED(GetProcessElevation(process.Get(), &siblingElevated));
        if (MaySendToSibling(IsWindowsAtLeast(3) ? 3 : 2, selfKnown, selfElevated != FALSE, siblingKnown,
                             siblingElevated != FALSE)) {
            DWORD_PTR reply = 0;
            CModalGate::CScope scope(m_modal);
            // Bounded: a hung sibling never stops the clock.
            if (!SendMessageTimeoutW(sibling, SiblingTipMessage(), reinterpret_cast<WPARAM>(m_hWnd), show ? 1 : 0,
                                     SMTO_ABORTIFHUNG, kSiblingTimeoutMs, &reply))
                ZN_LOG_ERROR(GetLastError(), GetStr(SID_SIBLING_TIP_MSG), LOG_WARNING);
            return static_cast<LRESULT>(reply);
        }
    }

    if (!m_tip.m_hWnd && !m_tip.Create(this)) return 0;
    m_tip.m_hAnchor = m_hWnd;
    m_tip.m_bSiblingFound = sibling != nullptr;
    if (show) m_tip.Popup();
    return 0;
}
