// Resource identifiers of the clock program.
#pragma once

#define IDR_MAINFRAME 128
#define IDC_CLOCK_CURSOR 149

// Commands of the clock window.
#define ID_APP_EXIT_CLOCK 32771
#define ID_REPORT_BUG 32776
#define ID_SEND_FEEDBACK 32777
#define ID_TECH_SUPPORT 32778
#define ID_OPTIONS 32935

// Resource strings.
#define IDS_APP_NAME 57344
#define IDS_OPTIONS_TITLE 59179
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

// Texts of the tip window.
#define IDS_TIP_REMINDERS 61205
#define IDS_TIP_CALENDAR_NOT_RUNNING 61206
#define IDS_TIP_CALENDAR_NET_NOT_RUNNING 61213
#define IDS_TIP_CALENDAR_NO_ACCESS 61214
#define IDS_TIP_CALENDAR_NET_NO_ACCESS 61215
#define IDS_TIP_ORGANIZER_NOT_RUNNING 61217
#define IDS_TIP_ORGANIZER_NO_ACCESS 61218

// The registry path of the user's choice of program for a file type.
#define IDS_REG_CURRENT_VERSION 61219
#define IDS_REG_FILE_EXTS 61220
#define IDS_REG_USER_CHOICE 61221
#define IDS_REG_PROGID 61222
