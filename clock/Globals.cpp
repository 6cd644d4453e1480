#include "Globals.h"

#include <algorithm>

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

namespace {

double TimeOfDay(unsigned hour, unsigned minute)
{
    return (std::min(hour, 23u) * 60 + std::min(minute, 59u)) / 1440.0;
}

}  // namespace

void SetChimePeriod(unsigned packed)
{
    g_chimePeriodStart = TimeOfDay((packed >> 8) & 0xFF, packed & 0xFF);
    g_chimePeriodEnd = TimeOfDay((packed >> 24) & 0xFF, (packed >> 16) & 0xFF);
}
