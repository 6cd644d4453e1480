#include "RecorderRegistration.h"

#include "TestFiles.h"

#include <windows.h>

namespace {
const wchar_t kMailKey[] = L"Software\\Clients\\Mail";
const wchar_t kOutlookKey[] = L"Software\\Clients\\Mail\\Microsoft Outlook";
}  // namespace

RecorderRegistration::RecorderRegistration()
{
    m_record = zntest::UniqueTempPath(L"mapi-record");
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_RECORD", m_record.c_str());
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_RESULT", nullptr);
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_WAIT", nullptr);
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_FAULT", nullptr);
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_THROW", nullptr);
    const char* bin = getenv("ZARNOCK_TEST_BIN");
    if (!bin) return;
    std::wstring dll = std::wstring(bin, bin + strlen(bin)) + L"\\zn_mapi_recorder.dll";
    for (wchar_t& c : dll) if (c == L'/') c = L'\\';
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(dll.c_str(), MAX_PATH, full, nullptr);
    if (!zntest::FileExists(full)) return;
    wchar_t old[256] = {};
    DWORD bytes = sizeof(old) - sizeof(wchar_t);
    m_hadDefault = RegGetValueW(HKEY_LOCAL_MACHINE, kMailKey, nullptr, RRF_RT_REG_SZ, nullptr, old, &bytes) == 0;
    m_oldDefault = old;
    const wchar_t name[] = L"Microsoft Outlook";
    const DWORD size = static_cast<DWORD>((wcslen(full) + 1) * sizeof(wchar_t));
    m_registered = RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMailKey, nullptr, REG_SZ, name, sizeof(name)) == 0 &&
                   RegSetKeyValueW(HKEY_LOCAL_MACHINE, kOutlookKey, L"DLLPath", REG_SZ, full, size) == 0 &&
                   RegSetKeyValueW(HKEY_LOCAL_MACHINE, kOutlookKey, L"DLLPathEx", REG_SZ, full, size) == 0;
}

RecorderRegistration::~RecorderRegistration()
{
    Remove();
    SetEnvironmentVariableW(L"ZARNOCK_MAPI_RECORD", nullptr);
    DeleteFileW(m_record.c_str());
}

void RecorderRegistration::Remove()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kOutlookKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kOutlookKey);
    if (m_hadDefault)
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMailKey, nullptr, REG_SZ, m_oldDefault.c_str(),
                        static_cast<DWORD>((m_oldDefault.size() + 1) * sizeof(wchar_t)));
    else if (m_registered)
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kMailKey, nullptr);
    m_registered = false;
}

std::string RecorderRegistration::Mail() const
{
    return zntest::ReadBytes(m_record);
}

std::string RecorderRegistration::WaitForMail() const
{
    std::string mail;
    for (int i = 0; i < 200 && mail.find("end\n") == std::string::npos; ++i) {
        mail = Mail();
        if (mail.find("end\n") == std::string::npos) Sleep(25);
    }
    return mail;
}
