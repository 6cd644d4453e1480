#include "Globals.h"

#include "ChimeSchedule.h"

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

void SetChimePeriod(unsigned packed)
{
    int startMinute = 0, endMinute = 0;
    CChimeSchedule::UnpackPeriod(packed, startMinute, endMinute);
    g_chimePeriodStart = startMinute / 1440.0;
    g_chimePeriodEnd = endMinute / 1440.0;
}
