// Process-wide values of the clock program, set at start-up and shared by several parts.
#pragma once

// The program may set the system clock itself (elevated, or a system before Vista);
// otherwise the time goes to the time-setting service.
extern int g_canSetClock;
