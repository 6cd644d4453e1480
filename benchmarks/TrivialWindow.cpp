// The yardstick of the start-up benchmark: the least a Win32 program does to show a popup
// window with a text, started the way the clock is.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        wchar_t text[64];
        GetWindowTextW(hwnd, text, 64);
        RECT r;
        GetClientRect(hwnd, &r);
        DrawTextW(dc, text, -1, &r, DT_NOPREFIX | DT_EDITCONTROL | DT_NOCLIP);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"zn_bench_trivial_window";
    if (!RegisterClassW(&wc)) return 1;
    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, wc.lpszClassName, nullptr, WS_POPUP, 40, 40, 347,
                                31, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    SetWindowTextW(hwnd, L" 10:00:01 AM - December 08, 2026 ");
    ShowWindow(hwnd, SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
