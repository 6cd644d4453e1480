// Process-wide values of the clock program, set at start-up from the settings and shared
// by the clock window, its format engine, the option pages and the SNTP client.
#pragma once

// First day of the week for week numbers: 0 Monday .. 6 Sunday ("FDOW").
extern int g_firstDayOfWeek;
// First week of the year: 0 the week of 1 January, 1 the first with four days in the new
// year, 2 the first full week ("FWOY").
extern int g_firstWeekOfYear;
// Prefix before each further zone's time: 0 none, 1 weekday, 2 day and month, 3 both ("FTZ").
extern int g_zonePrefixMode;
// Further zones' times in 24-hour "%H:%M" when not 0, else the locale's short time ("FTZTM").
extern int g_zoneTimeMode;
// The program may set the system clock itself (elevated, or a system before Vista);
// otherwise the SNTP client hands the time to the time-setting service.
extern int g_canSetClock;
