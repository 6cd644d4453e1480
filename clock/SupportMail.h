// The default mail program, as the mail sending and the start-up log need to know it.
#pragma once

#include "ClassLib.h"

// True when a mail program is registered and usable; out is its ProgId (Windows 7 and
// later, when the user chose one) or its whole "mailto" command. With log set the
// findings are written to the log.
bool GetDefaultMailClient(CString& out, bool log);

// The program path of a shell command: the text between a leading double quote and the
// next one, else the text before the first blank; empty when there is no closing quote
// or no blank.
CString CommandProgramPath(const CString& command);
