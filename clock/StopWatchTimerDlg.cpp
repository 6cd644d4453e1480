#include "StopWatchTimerDlg.h"

#include "Log/LogMan.h"
#include "MessageBoxEx.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportWindowsHelpers.h"
#include "resource.h"

#include <algorithm>
#include <new>

namespace {

const COLORREF kPanel = 0x404040;
const COLORREF kWell = 0x242424;
const COLORREF kLight = 0x808080;
const COLORREF kDark = 0x000000;
// Transparent in the button pictures.
const COLORREF kPictureKey = RGB(255, 0, 255);

enum Picture { PICTURE_START = 0, PICTURE_STOP = 1, PICTURE_PAUSE = 2, PICTURE_RESET = 3 };

std::vector<CStopWatchTimerDlg*>& Registry()
{
    static std::vector<CStopWatchTimerDlg*> open;
    return open;
}

void WarningBox(HWND owner, UINT textId)
{
    ShowMessageBoxEx(owner, LoadResString(textId), nullptr, MB_OK | MB_ICONWARNING | MB_TOPMOST);
}

}  // namespace

CStopWatchTimerDlg::CStopWatchTimerDlg(int multiplier) : CDialog(IDD_STOPWATCH), m_multiplier(multiplier)
{
    Registry().push_back(this);
}

CStopWatchTimerDlg::~CStopWatchTimerDlg()
{
    auto& open = Registry();
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
}

const std::vector<CStopWatchTimerDlg*>& CStopWatchTimerDlg::OpenStopWatches()
{
    return Registry();
}

void CStopWatchTimerDlg::CloseAll()
{
    // Each close takes its stopwatch out of the list.
    const std::vector<CStopWatchTimerDlg*> open = Registry();
    for (CStopWatchTimerDlg* dlg : open)
        if (dlg->m_hWnd) dlg->OnClose();
}

CString CStopWatchTimerDlg::ElapsedText(DWORD ms)
{
    ms = std::min(ms, kMaxShown);
    CString text;
    text.Format(L"%02u:%02u:%02u:%02u", ms / 3600000, ms % 3600000 / 60000, ms % 60000 / 1000, ms % 1000 / 10);
    return text;
}

int CStopWatchTimerDlg::MultiplierFor(int stored, int dpiY)
{
    if (stored >= 39) return 39;
    if (stored >= 1) return stored;
    if (dpiY == 96) return 1;
    if (dpiY < 192) return 2;
    if (dpiY < 288) return 3;
    if (dpiY < 384) return 4;
    if (dpiY < 480) return 5;
    return 6;
}

void CStopWatchTimerDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_SW_DISPLAY, m_display);
    DDX_Control(dx, IDC_SW_RESET, m_resetButton);
    DDX_Control(dx, IDC_SW_STOP, m_stopButton);
    DDX_Control(dx, IDC_SW_START, m_startButton);
}

BOOL CStopWatchTimerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const int m = m_multiplier;
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    m_cursor = ::LoadCursorW(inst, MAKEINTRESOURCEW(IDC_CLOCK_CURSOR));

    CBitmapHandle pictures(static_cast<HBITMAP>(
        ::LoadImageW(inst, MAKEINTRESOURCEW(IDB_STOPWATCH_BUTTONS), IMAGE_BITMAP, 40 * m, 8 * m, LR_CREATEDIBSECTION)));
    if (!pictures) ZN_LOG_ERROR(GetLastError(), L"LoadImage", LOG_ERROR);
    if (m_imageList.Create(10 * m, 8 * m, ILC_COLOR24 | ILC_MASK, 4, 0) && pictures)
        ImageList_AddMasked(m_imageList, pictures, kPictureKey);
    for (CSkinButton* b : {&m_startButton, &m_stopButton, &m_resetButton}) b->SetImageList(m_imageList);
    m_startButton.SetImageIndex(PICTURE_START);
    m_stopButton.SetImageIndex(PICTURE_STOP);
    m_resetButton.SetImageIndex(PICTURE_RESET);
    EnableToolTips();

    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 128 * m, 57 * m, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_display.SetScale(m);
    // The display's offset inside the well's two frames, as the panel is drawn at each multiplier.
    const int k = m == 1 ? 0 : (m == 4 || m == 5) ? 2 : 1;
    ::MoveWindow(m_display, 6 * m + k, 7 * m + k, 115 * m, 23 * m, FALSE);
    ::MoveWindow(m_startButton, 4 * m, 37 * m, 38 * m, 16 * m, FALSE);
    ::MoveWindow(m_stopButton, 45 * m, 37 * m, 38 * m, 16 * m, FALSE);
    ::MoveWindow(m_resetButton, 86 * m, 37 * m, 38 * m, 16 * m, FALSE);
    ShowZero();
    PositionWindow();
    if (GetSettingInt(Setting::kSWSA)) OnStartPause();
    return TRUE;
}

void CStopWatchTimerDlg::EnableToolTips()
{
    m_toolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!m_toolTip) {
        ZN_LOG_ERROR(GetLastError(), TOOLTIPS_CLASSW, LOG_ERROR);
        return;
    }
    for (HWND control : {m_display.m_hWnd, m_startButton.m_hWnd, m_stopButton.m_hWnd, m_resetButton.m_hWnd}) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        // The display's tip sits at the pointer; the buttons' are centred under them.
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS | (control == m_display.m_hWnd ? 0 : TTF_CENTERTIP);
        tool.hwnd = m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CStopWatchTimerDlg::DisableToolTips()
{
    if (m_toolTip) ::DestroyWindow(m_toolTip);
    m_toolTip = nullptr;
}

void CStopWatchTimerDlg::OnToolHitTest(NMTTDISPINFOW* info)
{
    HWND control = reinterpret_cast<HWND>(info->hdr.idFrom);
    UINT textId = 0;
    if (::IsWindowEnabled(control)) {
        if (control == m_display.m_hWnd) textId = IDS_SW_TIP_DISPLAY;
        else if (control == m_startButton.m_hWnd) textId = !m_timer ? IDS_SW_TIP_START : m_paused ? IDS_SW_TIP_RESUME : IDS_SW_TIP_PAUSE;
        else if (control == m_stopButton.m_hWnd) textId = IDS_SW_TIP_STOP;
        else if (control == m_resetButton.m_hWnd) textId = IDS_SW_TIP_RESET;
    }
    // The tip control reads the text after the notification returns: it lives in a member.
    m_tipText = textId ? LoadResString(textId) : CString();
    info->lpszText = const_cast<wchar_t*>(m_tipText.GetString());
}

void CStopWatchTimerDlg::PositionWindow()
{
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT window;
    GetWindowRect(&window);
    const int width = window.right - window.left, height = window.bottom - window.top;

    const int stored = GetSettingInt(Setting::kSXY);
    const bool useStored = stored != kPositionUnset;
    POINT pt = useStored ? POINT{static_cast<short>(LOWORD(stored)), static_cast<short>(HIWORD(stored))}
                         : POINT{work.left + 16, work.top + 16};
    RECT candidate{pt.x, pt.y, pt.x + width, pt.y + height};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromRect(&candidate, MONITOR_DEFAULTTONEAREST), &monitor);

    // A new stopwatch never hides exactly behind an open one.
    bool moved = false;
    for (int tries = 0; tries < 10; ++tries) {
        bool taken = false;
        for (CStopWatchTimerDlg* other : Registry()) {
            if (other == this || !other->m_hWnd) continue;
            RECT r;
            other->GetWindowRect(&r);
            if (r.left == pt.x && r.top == pt.y) taken = true;
        }
        if (!taken) break;
        pt.x += 42;
        pt.y += 64;
        moved = true;
    }
    const RECT& area = monitor.rcWork;
    if (pt.x < area.left || pt.y < area.top || pt.x + width > area.right || pt.y + height > area.bottom) {
        pt = POINT{area.left + 16, area.top + 16};
        if (useStored && !moved) WriteSettingInt(Setting::kSXY, static_cast<int>(MAKELONG(pt.x, pt.y)));
    }
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, pt.x, pt.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void CStopWatchTimerDlg::ShowElapsed(DWORD ms)
{
    if (ms > kMaxShown) {
        ms = kMaxShown;
        if (m_lastShown == kMaxShown) return;
    }
    m_lastShown = ms;
    m_display.SetText(ElapsedText(ms));
}

void CStopWatchTimerDlg::OnTimer(UINT_PTR id)
{
    // A tick already queued when the stopwatch stopped must not count on.
    if (id == kTimerId && m_timer && !m_paused) ShowElapsed(Elapsed());
}

void CStopWatchTimerDlg::OnStartPause()
{
    const DWORD now = m_tickCount();
    if (!m_timer) {
        m_timer = SetTimer(kTimerId, kTimerMs);
        if (!m_timer) {
            WarningBox(m_hWnd, IDS_SW_CANNOT_CREATE);
            return;
        }
        ShowZero();
        m_startButton.SetImageIndex(PICTURE_PAUSE);
        m_start = now;
        m_paused = FALSE;
        m_resetWhilePaused = FALSE;
    } else if (!m_paused) {
        m_paused = TRUE;
        m_pauseStart = now;
        // The panel holds the reading of the press itself, not of the last 25 ms tick.
        ShowElapsed(now - m_start);
        m_startButton.SetImageIndex(PICTURE_START);
    } else {
        if (m_resetWhilePaused) {
            m_start = now;
            m_resetWhilePaused = FALSE;
        } else {
            // Unsigned arithmetic: a tick count that wrapped meanwhile still gives the pause's length.
            m_start += now - m_pauseStart;
        }
        m_startButton.SetImageIndex(PICTURE_PAUSE);
        m_paused = FALSE;
    }
}

void CStopWatchTimerDlg::OnStop()
{
    const DWORD now = m_tickCount();
    if (m_timer) {
        // A running stopwatch keeps its reading: the one of the press, not of the last tick.
        if (!m_paused) ShowElapsed(now - m_start);
        KillTimer(kTimerId);
        m_timer = 0;
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_startButton.m_hWnd), TRUE);
        m_startButton.SetImageIndex(PICTURE_START);
        if (m_paused) {
            m_start = now;
            ShowZero();
        }
    }
    m_paused = FALSE;
}

void CStopWatchTimerDlg::OnReset()
{
    if (m_paused) m_resetWhilePaused = TRUE;
    else m_start = m_tickCount();
    ShowZero();
}

void CStopWatchTimerDlg::OnClose()
{
    KillTimer(kTimerId);
    m_timer = 0;
    DestroyWindow();
}

void CStopWatchTimerDlg::OnDestroy()
{
    DisableToolTips();
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (::GetWindowPlacement(m_hWnd, &placement))
        WriteSettingInt(Setting::kSXY, static_cast<int>(MAKELONG(placement.rcNormalPosition.left,
                                                                   placement.rcNormalPosition.top)));
    KillTimer(kTimerId);
    m_timer = 0;
    TrimWorkingSet();
}

void CStopWatchTimerDlg::PostNcDestroy()
{
    delete this;
}

void CStopWatchTimerDlg::OnContextMenu(POINT screen)
{
    if (screen.x == -1 || screen.y == -1) {
        // Asked for from the keyboard: near the panel's top-left corner.
        screen = POINT{0, 0};
        ::ClientToScreen(m_hWnd, &screen);
        screen.x += 7;
        screen.y += 7;
    }
    CMenuHandle bar(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_STOPWATCH_MENU)));
    if (!bar) {
        ZN_LOG_ERROR(GetLastError(), L"LoadMenu", LOG_ERROR);
        return;
    }
    HMENU popup = ::GetSubMenu(bar, 0);
    if (m_timer) {
        const CString text = LoadResString(m_paused ? IDS_SW_MENU_RESUME : IDS_SW_MENU_PAUSE);
        ::ModifyMenuW(popup, ID_SW_START, MF_BYCOMMAND | MF_STRING, ID_SW_START, text);
    }
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_hWnd, nullptr);
}

void CStopWatchTimerDlg::OnPaint()
{
    CPaintDC dc(this);
    const int m = m_multiplier;
    RECT r;
    GetClientRect(&r);
    for (int i = 0; i < 2; ++i) {
        dc.Draw3dRect(&r, kLight, kDark);
        ::InflateRect(&r, -1, -1);
    }
    dc.FillSolidRect(&r, kPanel);
    RECT well{4 * m, 5 * m, 124 * m, 33 * m};
    for (int i = 0; i < 2; ++i) {
        dc.Draw3dRect(&well, kDark, kLight);
        ::InflateRect(&well, -1, -1);
    }
    dc.FillSolidRect(&well, kWell);
}

BOOL CStopWatchTimerDlg::OnCommand(UINT id, UINT code, HWND)
{
    // A quick second click on an owner-drawn button comes as a double-click: it counts.
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return FALSE;
    switch (id) {
    case IDC_SW_START:
    case ID_SW_START:
        OnStartPause();
        return TRUE;
    case IDC_SW_STOP:
    case ID_SW_STOP:
        OnStop();
        return TRUE;
    case IDC_SW_RESET:
    case ID_SW_RESET:
        OnReset();
        return TRUE;
    case ID_SW_CLOSE:
        OnClose();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CStopWatchTimerDlg::OnNotify(NMHDR* header, LRESULT* result)
{
    if (header->code != TTN_GETDISPINFOW) return FALSE;
    OnToolHitTest(reinterpret_cast<NMTTDISPINFOW*>(header));
    *result = 0;
    return TRUE;
}

BOOL CStopWatchTimerDlg::PreTranslateMessage(MSG* msg)
{
    if ((msg->message == WM_KEYDOWN || msg->message == WM_CHAR) && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

LRESULT CStopWatchTimerDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TIMER:
        OnTimer(wp);
        return 0;
    case WM_DESTROY: {
        LRESULT r = CDialog::WindowProc(msg, wp, lp);
        OnDestroy();
        return r;
    }
    case WM_CONTEXTMENU:
    case WM_NCRBUTTONUP:
        OnContextMenu(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
        return 0;
    case WM_NCHITTEST:
        // The whole panel drags like a title bar.
        return HTCAPTION;
    case WM_NCMOUSEMOVE:
        if (m_cursor) ::SetCursor(m_cursor);
        break;
    case WM_SETCURSOR:
        return TRUE;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return 0;
    default:
        break;
    }
    return CDialog::WindowProc(msg, wp, lp);
}

CStopWatchTimerDlg* OpenStopWatch()
{
    const int multiplier = CStopWatchTimerDlg::MultiplierFor(GetSettingInt(Setting::kSWM), GetScreenDpiY());
    CWinApp* app = AfxGetApp();
    auto* dlg = new (std::nothrow) CStopWatchTimerDlg(multiplier);
    if (!dlg) {
        WarningBox(app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr, IDS_NO_MEMORY);
        return nullptr;
    }
    // No owner: an owned window follows its owner in the Z order, so raising the clock (or a
    // full-screen window covering it) would take every stopwatch out of the topmost band,
    // and activating the clock would bring up its last stopwatch instead. The clock closes
    // its stopwatches itself when it ends.
    if (!dlg->Create(IDD_STOPWATCH, ::GetDesktopWindow())) {
        ZN_LOG_ERROR(GetLastError(), L"CreateDialog", LOG_ERROR);
        // A window that was made and then failed has deleted its object already.
        const auto& open = CStopWatchTimerDlg::OpenStopWatches();
        if (std::find(open.begin(), open.end(), dlg) != open.end()) delete dlg;
        return nullptr;
    }
    dlg->ShowWindow(SW_SHOW);
    return dlg;
}
