#include "ToolTipCtrl3.h"

#include "Log/LogMan.h"
#include "RTLLayout.h"
#include "SupportShell.h"
#include "SupportWindowsVersion.h"
#include "StringTable.h"
#include "ZNMemDC.h"
#include "resource.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <cwchar>

namespace {
const wchar_t kClassName[] = L"qx_znctooltipctrl_32";
const UINT kMeasureFlags = DT_CALCRECT | DT_NOCLIP | DT_NOPREFIX | DT_EDITCONTROL;
const LONG kBoldWeight = 700;
static_assert(sizeof(NONCLIENTMETRICSW) == 504 && offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth) == 500,
              "the two sizes of the non-client metrics");

// The status-bar font of the non-client metrics. The metrics carry the padded-border field
// from Windows Vista on; Windows XP refuses a structure that has it.
BOOL ReadStatusFont(LOGFONTW& font)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = IsWindowsExactly(WINLEVEL_XP) ? offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth)
                                                   : sizeof(NONCLIENTMETRICSW);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
        ZN_LOG(LOG_ERROR, GetLastError());
        return FALSE;
    }
    font = metrics.lfStatusFont;
    return TRUE;
}
}

CToolTipCtrl3::~CToolTipCtrl3()
{
    // Destroyed here, while WM_DESTROY still reaches this class's handler.
    DestroyWindow();
}

BOOL CToolTipCtrl3::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!CWnd::RegisterClass(kClassName, CS_SAVEBITS, nullptr, LoadCursorW(nullptr, IDC_ARROW),
                             nullptr)) {
        ZN_LOG_ERROR(GetLastError(), L"RegisterClassEx qx_znctooltipctrl_32", LOG_ERROR);
        return FALSE;
    }
    cs.lpszClass = kClassName;
    return TRUE;
}

BOOL CToolTipCtrl3::MakeFonts()
{
    LOGFONTW font{};
    if (!ReadStatusFont(font)) return FALSE;
    m_fontRegular.CreateFontIndirect(&font);
    font.lfWeight = kBoldWeight;
    m_fontBold.CreateFontIndirect(&font);
    return TRUE;
}

BOOL CToolTipCtrl3::Create(CWnd* /*parent: the tip has no owner*/)
{
    if (!MakeFonts()) return FALSE;
    if (!CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr)) {
        ZN_LOG_ERROR(GetLastError(), L"CreateWindowEx qx_znctooltipctrl_32", LOG_ERROR);
        return FALSE;
    }
    return TRUE;
}

void CToolTipCtrl3::Hide()
{
    DestroyWindow();
}

void CToolTipCtrl3::Popup()
{
    if (!IsWindowVisible()) ShowTip(FALSE);
}

LRESULT CToolTipCtrl3::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SETTINGCHANGE: {
        LRESULT r = Default(msg, wp, lp);
        OnSettingChange(static_cast<UINT>(wp), reinterpret_cast<const wchar_t*>(lp));
        return r;
    }
    case WM_DESTROY: {
        LRESULT r = Default(msg, wp, lp);
        OnDestroy();
        return r;
    }
    default:
        return CWnd::WindowProc(msg, wp, lp);
    }
}

void CToolTipCtrl3::OnSettingChange(UINT flags, const wchar_t* /*section*/)
{
    if (flags != SPI_SETNONCLIENTMETRICS) return;
    LOGFONTW status{}, current{};
    if (!ReadStatusFont(status)) return;
    m_fontRegular.GetLogFont(&current);
    if (std::memcmp(&status, &current, sizeof(LOGFONTW)) == 0) return;
    m_fontRegular.DeleteObject();
    m_fontBold.DeleteObject();
    MakeFonts();
}

void CToolTipCtrl3::OnDestroy()
{
    m_fontRegular.DeleteObject();
    m_fontBold.DeleteObject();
}

UINT CToolTipCtrl3::GetHintStringId(int pairedKind, BOOL siblingFound)
{
    switch (pairedKind) {
    case 1: return siblingFound ? IDS_TIP_CALENDAR_NO_ACCESS : IDS_TIP_CALENDAR_NOT_RUNNING;
    case 2: return siblingFound ? IDS_TIP_CALENDAR_NET_NO_ACCESS : IDS_TIP_CALENDAR_NET_NOT_RUNNING;
    default: return siblingFound ? IDS_TIP_ORGANIZER_NO_ACCESS : IDS_TIP_ORGANIZER_NOT_RUNNING;
    }
}

CString CToolTipCtrl3::GetHintText() const
{
    CWinApp* app = AfxGetApp();
    int kind = app ? static_cast<int>(app->GetProfileInt(GetStr(SID_SECTION_COMMON), GetStr(SID_KEY_TPS), 0)) : 0;
    CString text;
    text.LoadString(GetHintStringId(kind, m_bSiblingFound));
    return text;
}

int CToolTipCtrl3::GetIconSize(int smallIconWidth)
{
    if (smallIconWidth < 24) return 16;
    if (smallIconWidth < 32) return 24;
    return 32;
}

CString CToolTipCtrl3::FormatDateLine(const SYSTEMTIME& date, const wchar_t* longDateFormat)
{
    CString text;
    if (longDateFormat && *longDateFormat) {
        CString format(longDateFormat);
        const bool prefixed = format.Find(L"ddd") < 0;
        if (prefixed) format = CString(L"dddd',' ") + format;
        wchar_t buf[256];
        if (GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, format, buf, 256) > 0) text = buf;
        if (prefixed && !text.IsEmpty()) {
            wchar_t first[2] = {text[0], 0};
            CharUpperW(first);
            text.SetAt(0, first[0]);
        }
    }
    if (text.IsEmpty() && date.wMonth >= 1 && date.wMonth <= 12 && date.wDay >= 1 && date.wDay <= 31 &&
        date.wDayOfWeek <= 6 && date.wYear >= 100 && date.wYear <= 9999) {
        std::tm tm{};
        tm.tm_year = date.wYear - 1900;
        tm.tm_mon = date.wMonth - 1;
        tm.tm_mday = date.wDay;
        tm.tm_wday = date.wDayOfWeek;
        wchar_t buf[256];
        if (std::wcsftime(buf, 256, L"%A, %B %d, %Y", &tm) > 0) text = buf;
    }
    return text;
}

CString CToolTipCtrl3::GetDateText()
{
    SYSTEMTIME now{};   // an invalid local time leaves it zero, which no step can format
    GetLocalDateTime().GetAsSystemTime(now);
    wchar_t format[256];
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, format, 256)) format[0] = 0;
    return FormatDateLine(now, format);
}

SIZE CToolTipCtrl3::MeasureTip(CDC& dc, int iconSize)
{
    RECT rect{0, 0, 800, 600};
    m_strText = GetDateText();
    HGDIOBJ oldFont = dc.SelectObject(&m_fontBold);
    dc.DrawText(m_strText, -1, &rect, kMeasureFlags);
    RECT box = rect;
    box.bottom += 8;
    box.right += iconSize + 4;

    // Each line in the font it is drawn in: the reminders line regular, the hint bold.
    CString reminders;
    reminders.LoadString(IDS_TIP_REMINDERS);
    const struct { CString text; CFont* font; } lines[] = {{reminders, &m_fontRegular}, {GetHintText(), &m_fontBold}};
    for (const auto& line : lines) {
        dc.SelectObject(line.font);
        box.bottom += dc.DrawText(line.text, -1, &rect, kMeasureFlags) + 2;
        const LONG width = rect.right - rect.left;
        if (box.right - box.left < width) box.right = box.left + width + iconSize;
    }
    dc.SelectObject(oldFont);
    return SIZE{box.right - box.left + 8, box.bottom - box.top + 8};
}

POINT CToolTipCtrl3::PlaceTip(const RECT& anchor, const RECT& area, SIZE tip)
{
    POINT pt{anchor.left, anchor.bottom + 1};
    if (anchor.bottom + tip.cy >= area.bottom) pt.y = anchor.top - tip.cy - 1;
    if (anchor.left + tip.cx >= area.right) pt.x = area.right - tip.cx - 1;
    if (pt.x < area.left) pt.x = area.left + 1;
    if (pt.y < area.top) pt.y = anchor.bottom + 1;
    return pt;
}

void CToolTipCtrl3::ShowTip(BOOL repaint)
{
    if (!::IsWindow(m_hWnd)) return;
    SIZE tip;
    {
        CClientDC dc(this);
        tip = MeasureTip(dc, GetIconSize(GetSystemMetrics(SM_CXSMICON)));
    }

    RECT anchor{};
    ::GetWindowRect(m_hAnchor, &anchor);
    RECT area{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetSystemMetrics(SM_CMONITORS) &&
        GetMonitorInfoW(MonitorFromRect(&anchor, MONITOR_DEFAULTTONEAREST), &monitor)) {
        // Over a topmost clock the tip may cover the taskbar, as the clock does.
        const bool topmost = (::GetWindowLongPtrW(m_hAnchor, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        area = topmost ? monitor.rcMonitor : monitor.rcWork;
    } else {
        CClientDC screen(nullptr);
        area = RECT{0, 0, screen.GetDeviceCaps(HORZRES), screen.GetDeviceCaps(VERTRES)};
    }

    const POINT pt = PlaceTip(anchor, area, tip);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, pt.x, pt.y, tip.cx, tip.cy, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (repaint) Invalidate(TRUE);
}

void CToolTipCtrl3::Draw(CDC& dc, const RECT& client, BOOL rtl)
{
    const int iconSize = GetIconSize(GetSystemMetrics(SM_CXSMICON));
    const UINT direction = rtl ? DT_RIGHT | DT_RTLREADING : 0;

    RECT inner = client;
    dc.FrameRect(&inner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&inner, -1, -1);
    dc.FillRect(&inner, GetSysColorBrush(COLOR_INFOBK));
    const COLORREF oldColor = dc.SetTextColor(GetSysColor(COLOR_INFOTEXT));
    dc.SetBkMode(TRANSPARENT);
    InflateRect(&inner, -3, -3);
    inner.top += 1;

    HGDIOBJ oldFont = dc.SelectObject(&m_fontBold);
    RECT line = inner;
    if (rtl)
        line.right -= iconSize + 4;
    else
        line.left += iconSize + 4;
    const int dateHeight = dc.DrawText(m_strText, -1, &line, DT_NOPREFIX | DT_EDITCONTROL | direction);

    CIconHandle icon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                   IMAGE_ICON, iconSize, iconSize, LR_DEFAULTCOLOR)));
    if (icon) {
        const int x = rtl ? inner.right - iconSize - 1 : inner.left + 1;
        const int y = inner.top + (std::max(iconSize, dateHeight) - iconSize) / 2;
        dc.DrawIconEx(x, y, icon, iconSize, iconSize, DI_NORMAL);
    }

    const LONG separatorY = inner.top + dateHeight + 5;
    RECT separator{inner.left + 1, separatorY, inner.right - 1, separatorY + 1};
    dc.FillRect(&separator, GetSysColorBrush(COLOR_WINDOWFRAME));

    CString reminders;
    reminders.LoadString(IDS_TIP_REMINDERS);
    const CString hint = GetHintText();
    const UINT flags = DT_END_ELLIPSIS | DT_NOPREFIX | DT_EDITCONTROL | direction;
    line = inner;
    line.top += dateHeight + 8;
    dc.SelectObject(&m_fontRegular);
    line.top += dc.DrawText(reminders, -1, &line, flags) + 2;
    dc.SelectObject(&m_fontBold);
    line.top += dc.DrawText(hint, -1, &line, flags) + 2;

    dc.SelectObject(oldFont);
    dc.SetTextColor(oldColor);
}

void CToolTipCtrl3::OnPaint()
{
    CPaintDC paint(this);
    CZNMemDC surface(&paint, this, TRUE);
    RECT client;
    GetClientRect(&client);
    Draw(*surface.GetDrawDC(), client, IsRTLLayout());
}
