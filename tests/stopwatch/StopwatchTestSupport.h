// The stopwatch tests' application object: the clock's own, with a settings store and an
// install key no other test program uses.
#pragma once

#include "App.h"

#include <string>

class StopwatchTestApp : public CApp
{
public:
    StopwatchTestApp();
    // Deletes the settings store and the install key of this program.
    void ClearStore() const;
    // Writes the install key's "Path".
    void SetInstallPath(const wchar_t* folder) const;
};

extern StopwatchTestApp g_app;

// The folder of the test program (the build's bin folder, where zarnock.chm lies too).
std::wstring ProgramFolder();
