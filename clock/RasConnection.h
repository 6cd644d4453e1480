// CRasConnection: whether the computer's dial-up (Remote Access Service) connection is up,
// through RASAPI32.dll bound at run time. Without the library or either function nothing is
// bound, and the SNTP client behaves as on a local network.
#pragma once

#include "CHandle.h"
#include "ClassLib.h"

#include <ras.h>

class CRasConnection
{
public:
    // Loads the library and binds RasEnumConnectionsW and RasGetConnectStatusW; both or neither.
    void Load();
    void Unload();
    BOOL IsBound() const { return m_enumConnections && m_getConnectStatus; }
    // TRUE when the first dial-up connection is connected. Otherwise FALSE with the reason in
    // *failure, which stays empty when nothing is bound.
    BOOL IsConnected(CString* failure) const;

private:
    decltype(&::RasEnumConnectionsW) m_enumConnections = nullptr;
    decltype(&::RasGetConnectStatusW) m_getConnectStatus = nullptr;
    CModuleHandle m_library;
};
