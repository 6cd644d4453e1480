// The program's help: "zarnock.chm" in the install folder, shown by the HTML Help viewer.
#pragma once

#include "ClassLib.h"

// The help context of the time-synchronisation page (dialog 5103): its own topic.
constexpr DWORD_PTR kHelpContextTimeSync = 0x20000 + 5103;

// The help file's path in the install folder; empty when the folder is not known.
CString GetHelpFilePath(const wchar_t* installFolder);
// What the viewer is asked to show for a help context: the file itself, or the
// time-synchronisation topic inside it.
CString GetHelpTopic(const CString& helpFile, DWORD_PTR data);
// Opens the viewer on the topic, owned by owner; TRUE when its window came up. Otherwise
// "Cannot open help." is shown (a missing file, an empty install folder, no viewer).
BOOL ShowHelp(HWND owner, const wchar_t* installFolder, DWORD_PTR data);
