// Entry point of kestrom.exe: a windowless program, so all it reports goes to its log.
#include "Kestrom.h"
#include "LogMan.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    CLogMan log;
    log.Open();
    return KestromMain(GetCommandLineW());
}
