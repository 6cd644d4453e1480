#include "RegistryExport.h"
#include "CHandle.h"

#include "Log/LogMan.h"
#include "SupportText.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char kCrLf[] = "\r\n";

void AppendHexBytes(std::string& line, const BYTE* data, DWORD size)
{
    char hex[4];
    for (DWORD i = 0; i < size; ++i) {
        snprintf(hex, sizeof(hex), "%02x", data[i]);
        if (i) line += ',';
        line += hex;
    }
}

// The string form: backslash and double quote escaped, ASCII text and the code page's own
// characters (bytes of 0x80 and above) as they are, other control bytes as "\xx".
void AppendEscaped(std::string& line, const BYTE* data, DWORD size)
{
    if (size && data[size - 1] == 0) --size;
    char hex[4];
    for (DWORD i = 0; i < size; ++i) {
        const BYTE b = data[i];
        if (b == '\\' || b == '"') {
            line += '\\';
            line += static_cast<char>(b);
        } else if ((b >= 0x20 && b < 0x7F) || b >= 0x80) {
            line += static_cast<char>(b);
        } else {
            snprintf(hex, sizeof(hex), "%02x", b);
            line += '\\';
            line += hex;
        }
    }
}

// A name between double quotes: backslash and double quote escaped as in string data.
void AppendQuotedName(std::string& line, const char* name)
{
    line += '"';
    for (const char* p = name; *p; ++p) {
        if (*p == '\\' || *p == '"') line += '\\';
        line += *p;
    }
    line += '"';
}

bool IsLeftOut(const char* name)
{
    return lstrcmpA(name, "Data7") == 0 || lstrcmpA(name, "Data6") == 0;
}

void WriteText(HANDLE file, const std::string& text)
{
    RegExportWrite(file, text.data(), static_cast<DWORD>(text.size()));
}

} // namespace

const char* RegExportRootName(HKEY root)
{
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_USERS) return "HKEY_USERS";
    if (root == HKEY_PERFORMANCE_DATA) return "HKEY_PERFORMANCE_DATA";
    if (root == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG";
    if (root == HKEY_DYN_DATA) return "HKEY_DYN_DATA";
    return "UNKNOWN";
}

bool RegExportNameFits(const char* name, bool keyName)
{
    for (const char* p = name ? name : ""; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F || (keyName && c == ']')) return false;
    }
    return true;
}

std::string RegExportValueLine(const char* name, DWORD type, const BYTE* data, DWORD size)
{
    if (!name) name = "";
    if (!RegExportNameFits(name, false)) return std::string();
    std::string line;
    AppendQuotedName(line, name);
    char prefix[24];
    if (!data) size = 0;
    switch (type) {
    case REG_SZ:
        line += "=\"";
        AppendEscaped(line, data, size);
        line += '"';
        break;
    case REG_BINARY:
        line += "=hex:";
        AppendHexBytes(line, data, size);
        break;
    case REG_DWORD:
        if (size == sizeof(DWORD)) {
            snprintf(prefix, sizeof(prefix), "=dword:%02x%02x%02x%02x", data[3], data[2], data[1], data[0]);
            line += prefix;
            break;
        }
        [[fallthrough]];
    default:
        snprintf(prefix, sizeof(prefix), "=hex(%lx):", static_cast<unsigned long>(type));
        line += prefix;
        AppendHexBytes(line, data, size);
        break;
    }
    line += kCrLf;
    return line;
}

void RegExportWrite(HANDLE file, const void* bytes, DWORD count)
{
    DWORD written = 0;
    if (!WriteFile(file, bytes, count, &written, nullptr)) throw CRegExportWriteError{GetLastError()};
    if (written != count) throw CRegExportWriteError{ERROR_WRITE_FAULT};
}

bool ExportRegistryValue(HANDLE file, const char* name, DWORD type, const BYTE* data, DWORD size)
{
    if (IsLeftOut(name ? name : "")) return true;
    const std::string line = RegExportValueLine(name, type, data, size);
    if (line.empty()) {
        ZN_LOG(LOG_WARNING, L"REGEDIT4 cannot hold the value name \"" << AnsiToWide(name).GetString() << L"\"");
        return true;
    }
    WriteText(file, line);
    return true;
}

bool ExportRegistrySubKey(const char* parentPath, HKEY parentKey, const char* name, HANDLE file)
{
    if (!RegExportNameFits(name, true)) {
        ZN_LOG(LOG_WARNING, L"REGEDIT4 cannot hold the key name \"" << AnsiToWide(parentPath).GetString() << L"\\"
                                                                    << AnsiToWide(name).GetString() << L"\"");
        return true;
    }
    CRegKeyHandle key;
    if (RegOpenKeyExA(parentKey, name, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return false;
    DWORD subKeys = 0, values = 0, longestSubKey = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &longestSubKey, nullptr, &values, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    // The counts are of the wide forms; a code page of two bytes a character needs twice the room.
    const DWORD nameRoom = 2 * std::max(longestSubKey, longestName) + 10;
    const DWORD dataRoom = 2 * longestData + 10;
    std::vector<char> nameBuffer(nameRoom);
    std::vector<BYTE> dataBuffer(dataRoom);

    const std::string path = std::string(parentPath) + "\\" + name;
    WriteText(file, std::string(kCrLf) + "[" + path + "]" + kCrLf);

    bool result = true;
    for (DWORD i = 0; result && i < values; ++i) {
        DWORD nameLength = nameRoom, type = 0, dataLength = dataRoom;
        if (RegEnumValueA(key, i, nameBuffer.data(), &nameLength, nullptr, &type, dataBuffer.data(), &dataLength) !=
            ERROR_SUCCESS)
            continue;
        result = ExportRegistryValue(file, nameBuffer.data(), type, dataBuffer.data(), dataLength);
    }
    for (DWORD i = 0; result && i < subKeys; ++i) {
        DWORD nameLength = nameRoom;
        if (RegEnumKeyExA(key, i, nameBuffer.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        result = ExportRegistrySubKey(path.c_str(), key, nameBuffer.data(), file);
    }
    return result;
}

bool ExportRegistryKey(HKEY root, const char* subKey, HANDLE file)
{
    if (!subKey || !*subKey || file == INVALID_HANDLE_VALUE) return false;
    try {
        WriteText(file, std::string("REGEDIT4") + kCrLf);
        return ExportRegistrySubKey(RegExportRootName(root), root, subKey, file);
    } catch (const CRegExportWriteError& e) {
        ZN_LOG_ERROR(e.error, L"ExportRegistryKey", LOG_ERROR);
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
