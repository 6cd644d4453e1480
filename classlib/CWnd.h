// CWnd: a C++ object over an HWND. Windows created through CWnd (or subclassed with
// Attach/SubclassWindow) route every message to the virtual WindowProc; derived classes
// override WindowProc and switch on the messages they handle, calling
// CWnd::WindowProc (which calls the previous window procedure) for the rest.
#pragma once

#include "CString.h"

class CCmdUI;

// Codes of CWnd::OnCmdMsg.
enum : int {
    CN_COMMAND = 0,
    CN_UPDATE_COMMAND_UI = -1,
};

class CWnd
{
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Registers (once per process) a window class whose procedure is CWnd's router.
    static BOOL RegisterClass(const wchar_t* className, UINT style, HICON icon = nullptr,
                              HCURSOR cursor = nullptr, HBRUSH background = nullptr);

    // Creates a window of a class registered through RegisterClass; a parented window
    // always gets WS_CHILD unless it is a popup. PreCreateWindow sees (and may change) the
    // creation parameters first; its FALSE ends the creation.
    virtual BOOL CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                          int x, int y, int cx, int cy, HWND parent, HMENU menu, void* param = nullptr);
    virtual BOOL DestroyWindow();

    // Routes an existing window's messages through this object (window procedure subclassing).
    BOOL SubclassWindow(HWND hwnd);
    HWND UnsubclassWindow();

    static CWnd* FromHandlePermanent(HWND hwnd);

    HWND GetSafeHwnd() const { return this ? m_hWnd : nullptr; }
    operator HWND() const { return m_hWnd; }

    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageW(m_hWnd, msg, wp, lp); }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageW(m_hWnd, msg, wp, lp); }
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    void GetWindowRect(RECT* r) const { ::GetWindowRect(m_hWnd, r); }
    void GetClientRect(RECT* r) const { ::GetClientRect(m_hWnd, r); }
    void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) const { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
    void SetWindowText(const wchar_t* text) const { ::SetWindowTextW(m_hWnd, text); }
    CString GetWindowText() const;
    LONG_PTR GetStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    LONG_PTR GetExStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE); }

    // Menu command routing. CN_UPDATE_COMMAND_UI: run the update handler of id on cmdUI and
    // return TRUE when there is one. CN_COMMAND: return TRUE when there is a handler of id,
    // running it unless queryOnly is set.
    virtual BOOL OnCmdMsg(UINT /*id*/, int /*code*/, CCmdUI* /*cmdUI*/, bool /*queryOnly*/) { return FALSE; }

    HWND m_hWnd = nullptr;

protected:
    virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // Called after WM_NCDESTROY, when the handle is gone; the object may delete itself here.
    virtual void PostNcDestroy() {}
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp);

private:
    static LRESULT CALLBACK Router(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Bind(HWND hwnd);

    WNDPROC m_prevProc = nullptr;
};
