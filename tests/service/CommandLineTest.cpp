// The service's command line: which switch a command line asks for, and its argument.
#include "Kestrom.h"

#include <gtest/gtest.h>

namespace {

struct CommandCase {
    const wchar_t* commandLine;
    KestromCommand::Kind kind;
    const wchar_t* argument;
    const char* why;
};

const CommandCase kCases[] = {
    {L"kestrom.exe", KestromCommand::Run, L"", "unquoted name alone, no trailing space"},
    {L"kestrom.exe ", KestromCommand::Run, L"", "trailing spaces are no argument"},
    {L"\"C:\\Program Files\\Zarnock\\kestrom.exe\"", KestromCommand::Run, L"", "quoted name alone"},
    {L"\"C:\\Program Files\\Zarnock\\kestrom.exe", KestromCommand::Run, L"", "text ends inside the quoted name"},
    {L"\"C:\\Program Files\\kestrom.exe\" -install", KestromCommand::Install, L"-install", "quoted name with a blank"},
    {L"kestrom.exe -install", KestromCommand::Install, L"-install", "plain switch"},
    {L"kestrom.exe    -INSTALL", KestromCommand::Install, L"-INSTALL", "capitals, several spaces"},
    {L"kestrom.exe -installNow", KestromCommand::Install, L"-installNow", "switch followed by more letters"},
    {L"kestrom.exe -install extra words", KestromCommand::Install, L"-install", "only the first argument counts"},
    {L"kestrom.exe -uninstall", KestromCommand::Uninstall, L"-uninstall", "plain switch"},
    {L"kestrom.exe -UnInstall", KestromCommand::Uninstall, L"-UnInstall", "mixed case"},
    {L"\"kestrom.exe\"-uninstall", KestromCommand::Uninstall, L"-uninstall", "argument right after the quote"},
    {L"kestrom.exe -inst", KestromCommand::Unknown, L"-inst", "a shorter prefix does not match"},
    {L"kestrom.exe -uninst", KestromCommand::Unknown, L"-uninst", "a shorter prefix does not match"},
    {L"kestrom.exe /install", KestromCommand::Unknown, L"/install", "slash in place of the dash"},
    {L"kestrom.exe install", KestromCommand::Unknown, L"install", "no dash"},
    {L"kestrom.exe -", KestromCommand::Unknown, L"-", "a dash alone"},
    {L"", KestromCommand::Run, L"", "empty command line"},
};

TEST(CommandLine, SwitchesAndArguments)
{
    for (const CommandCase& c : kCases) {
        KestromCommand command = ParseCommandLine(c.commandLine);
        EXPECT_EQ(c.kind, command.kind) << c.why;
        EXPECT_EQ(std::wstring(c.argument), command.argument) << c.why;
    }
}

TEST(CommandLine, NullCommandLineRunsTheService)
{
    EXPECT_EQ(KestromCommand::Run, ParseCommandLine(nullptr).kind);
}

} // namespace
