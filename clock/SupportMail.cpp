#include "SupportMail.h"

#include "Log/LogMan.h"
#include "SupportFiles.h"
#include "SupportRegistry.h"
#include "SupportWindowsVersion.h"

namespace {
const wchar_t kUserChoiceKey[] = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\mailto\\UserChoice";
const wchar_t kOpenCommand[] = L"\\shell\\open\\command";
}

CString CommandProgramPath(const CString& command)
{
    CString program;
    if (command.GetLength() >= 2 && command[0] == L'"') {
        int close = command.Find(L'"', 1);
        if (close > 0) program = command.Mid(1, close - 1);
    } else {
        int blank = command.Find(L' ');
        if (blank >= 0) program = command.Left(blank);
    }
    return program.Trim();
}

bool GetDefaultMailClient(CString& out, bool log)
{
    out.Empty();
    if (IsWindowsAtLeast(4)) {
        CString progId = RegistryReadString(HKEY_CURRENT_USER, kUserChoiceKey, L"Progid", L"", FALSE);
        if (!progId.IsEmpty()) {
            if (log) {
                ZN_LOG(LOG_INFO, progId.GetString());
                CString command = RegistryReadString(HKEY_CLASSES_ROOT, progId + kOpenCommand, nullptr, L"", FALSE);
                ZN_LOG(LOG_INFO, command.GetString());
            }
            out = progId;
            return true;
        }
    }
    CString command = RegistryReadString(HKEY_CLASSES_ROOT, CString(L"mailto") + kOpenCommand, nullptr, L"", FALSE);
    command.Trim();
    if (command.IsEmpty()) {
        if (log) ZN_LOG(LOG_WARNING, L"0");
        return false;
    }
    if (log) ZN_LOG(LOG_INFO, command.GetString());
    CString program = CommandProgramPath(command);
    if (!program.IsEmpty() && FileExists(program)) {
        out = command;
        return true;
    }
    if (log) ZN_LOG(LOG_WARNING, program.GetString());
    return false;
}
