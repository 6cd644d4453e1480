// Resource identifiers of the clock program.
#pragma once

#define IDR_MAINFRAME 128

// The progress dialog.
#define IDD_PROGRESS 394
#define IDC_PROGRESS_TEXT 1036
#define IDC_PROGRESS_BAR 1538

// Status texts of the time synchronisation.
#define IDS_SYNC_LOG_SUCCESS 61207
#define IDS_SYNC_LOG_FAILURE 61208
#define IDS_SYNC_STATUS_SUCCESS 61209
#define IDS_SYNC_STATUS_FAILURE 61210
