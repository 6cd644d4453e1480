// A Simple MAPI mail program of the tests' own: registered as the default mail client, it
// receives what the clock hands to MAPI32.DLL and writes it to the file named by
// ZARNOCK_MAPI_RECORD (one "key=value" line each, line ends in values written as "\n").
// ZARNOCK_MAPI_RESULT, when set, is the result it answers with; ZARNOCK_MAPI_WAIT keeps it
// busy that many milliseconds first, as a mail program's dialog would; ZARNOCK_MAPI_FAULT makes
// it write through a null pointer instead of answering, as a broken mail program would, and
// ZARNOCK_MAPI_THROW throw a C++ exception through its own frames.
#include <windows.h>
#include <mapi.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {
std::string Utf8(const wchar_t* text)
{
    if (!text) return "<null>";
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    return out;
}
std::string Narrow(const char* text)
{
    if (!text) return "<null>";
    // The clock's narrow texts are in the ANSI code page.
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    return Utf8(wide.c_str());
}
std::string Escaped(std::string text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

ULONG Answer()
{
    if (GetEnvironmentVariableA("ZARNOCK_MAPI_FAULT", nullptr, 0)) {
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    }
    if (GetEnvironmentVariableA("ZARNOCK_MAPI_THROW", nullptr, 0)) throw std::runtime_error("no mail today");
    // ZARNOCK_MAPI_WAIT: milliseconds the "dialog" stays open.
    char wait[16] = {};
    if (GetEnvironmentVariableA("ZARNOCK_MAPI_WAIT", wait, sizeof(wait))) Sleep(strtoul(wait, nullptr, 10));
    char value[16] = {};
    if (GetEnvironmentVariableA("ZARNOCK_MAPI_RESULT", value, sizeof(value)) == 0) return SUCCESS_SUCCESS;
    return strtoul(value, nullptr, 10);
}

// The moment the mail arrived, on the system-wide performance counter, for the benchmark.
std::string Arrival()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return "qpc=" + std::to_string(now.QuadPart) + "\n";
}

void Record(const std::string& text)
{
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("ZARNOCK_MAPI_RECORD", path, sizeof(path)) == 0) return;
    if (FILE* f = fopen(path, "ab")) {
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
    }
}

// The wide records have the layout of the narrow ones with wide texts.
struct FileW { ULONG r, flags, pos; PWSTR path, name; PVOID type; };
struct RecipW { ULONG r, cls; PWSTR name, address; ULONG eidSize; PVOID eid; };
struct MessageW {
    ULONG r;
    PWSTR subject, note, type, date, conversation;
    FLAGS flags;
    RecipW* originator;
    ULONG recipCount;
    RecipW* recips;
    ULONG fileCount;
    FileW* files;
};

}  // namespace

extern "C" __declspec(dllexport) ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage message, FLAGS flags,
                                                            ULONG)
{
    const std::string arrival = Arrival();
    std::string text = "form=A\nflags=" + std::to_string(flags) + "\n";
    if (message) {
        for (ULONG i = 0; i < message->nRecipCount; ++i)
            text += "to=" + std::to_string(message->lpRecips[i].ulRecipClass) + ":" +
                    Narrow(message->lpRecips[i].lpszName) + ":" + Narrow(message->lpRecips[i].lpszAddress) + "\n";
        text += "subject=" + Escaped(Narrow(message->lpszSubject)) + "\n";
        text += "body=" + Escaped(Narrow(message->lpszNoteText)) + "\n";
        for (ULONG i = 0; i < message->nFileCount; ++i)
            text += "file=" + Narrow(message->lpFiles[i].lpszPathName) + "|" +
                    Narrow(message->lpFiles[i].lpszFileName) + "|" + std::to_string(message->lpFiles[i].nPosition) +
                    "\n";
    }
    Record(text + arrival + "end\n");
    return Answer();
}

extern "C" __declspec(dllexport) ULONG WINAPI MAPISendMailW(LHANDLE, ULONG_PTR, void* message, FLAGS flags, ULONG)
{
    const MessageW* m = static_cast<const MessageW*>(message);
    const std::string arrival = Arrival();
    std::string text = "form=W\nflags=" + std::to_string(flags) + "\n";
    if (m) {
        for (ULONG i = 0; i < m->recipCount; ++i)
            text += "to=" + std::to_string(m->recips[i].cls) + ":" + Utf8(m->recips[i].name) + ":" +
                    Utf8(m->recips[i].address) + "\n";
        text += "subject=" + Escaped(Utf8(m->subject)) + "\n";
        text += "body=" + Escaped(Utf8(m->note)) + "\n";
        for (ULONG i = 0; i < m->fileCount; ++i)
            text += "file=" + Utf8(m->files[i].path) + "|" + Utf8(m->files[i].name) + "|" +
                    std::to_string(m->files[i].pos) + "\n";
    }
    Record(text + arrival + "end\n");
    return Answer();
}
