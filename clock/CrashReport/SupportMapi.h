// Simple MAPI: handing a message with attachments to the user's mail program, and whether
// the registered mail program's MAPI library may be used at all.
#pragma once

#include "ClassLib.h"

#include <mapi.h>

#include <vector>

// The wide forms of Simple MAPI's records, as the system's MAPISendMailW takes them.
struct MapiFileDescW {
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition;
    PWSTR lpszPathName;
    PWSTR lpszFileName;
    PVOID lpFileType;
};
struct MapiRecipDescW {
    ULONG ulReserved;
    ULONG ulRecipClass;
    PWSTR lpszName;
    PWSTR lpszAddress;
    ULONG ulEIDSize;
    PVOID lpEntryID;
};
struct MapiMessageW {
    ULONG ulReserved;
    PWSTR lpszSubject;
    PWSTR lpszNoteText;
    PWSTR lpszMessageType;
    PWSTR lpszDateReceived;
    PWSTR lpszConversationID;
    FLAGS flFlags;
    MapiRecipDescW* lpOriginator;
    ULONG nRecipCount;
    MapiRecipDescW* lpRecips;
    ULONG nFileCount;
    MapiFileDescW* lpFiles;
};

struct tagEMailAttachmentA {
    CStringA path;
    CStringA displayName;
};
struct tagEMailAttachmentW {
    CString path;
    CString displayName;
};

// The registered mail program's MAPI library ("DLLPathEx" of the Outlook client) exists and
// is built for this program's own machine type (a 64-bit process cannot load a 32-bit one);
// false when MAPI is switched off in the settings.
bool IsMapiUsable();

// The Simple MAPI result: 0 sent or shown, 1 the user cancelled, -1 no recipient,
// 26 (MAPI_E_NOT_SUPPORTED) when MAPI32.DLL or its entry is missing.
ULONG SendMailA(HWND owner, const char* address, const char* name, const char* subject, const char* text,
                const std::vector<tagEMailAttachmentA>& attachments);
ULONG SendMailW(HWND owner, const wchar_t* address, const wchar_t* name, const wchar_t* subject,
                const wchar_t* text, const std::vector<tagEMailAttachmentW>& attachments);
