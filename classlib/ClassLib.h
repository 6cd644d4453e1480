// The program's own small class library in the place of the platform's: strings, files,
// locks, and (as the program grows) windows, dialogs and the application object.
#pragma once

#include "Win.h"
#include "CString.h"
#include "CFile.h"
#include "CSync.h"
#include "COleDateTime.h"
#include "CWnd.h"
#include "CGdiObject.h"
#include "CDC.h"
#include "CCmdUI.h"
#include "CDialog.h"
#include "CDataExchange.h"
#include "CWinCtrls.h"
#include "CCommCtrls.h"
#include "CPropertySheet.h"
#include "CCommonDialog.h"
#include "CWinApp.h"
