#include "App.h"

// The one application object of the program.
CApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR cmdLine, int showCmd)
{
    return AfxWinMain(instance, cmdLine, showCmd);
}
