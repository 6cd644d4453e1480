#include "DialogDriver.h"

#include <vector>

namespace zntest {

namespace {

struct DialogSearch
{
    const wchar_t* title;
    HWND skip;
    HWND found;
};

bool IsDialogClass(HWND hwnd)
{
    wchar_t cls[16];
    return GetClassNameW(hwnd, cls, 16) && lstrcmpW(cls, L"#32770") == 0;
}

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM lp)
{
    auto* search = reinterpret_cast<DialogSearch*>(lp);
    if (hwnd == search->skip || !IsWindowVisible(hwnd) || !IsDialogClass(hwnd)) return TRUE;
    if (search->title && GetText(hwnd) != search->title) return TRUE;
    search->found = hwnd;
    return FALSE;
}

BOOL CALLBACK CollectDialogsProc(HWND hwnd, LPARAM lp)
{
    if (IsDialogClass(hwnd)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
    return TRUE;
}

void Notify(HWND dialog, int id, UINT code)
{
    HWND control = GetDlgItem(dialog, id);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

}  // namespace

HWND FindThreadDialog(DWORD threadId, const wchar_t* title, HWND skip)
{
    DialogSearch search{title, skip, nullptr};
    EnumThreadWindows(threadId, FindDialogProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        Sleep(10);
    }
    return true;
}

HWND WaitForThreadDialog(DWORD threadId, DWORD timeoutMs, const wchar_t* title, HWND skip)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindThreadDialog(threadId, title, skip)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs)
{
    return WaitFor([&] { return !IsWindow(hwnd); }, timeoutMs);
}

std::wstring GetText(HWND hwnd)
{
    // Through the message (not GetWindowText), so a control of another thread answers too.
    LRESULT n = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(n));
    return text;
}

std::wstring GetItemText(HWND dialog, int id)
{
    return GetText(GetDlgItem(dialog, id));
}

void SetItemText(HWND dialog, int id, const wchar_t* text)
{
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void SetCheck(HWND dialog, int id, bool checked)
{
    SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Notify(dialog, id, BN_CLICKED);
}

int GetCheck(HWND dialog, int id)
{
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

void SelectCombo(HWND dialog, int id, int index)
{
    SendMessageW(GetDlgItem(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Notify(dialog, id, CBN_SELCHANGE);
    Notify(dialog, id, CBN_SELENDOK);
}

void Click(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool IsItemEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool IsItemVisible(HWND dialog, int id)
{
    return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE;
}

bool AnswerBox(DWORD threadId, int button, DWORD timeoutMs, std::wstring* text, HWND skip)
{
    HWND box = WaitForThreadDialog(threadId, timeoutMs, nullptr, skip);
    if (!box) return false;
    if (text) {
        // The box's message is its static text (id 0xFFFF in the system's message box).
        text->clear();
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t cls[16];
            if (GetClassNameW(c, cls, 16) && lstrcmpiW(cls, L"Static") == 0) *text += GetText(c);
        }
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    return WaitForWindowGone(box, timeoutMs);
}

DialogWatchdog::DialogWatchdog(DWORD threadId, DWORD timeoutMs)
    : m_thread([this, threadId, timeoutMs] {
          const DWORD start = GetTickCount();
          while (!m_stop) {
              Sleep(50);
              if (GetTickCount() - start < timeoutMs) continue;
              m_fired = true;
              std::vector<HWND> dialogs;
              EnumThreadWindows(threadId, CollectDialogsProc, reinterpret_cast<LPARAM>(&dialogs));
              // Innermost first: the last made is enumerated first.
              for (HWND d : dialogs) {
                  PostMessageW(d, WM_CANCELMODE, 0, 0);
                  PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
              }
              for (int i = 0; i < 10 && !m_stop; ++i) Sleep(50);
          }
      })
{
}

DialogWatchdog::~DialogWatchdog()
{
    m_stop = true;
    m_thread.join();
}

void RunModal(const std::function<void()>& show, const std::function<void(DWORD threadId)>& driver, DWORD watchdogMs)
{
    const DWORD threadId = GetCurrentThreadId();
    DialogWatchdog watchdog(threadId, watchdogMs);
    std::thread driverThread([&] { driver(threadId); });
    show();
    driverThread.join();
}

} // namespace zntest
