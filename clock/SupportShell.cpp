#include "SupportShell.h"

#include "Log/LogMan.h"
#include "StringTable.h"

void UpdateMenuCmdUI(CWnd* target, HMENU menu)
{
    if (!target || !menu) return;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT id = GetMenuItemID(menu, i);
        if (id == 0) continue;  // separator
        if (id == static_cast<UINT>(-1)) {
            UpdateMenuCmdUI(target, GetSubMenu(menu, i));
            continue;
        }
        CCmdUI state;
        state.m_nID = id;
        state.m_nIndex = static_cast<UINT>(i);
        state.m_pMenu = menu;
        state.m_pParentMenu = menu;
        state.m_nIndexMax = static_cast<UINT>(count);
        state.DoUpdate(target, TRUE);
    }
}

CString MonitorLogText(const MONITORINFO& info)
{
    const RECT& r = info.rcMonitor;
    CString text;
    text.Format(L"%d (%ld,%ld)(%ldx%ld)", (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0, r.left, r.top,
                r.right - r.left, r.bottom - r.top);
    return text;
}

BOOL CALLBACK MonitorEnumProc(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) {
        ZN_LOG_ERROR(GetLastError(), L"GetMonitorInfoW", LOG_ERROR);
        return TRUE;
    }
    ZN_LOG(LOG_INFO, MonitorLogText(info).GetString());
    if (auto* rects = reinterpret_cast<std::vector<RECT>*>(data)) rects->push_back(info.rcMonitor);
    return TRUE;
}

CString ErrorCodeText(DWORD code)
{
    CString text;
    text.Format(L"Error: %#08x", code);
    return text;
}

void ShowErrorCode(DWORD code, HWND parent)
{
    MessageBoxW(parent, ErrorCodeText(code), GetStr(SID_PRODUCT), MB_ICONWARNING);
}

COleDateTime GetLocalDateTime()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return COleDateTime(now);
}

int SkipWorkingSetTrim()
{
    return 1;
}
