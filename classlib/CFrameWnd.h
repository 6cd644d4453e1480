// CFrameWnd: a top-level window object that owns itself. It is allocated with new, and it
// deletes itself once its window is gone; when it was the application's main window, the
// message loop is ended first.
#pragma once

#include "CWnd.h"

class CFrameWnd : public CWnd
{
protected:
    void PostNcDestroy() override;
};
