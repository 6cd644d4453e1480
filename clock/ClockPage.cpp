#include "ClockPage.h"

#include "AddTimeZoneDlg.h"
#include "App.h"
#include "ChoozeColorDlg.h"
#include "ClockPageFormat.h"
#include "ClockLook.h"
#include "ColorHelpers.h"
#include "DigitClock.h"
#include "Globals.h"
#include "Log/LogMan.h"
#include "MessageBoxEx.h"
#include "OptionsSheet.h"
#include "RTLLayout.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportRegistry.h"
#include "SupportSettings.h"
#include "SupportText.h"
#include "SupportTools/SupportCheckUpdates.h"
#include "SupportUtilities.h"
#include "SoundOptionsDlg.h"
#include "SupportWindowsHelpers.h"
#include "resource.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

namespace {

CString ItemText(HWND dialog, int id)
{
    return CWnd::GetWindowText(GetDlgItem(dialog, id));
}

bool FileExists(const wchar_t* path)
{
    return path && *path && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

HICON LoadSmallAppIcon()
{
    const int size = COptionsSheet::SmallIconSize(GetSystemMetrics(SM_CXSMICON));
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
}

}  // namespace

const wchar_t* CClockPage::s_runValueName = nullptr;
const wchar_t* CClockPage::s_programPath = nullptr;
void (*CClockPage::s_openLink)(const wchar_t*) = nullptr;

CClockPage::CClockPage()
    : CPropertyPage(IDD_CLOCK_PAGE),
      m_runValueName(s_runValueName ? CString(s_runValueName) : LoadResString(IDS_APP_NAME)),
      m_programPath(s_programPath ? CString(s_programPath) : GetMainExePath())
{
}

CClockPage::Enabled CClockPage::EnablingRules(const EnableInput& in)
{
    Enabled e{};
    e.textColor = in.customColors;
    e.backColor = in.customColors && !in.transparent;
    e.font = in.customFont;
    e.border = !in.transparent;
    e.margins = !in.transparent;
    e.outlineColor = in.transparent && in.useOutline;
    e.thickness = in.transparent && in.useOutline;
    e.useOutline = in.transparent;
    e.reminderSource = in.reminders;
    return e;
}

int CClockPage::SpinMargins(int position, int delta)
{
    const long long value = static_cast<long long>(position) + delta;
    return value > 98 ? 99 : value < 1 ? 0 : static_cast<int>(value);
}

int CClockPage::SpinThickness(int position, int delta)
{
    const long long value = static_cast<long long>(position) + delta;
    return value > 98 ? 99 : value < 1 ? 1 : static_cast<int>(value);
}

int CClockPage::TypedMargins(const wchar_t* text)
{
    return static_cast<int>(std::min(ReadTypedUnsigned(text), 99u));
}

int CClockPage::TypedThickness(const wchar_t* text)
{
    return static_cast<int>(std::clamp(ReadTypedUnsigned(text), 1u, 99u));
}

BYTE CClockPage::ChosenFontQuality(int storedCfq, BYTE dialogQuality)
{
    const int cfq = storedCfq & 0xFF;
    if (cfq) return static_cast<BYTE>(std::min(cfq, 6));
    return dialogQuality <= 1 ? CLEARTYPE_QUALITY : dialogQuality;
}

CDigitClock* CClockPage::Clock() const
{
    CWinApp* app = AfxGetApp();
    auto* clock = app ? dynamic_cast<CDigitClock*>(app->m_pMainWnd) : nullptr;
    return clock && clock->m_hWnd && IsWindow(clock->m_hWnd) ? clock : nullptr;
}

ClockLook CClockPage::PageLook() const
{
    ClockLook look;
    look.customColours = m_customColors;
    look.background = m_backColor.GetColor();
    look.text = m_textColor.GetColor();
    look.outline = m_outlineColor.GetColor();
    look.customFont = m_customFont;
    look.font = m_fontData;
    look.useOutline = m_useOutline;
    look.thickness = m_thickness;
    look.border = m_border;
    look.reminders = m_reminders;
    look.margins = m_margins;
    look.lockRight = m_lockRight;
    look.format = m_format;
    look.alignment = m_alignment;
    look.transparent = m_transparent;
    return look;
}

void CClockPage::LoadSettings()
{
    CDigitClock* clock = Clock();
    const ClockLook look = ClockLook::Load();
    m_format = look.format;
    m_customColors = look.customColours;
    m_customFont = look.customFont;
    m_fontData = look.font;
    m_useOutline = look.useOutline;
    m_border = look.border;
    m_reminders = look.reminders;
    m_source = g_tipTarget;
    m_thickness = look.thickness;
    m_margins = look.margins;
    m_alignment = look.alignment;
    m_backColor.SetColor(look.background);
    m_textColor.SetColor(look.text);
    m_outlineColor.SetColor(look.outline);
    m_transparent = clock && clock->HasLayeredSupport() ? (look.transparent ? 1 : 0) : 0;
    m_lockPosition = GetSettingInt(Setting::kLW);
    m_lockRight = look.lockRight;
    m_soundEnabled = GetSettingInt(Setting::kSE);
    m_alwaysOnTop = GetSettingInt(Setting::kAT);
    m_fullScreen = GetSettingInt(Setting::kFSW);
    m_savedFirstDay = g_firstDayOfWeek;
    m_savedFirstWeek = g_firstWeekOfYear;
    m_savedPositionLocked = g_positionLocked;
    LoadStartupFlag();
}

void CClockPage::LoadStartupFlag()
{
    m_loadOnStartup = 0;
    if (!FileExists(m_programPath)) return;
    const CString expected = CString(L"\"") + m_programPath + L"\"";
    m_loadOnStartup = expected.CompareNoCase(ReadRunValue(m_runValueName)) == 0 ? 1 : 0;
}

void CClockPage::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_SOURCE_ICON, m_sourceIcon);
    DDX_Control(dx, IDC_SOURCE_LINK, m_link);
    DDX_Control(dx, IDC_ALIGNMENT, m_alignmentButton);
    DDX_Control(dx, IDC_FORMAT, m_formatEdit);
    DDX_Control(dx, IDC_MARGINS_SPIN, m_marginsSpin);
    DDX_Control(dx, IDC_THICKNESS_SPIN, m_thicknessSpin);
    DDX_Control(dx, IDC_TEXT_COLOR, m_textColor);
    DDX_Control(dx, IDC_BACK_COLOR, m_backColor);
    DDX_Control(dx, IDC_OUTLINE_COLOR, m_outlineColor);
    DDX_Control(dx, IDC_FIRST_DAY, m_firstDay);
    DDX_Control(dx, IDC_FIRST_WEEK, m_firstWeek);
    DDX_Control(dx, IDC_SOURCE, m_sourceList);
    // The check boxes that show their value as it is; "3D" (cleared while transparent) and
    // "FSW" (inverted) are set by hand.
    DDX_Check(dx, IDC_CUSTOM_COLORS, m_customColors);
    DDX_Check(dx, IDC_CUSTOM_FONT, m_customFont);
    DDX_Check(dx, IDC_USE_OUTLINE, m_useOutline);
    DDX_Check(dx, IDC_REMINDERS, m_reminders);
    DDX_Check(dx, IDC_LOCK_POSITION, m_lockPosition);
    DDX_Check(dx, IDC_LOCK_RIGHT, m_lockRight);
    DDX_Check(dx, IDC_ALWAYS_ON_TOP, m_alwaysOnTop);
    DDX_Check(dx, IDC_SOUND_ENABLED, m_soundEnabled);
    DDX_Check(dx, IDC_TRANSPARENT, m_transparent);
    DDX_Check(dx, IDC_LOAD_ON_STARTUP, m_loadOnStartup);
}

BOOL CClockPage::OnInitDialog()
{
    LoadSettings();
    // A check box holds 0 or 1: any other stored value counts as on.
    auto asCheck = [](int v) { return v ? 1 : 0; };
    m_customColors = asCheck(m_customColors);
    m_customFont = asCheck(m_customFont);
    m_useOutline = asCheck(m_useOutline);
    m_reminders = asCheck(m_reminders);
    m_lockPosition = asCheck(m_lockPosition);
    m_lockRight = asCheck(m_lockRight);
    m_alwaysOnTop = asCheck(m_alwaysOnTop);
    m_soundEnabled = asCheck(m_soundEnabled);
    CPropertyPage::OnInitDialog();
    CDigitClock* clock = Clock();
    const HINSTANCE inst = GetModuleHandleW(nullptr);

    m_alignmentButton.SetImage(IDB_ALIGNMENT, 16);
    m_alignmentButton.SetImageIndex(m_alignment);

    m_formatEdit.LimitText(kFormatLimit);
    m_formatEdit.SetWindowText(m_format);
    m_selStart = m_selEnd = GetWindowTextLengthW(m_formatEdit);
    m_formatEdit.SetSel(m_selStart, m_selEnd);

    m_textColor.SetColor(NearestColor(m_textColor.GetColor()));
    m_backColor.SetColor(NearestColor(m_backColor.GetColor()));
    m_outlineColor.SetColor(NearestColor(m_outlineColor.GetColor()));

    m_hand.Reset(static_cast<HCURSOR>(LoadImageW(inst, MAKEINTRESOURCEW(IDC_CLOCK_CURSOR), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)));
    m_arrow = LoadCursorW(nullptr, IDC_ARROW);

    LOGFONTW linkFont{};
    if (GetObjectW(m_link.GetFont() ? m_link.GetFont() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)),
                   sizeof(linkFont), &linkFont)) {
        linkFont.lfUnderline = TRUE;
        m_linkFont.Reset(CreateFontIndirectW(&linkFont));
        if (m_linkFont) m_link.SetFont(m_linkFont);
    }

    m_font.Reset(CreateFontIndirectW(&m_fontData));
    SetFontLabel();

    EnableWindow(GetDlgItem(IDC_TRANSPARENT), clock && clock->HasLayeredSupport());
    CheckDlgButton(m_hWnd, IDC_SHOW_BORDER, m_transparent ? BST_UNCHECKED : (m_border ? BST_CHECKED : BST_UNCHECKED));
    CheckDlgButton(m_hWnd, IDC_FULL_SCREEN, m_fullScreen == 0 ? BST_CHECKED : BST_UNCHECKED);
    ApplyEnablingRules();

    m_marginsSpin.SetRange(0, 99);
    m_marginsSpin.SetPos(m_transparent ? 0 : m_margins);
    m_thicknessSpin.SetRange(1, 99);
    m_thicknessSpin.SetPos(m_thickness);
    EnableWindow(GetDlgItem(IDC_FIND_CLOCK), !m_lockPosition);
    EnableWindow(GetDlgItem(IDC_FULL_SCREEN), m_alwaysOnTop);
    EnableWindow(GetDlgItem(IDC_LOAD_ON_STARTUP), FileExists(m_programPath));
    EnableWindow(GetDlgItem(IDC_SOUND_OPTIONS), m_soundEnabled);

    for (LCTYPE day = LOCALE_SDAYNAME1; day <= LOCALE_SDAYNAME7; ++day) {
        wchar_t name[80] = L"";
        GetLocaleInfoW(LOCALE_USER_DEFAULT, day, name, 80);
        m_firstDay.AddString(name);
    }
    m_firstDay.SetCurSel(g_firstDayOfWeek);
    for (UINT id : {IDS_FIRST_WEEK_JAN1, IDS_FIRST_WEEK_FOUR_DAYS, IDS_FIRST_WEEK_FULL}) m_firstWeek.AddString(LoadResString(id));
    m_firstWeek.SetCurSel(g_firstWeekOfYear);
    for (UINT id : {IDS_SOURCE_ORGANIZER, IDS_SOURCE_CALENDAR, IDS_SOURCE_CALENDAR_NET}) m_sourceList.AddString(LoadResString(id));
    m_source = SourceIndex(m_source);
    m_sourceList.SetCurSel(m_source);
    SetSourceIcon();

    ApplyRTLLayout(m_hWnd);
    m_initialised = TRUE;
    return FALSE;
}

void CClockPage::SetFontLabel()
{
    CString label;
    label.Format(LoadResString(IDS_FONT_LABEL), m_fontData.lfFaceName, FontPoints(m_fontData, GetScreenDpiY()));
    HWND h = GetDlgItem(IDC_FONT_LABEL);
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
    ::SetWindowTextW(h, label);
}

void CClockPage::SetSourceIcon()
{
    const int size = MulDiv(16, GetScreenDpiY(), 96);
    m_icon.Reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SOURCE_ORGANIZER + m_source),
                                               IMAGE_ICON, size, size, 0)));
    m_sourceIcon.SetIcon(m_icon);
}

void CClockPage::ApplyEnablingRules()
{
    const Enabled e = EnablingRules({m_customColors != 0, m_customFont != 0, m_transparent != 0, m_useOutline != 0,
                                     m_reminders != 0});
    const struct { int id; bool on; } items[] = {
        {IDC_TEXT_COLOR, e.textColor},         {IDC_TEXT_COLOR_LABEL, e.textColor},
        {IDC_BACK_COLOR, e.backColor},         {IDC_BACK_COLOR_LABEL, e.backColor},
        {IDC_FONT_LABEL, e.font},              {IDC_CHANGE_FONT, e.font},
        {IDC_SHOW_BORDER, e.border},           {IDC_MARGINS_LABEL, e.margins},
        {IDC_MARGINS_EDIT, e.margins},         {IDC_MARGINS_SPIN, e.margins},
        {IDC_OUTLINE_COLOR, e.outlineColor},   {IDC_THICKNESS_LABEL, e.thickness},
        {IDC_THICKNESS_EDIT, e.thickness},     {IDC_THICKNESS_SPIN, e.thickness},
        {IDC_USE_OUTLINE, e.useOutline},       {IDC_SOURCE, e.reminderSource},
        {IDC_SOURCE_ICON, e.reminderSource},   {IDC_SOURCE_LINK, e.reminderSource},
    };
    for (const auto& item : items) EnableWindow(GetDlgItem(item.id), item.on);
}

void CClockPage::ApplyOutline() const
{
    if (CDigitClock* clock = Clock()) clock->SetOutline(m_useOutline, m_outlineColor.GetColor(), m_thickness);
}

void CClockPage::ApplyColours() const
{
    if (CDigitClock* clock = Clock()) clock->SetCustomColours(m_backColor.GetColor(), m_textColor.GetColor());
}

BOOL CClockPage::OnCommand(UINT id, UINT code, HWND)
{
    switch (id) {
    case IDC_FORMAT:
        if (code == EN_CHANGE) OnFormatChange();
        else if (code == EN_KILLFOCUS) m_formatEdit.GetSel(m_selStart, m_selEnd);
        else if (code == EN_SETFOCUS) m_formatEdit.SetSel(m_selStart, m_selEnd);
        else return FALSE;
        return TRUE;
    case IDC_MARGINS_EDIT:
        if (code != EN_CHANGE) return FALSE;
        OnMarginsChange();
        return TRUE;
    case IDC_THICKNESS_EDIT:
        if (code != EN_CHANGE) return FALSE;
        OnThicknessChange();
        return TRUE;
    case IDC_SOURCE:
        if (code != CBN_SELCHANGE) return FALSE;
        OnSourceChange();
        return TRUE;
    case IDC_FIRST_DAY:
    case IDC_FIRST_WEEK: {
        if (code != CBN_SELENDOK) return FALSE;
        const int sel = std::max(static_cast<int>(SendDlgItemMessageW(m_hWnd, static_cast<int>(id), CB_GETCURSEL, 0, 0)), 0);
        (id == IDC_FIRST_DAY ? g_firstDayOfWeek : g_firstWeekOfYear) = sel;
        m_modified = TRUE;
        return TRUE;
    }
    default:
        break;
    }
    if (code != BN_CLICKED) return FALSE;
    switch (id) {
    case IDC_TEXT_COLOR:
        OnColorButton(m_textColor);
        return TRUE;
    case IDC_BACK_COLOR:
        OnColorButton(m_backColor);
        return TRUE;
    case IDC_OUTLINE_COLOR:
        OnColorButton(m_outlineColor);
        return TRUE;
    case IDC_CHANGE_FONT:
        OnChangeFont();
        return TRUE;
    case IDC_FIND_CLOCK:
        OnFindClockWindow();
        return TRUE;
    case IDC_DATE:
    case IDC_TIME:
    case IDC_SAMPLES:
    case IDC_SEPARATOR:
        OnFormatMenu(id);
        return TRUE;
    case IDC_ALIGNMENT:
        OnAlignmentMenu();
        return TRUE;
    case IDC_TIME_ZONE:
        OnTimeZone();
        return TRUE;
    case IDC_SOUND_OPTIONS:
        OnSoundOptions();
        return TRUE;
    case IDC_PREPARE_LOGS:
        OnPrepareLogs();
        return TRUE;
    case IDC_CHECK_UPDATES:
        // The whole sheet waits for the answer, as it does for "Prepare Logs...".
        RunCheckForUpdates(GetSheetWindow());
        return TRUE;
    case IDC_RESET_FORMAT:
        // The edit's change notice previews it like any edit.
        m_formatEdit.SetWindowText(GetDefaultClockFormat());
        return TRUE;
    case IDC_TRANSPARENT:
        OnTransparent();
        return TRUE;
    case IDC_SHOW_BORDER:
    case IDC_ALWAYS_ON_TOP:
    case IDC_CUSTOM_COLORS:
    case IDC_CUSTOM_FONT:
    case IDC_SOUND_ENABLED:
    case IDC_LOCK_RIGHT:
    case IDC_LOCK_POSITION:
    case IDC_FULL_SCREEN:
    case IDC_REMINDERS:
    case IDC_USE_OUTLINE:
        OnCheck(id);
        return TRUE;
    default:
        return FALSE;
    }
}

void CClockPage::OnFormatChange()
{
    if (!m_initialised) return;
    m_format = ItemText(m_hWnd, IDC_FORMAT);
    m_modified = TRUE;
    if (CDigitClock* clock = Clock()) clock->SetFormat(m_format, FALSE);
}

void CClockPage::OnMarginsChange()
{
    if (!m_initialised || m_transparent) return;
    m_margins = TypedMargins(ItemText(m_hWnd, IDC_MARGINS_EDIT));
    m_modified = TRUE;
    if (CDigitClock* clock = Clock()) clock->SetMargins(m_margins);
}

void CClockPage::OnThicknessChange()
{
    if (!m_initialised || !m_transparent || !m_useOutline) return;
    m_thickness = TypedThickness(ItemText(m_hWnd, IDC_THICKNESS_EDIT));
    m_modified = TRUE;
    ApplyOutline();
}

void CClockPage::OnCheck(UINT id)
{
    const int checked = IsDlgButtonChecked(m_hWnd, static_cast<int>(id)) == BST_CHECKED ? 1 : 0;
    CDigitClock* clock = Clock();
    m_modified = TRUE;
    switch (id) {
    case IDC_SHOW_BORDER:
        m_border = checked;
        if (clock) clock->SetShowBorder(m_border);
        break;
    case IDC_ALWAYS_ON_TOP:
        m_alwaysOnTop = checked;
        EnableWindow(GetDlgItem(IDC_FULL_SCREEN), m_alwaysOnTop);
        if (clock) {
            clock->SetAlwaysOnTop(m_alwaysOnTop);
            SetWindowPos(clock->m_hWnd, m_alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
        }
        break;
    case IDC_CUSTOM_COLORS:
        m_customColors = checked;
        ApplyEnablingRules();
        if (!clock) break;
        if (m_customColors) ApplyColours();
        else clock->UseSystemColours();
        break;
    case IDC_CUSTOM_FONT:
        m_customFont = checked;
        ApplyEnablingRules();
        if (clock) clock->SetClockFont(m_customFont ? &m_fontData : nullptr);
        break;
    case IDC_SOUND_ENABLED:
        // Applied on OK.
        m_soundEnabled = checked;
        EnableWindow(GetDlgItem(IDC_SOUND_OPTIONS), m_soundEnabled);
        break;
    case IDC_LOCK_RIGHT:
        m_lockRight = checked;
        if (clock) clock->SetLockRightBorder(m_lockRight);
        break;
    case IDC_LOCK_POSITION:
        m_lockPosition = checked;
        g_positionLocked = m_lockPosition;
        EnableWindow(GetDlgItem(IDC_FIND_CLOCK), !m_lockPosition);
        break;
    case IDC_FULL_SCREEN:
        m_fullScreen = checked ? 0 : 1;
        if (clock) clock->SetWatchFullScreen(m_fullScreen);
        break;
    case IDC_REMINDERS:
        m_reminders = checked;
        ApplyEnablingRules();
        if (clock) clock->SetShowReminders(m_reminders);
        break;
    case IDC_USE_OUTLINE:
        m_useOutline = checked;
        ApplyEnablingRules();
        ApplyOutline();
        break;
    default:
        break;
    }
}

void CClockPage::OnTransparent()
{
    m_transparent = IsDlgButtonChecked(m_hWnd, IDC_TRANSPARENT) == BST_CHECKED ? 1 : 0;
    m_modified = TRUE;
    if (m_transparent) {
        CheckDlgButton(m_hWnd, IDC_SHOW_BORDER, BST_UNCHECKED);
        m_marginsSpin.SetPos(0);
    } else {
        CheckDlgButton(m_hWnd, IDC_SHOW_BORDER, m_border ? BST_CHECKED : BST_UNCHECKED);
        m_marginsSpin.SetPos(m_margins);
    }
    ApplyEnablingRules();
    if (CDigitClock* clock = Clock()) clock->SetTransparent(m_transparent);
}

void CClockPage::OnColorButton(CColorPickerButton& button)
{
    CChoozeColorDlg::SetCurrentColor(button.GetColor());
    CChoozeColorDlg popup(&button, m_hWnd);
    if (popup.DoModal() != IDOK) return;
    const COLORREF chosen = NearestColor(CChoozeColorDlg::GetCurrentColor());
    m_modified = TRUE;
    if (chosen != button.GetColor()) {
        button.SetColor(chosen);
        button.Invalidate();
    }
    if (&button == &m_outlineColor) ApplyOutline();
    else ApplyColours();
}

void CClockPage::OnChangeFont()
{
    CFontDialog dialog(&m_fontData, CF_SCREENFONTS | CF_SCALABLEONLY, m_hWnd);
    if (dialog.DoModal() != IDOK) return;
    LOGFONTW chosen = dialog.GetCurrentFont();
    if (!ClockLook::IsDrawableFace(chosen.lfFaceName)) ZN_LOG(LOG_WARNING, chosen.lfFaceName);
    m_modified = TRUE;
    chosen.lfQuality = ChosenFontQuality(GetSettingInt(Setting::kCFQ), chosen.lfQuality);
    m_fontData = chosen;
    m_font.Reset(CreateFontIndirectW(&m_fontData));
    SetFontLabel();
    if (CDigitClock* clock = Clock()) {
        clock->SetClockFont(&m_fontData);
        clock->AdjustWindowPos((clock->GetExStyle() & WS_EX_LAYERED) != 0, FALSE);
    }
}

void CClockPage::OnSourceChange()
{
    const int sel = SourceIndex(m_sourceList.GetCurSel());
    if (sel == m_source) return;
    m_source = sel;
    m_modified = TRUE;
    SetSourceIcon();
}

void CClockPage::OnFindClockWindow()
{
    CDigitClock* clock = Clock();
    if (!clock) return;
    RECT probe{100, 100, 200, 200};
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromRect(&probe, MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& work = info.rcWork;
    RECT window;
    clock->GetWindowRect(&window);
    const int x = work.right - 30 - (window.right - window.left), y = work.top + 30;
    SetWindowPos(clock->m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ZN_LOG(LOG_WARNING, L"swp " << x << L"," << y);
    ZN_LOG(LOG_WARNING, L"FCW");
    clock->SavePlacement();
    CString message = LoadResString(IDS_CLOCK_MOVED);
    if (m_transparent) {
        CheckDlgButton(m_hWnd, IDC_TRANSPARENT, BST_UNCHECKED);
        OnTransparent();
        message += LoadResString(IDS_CLOCK_MOVED_TRANSPARENT);
    }
    message += LoadResString(IDS_CLOCK_MOVED_END);
    clock->GetWindowRect(&window);
    ZN_LOG(LOG_WARNING, window.left << L"," << window.top << L", " << (window.right - window.left) << L"x"
                                    << (window.bottom - window.top));
    ZN_LOG(LOG_WARNING, work.left << L"," << work.top << L", " << (work.right - work.left) << L"x"
                                  << (work.bottom - work.top));
    ShowMessageBoxEx(m_hWnd, message, nullptr, MB_OK | MB_ICONINFORMATION);
}

void CClockPage::OnSoundOptions()
{
    // Without an audio device there is no session: the dialog then leaves the volume alone.
    RunSoundOptions(m_hWnd, GetAppAudioSession());
}

void CClockPage::OnPrepareLogs()
{
    ZN_LOG(LOG_INFO, L"Prepare Logs");
    const CString log = GetLogFilePath();
    if (GetKeyState(VK_SHIFT) < 0 && FileExists(log)) {
        ZN_LOG(LOG_INFO, log.GetString());
        OpenTextFileInEditor(log);
        return;
    }
    if (auto* app = dynamic_cast<CApp*>(AfxGetApp()))
        app->PrepareAndSendLogs(GetSheetWindow(), 0, 2, 1, 0, TRUE, nullptr, nullptr, nullptr);
}

BOOL CClockPage::OnKillActive()
{
    if (m_initialised && CString(m_format).Trim().IsEmpty()) {
        ::SetFocus(m_formatEdit);
        ShowMessageBoxEx(m_hWnd, LoadResString(IDS_FORMAT_EMPTY), nullptr, MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
        return FALSE;
    }
    return CPropertyPage::OnKillActive();
}

void CClockPage::SaveStartupFlag()
{
    if (m_loadOnStartup && FileExists(m_programPath)) {
        bool keyOpened = false;
        const LSTATUS status = WriteRunValue(m_runValueName, CString(L"\"") + m_programPath + L"\"", &keyOpened);
        // Only a value that cannot be set is the user's business; a Run key that cannot be
        // opened is logged and leaves the option as it was.
        if (status != ERROR_SUCCESS && keyOpened) {
            m_loadOnStartup = 0;
            CString text;
            text.Format(LoadResString(IDS_RUN_SAVE_FAILED), static_cast<unsigned>(status));
            ShowMessageBoxEx(m_hWnd, text, nullptr, MB_OK | MB_ICONWARNING);
        }
        return;
    }
    DeleteRunValue(m_runValueName);
}

void CClockPage::ApplyTrayIcon(CDigitClock* clock, int alwaysOnTop)
{
    if (alwaysOnTop) {
        if (clock->HasTrayIcon()) clock->NotifyIcon(NIM_DELETE, 0, nullptr);
    } else if (!clock->HasTrayIcon()) {
        clock->NotifyIcon(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, LoadSmallAppIcon());
    }
}

void CClockPage::SaveSettings()
{
    ZN_LOG(LOG_INFO, L"OK");
    SaveStartupFlag();
    if (!m_modified) return;
    ClockLook look = PageLook();
    look.Save();
    WriteSettingInt(Setting::kTPS, m_source);
    g_tipTarget = m_source;
    WriteSettingInt(Setting::kLW, m_lockPosition);
    WriteSettingInt(Setting::kSE, m_soundEnabled);
    WriteSettingInt(Setting::kAT, m_alwaysOnTop);
    WriteSettingInt(Setting::kFSW, m_fullScreen);
    WriteSettingInt(Setting::kFWOY, g_firstWeekOfYear);
    WriteSettingInt(Setting::kFDOW, g_firstDayOfWeek);
    CDigitClock* clock = Clock();
    if (!clock) return;
    clock->SavePlacement();
    ApplyTrayIcon(clock, m_alwaysOnTop);
    clock->EnableSound(m_soundEnabled);
    if (look.KeepOutlineDrawable() == ClockLook::OutlineFace::Dropped) {
        m_useOutline = 0;
        const ClockLook stored = ClockLook::Load();
        clock->SetOutline(0, stored.outline, stored.thickness);
    }
    clock->SetFormat(m_format, TRUE);
}

void CClockPage::OnCancel()
{
    ZN_LOG(LOG_INFO, L"CANCEL");
    CDigitClock* clock = Clock();
    if (m_modified) {
        // Process-wide values change at once on the page, with or without a clock window.
        g_firstDayOfWeek = m_savedFirstDay;
        g_firstWeekOfYear = m_savedFirstWeek;
        g_positionLocked = m_savedPositionLocked;
    }
    if (clock && m_modified) {
        const ClockLook stored = ClockLook::Load();
        stored.ApplyTo(*clock, FALSE);
        clock->SetTransparent(stored.transparent);
        clock->SetAlwaysOnTop(GetSettingInt(Setting::kAT));
        clock->SetWatchFullScreen(GetSettingInt(Setting::kFSW));
        SetWindowPos(clock->m_hWnd, clock->AlwaysOnTop() ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
        ApplyTrayIcon(clock, clock->AlwaysOnTop());
    }
    if (clock && !clock->AlwaysOnTop()) {
        // In front of the other normal windows again.
        SetWindowPos(clock->m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
        SetWindowPos(clock->m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
    }
    CPropertyPage::OnCancel();
}

BOOL CClockPage::OnNotify(NMHDR* header, LRESULT* result)
{
    if (header->code != UDN_DELTAPOS) return FALSE;
    const auto* change = reinterpret_cast<NMUPDOWN*>(header);
    CDigitClock* clock = Clock();
    if (header->idFrom == IDC_MARGINS_SPIN) {
        m_margins = SpinMargins(change->iPos, change->iDelta);
        m_modified = TRUE;
        if (clock) clock->SetMargins(m_margins);
    } else if (header->idFrom == IDC_THICKNESS_SPIN) {
        m_thickness = SpinThickness(change->iPos, change->iDelta);
        m_modified = TRUE;
        ApplyOutline();
    } else {
        return FALSE;
    }
    *result = 0;
    return TRUE;
}

bool CClockPage::IsOverLink(POINT client) const
{
    RECT r;
    m_link.GetWindowRect(&r);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    return PtInRect(&r, client) != FALSE;
}

BOOL CClockPage::OnSetCursor(HWND window, UINT hitTest)
{
    if (window != m_hWnd || hitTest != HTCLIENT) return FALSE;
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(m_hWnd, &pt);
    SetCursor(m_reminders && m_hand && (m_linkCaptured || IsOverLink(pt)) ? m_hand.Get() : m_arrow);
    return TRUE;
}

void CClockPage::OnLButtonDown(POINT pt)
{
    if (!m_reminders || !IsOverLink(pt)) return;
    SetCapture(m_hWnd);
    m_linkCaptured = TRUE;
}

CString CClockPage::LinkAddress() const
{
    const StrId page = m_source == 1 ? SID_CALENDAR_INFO_URL : m_source == 2 ? SID_CALENDAR_NET_INFO_URL : SID_ORGANIZER_INFO_URL;
    return CString(GetStr(page)) + L"&" + GetStr(SID_VERSION_QUERY) + GetStr(SID_VERSION_FULL);
}

void CClockPage::OnLButtonUp(POINT pt)
{
    if (!m_linkCaptured) return;
    m_linkCaptured = FALSE;
    ReleaseCapture();
    if (!IsOverLink(pt)) return;
    if (s_openLink) s_openLink(LinkAddress());
    else ShellExecuteOpen(LinkAddress(), TRUE, m_hWnd);
}

void CClockPage::OnCaptureChanged(HWND newCapture)
{
    // A press whose capture went elsewhere (Alt+Tab, a box) is over: a later release over
    // the link is not a click on it.
    if (newCapture != m_hWnd) m_linkCaptured = FALSE;
}

HBRUSH CClockPage::OnCtlColorStatic(HDC dc, HWND control)
{
    HBRUSH brush = reinterpret_cast<HBRUSH>(CPropertyPage::WindowProc(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                                      reinterpret_cast<LPARAM>(control)));
    if (control == m_link.m_hWnd && m_reminders) SetTextColor(dc, RGB(0, 0, 255));
    return brush;
}

void CClockPage::OnDestroy()
{
    m_sourceIcon.SetIcon(nullptr);
    m_icon.Reset();
    m_hand.Reset();
    m_font.Reset();
    m_linkFont.Reset();
}

LRESULT CClockPage::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wp), LOWORD(lp))) return TRUE;
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(reinterpret_cast<HWND>(lp));
        break;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case WM_DESTROY: {
        LRESULT r = CPropertyPage::WindowProc(msg, wp, lp);
        OnDestroy();
        return r;
    }
    default:
        break;
    }
    return CPropertyPage::WindowProc(msg, wp, lp);
}

// The display-format builder: the menus of format codes, the alignment menu and the
// further-zone token, each put into the format edit at the caret.
namespace {

enum FormatPopup { kDatePopup = 0, kTimePopup = 1, kSamplesPopup = 2, kSeparatorPopup = 3, kAlignmentPopup = 4 };
// The "Space" item of the Separator menu carries no code: it puts in a blank.
const UINT kSpaceItem = 6060;

} // namespace

void CClockPage::InsertFormatToken(const wchar_t* code, BOOL autoSeparate)
{
    if (!code || !*code || !m_formatEdit.m_hWnd) return;
    int start = 0, end = 0;
    m_formatEdit.GetSel(start, end);
    const CString text = m_formatEdit.GetWindowText();
    const CString token = SeparatedToken(text, start, end, code, autoSeparate);
    // The edit would cut a longer insertion at its limit, and half a code (one quote of
    // "''") would swallow the rest of the display.
    if (text.GetLength() - (end - start) + token.GetLength() > kFormatLimit) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    m_formatEdit.ReplaceSel(token, TRUE);
    // A second code through a button goes after this one.
    m_formatEdit.GetSel(m_selStart, m_selEnd);
}

UINT CClockPage::TrackFormatMenu(UINT buttonId, int popupIndex, CMenuHandle& menu, HMENU* popup)
{
    menu.Reset(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_FORMAT_MENU)));
    *popup = menu ? GetSubMenu(menu, popupIndex) : nullptr;
    if (!*popup) return 0;
    RECT button{};
    ::GetWindowRect(GetDlgItem(static_cast<int>(buttonId)), &button);
    return static_cast<UINT>(TrackPopupMenu(*popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                            button.left, button.bottom, 0, m_hWnd, nullptr));
}

void CClockPage::OnFormatMenu(UINT buttonId)
{
    const int popupIndex = buttonId == IDC_DATE ? kDatePopup
                         : buttonId == IDC_TIME ? kTimePopup
                         : buttonId == IDC_SAMPLES ? kSamplesPopup : kSeparatorPopup;
    CMenuHandle menu;
    HMENU popup = nullptr;
    const UINT command = TrackFormatMenu(buttonId, popupIndex, menu, &popup);
    if (!command) return;
    if (command == kSpaceItem) {
        InsertFormatToken(L" ", TRUE);
        return;
    }
    wchar_t item[128] = L"";
    GetMenuStringW(popup, command, item, static_cast<int>(std::size(item)), MF_BYCOMMAND);
    if (const wchar_t* tab = wcschr(item, L'\t')) InsertFormatToken(tab + 1, TRUE);
}

void CClockPage::OnAlignmentMenu()
{
    CMenuHandle menu;
    HMENU popup = nullptr;
    const UINT command = TrackFormatMenu(IDC_ALIGNMENT, kAlignmentPopup, menu, &popup);
    if (!command) return;
    m_alignment = command == ID_ALIGN_RIGHT ? 1 : command == ID_ALIGN_CENTRED ? 2 : 0;
    m_alignmentButton.SetImageIndex(m_alignment);
    m_alignmentButton.Invalidate();
    if (CDigitClock* clock = Clock()) clock->SetAlignment(m_alignment);
    m_modified = TRUE;
}

void CClockPage::OnTimeZone()
{
    // The selection goes, the caret stays: the token goes where the caret is.
    m_formatEdit.SendMessage(EM_SETSEL, static_cast<WPARAM>(-1), 0);
    m_formatEdit.SendMessage(EM_SCROLLCARET);
    CAddTimeZoneDlg dlg(m_hWnd);
    if (dlg.DoModal() != IDOK) return;
    int start = 0, end = 0;
    m_formatEdit.GetSel(start, end);
    const CString text = m_formatEdit.GetWindowText();
    // Room for the token and the two hidden separators it may get.
    const int room = kFormatLimit - (text.GetLength() - (end - start)) -
                     (SeparatedToken(text, start, end, L"[", TRUE).GetLength() - 1);
    const CString token = ZoneToken(dlg.m_label, dlg.m_number, room);
    if (token.IsEmpty()) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    InsertFormatToken(token, TRUE);
}
