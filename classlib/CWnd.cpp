#include "CWnd.h"

namespace {
// The object behind each window lives in a window property, so any window (our own class,
// a dialog, a subclassed control) can be routed the same way.
const wchar_t kObjectProp[] = L"classlib.CWnd";
thread_local CWnd* t_creating = nullptr;
}

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND h = m_hWnd;
        if (m_prevProc) UnsubclassWindow();
        else {
            RemovePropW(h, kObjectProp);
            m_hWnd = nullptr;
            ::DestroyWindow(h);
        }
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
    SetPropW(hwnd, kObjectProp, this);
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!hwnd || m_hWnd) return FALSE;
    Bind(hwnd);
    m_prevProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::Router)));
    if (!m_prevProc) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND h = m_hWnd;
    if (!h) return nullptr;
    if (m_prevProc) SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prevProc));
    RemovePropW(h, kObjectProp);
    m_prevProc = nullptr;
    m_hWnd = nullptr;
    return h;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    return hwnd ? static_cast<CWnd*>(GetPropW(hwnd, kObjectProp)) : nullptr;
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
        RemovePropW(hwnd, kObjectProp);
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
