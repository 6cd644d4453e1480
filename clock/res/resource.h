// Resource identifiers of the clock program.
#pragma once

#define IDR_MAINFRAME 128
#define IDC_CLOCK_CURSOR 149

// Commands of the clock window.
#define ID_APP_EXIT_CLOCK 32771
#define ID_SYNC_NOW 32772
#define ID_NEW_STOPWATCH 32773
#define ID_LOCK_POSITION 32774
#define ID_REPORT_BUG 32776
#define ID_SEND_FEEDBACK 32777
#define ID_TECH_SUPPORT 32778
#define ID_WEB_PAGE 32871
#define ID_SOUND_DISABLE 32874
#define ID_SOUND_ENABLE 32875
#define ID_OPTIONS 32935
#define ID_APP_ABOUT 57664
#define ID_HELP_FINDER 57670

// Resource strings.
#define IDS_APP_NAME 57344
#define IDS_OPTIONS_TITLE 59179
#define IDS_SOUND_ITEM 59180
#define IDS_NO_MEMORY 59298
#define IDS_EMPTY_CLOCK 61204
#define IDS_REG_CURRENT_VERSION 61219

// The progress dialog.
#define IDD_PROGRESS 394
#define IDC_PROGRESS_TEXT 1036
#define IDC_PROGRESS_BAR 1538

// Status texts of the time synchronisation.
#define IDS_SYNC_LOG_SUCCESS 61207
#define IDS_SYNC_LOG_FAILURE 61208
#define IDS_SYNC_STATUS_SUCCESS 61209
#define IDS_SYNC_STATUS_FAILURE 61210
