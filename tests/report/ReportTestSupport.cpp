#include "ReportTestSupport.h"

#include "ProfileTestApp.h"
#include "TestFiles.h"

namespace {
ProfileTestApp g_app(L"ZarnockReportTests");

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}
}  // namespace

ProfileTestApp& ReportApp()
{
    return g_app;
}

std::wstring SiteDir()
{
    const char* dir = getenv("ZARNOCK_HTTP_DIR");
    return dir ? std::wstring(dir, dir + strlen(dir)) : std::wstring();
}

std::wstring SiteAddress(bool tls)
{
    const std::string port = Trimmed(zntest::ReadBytes(SiteDir() + (tls ? L"\\tls-port" : L"\\port")));
    if (port.empty()) return std::wstring();
    return (tls ? L"https://127.0.0.1:" : L"http://127.0.0.1:") + std::wstring(port.begin(), port.end());
}

UiRecorder& Recorded()
{
    static UiRecorder recorder;
    return recorder;
}

int RecordBox(HWND, const wchar_t* text, const wchar_t* caption, UINT type)
{
    UiRecorder& r = Recorded();
    r.boxes.push_back({text, caption, type});
    if (r.answers.empty()) return IDOK;
    const int answer = r.answers.front();
    r.answers.erase(r.answers.begin());
    return answer;
}
