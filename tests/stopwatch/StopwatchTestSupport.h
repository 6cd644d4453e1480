// The stopwatch tests' application object (the clock's own) and the program's folder.
#pragma once

#include "ClockTestApp.h"

#include <string>

// The folder of the test program (the build's bin folder, where zarnock.chm lies too).
std::wstring ProgramFolder();
