// The start-up entry of the Windows Firewall's state for the clock: the rule named after the
// product and the profiles' settings (Windows Vista and later), or the program's
// authorised-application entry and the current profile (before).
#pragma once

#include "SupportWindowsVersion.h"

void LogFirewallStatus(int windowsLevel = GetWindowsLevel());
