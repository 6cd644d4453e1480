#include "CWnd.h"

#include <unordered_map>

namespace {
// The object behind each window of the process, so any window (our own class, a dialog, a
// subclassed control) can be routed the same way. The router looks it up for every message:
// a window property would do, but under Wine each property read is a round trip to the
// window server. Never freed: objects may unbind while static objects are destroyed.
struct WindowObjects
{
    SRWLOCK lock = SRWLOCK_INIT;
    std::unordered_map<HWND, CWnd*> objects;
};

WindowObjects& Windows()
{
    static WindowObjects* const windows = new WindowObjects;
    return *windows;
}

void SetObject(HWND hwnd, CWnd* wnd)
{
    WindowObjects& w = Windows();
    AcquireSRWLockExclusive(&w.lock);
    w.objects[hwnd] = wnd;
    ReleaseSRWLockExclusive(&w.lock);
}

// Binds the window unless an object holds it already.
bool AddObject(HWND hwnd, CWnd* wnd)
{
    WindowObjects& w = Windows();
    AcquireSRWLockExclusive(&w.lock);
    const bool added = w.objects.emplace(hwnd, wnd).second;
    ReleaseSRWLockExclusive(&w.lock);
    return added;
}

// Unbinds the window; with only set, only when the window is bound to that object.
void RemoveObject(HWND hwnd, CWnd* only = nullptr)
{
    WindowObjects& w = Windows();
    AcquireSRWLockExclusive(&w.lock);
    auto found = w.objects.find(hwnd);
    if (found != w.objects.end() && (!only || found->second == only)) w.objects.erase(found);
    ReleaseSRWLockExclusive(&w.lock);
}

thread_local CWnd* t_creating = nullptr;
}

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND h = m_hWnd;
        if (m_prevProc) UnsubclassWindow();
        else {
            RemoveObject(h);
            m_hWnd = nullptr;
            ::DestroyWindow(h);
        }
    } else if (m_hWnd) {
        // A window that went without its last message reaching this object.
        RemoveObject(m_hWnd, this);
    }
}

BOOL CWnd::RegisterClass(const wchar_t* className, UINT style, HICON icon, HCURSOR cursor, HBRUSH background)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    HINSTANCE inst = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(inst, className, &wc)) return TRUE;
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &CWnd::Router;
    wc.hInstance = inst;
    wc.hIcon = icon;
    wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0;
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                    int x, int y, int cx, int cy, HWND parent, HMENU menu, void* param)
{
    CREATESTRUCTW cs{};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className;
    cs.lpszName = windowName;
    cs.style = static_cast<LONG>(style);
    cs.x = x;
    cs.y = y;
    cs.cx = cx;
    cs.cy = cy;
    cs.hwndParent = parent;
    cs.hMenu = menu;
    cs.hInstance = GetModuleHandleW(nullptr);
    cs.lpCreateParams = param;
    if (!PreCreateWindow(cs)) return FALSE;
    if (cs.hwndParent && !(cs.style & WS_POPUP)) cs.style |= WS_CHILD;
    t_creating = this;
    HWND h = CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                             cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    t_creating = nullptr;
    if (!h) return FALSE;
    if (!m_hWnd) Bind(h);
    return TRUE;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTW&)
{
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

void CWnd::Bind(HWND hwnd)
{
    m_hWnd = hwnd;
    SetObject(hwnd, this);
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    // A window has one object: a second one's previous procedure would be the router, which
    // would hand every message to that same object again, without end.
    if (!hwnd || m_hWnd || !AddObject(hwnd, this)) return FALSE;
    m_hWnd = hwnd;
    m_prevProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::Router)));
    // Refused (another process's window), or a window of the router's class that no object
    // holds: nothing of the binding stays, so the destructor leaves the window alone.
    if (!m_prevProc || m_prevProc == &CWnd::Router) {
        RemoveObject(hwnd, this);
        m_prevProc = nullptr;
        m_hWnd = nullptr;
        return FALSE;
    }
    PreSubclassWindow();
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND h = m_hWnd;
    if (!h) return nullptr;
    if (m_prevProc) SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prevProc));
    RemoveObject(h);
    m_prevProc = nullptr;
    m_hWnd = nullptr;
    return h;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    if (!hwnd) return nullptr;
    WindowObjects& w = Windows();
    AcquireSRWLockShared(&w.lock);
    auto found = w.objects.find(hwnd);
    CWnd* wnd = found == w.objects.end() ? nullptr : found->second;
    ReleaseSRWLockShared(&w.lock);
    return wnd;
}

CString CWnd::GetWindowText(HWND window)
{
    CString text;
    int n = ::GetWindowTextLengthW(window);
    if (n > 0) {
        ::GetWindowTextW(window, text.GetBuffer(n + 1), n + 1);
        text.ReleaseBuffer();
    }
    return text;
}

LRESULT CWnd::Default(UINT msg, WPARAM wp, LPARAM lp)
{
    return m_prevProc ? CallWindowProcW(m_prevProc, m_hWnd, msg, wp, lp) : DefWindowProcW(m_hWnd, msg, wp, lp);
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    return Default(msg, wp, lp);
}

LRESULT CALLBACK CWnd::Router(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (!wnd && t_creating) {
        // First message of a window being created through CreateEx (WM_GETMINMAXINFO or WM_NCCREATE).
        wnd = t_creating;
        t_creating = nullptr;
        wnd->Bind(hwnd);
    }
    if (!wnd) return DefWindowProcW(hwnd, msg, wp, lp);

    LRESULT r = wnd->WindowProc(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        WNDPROC prev = wnd->m_prevProc;
        RemoveObject(hwnd);
        if (prev) SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
        wnd->m_prevProc = nullptr;
        wnd->m_hWnd = nullptr;
        wnd->PostNcDestroy();
    }
    return r;
}

BOOL CWnd::WalkPreTranslateTree(MSG* msg)
{
    for (HWND h = msg->hwnd; h; h = (::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) ? ::GetParent(h) : nullptr) {
        CWnd* wnd = FromHandlePermanent(h);
        if (wnd && wnd->PreTranslateMessage(msg)) return TRUE;
    }
    return FALSE;
}

BOOL CWnd::ReflectChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    HWND control = nullptr;
    switch (msg) {
    case WM_DRAWITEM:
        // Menus are drawn by their owner; only controls reflect.
        if (wp) control = reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem;
        break;
    case WM_COMMAND:
        control = reinterpret_cast<HWND>(lp);
        break;
    case WM_NOTIFY:
        control = reinterpret_cast<NMHDR*>(lp)->hwndFrom;
        break;
    default:
        break;
    }
    CWnd* wnd = FromHandlePermanent(control);
    return wnd && wnd->OnChildNotify(msg, wp, lp, result);
}
