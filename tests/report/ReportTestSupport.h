// What the report tests share: their settings store, the loopback web site of the fixture,
// and a recorder for the boxes and shell calls the code under test makes.
#pragma once

#include "ClassLib.h"

#include <string>
#include <vector>

// The settings store of this executable only: "Software\Mervale Software\ZarnockReportTests".
class ProfileTestApp;
ProfileTestApp& ReportApp();

// The fixture's folder (ZARNOCK_HTTP_DIR); empty when the tests run outside ctest.
std::wstring SiteDir();
// "http://127.0.0.1:<port>" or "https://127.0.0.1:<tls-port>" of the fixture's server.
std::wstring SiteAddress(bool tls);

struct ShownBox {
    CString text;
    CString caption;
    UINT type = 0;
};
// Boxes and shell calls, recorded; a box is answered with the next answer (IDOK when none).
struct UiRecorder {
    std::vector<ShownBox> boxes;
    std::vector<CString> opened;
    std::vector<int> answers;
};
UiRecorder& Recorded();
int RecordBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
