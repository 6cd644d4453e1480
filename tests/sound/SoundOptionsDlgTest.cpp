// The sound options dialog on its real template, driven from a second thread: what it
// shows from the settings and the process-wide chime values, what OK writes and hands to
// the clock window, the live volume and its restore on Cancel, and the real open-file
// dialog behind "Browse...".
#include "ClockTestApp.h"

#include "DigitClock.h"
#include "DigitClockAccess.h"
#include "Globals.h"
#include "LocaleTimeFormats.h"
#include "Multimedia/AudioSessionVolume.h"
#include "Settings.h"
#include "SoundOptionsDlg.h"
#include "StringTable.h"
#include "resource.h"

#include "DialogDriver.h"
#include "GdiplusSession.h"
#include "MessagePump.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

#include <commctrl.h>

namespace {

void ChooseRadio(HWND d, int id)
{
    for (int r : {IDC_SO_NO_SOUND, IDC_SO_WESTMINSTER, IDC_SO_CUSTOM})
        if (r != id) SendMessageW(GetDlgItem(d, r), BM_SETCHECK, BST_UNCHECKED, 0);
    zntest::SetCheck(d, id, true);
}

void SetPickerTime(HWND d, int id, WORD hour, WORD minute)
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = 0;
    st.wMilliseconds = 0;
    SendMessageW(GetDlgItem(d, id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

void MoveSlider(HWND d, int position)
{
    HWND slider = GetDlgItem(d, IDC_SO_VOLUME);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(slider));
}

class SoundOptionsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_app.ClearStore();
        // Not a first start: the clock window would open the Options sheet.
        g_app.WriteProfileInt(GetStr(SID_SECTION_TIMESYNC), GetStr(SID_KEY_FST), 0);
        m_saved = {g_chimePeriodOn, g_chimeDays, g_firstDayOfWeek, g_chimePeriodStart, g_chimePeriodEnd};
        g_chimePeriodOn = 1;
        g_chimePeriodStart = 8 / 24.0;
        g_chimePeriodEnd = 17 / 24.0;
        g_chimeDays = 0x3E;  // Monday to Friday
        g_firstDayOfWeek = 0;
        // As start-up does: the time pickers take the locale's format.
        InitLocaleTimeFormats();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(CAudioSessionVolume::Create(&m_session)))
            std::printf("no audio device under this Wine: the dialog's volume has no session to act on\n");
    }
    void TearDown() override
    {
        if (m_clock && IsWindow(m_clock->m_hWnd)) DestroyWindow(m_clock->m_hWnd);
        g_app.m_pMainWnd = nullptr;
        if (m_session) m_session->Release();
        g_chimePeriodOn = m_saved.on;
        g_chimeDays = m_saved.days;
        g_firstDayOfWeek = m_saved.fdow;
        g_chimePeriodStart = m_saved.start;
        g_chimePeriodEnd = m_saved.end;
        zntest::PumpPending();
        g_app.ClearStore();
    }
    void MakeClock()
    {
        // Not a first start: the clock would open the Options sheet by itself.
        WriteSettingInt(Setting::kFST, 0);
        m_clock = new CDigitClock;
        m_clock->SetFormat(L"HH:mm:ss", FALSE);
        ASSERT_TRUE(m_clock->CreateEx(WS_EX_TOOLWINDOW, GetStr(SID_CLOCK_WNDCLASS), nullptr, WS_POPUP, 100, 100,
                                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
        g_app.m_pMainWnd = m_clock;
        // The window's creation read "SD" into the chime days.
        g_chimeDays = 0x3E;
    }
    float Volume() const
    {
        float v = -1;
        if (m_session) m_session->GetMasterVolume(&v);
        return v;
    }
    struct Saved {
        int on, days, fdow;
        double start, end;
    } m_saved{};
    CAudioSessionVolume* m_session = nullptr;
    CDigitClock* m_clock = nullptr;
};

TEST(SoundOptionsRules, QuietPeriodPacking)
{
    COleDateTime none;
    none.SetStatus(COleDateTime::null);
    struct Case {
        COleDateTime start, end;
        DWORD expected;
    } cases[] = {
        {COleDateTime(2026, 1, 1, 8, 0, 0), COleDateTime(2026, 1, 1, 17, 0, 0), 0x11000800},
        {COleDateTime(2026, 1, 1, 7, 30, 0), COleDateTime(2026, 1, 1, 22, 15, 0), 0x160F071E},
        {none, COleDateTime(2026, 1, 1, 22, 15, 0), 0x160FFFFF},
        {none, none, 0xFFFFFFFF},
    };
    for (const Case& c : cases) EXPECT_EQ(CSoundOptionsDlg::PackPeriod(c.start, c.end), c.expected);
}

TEST_F(SoundOptionsTest, ShowsTheStoreAndOkWritesItAndTheProcessWideValues)
{
    MakeClock();
    WriteSettingInt(Setting::kCH0, 2);
    WriteSettingInt(Setting::kCH1, 0x10000);
    WriteSettingInt(Setting::kCH2, 0x1000000);
    WriteSettingString(Setting::kH0, L"C:\\Sounds\\hour.wav");
    WriteSettingInt(Setting::kSFS, 1);
    WriteSettingInt(Setting::kMASV, 1);
    WriteSettingInt(Setting::kASVP, 60);

    struct Seen {
        bool custom, hourly, half, quarter, full, third, westminsterEnabled, onceEnabled, sliderEnabled;
        bool monday, saturday;
        std::wstring hourFile, firstDay;
        int slider, fromHour;
    } seen{};
    INT_PTR result = 0;
    CSoundOptionsDlg dialog(nullptr, m_session);
    zntest::RunModal([&] { result = dialog.DoModal(); },
                     [&](DWORD thread) {
                         HWND d = zntest::WaitForThreadDialog(thread, 5000, L"Sound Options");
                         if (!d) return;
                         seen.custom = zntest::GetCheck(d, IDC_SO_CUSTOM) == BST_CHECKED;
                         seen.hourly = zntest::GetCheck(d, IDC_SO_HOURLY) == BST_CHECKED;
                         seen.half = zntest::GetCheck(d, IDC_SO_HALF) == BST_CHECKED;
                         seen.quarter = zntest::GetCheck(d, IDC_SO_QUARTER) == BST_CHECKED;
                         seen.full = zntest::GetCheck(d, IDC_SO_FULL_HOUR) == BST_CHECKED;
                         seen.third = zntest::GetCheck(d, IDC_SO_THIRD_QUARTER) == BST_CHECKED;
                         seen.westminsterEnabled = zntest::IsItemEnabled(d, IDC_SO_HOURLY);
                         seen.onceEnabled = zntest::IsItemEnabled(d, IDC_SO_HOUR_ONCE);
                         seen.sliderEnabled = zntest::IsItemEnabled(d, IDC_SO_VOLUME);
                         seen.monday = zntest::GetCheck(d, IDC_SO_DAY_FIRST) == BST_CHECKED;
                         seen.saturday = zntest::GetCheck(d, IDC_SO_DAY_FIRST + 5) == BST_CHECKED;
                         seen.hourFile = zntest::GetItemText(d, IDC_SO_FULL_HOUR_FILE);
                         seen.firstDay = zntest::GetItemText(d, IDC_SO_DAY_FIRST);
                         seen.slider = static_cast<int>(SendMessageW(GetDlgItem(d, IDC_SO_VOLUME), TBM_GETPOS, 0, 0));
                         SYSTEMTIME from{};
                         if (SendMessageW(GetDlgItem(d, IDC_SO_FROM), DTM_GETSYSTEMTIME, 0,
                                          reinterpret_cast<LPARAM>(&from)) == GDT_VALID)
                             seen.fromHour = from.wHour;

                         ChooseRadio(d, IDC_SO_WESTMINSTER);
                         zntest::SetCheck(d, IDC_SO_HOURLY, true);
                         zntest::SetCheck(d, IDC_SO_HALF, true);
                         SetPickerTime(d, IDC_SO_FROM, 7, 30);
                         SetPickerTime(d, IDC_SO_TO, 22, 15);
                         zntest::SetCheck(d, IDC_SO_DAY_FIRST, false);     // Monday off
                         zntest::SetCheck(d, IDC_SO_DAY_FIRST + 6, true);  // Sunday on
                         zntest::SetCheck(d, IDC_SO_SCREEN_SAVER, true);
                         zntest::SetCheck(d, IDC_SO_FULL_SCREEN, false);
                         MoveSlider(d, 30);
                         zntest::Click(d, IDOK);
                     });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(seen.custom);
    EXPECT_FALSE(seen.hourly);
    EXPECT_FALSE(seen.half);
    EXPECT_TRUE(seen.quarter) << "CH1 0x10000 checks only the quarter chimes";
    EXPECT_FALSE(seen.full);
    EXPECT_TRUE(seen.third) << "CH2 0x1000000 checks only the third quarter";
    EXPECT_FALSE(seen.westminsterEnabled) << "custom mode";
    EXPECT_FALSE(seen.onceEnabled) << "only while Full hour is checked";
    EXPECT_TRUE(seen.sliderEnabled);
    EXPECT_TRUE(seen.monday);
    EXPECT_FALSE(seen.saturday);
    EXPECT_EQ(seen.hourFile, L"hour.wav") << "the edit shows the file name only";
    EXPECT_EQ(seen.firstDay, L"Mon");
    EXPECT_EQ(seen.slider, 60);
    EXPECT_EQ(seen.fromHour, 8) << "the quiet period as the clock runs it";

    EXPECT_EQ(GetSettingInt(Setting::kCH0), 1);
    EXPECT_EQ(GetSettingInt(Setting::kCH1), 0x10101);
    EXPECT_EQ(GetSettingInt(Setting::kCH2), 0x1000000);
    EXPECT_STREQ(GetSettingString(Setting::kH0).GetString(), L"C:\\Sounds\\hour.wav") << "the full path";
    EXPECT_EQ(GetSettingInt(Setting::kPS), 1);
    EXPECT_EQ(static_cast<DWORD>(GetSettingInt(Setting::kPST)), 0x160F071Eu);
    EXPECT_EQ(GetSettingInt(Setting::kSD), 0x3D) << "Sunday on, Monday off";
    EXPECT_EQ(GetSettingInt(Setting::kSSA), 1);
    EXPECT_EQ(GetSettingInt(Setting::kSFS), 0);
    EXPECT_EQ(GetSettingInt(Setting::kMASV), 1);
    EXPECT_EQ(GetSettingInt(Setting::kASVP), 30);
    // The four process-wide values.
    EXPECT_EQ(g_chimePeriodOn, 1);
    EXPECT_DOUBLE_EQ(g_chimePeriodStart, (7 * 60 + 30) / 1440.0);
    EXPECT_DOUBLE_EQ(g_chimePeriodEnd, (22 * 60 + 15) / 1440.0);
    EXPECT_EQ(g_chimeDays, 0x3D);
    // The clock window's chimes.
    EXPECT_EQ(ClockFields(m_clock).m_chimeMode(), 1);
    EXPECT_EQ(ClockFields(m_clock).m_chimeFlags(), 0x10101);
    EXPECT_EQ(ClockFields(m_clock).m_soundWithScreenSaver(), 1);
    EXPECT_EQ(ClockFields(m_clock).m_soundOverFullScreen(), 0);
    if (m_session) {
        EXPECT_FLOAT_EQ(Volume(), 0.30f) << "the slider acted at once";
    }
}

TEST_F(SoundOptionsTest, AnEmptyPickerRunsAsTheNextStartReadsIt)
{
    CSoundOptionsDlg dialog(nullptr, m_session);
    zntest::RunModal([&] { dialog.DoModal(); },
                     [&](DWORD thread) {
                         HWND d = zntest::WaitForThreadDialog(thread, 5000, L"Sound Options");
                         ASSERT_TRUE(d) << "no dialog";
                         // Wine wants a time even with GDT_NONE.
                         SYSTEMTIME none{};
                         SendMessageW(GetDlgItem(d, IDC_SO_FROM), DTM_SETSYSTEMTIME, GDT_NONE,
                                      reinterpret_cast<LPARAM>(&none));
                         SetPickerTime(d, IDC_SO_TO, 22, 15);
                         zntest::Click(d, IDOK);
                     });
    EXPECT_EQ(static_cast<DWORD>(GetSettingInt(Setting::kPST)), 0x160FFFFFu);
    EXPECT_DOUBLE_EQ(g_chimePeriodStart, (23 * 60 + 59) / 1440.0) << "255 in both bytes reads back as 23:59";
    EXPECT_DOUBLE_EQ(g_chimePeriodEnd, (22 * 60 + 15) / 1440.0);
}

TEST_F(SoundOptionsTest, NoSoundHandsFlagsZeroButKeepsTheBoxes)
{
    MakeClock();
    WriteSettingInt(Setting::kCH0, 1);
    WriteSettingInt(Setting::kCH1, 0x10101);
    CSoundOptionsDlg dialog(nullptr, m_session);
    bool everythingOff = false;
    zntest::RunModal([&] { dialog.DoModal(); },
                     [&](DWORD thread) {
                         HWND d = zntest::WaitForThreadDialog(thread, 5000, L"Sound Options");
                         if (!d) return;
                         ChooseRadio(d, IDC_SO_NO_SOUND);
                         everythingOff = true;
                         for (int id : {IDC_SO_HOURLY, IDC_SO_TEST_HOURLY, IDC_SO_FULL_HOUR, IDC_SO_FULL_HOUR_BROWSE,
                                        IDC_SO_HOUR_ONCE, IDC_SO_THIRD_QUARTER_TEST})
                             everythingOff = everythingOff && !zntest::IsItemEnabled(d, id);
                         zntest::Click(d, IDOK);
                     });
    EXPECT_TRUE(everythingOff);
    EXPECT_EQ(GetSettingInt(Setting::kCH0), 0);
    EXPECT_EQ(GetSettingInt(Setting::kCH1), 0x10101);
    EXPECT_EQ(ClockFields(m_clock).m_chimeMode(), 0);
    EXPECT_EQ(ClockFields(m_clock).m_chimeFlags(), 0);
}

TEST_F(SoundOptionsTest, CancelPutsTheVolumeBack)
{
    if (!m_session) GTEST_SKIP() << "no audio device: no volume to put back";
    WriteSettingInt(Setting::kMASV, 0);
    ASSERT_EQ(m_session->SetMasterVolume(0.8f), S_OK);
    float during = -1;
    INT_PTR result = 0;
    zntest::RunModal([&] { result = RunSoundOptions(nullptr, m_session); },
                     [&](DWORD thread) {
                         HWND d = zntest::WaitForThreadDialog(thread, 5000, L"Sound Options");
                         if (!d) return;
                         zntest::SetCheck(d, IDC_SO_ADJUST_VOLUME, true);
                         MoveSlider(d, 20);
                         m_session->GetMasterVolume(&during);
                         zntest::Click(d, IDCANCEL);
                     });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FLOAT_EQ(during, 0.20f) << "the slider acts at once";
    EXPECT_FLOAT_EQ(Volume(), 0.8f) << "Cancel restores what was in effect before";
    EXPECT_EQ(GetSettingInt(Setting::kMASV), 0) << "Cancel writes nothing";
}

TEST_F(SoundOptionsTest, BrowseTakesAFileFromTheOpenFileDialog)
{
    MakeClock();
    WriteSettingInt(Setting::kCH0, 2);
    zntest::TempFolder folder;
    const std::wstring sound = folder.Path(L"half.wav");
    zntest::WriteBytes(sound, std::string());
    std::wstring shown, openTitle;
    CSoundOptionsDlg dialog(nullptr, m_session);
    zntest::RunModal([&] { dialog.DoModal(); },
                     [&](DWORD thread) {
                         HWND d = zntest::WaitForThreadDialog(thread, 5000, L"Sound Options");
                         if (!d) return;
                         zntest::Click(d, IDC_SO_HALF_HOUR_BROWSE);
                         HWND open = zntest::WaitForThreadDialog(thread, 5000, L"Open Audio File");
                         if (!open) return;
                         openTitle = zntest::GetText(open);
                         HWND name = GetDlgItem(open, 0x47C);
                         HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr);
                         if (!edit) edit = FindWindowExW(FindWindowExW(name, nullptr, nullptr, nullptr), nullptr, L"Edit", nullptr);
                         SendMessageW(edit ? edit : name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sound.c_str()));
                         PostMessageW(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                         zntest::WaitForWindowGone(open, 5000);
                         shown = zntest::GetItemText(d, IDC_SO_HALF_HOUR_FILE);
                         // A zero-byte file is refused by the player; the dialog goes on.
                         zntest::Click(d, IDC_SO_HALF_HOUR_TEST);
                         zntest::Click(d, IDOK);
                     });
    EXPECT_EQ(openTitle, L"Open Audio File");
    EXPECT_EQ(shown, L"half.wav");
    EXPECT_STREQ(GetSettingString(Setting::kH2).GetString(), sound.c_str());
}

}  // namespace
