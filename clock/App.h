#pragma once

#include "ClassLib.h"

// The clock's application object.
class CApp : public CWinApp
{
public:
    CApp();
    BOOL InitInstance() override;
    int ExitInstance() override;
};
