// Workers that a bounded wait gave up on, and registrations that could not be undone. Either
// can still write to the program log or call into objects that go with the static objects
// once CApp::ExitInstance returns, so exit waits for them there, before anything is torn
// down, and ends the process when one is still there. Any thread may report to it.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"

// Keeps the worker's handle until the worker has ended; what names it in exit's warning.
void GiveUpWorker(CHandle worker, const wchar_t* what);
// Something that stays registered for the rest of the run: it can be called back at any time.
void ReportStillRegistered(const wchar_t* what);
// Waits up to waitMs in all for the workers given up. False when one still runs or something
// is still registered; pending (when given) then names them all.
bool WaitForGivenUpWorkers(DWORD waitMs, CString* pending = nullptr);
