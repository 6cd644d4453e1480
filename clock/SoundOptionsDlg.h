// CSoundOptionsDlg: what the clock plays (nothing, the Westminster chimes, or the user's own
// files for the hour, the half hour and the quarters), the quiet period and its week days,
// play over screen savers and full-screen windows, and the program's own volume. OK writes
// the settings and hands the chimes to the clock window; the volume slider acts at once on
// the program's audio session (the opener puts it back when the dialog is cancelled).
#pragma once

#include "ClassLib.h"

class CAudioSessionVolume;

class CSoundOptionsDlg : public CDialog
{
public:
    // session: the program's audio-session volume, null when there is none.
    CSoundOptionsDlg(HWND parent, CAudioSessionVolume* session);

    // The standard open-file dialog for a sound file; TRUE with the new path on OK.
    BOOL BrowseSoundFile(CString& path);

    // "PST": start minute, start hour, end minute, end hour in bytes 0..3, 255 for both bytes
    // of a time that is null or cannot be converted.
    static DWORD PackPeriod(const COleDateTime& start, const COleDateTime& end);

    // Values the dialog works on, in and out through DoDataExchange.
    int m_mode = 1;               // "CH0": 0 no sound, 1 Westminster, 2 custom
    int m_hourly = 0, m_halfChime = 0, m_quarterChime = 0;                // "CH1" bytes
    int m_fullHour = 0, m_halfHour = 0, m_firstQuarter = 0, m_thirdQuarter = 0;  // "CH2" bytes
    int m_hourOnce = 0;           // "H1"
    int m_periodOn = 0;           // "PS"
    int m_days[7] = {};           // the day checks, in the order shown
    int m_screenSaver = 0;        // "SSA"
    int m_fullScreen = 0;         // "SFS"
    int m_adjustVolume = 0;       // "MASV"
    int m_volume = 100;           // "ASVP"
    CString m_fullHourPath, m_halfHourPath, m_firstQuarterPath, m_thirdQuarterPath;  // "H0", "H2", "H4", "H5"
    COleDateTime m_periodStart, m_periodEnd;

    CDateTimeCtrl m_from;
    CDateTimeCtrl m_to;
    CSliderCtrl m_volumeSlider;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    void OnModeChanged(int mode);
    void OnChimeCheck(UINT id);
    void OnTest(UINT id);
    void OnBrowse(UINT id);
    void OnPeriodCheck();
    void OnAdjustVolume();
    void OnVolumeMoved();

private:
    struct FileRow {
        UINT check, edit, browse, test;
        CString CSoundOptionsDlg::*path;
    };
    static const FileRow kFileRows[4];

    void LoadValues();
    void EnableChimeControls();
    void EnablePeriodControls();
    void ShowFileName(const FileRow& row);
    void ShowVolumeSelection();
    void ApplySessionVolume();
    void EnableItem(UINT id, BOOL enable) const { ::EnableWindow(GetDlgItem(static_cast<int>(id)), enable); }
    int IsChecked(UINT id) const { return ::IsDlgButtonChecked(m_hWnd, static_cast<int>(id)) == BST_CHECKED; }

    CAudioSessionVolume* m_session;
    BOOL m_volumeAvailable = FALSE;  // Windows Vista and later
};

// The Clock page's "Sound &Options...": runs the dialog over parent and, unless it ended with
// OK, puts back the program's volume as it was before. The dialog's result.
INT_PTR RunSoundOptions(HWND parent, CAudioSessionVolume* session);
