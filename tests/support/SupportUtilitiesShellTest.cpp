#include "SupportUtilities.h"

#include "LogCapture.h"
#include "SupportFiles.h"
#include "TestApp.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <thread>
#include <vector>

namespace {

CString LocalAppData()
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

TEST(LogPaths, FolderChainIsMadeAndTheFileNamedByTheFormat)
{
    const CString logs = LocalAppData() + L"\\Mervale Software\\Logs\\";
    LogCapture log;

    CString one = GetLogFolder(L"ZkSupportTests", L"");
    EXPECT_EQ(logs + L"ZkSupportTests", one) << "an empty second sub-folder adds nothing";
    EXPECT_TRUE(FolderExists(one));
    EXPECT_EQ(one, GetLogFolder(L"ZkSupportTests", nullptr));

    CString two = GetLogFolder(L"ZkSupportTests", L"Second");
    EXPECT_EQ(logs + L"ZkSupportTests\\Second", two);
    EXPECT_TRUE(FolderExists(two));

    EXPECT_EQ(two + L"\\znc_log_exec.txt", BuildLogFilePath(L"ZkSupportTests", L"Second", L"znc_log_%s", L"exec"));
    EXPECT_FALSE(FileExists(two + L"\\znc_log_exec.txt")) << "only the folders are made";
    EXPECT_TRUE(log.Entries(" * ").empty());

    RemoveDirectoryW(two);
    RemoveDirectoryW(one);
}

TEST(LogPaths, APathThatCannotBeMadeIsEmpty)
{
    LogCapture log;
    const CString tooLong(L'x', 240);
    EXPECT_TRUE(GetLogFolder(L"ZkSupportTests", tooLong).IsEmpty()) << "never a folder without its last part";
    EXPECT_TRUE(BuildLogFilePath(L"ZkSupportTests", L"", L"%s", tooLong).IsEmpty()) << "never the folder as file";
    EXPECT_FALSE(log.Entries(" * ").empty());

    // A file where a folder must go.
    const CString blocker = GetLogFolder(L"ZkSupportTests", L"") + L"\\Blocked";
    HANDLE file = CreateFileW(blocker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    size_t before = log.Entries(" * ").size();
    EXPECT_TRUE(GetLogFolder(L"ZkSupportTests", L"Blocked").IsEmpty());
    auto errors = log.Entries(" * ");
    ASSERT_GT(errors.size(), before);
    EXPECT_NE(std::string::npos, errors.back().find("Blocked")) << "the entry names the path";
    DeleteFileW(blocker);
    RemoveDirectoryW(GetLogFolder(L"ZkSupportTests", L""));
}

// Answers every box the thread shows until it is destroyed and keeps the captions: the
// shell shows its own error box too when it cannot open a file, as Windows does.
class BoxAnswerer
{
public:
    explicit BoxAnswerer(DWORD thread)
    {
        m_thread = std::thread([this, thread] {
            while (!m_stop) {
                HWND box = nullptr;
                EnumThreadWindows(thread, [](HWND h, LPARAM lp) -> BOOL {
                    wchar_t cls[16] = {};
                    GetClassNameW(h, cls, 16);
                    if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(h)) return TRUE;
                    *reinterpret_cast<HWND*>(lp) = h;
                    return FALSE;
                }, reinterpret_cast<LPARAM>(&box));
                if (box && box != m_last) {
                    Sleep(50);
                    wchar_t caption[128] = {};
                    GetWindowTextW(box, caption, 128);
                    m_captions.push_back(caption);
                    m_last = box;
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                }
                Sleep(10);
            }
        });
    }
    ~BoxAnswerer() { Stop(); }
    const std::vector<CString>& Stop()
    {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        return m_captions;
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    HWND m_last = nullptr;
    std::vector<CString> m_captions;
};

TEST(ShellExecuteOpen, AFailureIsLoggedAndShownOnlyWhenAsked)
{
    const wchar_t* missing = L"C:\\no such folder zk\\nothing.zkq";
    LogCapture log;
    BoxAnswerer shown(GetCurrentThreadId());
    EXPECT_EQ(0, ShellExecuteOpen(missing, TRUE, nullptr));
    const std::vector<CString> captions = shown.Stop();
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(CString(L"Zarnock"), captions.back()) << "ours comes after the shell's own";
    auto errors = log.Entries(" * ");
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find("nothing.zkq"));

    BoxAnswerer silent(GetCurrentThreadId());
    EXPECT_EQ(0, ShellExecuteOpenSilent(missing));
    for (const CString& caption : silent.Stop()) EXPECT_NE(CString(L"Zarnock"), caption);
    EXPECT_EQ(3u, log.Entries(" * ").size()) << "the silent form adds the file name";
}

TEST(EditorResources, TheRegistryPathPiecesAreInTheProgram)
{
    const char* bin = std::getenv("ZARNOCK_TEST_BIN");
    ASSERT_NE(nullptr, bin);
    CString exe;
    for (const char* p = bin; *p; ++p) exe += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
    exe = L"Z:" + exe + L"\\zarnock.exe";
    HMODULE program = LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program) << GetLastError();
    struct Case { UINT id; const wchar_t* text; } cases[] = {
        {IDS_REG_CURRENT_VERSION, L"Software\\Microsoft\\Windows\\CurrentVersion\\"},
        {IDS_REG_FILE_EXTS, L"Explorer\\FileExts\\"},
        {IDS_REG_USER_CHOICE, L"UserChoice"},
        {IDS_REG_PROGID, L"Progid"},
    };
    for (const auto& c : cases) {
        wchar_t text[128] = {};
        EXPECT_GT(LoadStringW(program, c.id, text, 128), 0) << c.id;
        EXPECT_STREQ(c.text, text) << c.id;
    }
    FreeLibrary(program);
}

int g_progIdReads = 0;
const wchar_t* g_progId = L"";
CString FakeProgId()
{
    ++g_progIdReads;
    return g_progId;
}

TEST(EditorRequest, NotepadWithTheQuotedPathOrTheEditPlusAssociation)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* progId;
        const wchar_t* verb;
        const wchar_t* file;
        const wchar_t* parameters;
        int reads;
        const char* why;
    } cases[] = {
        {L"C:\\logs\\a.log", L"", L"open", L"notepad", L"C:\\logs\\a.log", 0, "plain path as it is"},
        {L"C:\\my logs\\a.log  ", L"", L"open", L"notepad", L"\"C:\\my logs\\a.log\"", 0, "blank: quoted, trimmed"},
        {L"C:\\my\tlogs\\a.log", L"", L"open", L"notepad", L"\"C:\\my\tlogs\\a.log\"", 0, "a tab counts as a blank"},
        {L"\"C:\\my logs\\a.log\"", L"", L"open", L"notepad", L"\"C:\\my logs\\a.log\"", 0, "already quoted"},
        {L"C:\\logs\\a.txt", L"txtfile", L"open", L"notepad", L"C:\\logs\\a.txt", 1, "another .txt program"},
        {L"C:\\logs\\a.txt", L"Applications\\EditPlus.exe", L"", L"C:\\logs\\a.txt", L"", 1, "EditPlus"},
        {L"C:\\my logs\\a.TXT", L"eDiTpLuS", L"", L"C:\\my logs\\a.TXT", L"", 1, "any letter case"},
        {L"C:\\logs\\a.log", L"EditPlus", L"open", L"notepad", L"C:\\logs\\a.log", 0, "only .txt asks"},
    };
    for (const auto& c : cases) {
        g_progIdReads = 0;
        g_progId = c.progId;
        EditorRequest r = BuildEditorRequest(c.path, FakeProgId);
        EXPECT_EQ(CString(c.verb), r.verb) << c.why;
        EXPECT_EQ(CString(c.file), r.file) << c.why;
        EXPECT_EQ(CString(c.parameters), r.parameters) << c.why;
        EXPECT_EQ(c.reads, g_progIdReads) << c.why;
    }
}

// The shell as the editor runner sees it: each call takes the next scripted answer.
struct ShellCall {
    CString verb, file, parameters;
};
struct ShellAnswer {
    BOOL result;
    INT_PTR instance;  // or the last error when result is FALSE
};
std::vector<ShellAnswer> g_answers;
std::vector<ShellCall> g_calls;

BOOL WINAPI FakeShellExecute(SHELLEXECUTEINFOW* info)
{
    g_calls.push_back({info->lpVerb, info->lpFile, info->lpParameters});
    ShellAnswer a = g_answers.at(g_calls.size() - 1);
    if (!a.result) {
        SetLastError(static_cast<DWORD>(a.instance));
        return FALSE;
    }
    info->hInstApp = reinterpret_cast<HINSTANCE>(a.instance);
    return TRUE;
}

TEST(EditorRequest, NotepadRefusedIsRetriedOnceByTheFilesAssociation)
{
    const EditorRequest notepad{L"open", L"notepad", L"\"C:\\my logs\\a.log\""};
    const EditorRequest association{L"", L"C:\\my logs\\a.txt", L""};
    struct Case {
        EditorRequest request;
        std::vector<ShellAnswer> answers;
        int result;
        size_t calls;
        size_t errors;
        const char* why;
    } cases[] = {
        {notepad, {{TRUE, 42}}, 1, 1, 0, "notepad started"},
        {notepad, {{TRUE, SE_ERR_NOASSOC}, {TRUE, 42}}, 1, 2, 1, "retry started the association"},
        {notepad, {{TRUE, SE_ERR_NOASSOC}, {TRUE, SE_ERR_ACCESSDENIED}}, 0, 2, 3, "both refused"},
        {notepad, {{TRUE, 32}, {FALSE, ERROR_FILE_NOT_FOUND}}, 0, 2, 3, "32 is a failure; retry call failed"},
        {notepad, {{FALSE, ERROR_ACCESS_DENIED}}, 0, 1, 2, "a failed call is not retried"},
        {association, {{TRUE, SE_ERR_NOASSOC}}, 0, 1, 2, "only a notepad request is retried"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        g_answers = c.answers;
        g_calls.clear();
        EXPECT_EQ(c.result, RunEditorRequest(c.request, L"C:\\my logs\\a.log ", FakeShellExecute)) << c.why;
        ASSERT_EQ(c.calls, g_calls.size()) << c.why;
        EXPECT_EQ(c.request.verb, g_calls[0].verb) << c.why;
        EXPECT_EQ(c.request.parameters, g_calls[0].parameters) << c.why;
        if (c.calls == 2) {
            EXPECT_TRUE(g_calls[1].verb.IsEmpty()) << c.why;
            EXPECT_EQ(CString(L"C:\\my logs\\a.log"), g_calls[1].file) << c.why;
            EXPECT_TRUE(g_calls[1].parameters.IsEmpty()) << c.why;
        }
        auto errors = log.Entries(" * ");
        EXPECT_EQ(c.errors, errors.size()) << c.why;
        if (c.result == 0 && !errors.empty()) {
            EXPECT_NE(std::string::npos, errors.back().find("a.log")) << c.why << ": the last entry names the path";
        }
    }
}

} // namespace
