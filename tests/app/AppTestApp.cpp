// The app tests' application object: the clock's own (the About box and the help need it),
// with a settings store and an install key of this program's own.
#include "ClockTestApp.h"

ClockTestApp g_app(L"Mervale Software App Tests", L"ZarnockAppTests");
