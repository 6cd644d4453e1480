#include "TestApp.h"

#include "ProfileTestApp.h"

#include <cwchar>

namespace {
ProfileTestApp g_app(L"ZarnockSupportTests");

HWND FindThreadDialog(DWORD thread)
{
    HWND found = nullptr;
    EnumThreadWindows(thread, [](HWND h, LPARAM lp) -> BOOL {
        wchar_t cls[16] = {};
        GetClassNameW(h, cls, 16);
        if (std::wcscmp(cls, L"#32770") == 0 && IsWindowVisible(h)) {
            *reinterpret_cast<HWND*>(lp) = h;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}
}

CWinApp& TestApp()
{
    return g_app;
}

BoxWatcher::BoxWatcher(DWORD uiThread, std::function<void(HWND)> answer, HWND watchEnabled)
{
    m_thread = std::thread([this, uiThread, answer, watchEnabled] {
        HWND box = nullptr;
        for (int i = 0; i < 1000 && !box; ++i) {
            box = FindThreadDialog(uiThread);
            if (!box) Sleep(10);
        }
        if (!box) return;
        Sleep(50);  // let the box finish its WM_INITDIALOG
        m_view.found = true;
        wchar_t text[256] = {};
        GetWindowTextW(box, text, 256);
        m_view.caption = text;
        if (watchEnabled) m_view.ownerEnabled = IsWindowEnabled(watchEnabled);
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            GetClassNameW(c, cls, 32);
            if (_wcsicmp(cls, L"Button") == 0) {
                BoxControl b;
                b.hwnd = c;
                b.visible = IsWindowVisible(c) != 0;
                GetWindowRect(c, &b.rect);
                MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&b.rect), 2);
                GetWindowTextW(c, text, 256);
                b.text = text;
                m_view.buttons[GetDlgCtrlID(c)] = b;
            } else if (_wcsicmp(cls, L"Static") == 0 && (GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                       IsWindowVisible(c)) {
                m_view.icon = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0));
            }
        }
        answer(box);
    });
}

BoxWatcher::~BoxWatcher()
{
    if (m_thread.joinable()) m_thread.join();
}

const BoxView& BoxWatcher::View()
{
    if (m_thread.joinable()) m_thread.join();
    return m_view;
}

std::function<void(HWND)> ClickButton(int id)
{
    return [id](HWND box) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    };
}

std::function<void(HWND)> PressEscape()
{
    return [](HWND box) {
        HWND focus = GetDlgItem(box, IDYES) ? GetDlgItem(box, IDYES) : box;
        PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    };
}
