// The stopwatch tests' application object: the clock's own.
#include "ClockTestApp.h"

ClockTestApp g_app(L"Mervale Software Stopwatch Tests", L"ZarnockStopwatchTests");
