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
// Chimes only inside the chime period ("PS"), and the period's ends as times of day
// (date-time values on day 0, seconds 0) from "PST".
extern int g_chimePeriodOn;
extern double g_chimePeriodStart;
extern double g_chimePeriodEnd;
// Both ends from a packed "PST": bytes start minute, start hour, end minute, end hour, each
// hour limited to 23 and each minute to 59 (so an unset end, 255 in both bytes, is 23:59).
void SetChimePeriod(unsigned packed);
// Chime days: bit d for weekday d, 0 Sunday .. 6 Saturday ("SD", read when the clock window is made).
extern int g_chimeDays;
// Which sibling program a click on the clock is handed to: 0, 1 or 2 ("TPS").
extern int g_tipTarget;
// The clock's position is locked ("LW").
extern int g_positionLocked;
// The program may set the system clock itself (elevated, or before Windows Vista).
extern int g_canSetClock;
// 1 while a diagnostic archive is prepared and sent.
extern int g_sendingLogs;
