#include "Globals.h"

int g_firstDayOfWeek = 0;
int g_firstWeekOfYear = 0;
int g_zonePrefixMode = 0;
int g_zoneTimeMode = 0;
int g_chimePeriodOn = 0;
double g_chimePeriodStart = 0;
double g_chimePeriodEnd = 0;
int g_chimeDays = 127;
int g_tipTarget = 0;
int g_positionLocked = 0;
int g_canSetClock = 0;
int g_sendingLogs = 0;
