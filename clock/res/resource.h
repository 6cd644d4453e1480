// Resource identifiers of the clock program.
#pragma once

#define IDR_MAINFRAME 128

// The registry path of the user's choice of program for a file type.
#define IDS_REG_CURRENT_VERSION 61219
#define IDS_REG_FILE_EXTS 61220
#define IDS_REG_USER_CHOICE 61221
#define IDS_REG_PROGID 61222
