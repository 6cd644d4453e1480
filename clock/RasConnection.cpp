#include "RasConnection.h"

namespace {

// Dial-up connection state "connected".
constexpr DWORD kRasConnected = 0x2000;

} // namespace

void CRasConnection::Load()
{
    m_library.Reset(LoadLibraryW(L"RASAPI32.dll"));
    if (!m_library) return;
    m_enumConnections = reinterpret_cast<decltype(m_enumConnections)>(
        reinterpret_cast<void*>(GetProcAddress(m_library, "RasEnumConnectionsW")));
    m_getConnectStatus = reinterpret_cast<decltype(m_getConnectStatus)>(
        reinterpret_cast<void*>(GetProcAddress(m_library, "RasGetConnectStatusW")));
    if (!m_enumConnections || !m_getConnectStatus) Unload();
}

void CRasConnection::Unload()
{
    m_library.Close();
    m_enumConnections = nullptr;
    m_getConnectStatus = nullptr;
}

BOOL CRasConnection::IsConnected(CString* failure) const
{
    failure->Empty();
    if (!IsBound()) return FALSE;
    RASCONNW connection{};
    connection.dwSize = sizeof(connection);
    DWORD bytes = sizeof(connection);
    DWORD count = 0;
    DWORD error = m_enumConnections(&connection, &bytes, &count);
    if (error) {
        failure->Format(L"connection error (%#08x) (%#08x)", error, 0);
        return FALSE;
    }
    if (count == 0) {
        *failure = L"no RAS connection. Try the \"Through a local area network (LAN)\" option.";
        return FALSE;
    }
    RASCONNSTATUSW status{};
    status.dwSize = sizeof(status);
    error = m_getConnectStatus(connection.hrasconn, &status);
    if (error) {
        failure->Format(L"connection error (%#08x) (%#08x)", 0, error);
        return FALSE;
    }
    if (status.rasconnstate == kRasConnected) return TRUE;
    failure->Format(L"connection status: (%#08x)", static_cast<unsigned>(status.rasconnstate));
    return FALSE;
}
