// Message loops for tests whose windows live on the test's own thread.
#pragma once

#include <windows.h>

#include <functional>

namespace zntest {

// Dispatches the messages already queued, without waiting.
void PumpPending();
// Dispatches messages until done() holds or the time runs out; done()'s last answer.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Dispatches messages for the given time.
void Pump(DWORD ms);

} // namespace zntest
