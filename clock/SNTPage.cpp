#include "SNTPage.h"

#include "DigitClock.h"
#include "Log/LogMan.h"
#include "RTLLayout.h"
#include "SNTPWnd.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportSettings.h"
#include "SupportText.h"
#include "SupportUtilities.h"
#include "resource.h"

#include <shellapi.h>

namespace {

const wchar_t kServerListName[] = L"timesvrs.dat";
// Section names are read into this many characters; values are cut to 127.
constexpr DWORD kSectionNamesChars = 1024;
constexpr DWORD kValueChars = 128;
constexpr UINT kHelpContext = 0x20000 + IDD_SNTP_PAGE;

// The hours of "AHR" as the client takes them: 0 and 1 give 1, above 24 gives 24.
int LimitInterval(int stored)
{
    const unsigned hours = static_cast<unsigned>(stored);
    return hours <= 1 ? 1 : hours > 24 ? 24 : static_cast<int>(hours);
}

// At most 24 as an unsigned number: 0 stays 0, a negative number becomes 24.
int AtMost24(int value)
{
    return static_cast<unsigned>(value) > 24 ? 24 : value;
}

} // namespace

const wchar_t* CSNTPage::s_serverListPath = nullptr;

CSNTPage::CSNTPage() : CPropertyPage(IDD_SNTP_PAGE)
{
}

CSNTPWnd* CSNTPage::SntpWnd()
{
    CWinApp* app = AfxGetApp();
    auto* clock = app ? dynamic_cast<CDigitClock*>(app->m_pMainWnd) : nullptr;
    if (!clock || !clock->m_hWnd || !IsWindow(clock->m_hWnd)) return nullptr;
    CSNTPWnd* sntp = clock->GetSntpWnd();
    return sntp && sntp->m_hWnd ? sntp : nullptr;
}

CString CSNTPage::ServerListPath()
{
    if (s_serverListPath) return s_serverListPath;
    CString folder = ReadInstallValue(GetStr(SID_KEY_PATH));
    if (folder.IsEmpty()) {
        wchar_t own[MAX_PATH] = L"";
        const DWORD n = GetModuleFileNameW(nullptr, own, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return CString();
        folder = own;
        folder = folder.Left(folder.ReverseFind(L'\\'));
    }
    return folder + L"\\" + kServerListName;
}

CString CSNTPage::SyncLogPath()
{
    return BuildLogFilePath(GetStr(SID_LOGS_FOLDER), GetStr(SID_LOG_SYNC), GetStr(SID_LOG_NAME_FORMAT),
                            GetStr(SID_LOG_SYNC));
}

std::vector<CSNTPage::tagTimeServer> CSNTPage::ReadServerList(const wchar_t* path)
{
    std::vector<tagTimeServer> servers;
    if (!path || !*path) return servers;
    wchar_t names[kSectionNamesChars] = L"";
    DWORD length = GetPrivateProfileSectionNamesW(names, kSectionNamesChars, path);
    if (length >= kSectionNamesChars - 2) {
        // The buffer was too small and its last name is cut: that section is not seen.
        while (length > 0 && names[length - 1]) --length;
    }
    for (DWORD i = 0; i < length && names[i];) {
        const wchar_t* section = names + i;
        const size_t n = wcsnlen(section, length - i);
        i += static_cast<DWORD>(n) + 1;
        if (i > length + 1) break;
        wchar_t loc[kValueChars] = L"", adr[kValueChars] = L"";
        GetPrivateProfileStringW(section, L"Loc", L"", loc, kValueChars, path);
        GetPrivateProfileStringW(section, L"Adr", L"", adr, kValueChars, path);
        tagTimeServer server{CString(loc), CString(adr)};
        server.adr.Trim();
        if (!server.loc.IsEmpty() && !server.adr.IsEmpty()) servers.push_back(server);
    }
    return servers;
}

void CSNTPage::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_SNTP_LOG, m_logList);
    DDX_Control(dx, IDC_SNTP_SERVER, m_servers);
    DDX_Control(dx, IDC_SNTP_INTERVAL_SPIN, m_intervalSpin);
    DDX_CBIndex(dx, IDC_SNTP_SERVER, m_selected);
    DDX_Text(dx, IDC_SNTP_INTERVAL, m_interval);
}

void CSNTPage::LoadSettings()
{
    m_automatic = GetSettingInt(Setting::kATA);
    m_minutesSecondsOnly = GetSettingInt(Setting::kMSO);
    m_writeLog = GetSettingInt(Setting::kW2F);
    m_dialUp = GetSettingInt(Setting::kNOD);
    m_interval = LimitInterval(GetSettingInt(Setting::kAHR));
    m_server = GetSettingString(Setting::kSVR);
    FillServerList();
}

void CSNTPage::FillServerList()
{
    m_servers.ResetContent();
    m_addresses.assign(1, CString());
    CString select;
    auto add = [&](const wchar_t* text, const CString& address) {
        const int item = m_servers.AddString(text);
        if (item < 0) return;
        m_servers.SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(m_addresses.size()));
        m_addresses.push_back(address);
    };
    for (const tagTimeServer& server : ReadServerList(ServerListPath())) {
        add(server.loc, server.adr);
        if (server.adr.CompareNoCase(m_server) == 0) select = server.loc;
    }
    if (!m_server.IsEmpty() && select.IsEmpty()) {
        add(m_server, m_server);
        select = m_server;
    }
    // Put in place last and without sorting, so that no text of the list (one that starts
    // with blanks or signs) can ever come before it: index 0 is always "do not synchronize".
    m_servers.SendMessage(CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(LoadResString(IDS_SNTP_DO_NOT_SYNC).GetString()));
    m_servers.SendMessage(CB_SETITEMDATA, 0, 0);

    m_selected = -1;
    if (!select.IsEmpty()) {
        // Several items may show the same text: take the first whose address is the server.
        int first = -1;
        for (int from = -1;;) {
            const int hit = static_cast<int>(
                m_servers.SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(select.GetString())));
            if (hit == CB_ERR || hit == first) break;
            if (first < 0) first = hit;
            const size_t index = static_cast<size_t>(m_servers.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(hit)));
            if (index < m_addresses.size() && m_addresses[index].CompareNoCase(m_server) == 0) {
                m_selected = hit;
                break;
            }
            // The search wraps round: a hit before the last one means every item was seen.
            if (hit <= from) break;
            from = hit;
        }
    }
    if (m_selected < 0) {
        m_selected = 0;
        m_server.Empty();
    }
}

BOOL CSNTPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    LoadSettings();
    m_servers.SetCurSel(m_selected);
    m_intervalSpin.SetRange(1, 24);
    m_intervalSpin.SetPos(m_interval);
    CheckDlgButton(m_hWnd, IDC_SNTP_AUTOMATIC, m_automatic ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_SNTP_MSO, m_minutesSecondsOnly ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_SNTP_WRITE_LOG, m_writeLog ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(m_hWnd, IDC_SNTP_MODEM, IDC_SNTP_LAN, m_dialUp ? IDC_SNTP_MODEM : IDC_SNTP_LAN);
    EnableInterval();
    UpdateServerControls();
    if (CSNTPWnd* sntp = SntpWnd(); sntp && !sntp->m_strStatus.IsEmpty()) AddLogLine(sntp->m_strStatus);
    ApplyRTLLayout(m_hWnd);
    return TRUE;
}

void CSNTPage::EnableInterval()
{
    const BOOL on = IsDlgButtonChecked(m_hWnd, IDC_SNTP_AUTOMATIC) == BST_CHECKED &&
                    IsWindowEnabled(GetDlgItem(IDC_SNTP_AUTOMATIC));
    EnableWindow(GetDlgItem(IDC_SNTP_INTERVAL), on);
    EnableWindow(GetDlgItem(IDC_SNTP_INTERVAL_SPIN), on);
}

void CSNTPage::UpdateServerControls()
{
    const int item = m_servers.GetCurSel();
    CString address;
    if (item >= 0) {
        const size_t index = static_cast<size_t>(m_servers.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(item)));
        if (index < m_addresses.size()) address = m_addresses[index];
    }
    ::SetWindowTextW(GetDlgItem(IDC_SNTP_ADDRESS), address);
    const BOOL real = item > 0;
    for (int id : {IDC_SNTP_SERVER_LABEL, IDC_SNTP_ADDRESS, IDC_SNTP_ADJUST_NOW, IDC_SNTP_LOG, IDC_SNTP_MODEM,
                   IDC_SNTP_LAN, IDC_SNTP_HOURS_LABEL, IDC_SNTP_MSO, IDC_SNTP_WRITE_LOG, IDC_SNTP_CONNECT_LABEL,
                   IDC_SNTP_VIEW_LOG, IDC_SNTP_CLEAR_LOG, IDC_SNTP_AUTOMATIC})
        EnableWindow(GetDlgItem(id), real);
    EnableInterval();
}

void CSNTPage::AddLogLine(const wchar_t* text)
{
    const int item = m_logList.AddString(text);
    if (item < 0) return;
    m_logList.SendMessage(LB_SETCARETINDEX, static_cast<WPARAM>(item), FALSE);
    m_logList.SetCurSel(item);
}

void CSNTPage::OnAdjustNow()
{
    const int item = m_servers.GetCurSel();
    if (item < 0) return;
    const BOOL minutesSecondsOnly = IsDlgButtonChecked(m_hWnd, IDC_SNTP_MSO) == BST_CHECKED;
    const size_t index = static_cast<size_t>(m_servers.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(item)));
    const CString address = index < m_addresses.size() ? m_addresses[index] : CString();
    if (address.IsEmpty()) {
        AddLogLine(LoadResString(IDS_SNTP_SELECT_SERVER));
        return;
    }
    CSNTPWnd* sntp = SntpWnd();
    if (!sntp) return;
    // A query already running (a scheduled one, or this page's own) is left alone: it would
    // start nothing, and its result would read as this request's.
    if (sntp->IsRequestRunning()) {
        AddLogLine(LoadResString(IDS_SNTP_BUSY));
        return;
    }
    AddLogLine(LoadResString(IDS_SNTP_STARTED));
    m_adjusted = TRUE;
    sntp->SetLogListBox(m_logList.m_hWnd);
    sntp->SetMinutesSecondsOnly(minutesSecondsOnly);
    // Asynchronous: the client answers through its window's messages while the sheet runs.
    sntp->Synchronize(WideToAnsi(address), 123, TRUE);
}

void CSNTPage::OnViewLog()
{
    const CString path = SyncLogPath();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No failure is reported to the user, not even by the shell.
    info.fMask = SEE_MASK_ASYNCOK | SEE_MASK_FLAG_NO_UI;
    info.hwnd = m_hWnd;
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) ZN_LOG(LOG_WARNING, GetLastError() << L" " << path.GetString());
}

void CSNTPage::OnClearLog()
{
    const CString path = SyncLogPath();
    if (!DeleteFileW(path) && GetLastError() != ERROR_FILE_NOT_FOUND)
        ZN_LOG(LOG_WARNING, GetLastError() << L" " << path.GetString());
}

void CSNTPage::OnHelp()
{
    // The help file may be missing; the application's help says so itself.
    if (CWinApp* app = AfxGetApp()) app->WinHelp(kHelpContext, HELP_CONTEXT);
}

BOOL CSNTPage::OnCommand(UINT id, UINT code, HWND)
{
    switch (id) {
    case IDC_SNTP_SERVER:
        if (code != CBN_SELCHANGE) return FALSE;
        UpdateServerControls();
        return TRUE;
    case IDC_SNTP_AUTOMATIC:
        if (code != BN_CLICKED) return FALSE;
        EnableInterval();
        return TRUE;
    case IDC_SNTP_ADJUST_NOW:
        if (code != BN_CLICKED) return FALSE;
        OnAdjustNow();
        return TRUE;
    case IDC_SNTP_VIEW_LOG:
        if (code != BN_CLICKED) return FALSE;
        OnViewLog();
        return TRUE;
    case IDC_SNTP_CLEAR_LOG:
        if (code != BN_CLICKED) return FALSE;
        OnClearLog();
        return TRUE;
    case IDC_SNTP_HELP:
        if (code != BN_CLICKED) return FALSE;
        OnHelp();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CSNTPage::OnKillActive()
{
    m_automatic = IsDlgButtonChecked(m_hWnd, IDC_SNTP_AUTOMATIC) == BST_CHECKED;
    m_minutesSecondsOnly = IsDlgButtonChecked(m_hWnd, IDC_SNTP_MSO) == BST_CHECKED;
    m_writeLog = IsDlgButtonChecked(m_hWnd, IDC_SNTP_WRITE_LOG) == BST_CHECKED;
    m_dialUp = IsDlgButtonChecked(m_hWnd, IDC_SNTP_MODEM) == BST_CHECKED;
    // In full: a stored server of any length reads back as itself, so OK sees no change.
    m_server = GetWindowText(GetDlgItem(IDC_SNTP_ADDRESS));
    return CPropertyPage::OnKillActive();
}

BOOL CSNTPage::SaveSettings()
{
    const BOOL unchanged = GetSettingInt(Setting::kATA) == m_automatic &&
                           GetSettingInt(Setting::kMSO) == m_minutesSecondsOnly &&
                           GetSettingInt(Setting::kW2F) == m_writeLog && GetSettingInt(Setting::kNOD) == m_dialUp &&
                           AtMost24(GetSettingInt(Setting::kAHR)) == m_interval &&
                           GetSettingString(Setting::kSVR).Compare(m_server) == 0;
    WriteSettingInt(Setting::kATA, m_automatic);
    WriteSettingInt(Setting::kMSO, m_minutesSecondsOnly);
    WriteSettingInt(Setting::kW2F, m_writeLog);
    WriteSettingInt(Setting::kNOD, m_dialUp);
    WriteSettingInt(Setting::kAHR, AtMost24(m_interval));
    if (m_selected >= 0 && m_servers.m_hWnd) {
        const size_t index = static_cast<size_t>(m_servers.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(m_selected)));
        WriteSettingString(Setting::kSVR, index < m_addresses.size() ? m_addresses[index].GetString() : L"");
    }
    return !unchanged;
}

void CSNTPage::OnOK()
{
    const BOOL changed = SaveSettings();
    CSNTPWnd* sntp = SntpWnd();
    if (!sntp) return;
    if (changed) sntp->LoadOptions(TRUE);
    // "Adjust &Now" may have left a server or mode of the page's own in the client.
    else if (m_adjusted) sntp->LoadOptions(FALSE);
}

void CSNTPage::OnCancel()
{
    // The server and the minutes-and-seconds mode "Adjust &Now" tried do not stay in force.
    if (!m_adjusted) return;
    if (CSNTPWnd* sntp = SntpWnd()) sntp->LoadOptions(FALSE);
}

void CSNTPage::OnDestroy()
{
    if (CSNTPWnd* sntp = SntpWnd()) sntp->SetLogListBox(nullptr);
}

LRESULT CSNTPage::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_DESTROY) {
        // Before the list box goes: the client may still be answering a query.
        OnDestroy();
    }
    return CPropertyPage::WindowProc(msg, wp, lp);
}
