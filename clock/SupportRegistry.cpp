#include "SupportRegistry.h"

#include "Log/LogMan.h"
#include "StringTable.h"
#include "SupportWindowsHelpers.h"
#include "CHandle.h"

namespace {

LSTATUS LogRegistryError(LSTATUS code, const char* file, int line)
{
    return static_cast<LSTATUS>(
        CLogMan::LogError(GetAppLogMan(), static_cast<DWORD>(code), GetErrorText(static_cast<DWORD>(code)), LOG_ERROR,
                          file, line));
}
#define LOG_REG_ERROR(code) LogRegistryError((code), __FILE__, __LINE__)

void CloseLogged(CRegKeyHandle& key)
{
    LSTATUS st = key.Close();
    if (st != ERROR_SUCCESS) LOG_REG_ERROR(st);
}

// Opens for reading; logs every failure but "not found".
LSTATUS OpenForReading(HKEY root, const wchar_t* subKey, BOOL view64, CRegKeyHandle& key)
{
    REGSAM access = RegistryReadAccess(root, view64, IsWow64());
    LSTATUS st = access ? RegOpenKeyExW(root, subKey, 0, access, key.Out()) : RegOpenKeyW(root, subKey, key.Out());
    if (st != ERROR_SUCCESS && st != ERROR_FILE_NOT_FOUND) LOG_REG_ERROR(st);
    return st;
}

const wchar_t* OrNull(const wchar_t* s)
{
    return s ? s : L"<null>";
}

CString RunKeyPath()
{
    return CString(GetStr(SID_REG_CURRENT_VERSION)) + L"Run";
}

} // namespace

REGSAM RegistryReadAccess(HKEY root, BOOL view64, BOOL wow64)
{
    return view64 && wow64 && root == HKEY_LOCAL_MACHINE ? kRegistryRead64Access : 0;
}

DWORD RegistryReadDword(HKEY root, const wchar_t* subKey, const wchar_t* name, DWORD defaultValue, BOOL view64)
{
    CRegKeyHandle key;
    if (OpenForReading(root, subKey, view64, key) != ERROR_SUCCESS) return defaultValue;
    // The type is not checked: any value of exactly four bytes is read as the number.
    DWORD value = 0, size = sizeof(value);
    LSTATUS st = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    CloseLogged(key);
    if (st == ERROR_SUCCESS && size == sizeof(value)) return value;
    if (st != ERROR_SUCCESS && st != ERROR_FILE_NOT_FOUND) LOG_REG_ERROR(st);
    return defaultValue;
}

CString RegistryReadString(HKEY root, const wchar_t* subKey, const wchar_t* name, const wchar_t* defaultValue,
                           BOOL view64)
{
    CRegKeyHandle key;
    if (OpenForReading(root, subKey, view64, key) != ERROR_SUCCESS) return CString(defaultValue);

    DWORD type = 0, size = 0;
    CString text;
    LSTATUS st = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (st == ERROR_SUCCESS) {
        // One character more than the value holds, zeroed: a value stored without its
        // terminator is read whole and still ends.
        DWORD chars = (size + 1) / sizeof(wchar_t);
        wchar_t* buf = text.GetBufferSetLength(static_cast<int>(chars));
        std::fill(buf, buf + chars + 1, L'\0');
        DWORD got = size;
        st = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &got);
        text.ReleaseBuffer(-1);
    }
    if (st != ERROR_SUCCESS && st != ERROR_FILE_NOT_FOUND) LOG_REG_ERROR(st);
    CloseLogged(key);
    if (st != ERROR_SUCCESS) return CString(defaultValue);
    if (type != REG_EXPAND_SZ) return text;

    DWORD needed = ExpandEnvironmentStringsW(text, nullptr, 0);
    if (needed == 0) {
        LOG_REG_ERROR(static_cast<LSTATUS>(GetLastError()));
        return text;
    }
    CString expanded;
    wchar_t* out = expanded.GetBufferSetLength(static_cast<int>(needed));
    DWORD done = ExpandEnvironmentStringsW(text, out, needed);
    if (done == 0 || done > needed) {
        LOG_REG_ERROR(static_cast<LSTATUS>(GetLastError()));
        return text;
    }
    expanded.ReleaseBuffer(-1);
    return expanded;
}

LSTATUS RegistryWriteString(HKEY root, const wchar_t* subKey, const wchar_t* name, const wchar_t* text,
                            LPSECURITY_ATTRIBUTES security, bool* keyOpened)
{
    CRegKeyHandle key;
    LSTATUS created = RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                                      security, key.Out(), nullptr);
    if (keyOpened) *keyOpened = created == ERROR_SUCCESS;
    LSTATUS written = ERROR_SUCCESS;
    if (created != ERROR_SUCCESS) {
        LOG_REG_ERROR(created);
    } else {
        const wchar_t* data = text ? text : L"";
        DWORD bytes = static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t));
        written = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
        if (written != ERROR_SUCCESS) LOG_REG_ERROR(written);
        CloseLogged(key);
    }
    if (created != ERROR_SUCCESS || written != ERROR_SUCCESS)
        // Predefined roots are sign-extended 32-bit values; 0x80000001 is how they are known.
        ZN_LOG(LOG_ERROR, HexText(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(root)), TRUE).GetString()
                              << L" " << OrNull(subKey) << L" " << OrNull(name) << L" " << OrNull(text) << L" "
                              << (security ? 1 : 0));
    return created != ERROR_SUCCESS ? created : written;
}

bool RegistryDeleteValue(HKEY root, const wchar_t* subKey, const wchar_t* name)
{
    CRegKeyHandle key;
    LSTATUS st = RegOpenKeyW(root, subKey, key.Out());
    if (st != ERROR_SUCCESS) {
        LOG_REG_ERROR(st);
        return false;
    }
    st = RegDeleteValueW(key, name);
    if (st != ERROR_SUCCESS && st != ERROR_FILE_NOT_FOUND) LOG_REG_ERROR(st);
    CloseLogged(key);
    return st == ERROR_SUCCESS;
}

CString ReadRunValue(const wchar_t* name)
{
    return RegistryReadString(HKEY_CURRENT_USER, RunKeyPath(), name, L"", FALSE);
}

LSTATUS WriteRunValue(const wchar_t* name, const wchar_t* command, bool* keyOpened)
{
    return RegistryWriteString(HKEY_CURRENT_USER, RunKeyPath(), name, command, nullptr, keyOpened);
}

bool DeleteRunValue(const wchar_t* name)
{
    return RegistryDeleteValue(HKEY_CURRENT_USER, RunKeyPath(), name);
}
