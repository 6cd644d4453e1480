// CSNTPage: the Options sheet's "Time Synchronization" page. It picks the time server from
// the server list "timesvrs.dat", switches automatic adjustment and its interval, the
// minutes-and-seconds-only mode, the sync log file and the connection kind, and runs one
// query at once through the clock's SNTP client, whose progress lines it shows.
#pragma once

#include "ClassLib.h"

#include <vector>

class CSNTPWnd;

class CSNTPage : public CPropertyPage
{
public:
    CSNTPage();

    // One usable section of the server list: the text shown and the host name or address.
    struct tagTimeServer
    {
        CString loc;
        CString adr;
    };
    // The usable sections of an INI file, in the file's order. Section names are read into
    // 1024 characters: the names that do not fit (a cut last name included) are not seen.
    static std::vector<tagTimeServer> ReadServerList(const wchar_t* path);
    // "timesvrs.dat" in the install folder, or beside the program when no install folder is
    // recorded (a copied program has none). Tests name their own file in s_serverListPath.
    static CString ServerListPath();
    static const wchar_t* s_serverListPath;
    // The sync log the SNTP client writes.
    static CString SyncLogPath();

    void LoadSettings();
    // TRUE when anything the SNTP client uses changed.
    BOOL SaveSettings();
    BOOL OnInitDialog() override;
    BOOL OnKillActive() override;
    void OnOK() override;
    void OnCancel() override;

    int m_selected = -1;          // the combo's selected index
    int m_interval = 1;           // "AHR", hours
    CString m_server;             // "SVR"
    std::vector<CString> m_addresses;  // one per combo item; an item's data is its index here
    int m_automatic = 0;          // "ATA"
    int m_minutesSecondsOnly = 0; // "MSO"
    int m_writeLog = 1;           // "W2F"
    int m_dialUp = 1;             // "NOD"
    // "Adjust &Now" handed the client a server and a mode of the page's own.
    BOOL m_adjusted = FALSE;

    CListBox m_logList;
    CComboBox m_servers;
    CSpinButtonCtrl m_intervalSpin;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // The clock's SNTP client, when the clock window exists.
    static CSNTPWnd* SntpWnd();
    void FillServerList();
    void UpdateServerControls();
    void EnableInterval();
    void AddLogLine(const wchar_t* text);
    void OnAdjustNow();
    void OnViewLog();
    void OnClearLog();
    void OnHelp();
    void OnDestroy();
};
