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
    // FALSE, with nothing bound, for a window that an object holds already, one whose procedure
    // is the router already, and one whose procedure cannot be replaced.
    BOOL SubclassWindow(HWND hwnd);
    // Runs once the object is bound by SubclassWindow: a control may adjust its window here.
    virtual void PreSubclassWindow() {}
    HWND UnsubclassWindow();

    static CWnd* FromHandlePermanent(HWND hwnd);

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
    CString GetWindowText() const { return GetWindowText(m_hWnd); }
    // The whole text of any window, however long.
    static CString GetWindowText(HWND window);
    LONG_PTR GetStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    LONG_PTR GetExStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE); }
    // (Members named like the API calls of the window itself are left out: derived windows
    // call those APIs with a handle, unqualified.)
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void SetFont(HFONT font, BOOL redraw = TRUE) const { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }

    // Runs before the message is dispatched, inside the program's message loop and inside
    // every modal loop of a dialog, a property sheet or a common dialog (through the thread's
    // message filter), for the window the message is for and each of its parents up to the
    // top-level window. TRUE consumes the message.
    virtual BOOL PreTranslateMessage(MSG* /*msg*/) { return FALSE; }
    // Offers the message to the windows from msg->hwnd up to its top-level window.
    static BOOL WalkPreTranslateTree(MSG* msg);

    // A parent reflects what concerns one control (WM_DRAWITEM, WM_MEASUREITEM, the control's
    // WM_COMMAND and WM_NOTIFY codes) to the control's own object first; TRUE with *result
    // when the control handled it.
    virtual BOOL OnChildNotify(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT* /*result*/) { return FALSE; }
    // The reflection for a parent: finds the control's object and calls its OnChildNotify.
    static BOOL ReflectChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

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
