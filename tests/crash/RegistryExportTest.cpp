// The settings export: the text form of each value type, and a whole key written out,
// read back by Wine's own regedit into an empty key and compared value by value.
#include "CrashReport/RegistryExport.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

#include <map>

namespace {

std::string Line(DWORD type, const std::string& data, const char* name = "V")
{
    return RegExportValueLine(name, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

TEST(RegistryExportTest, TextFormOfEachValueType)
{
    struct Case {
        DWORD type;
        std::string data;
        std::string expected;
        const char* why;
    } cases[] = {
        {REG_DWORD, std::string("\x0a\0\0\0", 4), "\"V\"=dword:0000000a\r\n", "most significant digit first"},
        {REG_DWORD, "\x78\x56\x34\x12", "\"V\"=dword:12345678\r\n", "four bytes, last first"},
        {REG_DWORD, "\x01\x02", "\"V\"=hex(4):01,02\r\n", "a DWORD of another size keeps its bytes"},
        {REG_BINARY, "\x01\x02\xff", "\"V\"=hex:01,02,ff\r\n", "comma separated, lower case"},
        {REG_BINARY, "", "\"V\"=hex:\r\n", "empty binary"},
        {REG_SZ, std::string("a\\b\"c\0", 6), "\"V\"=\"a\\\\b\\\"c\"\r\n", "backslash and quote escaped"},
        {REG_SZ, std::string("x\x01\ty\0", 5), "\"V\"=\"x\\01\\09y\"\r\n", "control bytes as \\xx"},
        {REG_SZ, std::string("Z\xfcrich\0", 7), "\"V\"=\"Z\xfcrich\"\r\n", "the code page's own letters stay"},
        {REG_SZ, "", "\"V\"=\"\"\r\n", "empty data"},
        {REG_SZ, std::string("\0", 1), "\"V\"=\"\"\r\n", "empty string"},
        {REG_SZ, "ab", "\"V\"=\"ab\"\r\n", "only a NUL is dropped at the end"},
        {REG_EXPAND_SZ, std::string("%x%\0", 4), "\"V\"=hex(2):25,78,25,00\r\n", "expandable text as bytes"},
        {REG_MULTI_SZ, std::string("a\0\0", 3), "\"V\"=hex(7):61,00,00\r\n", "other types by number"},
        {REG_QWORD, std::string("\x01\0\0\0\0\0\0\0", 8), "\"V\"=hex(b):01,00,00,00,00,00,00,00\r\n", "in hex"},
    };
    for (const Case& c : cases) EXPECT_EQ(Line(c.type, c.data), c.expected) << c.why;
    EXPECT_EQ(Line(REG_SZ, std::string("d\0", 2), ""), "\"\"=\"d\"\r\n") << "the default value";

    const std::string one("\x01\0\0\0", 4);
    EXPECT_EQ(Line(REG_DWORD, one, "q\"u\\b"), "\"q\\\"u\\\\b\"=dword:00000001\r\n") << "names escaped as data";
    EXPECT_EQ(Line(REG_DWORD, one, "two\r\nlines"), "") << "a control character cannot be written";
    EXPECT_FALSE(RegExportNameFits("Odd]Key", true)) << "would end the key line early";
    EXPECT_STREQ(RegExportRootName(HKEY_CURRENT_USER), "HKEY_CURRENT_USER");
    EXPECT_STREQ(RegExportRootName(reinterpret_cast<HKEY>(0x1234)), "UNKNOWN");
}

using Values = std::map<std::wstring, std::pair<DWORD, std::string>>;

// Every value of a key and (by path) of its sub-keys.
void ReadTree(HKEY parent, const std::wstring& path, const std::wstring& prefix, Values& out)
{
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    wchar_t name[256];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256, type = 0, size = sizeof(data);
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        out[prefix + L"|" + name] = {type, std::string(reinterpret_cast<char*>(data), size)};
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ReadTree(key, name, prefix + L"\\" + name, out);
    }
    RegCloseKey(key);
}

void Set(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void SetText(const std::wstring& path, const wchar_t* name, const wchar_t* text)
{
    Set(path, name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

TEST(RegistryExportTest, WineRegeditReadsTheExportBackValueForValue)
{
    const std::wstring stem = L"Software\\Mervale Software\\ZnExport" + std::to_wstring(GetCurrentProcessId());
    const std::wstring copy = stem + L"Copy";
    RegDeleteTreeW(HKEY_CURRENT_USER, copy.c_str());
    const DWORD number = 0x4E204E20;
    const BYTE rect[16] = {1, 0, 0, 0, 2, 0, 0, 0, 0xff, 0xff, 0, 0, 0x80, 0, 0, 0};
    Set(stem + L"\\Common", L"XY", REG_DWORD, &number, 4);
    Set(stem + L"\\Common", L"CR", REG_BINARY, rect, sizeof(rect));
    Set(stem + L"\\Common", L"Empty", REG_BINARY, rect, 0);
    SetText(stem + L"\\Common", L"FT", L" hh:mm:ss tt - 'Z\u00fcrich' \\ \"q\" | MMMM ");
    SetText(stem + L"\\Common", L"H0", L"");
    SetText(stem + L"\\TimeZones", L"5", L"W. Europe Standard Time");
    SetText(stem + L"\\TimeZones", L"", L"default");
    Set(stem + L"\\TimeSync", L"Data7", REG_DWORD, &number, 4);
    // Names that must not add lines or sections of their own.
    SetText(stem + L"\\Common", L"q\"u\\b", L"1");
    SetText(stem + L"\\Common", L"x\"\r\n[HKEY_CURRENT_USER\\Injected]\r\n\"y", L"3");
    SetText(stem + L"\\Odd]Key", L"v", L"4");

    const std::wstring file = zntest::UniqueTempPath(L"zn_export", L".reg");
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::string narrowStem = zntest::Utf8(stem);
    EXPECT_TRUE(ExportRegistryKey(HKEY_CURRENT_USER, narrowStem.c_str(), out));
    CloseHandle(out);
    std::string text = zntest::ReadBytes(file);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + narrowStem + "]\r\n", 0), 0u) << text;
    EXPECT_EQ(text.find("Data7"), std::string::npos);
    EXPECT_EQ(text.find("Injected"), std::string::npos);
    EXPECT_EQ(text.find("Odd]Key"), std::string::npos);

    // Into an empty key: every key line names the copy instead.
    const std::string keyLine = "[HKEY_CURRENT_USER\\" + narrowStem;
    for (size_t at = 0; (at = text.find(keyLine, at)) != std::string::npos; at += keyLine.size())
        text.insert(at + keyLine.size(), "Copy");
    zntest::WriteBytes(file, text);
    std::wstring cmd = L"regedit.exe /S \"" + file + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    Values original, imported;
    ReadTree(HKEY_CURRENT_USER, stem, L"", original);
    ReadTree(HKEY_CURRENT_USER, copy, L"", imported);
    original.erase(L"\\TimeSync|Data7");
    original.erase(L"\\Common|x\"\r\n[HKEY_CURRENT_USER\\Injected]\r\n\"y");
    original.erase(L"\\Odd]Key|v");
    EXPECT_EQ(original.size(), 8u);
    EXPECT_EQ(imported, original);
    RegDeleteTreeW(HKEY_CURRENT_USER, stem.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, copy.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Injected");
    DeleteFileW(file.c_str());
}

} // namespace
