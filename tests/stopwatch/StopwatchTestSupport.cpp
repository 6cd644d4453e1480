#include "StopwatchTestSupport.h"

ClockTestApp g_app(L"Mervale Software Stopwatch Tests", L"ZarnockStopwatchTests");

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}
