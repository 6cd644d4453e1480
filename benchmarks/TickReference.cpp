#include "TickReference.h"

#include <cwchar>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const wchar_t kClassName[] = L"zn_bench_tick_reference";
const UINT_PTR kTimerId = 1;

}  // namespace

bool CTickReference::Create(int x, int y, SIZE size)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    if (!GetClassInfoW(instance, kClassName, &wc)) {
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        if (!RegisterClassW(&wc)) return false;
    }
    m_size = size;
    HDC screen = GetDC(nullptr);
    m_memDC = CreateCompatibleDC(screen);
    m_bitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
    ReleaseDC(nullptr, screen);
    if (!m_memDC || !m_bitmap) return false;
    m_oldBitmap = SelectObject(m_memDC, m_bitmap);
    m_background = CreateSolidBrush(RGB(0, 0, 0x80));
    if (GdipCreateFontFamilyFromName(L"Tahoma", nullptr, m_family.Out()) != Ok &&
        GdipGetGenericFontFamilySansSerif(m_family.Out()) != Ok)
        return false;
    if (GdipCreateFont(m_family, 16.0f, FontStyleRegular, UnitPixel, m_font.Out()) != Ok) return false;
    if (GdipCreateSolidFill(0xFFFFFF00, m_brush.Out()) != Ok) return false;

    m_hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, nullptr, WS_POPUP, x, y, size.cx, size.cy,
                             nullptr, nullptr, instance, this);
    if (!m_hwnd) return false;
    ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
    return SetTimer(m_hwnd, kTimerId, 10, nullptr) != 0;
}

void CTickReference::Destroy()
{
    if (m_hwnd) DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    m_brush.Reset();
    m_font.Reset();
    m_family.Reset();
    if (m_memDC) {
        SelectObject(m_memDC, m_oldBitmap);
        DeleteDC(m_memDC);
    }
    if (m_bitmap) DeleteObject(m_bitmap);
    if (m_background) DeleteObject(m_background);
    m_memDC = nullptr;
    m_bitmap = nullptr;
    m_background = nullptr;
}

LRESULT CALLBACK CTickReference::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<CTickReference*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_TIMER:
        if (self) self->OnTimer();
        return 0;
    case WM_PAINT:
        if (self) {
            self->OnPaint();
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void CTickReference::OnTimer()
{
    ++ticks;
    SYSTEMTIME t;
    GetLocalTime(&t);
    swprintf(m_text, 32, L"%02u:%02u:%02u.%02u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds / 10);
    SetWindowTextW(m_hwnd, m_text);
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CTickReference::OnPaint()
{
    ++paints;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hwnd, &ps);
    RECT all{0, 0, m_size.cx, m_size.cy};
    FillRect(m_memDC, &all, m_background);
    CGpGraphics g;
    if (GdipCreateFromHDC(m_memDC, g.Out()) == Ok) {
        GdipSetTextRenderingHint(g, TextRenderingHintAntiAlias);
        RectF layout(0, 0, static_cast<REAL>(m_size.cx), static_cast<REAL>(m_size.cy));
        GdipDrawString(g, m_text, -1, m_font, &layout, nullptr, m_brush);
    }
    g.Reset();
    BitBlt(dc, 0, 0, m_size.cx, m_size.cy, m_memDC, 0, 0, SRCCOPY);
    EndPaint(m_hwnd, &ps);
}
