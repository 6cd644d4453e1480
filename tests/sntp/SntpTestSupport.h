// Shared pieces of the SNTP and worker-thread tests: the test's own application object and
// program log, temporary files, and a message pump with a deadline.
#pragma once

#include "ClassLib.h"

#include <functional>
#include <string>

namespace sntptest {

// The application object of this test program (own profile name, so parallel test programs
// never share settings) with its program log open on a temporary file.
CWinApp& App();
// The program log's text so far (UTF-8 bytes, as written).
std::string ProgramLog();

std::wstring TempFile(const wchar_t* stem);
std::string ReadBytes(const std::wstring& path);

// Dispatches messages until done() holds or the time runs out; done()'s last answer.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Dispatches messages for the given time.
void Pump(DWORD ms);

} // namespace sntptest
