#include "SoundOptionsDlg.h"

#include "App.h"
#include "DigitClock.h"
#include "Globals.h"
#include "LocaleTimeFormats.h"
#include "Log/LogMan.h"
#include "Multimedia/AudioSessionVolume.h"
#include "RTLLayout.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportSettings.h"
#include "SupportWindowsVersion.h"
#include "WSoundThread.h"
#include "resource.h"

#include <algorithm>
#include <string>

namespace {

const int kLevelVista = 3;
const UINT kWestminsterControls[] = {IDC_SO_HOURLY, IDC_SO_HALF, IDC_SO_QUARTER,
                                     IDC_SO_TEST_HOURLY, IDC_SO_TEST_HALF, IDC_SO_TEST_QUARTER};

int Flag(int value)
{
    return value ? 1 : 0;
}

}  // namespace

const CSoundOptionsDlg::FileRow CSoundOptionsDlg::kFileRows[4] = {
    {IDC_SO_FULL_HOUR, IDC_SO_FULL_HOUR_FILE, IDC_SO_FULL_HOUR_BROWSE, IDC_SO_FULL_HOUR_TEST,
     &CSoundOptionsDlg::m_fullHourPath},
    {IDC_SO_HALF_HOUR, IDC_SO_HALF_HOUR_FILE, IDC_SO_HALF_HOUR_BROWSE, IDC_SO_HALF_HOUR_TEST,
     &CSoundOptionsDlg::m_halfHourPath},
    {IDC_SO_FIRST_QUARTER, IDC_SO_FIRST_QUARTER_FILE, IDC_SO_FIRST_QUARTER_BROWSE, IDC_SO_FIRST_QUARTER_TEST,
     &CSoundOptionsDlg::m_firstQuarterPath},
    {IDC_SO_THIRD_QUARTER, IDC_SO_THIRD_QUARTER_FILE, IDC_SO_THIRD_QUARTER_BROWSE, IDC_SO_THIRD_QUARTER_TEST,
     &CSoundOptionsDlg::m_thirdQuarterPath},
};

CSoundOptionsDlg::CSoundOptionsDlg(HWND parent, CAudioSessionVolume* session)
    : CDialog(IDD_SOUND_OPTIONS, parent), m_session(session)
{
    m_periodStart.SetStatus(COleDateTime::null);
    m_periodEnd.SetStatus(COleDateTime::null);
}

DWORD CSoundOptionsDlg::PackPeriod(const COleDateTime& start, const COleDateTime& end)
{
    auto pack = [](const COleDateTime& t) -> DWORD {
        const int hour = t.GetStatus() == COleDateTime::valid ? t.GetHour() : -1;
        const int minute = t.GetStatus() == COleDateTime::valid ? t.GetMinute() : -1;
        if (hour < 0 || minute < 0) return 0xFFFF;
        return static_cast<DWORD>(minute) | static_cast<DWORD>(hour) << 8;
    };
    return pack(start) | pack(end) << 16;
}

void CSoundOptionsDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_SO_FROM, m_from);
    DDX_Control(dx, IDC_SO_TO, m_to);
    DDX_Control(dx, IDC_SO_VOLUME, m_volumeSlider);
    DDX_Radio(dx, IDC_SO_NO_SOUND, m_mode);
    DDX_Check(dx, IDC_SO_HOURLY, m_hourly);
    DDX_Check(dx, IDC_SO_HALF, m_halfChime);
    DDX_Check(dx, IDC_SO_QUARTER, m_quarterChime);
    DDX_Check(dx, IDC_SO_FULL_HOUR, m_fullHour);
    DDX_Check(dx, IDC_SO_HALF_HOUR, m_halfHour);
    DDX_Check(dx, IDC_SO_FIRST_QUARTER, m_firstQuarter);
    DDX_Check(dx, IDC_SO_THIRD_QUARTER, m_thirdQuarter);
    DDX_Check(dx, IDC_SO_HOUR_ONCE, m_hourOnce);
    DDX_Check(dx, IDC_SO_PERIOD, m_periodOn);
    for (int i = 0; i < 7; ++i) DDX_Check(dx, IDC_SO_DAY_FIRST + i, m_days[i]);
    DDX_Check(dx, IDC_SO_SCREEN_SAVER, m_screenSaver);
    DDX_Check(dx, IDC_SO_FULL_SCREEN, m_fullScreen);
    DDX_Check(dx, IDC_SO_ADJUST_VOLUME, m_adjustVolume);
    if (dx->m_bSaveAndValidate) m_volume = m_volumeSlider.GetPos();
}

void CSoundOptionsDlg::LoadValues()
{
    const int mode = GetSettingInt(Setting::kCH0);
    m_mode = mode < 0 ? 0 : std::min(mode, 2);
    const int westminster = GetSettingInt(Setting::kCH1);
    m_hourly = Flag(westminster & 0xFF);
    m_halfChime = Flag(westminster & 0xFF00);
    m_quarterChime = Flag(westminster > 0xFFFF);
    const int custom = GetSettingInt(Setting::kCH2);
    m_fullHour = Flag(custom & 0xFF);
    m_halfHour = Flag(custom & 0xFF00);
    m_firstQuarter = Flag(custom & 0xFF0000);
    m_thirdQuarter = Flag(custom > 0xFFFFFF);
    m_hourOnce = Flag(GetSettingInt(Setting::kH1));
    m_fullHourPath = GetSettingString(Setting::kH0);
    m_halfHourPath = GetSettingString(Setting::kH2);
    m_firstQuarterPath = GetSettingString(Setting::kH4);
    m_thirdQuarterPath = GetSettingString(Setting::kH5);
    m_periodOn = Flag(g_chimePeriodOn);
    m_periodStart = COleDateTime(g_chimePeriodStart);
    m_periodEnd = COleDateTime(g_chimePeriodEnd);
    m_screenSaver = Flag(GetSettingInt(Setting::kSSA));
    m_fullScreen = Flag(GetSettingInt(Setting::kSFS));
    m_volumeAvailable = IsWindowsAtLeast(kLevelVista) ? TRUE : FALSE;
    if (m_volumeAvailable) {
        m_adjustVolume = Flag(GetSettingInt(Setting::kMASV));
        m_volume = std::clamp(GetSettingInt(Setting::kASVP), 0, 100);
    } else {
        m_adjustVolume = 0;
        m_volume = 100;
    }
    // Check i is day (first day of week + i + 1) mod 7 counted from Sunday.
    for (int i = 0; i < 7; ++i) m_days[i] = (g_chimeDays >> ((g_firstDayOfWeek + i + 1) % 7)) & 1;
}

BOOL CSoundOptionsDlg::OnInitDialog()
{
    LoadValues();
    CDialog::OnInitDialog();
    EnableChimeControls();
    for (const FileRow& row : kFileRows) ShowFileName(row);

    for (CDateTimeCtrl* picker : {&m_from, &m_to}) {
        picker->SetFormat(LocaleTimeFormats.pickerTime);
        const COleDateTime& value = picker == &m_from ? m_periodStart : m_periodEnd;
        // Today's date with the period's time: the pickers show only the time.
        SYSTEMTIME st;
        GetLocalTime(&st);
        st.wHour = static_cast<WORD>(value.GetHour());
        st.wMinute = static_cast<WORD>(value.GetMinute());
        st.wSecond = 0;
        st.wMilliseconds = 0;
        picker->SetTime(value.GetStatus() == COleDateTime::valid ? &st : nullptr);
    }
    EnablePeriodControls();

    EnableItem(IDC_SO_ADJUST_VOLUME, m_volumeAvailable);
    ::EnableWindow(m_volumeSlider, m_volumeAvailable && m_adjustVolume);
    m_volumeSlider.SetRange(0, 100);
    m_volumeSlider.SetPos(m_volume);
    m_volumeSlider.SetTicFreq(25);
    m_volumeSlider.SendMessage(TBM_SETLINESIZE, 0, 5);
    m_volumeSlider.SetPageSize(25);
    ShowVolumeSelection();

    for (int i = 0; i < 7; ++i) {
        // LOCALE_SABBREVDAYNAME1 is Monday; the first day of the week counts from Monday too.
        wchar_t name[32] = {};
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVDAYNAME1 + static_cast<LCTYPE>((g_firstDayOfWeek + i) % 7),
                       name, 32);
        ::SetDlgItemTextW(m_hWnd, IDC_SO_DAY_FIRST + i, name);
    }
    ApplyRTLLayout(m_hWnd);
    return FALSE;
}

void CSoundOptionsDlg::EnableChimeControls()
{
    for (UINT id : kWestminsterControls) EnableItem(id, m_mode == 1);
    for (const FileRow& row : kFileRows)
        for (UINT id : {row.check, row.edit, row.browse, row.test}) EnableItem(id, m_mode == 2);
    EnableItem(IDC_SO_HOUR_ONCE, m_mode == 2 && IsChecked(IDC_SO_FULL_HOUR));
}

void CSoundOptionsDlg::EnablePeriodControls()
{
    const BOOL on = IsChecked(IDC_SO_PERIOD);
    EnableItem(IDC_SO_FROM, on);
    EnableItem(IDC_SO_TO, on);
    for (int i = 0; i < 7; ++i) EnableItem(IDC_SO_DAY_FIRST + i, on);
}

void CSoundOptionsDlg::ShowFileName(const FileRow& row)
{
    CString folder, name;
    SplitPath(this->*row.path, folder, name);
    ::SetDlgItemTextW(m_hWnd, static_cast<int>(row.edit), name);
}

void CSoundOptionsDlg::ShowVolumeSelection()
{
    if (IsChecked(IDC_SO_ADJUST_VOLUME))
        m_volumeSlider.SendMessage(TBM_SETSEL, TRUE, MAKELPARAM(0, m_volumeSlider.GetPos()));
    else
        m_volumeSlider.SendMessage(TBM_CLEARSEL, TRUE);
}

void CSoundOptionsDlg::ApplySessionVolume()
{
    if (!m_session) return;
    const float volume =
        IsChecked(IDC_SO_ADJUST_VOLUME) ? static_cast<float>(std::clamp(m_volumeSlider.GetPos(), 0, 100)) / 100.0f : 1.0f;
    ZN_LOG_ERROR(m_session->SetMasterVolume(volume), L"", LOG_ERROR);
}

BOOL CSoundOptionsDlg::OnCommand(UINT id, UINT code, HWND)
{
    if (code != BN_CLICKED) return FALSE;
    switch (id) {
    case IDC_SO_NO_SOUND:
    case IDC_SO_WESTMINSTER:
    case IDC_SO_CUSTOM:
        OnModeChanged(static_cast<int>(id - IDC_SO_NO_SOUND));
        return TRUE;
    case IDC_SO_HOURLY:
    case IDC_SO_HALF:
    case IDC_SO_QUARTER:
    case IDC_SO_FULL_HOUR:
    case IDC_SO_HALF_HOUR:
    case IDC_SO_FIRST_QUARTER:
    case IDC_SO_THIRD_QUARTER:
        OnChimeCheck(id);
        return TRUE;
    case IDC_SO_TEST_HOURLY:
    case IDC_SO_TEST_HALF:
    case IDC_SO_TEST_QUARTER:
    case IDC_SO_FULL_HOUR_TEST:
    case IDC_SO_HALF_HOUR_TEST:
    case IDC_SO_FIRST_QUARTER_TEST:
    case IDC_SO_THIRD_QUARTER_TEST:
        OnTest(id);
        return TRUE;
    case IDC_SO_FULL_HOUR_BROWSE:
    case IDC_SO_HALF_HOUR_BROWSE:
    case IDC_SO_FIRST_QUARTER_BROWSE:
    case IDC_SO_THIRD_QUARTER_BROWSE:
        OnBrowse(id);
        return TRUE;
    case IDC_SO_PERIOD:
        OnPeriodCheck();
        return TRUE;
    case IDC_SO_ADJUST_VOLUME:
        if (m_volumeAvailable) OnAdjustVolume();
        return TRUE;
    default:
        return FALSE;
    }
}

void CSoundOptionsDlg::OnModeChanged(int mode)
{
    StopSound();
    m_mode = mode;
    EnableChimeControls();
}

void CSoundOptionsDlg::OnChimeCheck(UINT id)
{
    StopSound();
    if (id == IDC_SO_FULL_HOUR) EnableItem(IDC_SO_HOUR_ONCE, m_mode == 2 && IsChecked(IDC_SO_FULL_HOUR));
}

void CSoundOptionsDlg::OnTest(UINT id)
{
    switch (id) {
    case IDC_SO_TEST_HOURLY: PlayChime(1, 2); break;
    case IDC_SO_TEST_HALF: PlayChime(0, 30); break;
    case IDC_SO_TEST_QUARTER: PlayChime(0, 15); break;
    case IDC_SO_FULL_HOUR_TEST: PlaySoundFileRepeat(m_fullHourPath, 2); break;
    case IDC_SO_HALF_HOUR_TEST: PlaySoundFile(m_halfHourPath); break;
    case IDC_SO_FIRST_QUARTER_TEST: PlaySoundFile(m_firstQuarterPath); break;
    default: PlaySoundFile(m_thirdQuarterPath); break;
    }
}

void CSoundOptionsDlg::OnBrowse(UINT id)
{
    StopSound();
    for (const FileRow& row : kFileRows) {
        if (row.browse != id) continue;
        CString path = this->*row.path;
        if (BrowseSoundFile(path)) {
            this->*row.path = path;
            ShowFileName(row);
        }
    }
}

BOOL CSoundOptionsDlg::BrowseSoundFile(CString& path)
{
    // The system takes the filter as NUL-separated pairs; the string table holds it with "|".
    const CString filterText = LoadResString(IDS_SO_FILTER);
    std::wstring filter(filterText.GetString());
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    CFileDialog dialog(L"", OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, filter.c_str(),
                       m_hWnd);
    dialog.m_ofn.nFilterIndex = 1;
    CString folder;
    if (GetSharedDataFilePath(GetStr(SID_SOUNDS_FOLDER), L"", &folder)) dialog.m_ofn.lpstrInitialDir = folder;
    const CString title = LoadResString(IDS_SO_OPEN_TITLE);
    const CString extension = LoadResString(IDS_SO_DEFAULT_EXT);
    dialog.m_ofn.lpstrTitle = title;
    dialog.m_ofn.lpstrDefExt = extension;
    if (dialog.DoModal() != IDOK) return FALSE;
    path = dialog.GetPathName();
    return TRUE;
}

void CSoundOptionsDlg::OnPeriodCheck()
{
    EnablePeriodControls();
}

void CSoundOptionsDlg::OnAdjustVolume()
{
    ShowVolumeSelection();
    ::EnableWindow(m_volumeSlider, IsChecked(IDC_SO_ADJUST_VOLUME));
    ApplySessionVolume();
}

void CSoundOptionsDlg::OnVolumeMoved()
{
    ShowVolumeSelection();
    m_volumeSlider.Invalidate();
    ApplySessionVolume();
}

void CSoundOptionsDlg::OnCancel()
{
    StopSound();
    CDialog::OnCancel();
}

void CSoundOptionsDlg::OnOK()
{
    StopSound();
    if (!UpdateData(TRUE)) return;
    if (m_periodOn) {
        SYSTEMTIME st;
        m_periodStart = COleDateTime();
        m_periodStart.SetStatus(COleDateTime::null);
        if (m_from.GetTime(&st) == GDT_VALID) m_periodStart = COleDateTime(st);
        m_periodEnd = COleDateTime();
        m_periodEnd.SetStatus(COleDateTime::null);
        if (m_to.GetTime(&st) == GDT_VALID) m_periodEnd = COleDateTime(st);
    }
    const int mode = m_mode < 0 ? 0 : m_mode;
    const int westminster = Flag(m_hourly) | Flag(m_halfChime) << 8 | Flag(m_quarterChime) << 16;
    const int custom = Flag(m_fullHour) | Flag(m_halfHour) << 8 | Flag(m_firstQuarter) << 16 | Flag(m_thirdQuarter) << 24;
    WriteSettingInt(Setting::kCH0, mode);
    WriteSettingInt(Setting::kCH1, westminster);
    WriteSettingInt(Setting::kCH2, custom);
    WriteSettingInt(Setting::kH1, Flag(m_hourOnce));
    WriteSettingString(Setting::kH0, m_fullHourPath);
    WriteSettingString(Setting::kH2, m_halfHourPath);
    WriteSettingString(Setting::kH4, m_firstQuarterPath);
    WriteSettingString(Setting::kH5, m_thirdQuarterPath);
    WriteSettingInt(Setting::kPS, Flag(m_periodOn));
    const DWORD period = PackPeriod(m_periodStart, m_periodEnd);
    WriteSettingInt(Setting::kPST, static_cast<int>(period));

    for (int i = 0; i < 7; ++i) {
        const int day = (g_firstDayOfWeek + i + 1) % 7;
        if (m_days[i]) g_chimeDays |= 1 << day;
        else g_chimeDays &= ~(1 << day);
    }
    WriteSettingInt(Setting::kSD, g_chimeDays);

    CWinApp* app = AfxGetApp();
    auto* clock = app ? dynamic_cast<CDigitClock*>(app->m_pMainWnd) : nullptr;
    if (clock && clock->m_hWnd) {
        clock->SetSoundWithScreenSaver(Flag(m_screenSaver));
        clock->SetSoundOverFullScreen(Flag(m_fullScreen));
        WriteSettingInt(Setting::kSSA, Flag(m_screenSaver));
        WriteSettingInt(Setting::kSFS, Flag(m_fullScreen));
        WriteSettingInt(Setting::kMASV, Flag(m_adjustVolume));
        WriteSettingInt(Setting::kASVP, m_volume);
        clock->SetChimeOptions(mode, Flag(m_hourOnce), mode == 1 ? westminster : mode == 2 ? custom : 0,
                               m_fullHourPath, m_halfHourPath, m_firstQuarterPath, m_thirdQuarterPath);
    }

    g_chimePeriodOn = Flag(m_periodOn);
    // The running clock takes the period as the next start reads it back, a picker that held
    // no time included.
    SetChimePeriod(period);
    EndDialog(IDOK);
}

LRESULT CSoundOptionsDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_HSCROLL && reinterpret_cast<HWND>(lp) == m_volumeSlider.m_hWnd) {
        LRESULT r = CDialog::WindowProc(msg, wp, lp);
        OnVolumeMoved();
        return r;
    }
    return CDialog::WindowProc(msg, wp, lp);
}

INT_PTR RunSoundOptions(HWND parent, CAudioSessionVolume* session)
{
    float before = 1.0f;
    bool known = false;
    if (session) {
        HRESULT hr = session->GetMasterVolume(&before);
        if (FAILED(hr)) ZN_LOG_ERROR(hr, L"", LOG_ERROR);
        else known = true;
    }
    CSoundOptionsDlg dialog(parent, session);
    const INT_PTR result = dialog.DoModal();
    if (result != IDOK && known) ZN_LOG_ERROR(session->SetMasterVolume(before), L"", LOG_ERROR);
    return result;
}
