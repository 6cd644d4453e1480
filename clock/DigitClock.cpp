#include "DigitClock.h"

CDigitClock::CDigitClock() : m_formatEnvironment(&GetSystemFormatEnvironment())
{
}

CDigitClock::~CDigitClock() = default;
