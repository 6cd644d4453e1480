#include "SNTPWnd.h"

#include "Log/LogMan.h"
#include "MessageBoxEx.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportText.h"
#include "SupportUtilities.h"
#include "resource.h"

#include <ctime>

namespace {

const wchar_t kWindowClass[] = L"qx_zncsynch_32";

constexpr UINT_PTR kWatchdogTimer = 16;
constexpr UINT_PTR kFirstSyncTimer = 17;
constexpr UINT_PTR kPeriodicTimer = 18;
constexpr UINT kWatchdogPeriodMs = 1000;
constexpr UINT kFirstSyncDelayMs = 5000;
constexpr DWORD kReplyTimeoutMs = 10000;
constexpr DWORD kHourMs = 3600000;

CString Formatted(const wchar_t* format, ...)
{
    CString text;
    va_list args;
    va_start(args, format);
    text.FormatV(format, args);
    va_end(args);
    return text;
}

} // namespace

CSntpClock CSNTPWnd::s_systemClock;

CSNTPWnd::CSNTPWnd()
{
    SetTimeSetClient(nullptr);
}

CSNTPWnd::~CSNTPWnd()
{
    if (m_started) Shutdown();
    LeaveAbandonedLookups();
}

void CSNTPWnd::SetTimeSetClient(std::unique_ptr<CTimeSetClient> client)
{
    m_timeSet = client ? std::move(client) : std::make_unique<CTimeSetClient>();
    m_timeSet->SetStatusSink([this](const wchar_t* text, BOOL result) { Log(text, result, FALSE); });
}

BOOL CSNTPWnd::Create(HWND parent)
{
    if (!CWnd::RegisterClass(kWindowClass, 0, nullptr, nullptr, nullptr)) {
        ZN_LOG_ERROR(GetLastError(), L"RegisterClass qx_zncsynch_32", LOG_ERROR);
        return FALSE;
    }
    BOOL ok = CreateEx(0, kWindowClass, L"", 0, 0, 0, 0, 0, parent,
                       parent ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kSntpWndId)) : nullptr);
    if (!ok) ZN_LOG_ERROR(GetLastError(), L"CreateEx qx_zncsynch_32", LOG_ERROR);
    return ok;
}

LRESULT CSNTPWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TIMER:
        OnTimer(wp);
        return 0;
    case WM_SNTP_HOST_RESOLVED:
        OnHostResolved(reinterpret_cast<HANDLE>(wp), lp);
        return 0;
    case WM_SNTP_SOCKET_EVENT:
        OnSocketRead(static_cast<SOCKET>(wp), lp);
        return 0;
    case WM_NCDESTROY:
        // No completion can reach this window any more.
        LeaveAbandonedLookups();
        return CWnd::WindowProc(msg, wp, lp);
    default:
        return CWnd::WindowProc(msg, wp, lp);
    }
}

BOOL CSNTPWnd::Start()
{
    m_socket.Reset();
    m_lookup = nullptr;
    WSADATA data;
    if (int error = WSAStartup(MAKEWORD(1, 1), &data)) {
        LogResult(Formatted(L"unable to initialize (%#08x)", error), FALSE);
        return FALSE;
    }
    m_started = TRUE;

    // NOR: the dial-up library is never loaded.
    if (GetSettingInt(Setting::kNOR) == 0) m_ras.Load();

    LoadOptions(FALSE);
    if (!m_server.IsEmpty()) {
        m_scheduleTimer = SetTimer(kFirstSyncTimer, kFirstSyncDelayMs) ? kFirstSyncTimer : 0;
    } else {
        m_strStatus = L"Synchronization disabled";
    }
    return TRUE;
}

void CSNTPWnd::Shutdown()
{
    // Ending a synchronisation during exit is silent: no error box while the program goes.
    m_interactive = FALSE;
    Finish(nullptr);
    if (m_scheduleTimer && m_hWnd) KillTimer(m_scheduleTimer);
    m_scheduleTimer = 0;
    m_ras.Unload();
    if (m_started) WSACleanup();
    m_started = FALSE;
}

void CSNTPWnd::LoadOptions(BOOL restart)
{
    m_writeToFile = GetSettingInt(Setting::kW2F);
    UINT hours = static_cast<UINT>(GetSettingInt(Setting::kAHR));
    m_intervalHours = hours <= 1 ? 1 : (hours > 24 ? 24 : hours);
    m_dialUp = m_ras.IsBound() ? GetSettingInt(Setting::kNOD) : 0;
    m_automatic = GetSettingInt(Setting::kATA);
    m_minutesSecondsOnly = GetSettingInt(Setting::kMSO);
    m_server = GetSettingString(Setting::kSVR);

    if (restart) {
        if (m_scheduleTimer) KillTimer(m_scheduleTimer);
        m_scheduleTimer = 0;
        if (m_automatic && SetTimer(kPeriodicTimer, m_intervalHours * kHourMs)) m_scheduleTimer = kPeriodicTimer;
    }
}

void CSNTPWnd::OnTimer(UINT_PTR id)
{
    switch (id) {
    case kWatchdogTimer: {
        DWORD now = m_clock->TickCount();
        if (m_awaitingReply && now - m_sendTime >= kReplyTimeoutMs) {
            Finish(Formatted(L"timeout (%04d)", static_cast<int>(now - m_sendTime)));
        } else if (m_lookup && now - m_lookupStart >= kReplyTimeoutMs) {
            Finish(L"unable to get IP address");
        }
        break;
    }
    case kFirstSyncTimer:
        KillTimer(kFirstSyncTimer);
        m_scheduleTimer = 0;
        if (!m_dialUp || IsRasConnected()) SyncNow(FALSE);
        if (m_automatic && m_intervalHours && SetTimer(kPeriodicTimer, m_intervalHours * kHourMs))
            m_scheduleTimer = kPeriodicTimer;
        break;
    case kPeriodicTimer:
        if (!m_dialUp || IsRasConnected()) SyncNow(FALSE);
        break;
    default:
        break;
    }
}

void CSNTPWnd::SyncNow(BOOL interactive)
{
    m_interactive = interactive;
    CStringA server = WideToAnsi(m_server);
    Synchronize(server, m_port, FALSE);
}

void CSNTPWnd::Synchronize(const char* server, UINT port, BOOL remember)
{
    if (remember) {
        m_server = AnsiToWide(server);
        m_port = port;
    }
    // A request already running is not disturbed, and nothing is reported.
    if (!server || !*server || m_socket || m_lookup) return;

    m_port = port;
    m_requestServer = AnsiToWide(server);
    m_requestPort = port;
    m_requestMinutesSecondsOnly = m_minutesSecondsOnly;
    m_failurePending = TRUE;
    if (!SetTimer(kWatchdogTimer, kWatchdogPeriodMs)) {
        LogResult(L"not enough system resources", FALSE);
        m_requestServer.Empty();
        ShowFailure();
        return;
    }
    m_watchdogTimer = kWatchdogTimer;

    m_strayLogged = FALSE;
    m_socket.Reset(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!m_socket) {
        int error = WSAGetLastError();
        KillTimer(kWatchdogTimer);
        m_watchdogTimer = 0;
        LogResult(Formatted(L"error %d(%#010x)", 2, error), FALSE);
        m_requestServer.Empty();
        ShowFailure();
        return;
    }

    ULONG address = inet_addr(server);
    if (address != INADDR_NONE) {
        SendRequest(address);
        return;
    }
    m_hostBuffer.reset(new (std::nothrow) char[MAXGETHOSTSTRUCT]);
    m_lookup = m_hostBuffer ? StartHostLookup(server, m_hostBuffer.get(), MAXGETHOSTSTRUCT) : nullptr;
    if (!m_lookup) {
        m_hostBuffer.reset();
        Finish(Formatted(L"error %d(%#010x)", 3, WSAGetLastError()));
        return;
    }
    m_lookupStart = m_clock->TickCount();
}

HANDLE CSNTPWnd::StartHostLookup(const char* server, char* buffer, int size)
{
    return WSAAsyncGetHostByName(m_hWnd, WM_SNTP_HOST_RESOLVED, server, buffer, size);
}

void CSNTPWnd::OnHostResolved(HANDLE lookup, LPARAM packed)
{
    // Only the pending look-up's own completion counts: a late one of a look-up that an
    // earlier request gave up on only releases that look-up's buffer.
    if (!m_lookup || lookup != m_lookup) {
        for (auto it = m_abandonedLookups.begin(); it != m_abandonedLookups.end(); ++it) {
            if (it->handle == lookup) {
                m_abandonedLookups.erase(it);
                break;
            }
        }
        return;
    }
    if (WSAGETASYNCERROR(packed)) {
        m_lookup = nullptr;
        m_hostBuffer.reset();
        Finish(L"host not found");
        return;
    }
    auto* host = reinterpret_cast<hostent*>(m_hostBuffer.get());
    ULONG address = INADDR_NONE;
    if (host && host->h_addrtype == AF_INET && host->h_addr_list && host->h_addr_list[0])
        memcpy(&address, host->h_addr_list[0], sizeof(address));
    m_hostBuffer.reset();
    m_lookup = nullptr;
    if (address == INADDR_NONE) {
        Finish(L"host not found");
        return;
    }
    SendRequest(address);
}

void CSNTPWnd::SendRequest(ULONG address)
{
    if (WSAAsyncSelect(m_socket, m_hWnd, WM_SNTP_SOCKET_EVENT, FD_READ) == SOCKET_ERROR) {
        Finish(Formatted(L"error %d(%#010x)", 5, WSAGetLastError()));
        return;
    }
    BYTE request[kSntpPacketSize];
    BuildSntpRequest(request);
    m_peer = sockaddr_in{};
    m_peer.sin_family = AF_INET;
    m_peer.sin_addr.s_addr = address;
    m_peer.sin_port = htons(static_cast<u_short>(m_requestPort));
    if (sendto(m_socket, reinterpret_cast<const char*>(request), kSntpPacketSize, 0,
               reinterpret_cast<const sockaddr*>(&m_peer), sizeof(m_peer)) == SOCKET_ERROR) {
        Finish(Formatted(L"error %d(%#010x)", 6, WSAGetLastError()));
        return;
    }
    m_sendTime = m_clock->TickCount();
    m_awaitingReply = TRUE;
}

void CSNTPWnd::OnSocketRead(SOCKET socket, LPARAM packed)
{
    if (!m_socket) return;
    if (WSAGETSELECTERROR(packed)) {
        Finish(Formatted(L"error %d(%#010x)", 7, static_cast<unsigned>(packed)));
        return;
    }
    if (WSAGETSELECTEVENT(packed) != FD_READ || socket != m_socket) return;

    // A short reply leaves zeros behind it, which the checks below refuse.
    BYTE reply[kSntpPacketSize] = {};
    sockaddr_in from{};
    int fromLength = sizeof(from);
    if (recvfrom(m_socket, reinterpret_cast<char*>(reply), kSntpPacketSize, 0, reinterpret_cast<sockaddr*>(&from),
                 &fromLength) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        // A datagram longer than a reply still fills the buffer; anything else is a failure.
        if (error != WSAEMSGSIZE) {
            Finish(Formatted(L"error %d(%#010x)", 8, error));
            return;
        }
    }
    HandleReply(reply, from);
}

void CSNTPWnd::HandleReply(const BYTE (&packet)[kSntpPacketSize], const sockaddr_in& from)
{
    // Only the server that was asked may set the clock, and only with a server reply that
    // claims to be synchronised (leap 3 is "unsynchronised", stratum 0 a refusal). A datagram
    // from anyone else is dropped and the request waits on for the server: any program that
    // can reach this port could otherwise cancel every synchronisation. Logged once a request,
    // so a flood cannot fill the log.
    if (from.sin_family != AF_INET || from.sin_addr.s_addr != m_peer.sin_addr.s_addr || from.sin_port != m_peer.sin_port) {
        if (!m_strayLogged) {
            m_strayLogged = TRUE;
            wchar_t sender[INET_ADDRSTRLEN] = L"?";
            InetNtopW(AF_INET, &from.sin_addr, sender, INET_ADDRSTRLEN);
            ZN_LOG(LOG_WARNING, L"SNTP datagram from " << sender << L":" << ntohs(from.sin_port) << L" ignored");
        }
        return;
    }
    const SntpReply reply = ReadSntpReply(packet);
    if (reply.mode != kSntpModeServer) {
        Finish(Formatted(L"incorrect mode (%d)", reply.mode));
        return;
    }
    if (reply.leap == kSntpLeapUnsynchronised) {
        Finish(L"server not synchronized");
        return;
    }
    if (reply.stratum == 0) {
        Finish(L"server refused (stratum 0)");
        return;
    }
    if (reply.timestampsZero) {
        LogResult(L"incorrect values (0,0,0)", FALSE);
        Finish(nullptr);
        return;
    }
    ApplyServerTime(reply.seconds, reply.fraction);
    Finish(nullptr);
}

void CSNTPWnd::ApplyServerTime(DWORD seconds, DWORD fraction)
{
    const DWORD elapsed = m_clock->TickCount() - m_sendTime;
    if (elapsed >= kReplyTimeoutMs) {
        LogResult(Formatted(L"timeout (%04d)", static_cast<int>(elapsed)), FALSE);
        return;
    }
    if (seconds == 0) {
        LogResult(Formatted(L"incorrect value (%04d)", static_cast<int>(elapsed)), FALSE);
        return;
    }

    FILETIME now;
    m_clock->UtcNow(&now);
    SYSTEMTIME newTime;
    if (!SntpSecondsToSystemTime(seconds, &newTime)) {
        LogResult(Formatted(L"unable to set system time (%#08x)", GetLastError()), FALSE);
        return;
    }
    if (m_requestMinutesSecondsOnly) {
        SYSTEMTIME current;
        if (!FileTimeToSystemTime(&now, &current)) {
            LogResult(Formatted(L"unable to set system time (%#08x)", GetLastError()), FALSE);
            return;
        }
        current.wMinute = newTime.wMinute;
        current.wSecond = newTime.wSecond;
        newTime = current;
    }
    newTime.wMilliseconds = SntpFractionToMilliseconds(fraction);

    const SntpClockChange change = MeasureClockChange(now, newTime);
    if (!change.IsUnder31Days()) {
        LogResult(L"please change system date manually", FALSE);
        return;
    }

    ZN_LOG(LOG_INFO, L"0x721 Start");
    if (!m_timeSet->SetTime(newTime, [this](const SYSTEMTIME& time) { return m_clock->SetSystemTime(time); })) {
        LogResult(L"unable to set system time", FALSE);
        return;
    }

    m_failurePending = FALSE;
    LogResult(change.Text(), TRUE);
}

BOOL CSNTPWnd::IsRasConnected()
{
    CString failure;
    if (m_ras.IsConnected(&failure)) return TRUE;
    if (!failure.IsEmpty()) LogResult(failure, FALSE);
    return FALSE;
}

void CSNTPWnd::AbandonLookup()
{
    if (!m_lookup) return;
    WSACancelAsyncRequest(m_lookup);
    m_abandonedLookups.push_back({m_lookup, std::move(m_hostBuffer)});
    m_lookup = nullptr;
}

void CSNTPWnd::LeaveAbandonedLookups()
{
    // Their completions can no longer arrive, yet a look-up may still be writing into its
    // buffer: each is left allocated for good (one small buffer per look-up that outlived
    // its request) rather than freed under it.
    for (AbandonedLookup& lookup : m_abandonedLookups) lookup.buffer.release();
    m_abandonedLookups.clear();
}

void CSNTPWnd::Finish(const wchar_t* text)
{
    AbandonLookup();
    m_hostBuffer.reset();
    if (m_socket) {
        if (m_hWnd) WSAAsyncSelect(m_socket, m_hWnd, 0, 0);
        m_socket.Close();
    }
    m_awaitingReply = FALSE;
    if (m_watchdogTimer && m_hWnd) KillTimer(m_watchdogTimer);
    m_watchdogTimer = 0;
    if (text) LogResult(text, FALSE);
    // Before the failure box: its message loop may start the next request.
    m_requestServer.Empty();
    if (m_failurePending) {
        ShowFailure();
        m_failurePending = FALSE;
    }
}

void CSNTPWnd::ShowFailure()
{
    if (m_failurePending && m_interactive && !m_strStatus.IsEmpty()) {
        CWinApp* app = AfxGetApp();
        // A copy: the box's message loop may replace the hook.
        std::function<void(BOOL)> hook = m_modalHook;
        if (hook) hook(TRUE);
        ShowMessageBoxEx(m_hWnd, m_strStatus, app ? app->m_pszAppName : nullptr, MB_OK | MB_ICONERROR | MB_TOPMOST);
        if (hook) hook(FALSE);
    }
    m_interactive = FALSE;
}

void CSNTPWnd::Log(const wchar_t* text, BOOL result, BOOL success)
{
    if (!text) return;
    CString fileLine;
    CString status;
    if (result) {
        const CString& host = m_requestServer.IsEmpty() ? m_server : m_requestServer;
        fileLine.Format(LoadResString(success ? IDS_SYNC_LOG_SUCCESS : IDS_SYNC_LOG_FAILURE), host.GetString(), text);
        status.Format(LoadResString(success ? IDS_SYNC_STATUS_SUCCESS : IDS_SYNC_STATUS_FAILURE), text);
    } else {
        fileLine = text;
        status = text;
    }

    if (m_writeToFile) {
        wchar_t stamp[128] = L"";
        time_t now = time(nullptr);
        if (const tm* local = localtime(&now)) wcsftime(stamp, 128, L"%c", local);
        AppendToLogFile(Formatted(L"%s: %s\r\n", stamp, fileLine.GetString()));
    }

    m_strStatus = status;
    if (m_listBox && IsWindow(m_listBox)) {
        LRESULT index = ::SendMessageW(m_listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m_strStatus.GetString()));
        if (index >= 0) {
            ::SendMessageW(m_listBox, LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
            ::SendMessageW(m_listBox, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
    }
}

void CSNTPWnd::AppendToLogFile(const CString& line)
{
    CString path = !m_logFilePath.IsEmpty() ? m_logFilePath
                                            : BuildLogFilePath(GetStr(SID_LOGS_FOLDER), GetStr(SID_LOG_SYNC),
                                                               GetStr(SID_LOG_NAME_FORMAT), GetStr(SID_LOG_SYNC));
    if (path.IsEmpty()) return;
    CHandle file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    CStringA ansi = WideToAnsi(line);
    DWORD written = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR)
        WriteFile(file, ansi.GetString(), static_cast<DWORD>(ansi.GetLength()), &written, nullptr);
}
