// The support tests' application object and the helpers that answer boxes shown by the
// code under test: a watcher thread finds the box on the test's own thread, records what
// it shows, and answers it.
#pragma once

#include "ClassLib.h"

#include <functional>
#include <map>
#include <thread>

// The settings store of this executable only: "Software\Mervale Software\ZarnockSupportTests".
CWinApp& TestApp();

struct BoxControl {
    bool visible = false;
    RECT rect{};  // in the box's client coordinates
    CString text;
    HWND hwnd = nullptr;
};

struct BoxView {
    bool found = false;
    CString caption;
    std::map<int, BoxControl> buttons;  // by control id
    HICON icon = nullptr;               // the icon the box shows; null when none is visible
    BOOL ownerEnabled = TRUE;           // of the window given to the watcher, while the box is up
};

// Waits (up to 10 s) for a dialog box of thread uiThread, records it and runs answer on it.
class BoxWatcher
{
public:
    BoxWatcher(DWORD uiThread, std::function<void(HWND)> answer, HWND watchEnabled = nullptr);
    ~BoxWatcher();
    const BoxView& View();

private:
    std::thread m_thread;
    BoxView m_view;
};

// Answers with a click on the button id.
std::function<void(HWND)> ClickButton(int id);
// Answers with the Escape key, as a user would.
std::function<void(HWND)> PressEscape();
