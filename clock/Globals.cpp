#include "Globals.h"

int g_canSetClock = 0;
