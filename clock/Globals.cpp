#include "Globals.h"

int g_firstDayOfWeek = 0;
int g_firstWeekOfYear = 0;
int g_zonePrefixMode = 0;
int g_zoneTimeMode = 0;
int g_canSetClock = 0;
