#include "SupportTools/SupportCheckUpdates.h"

#include "CHandle.h"
#include "CWaitCursor.h"
#include "GivenUpWorkers.h"
#include "Log/LogMan.h"
#include "MessageBoxEx.h"
#include "StringTable.h"
#include "SupportText.h"
#include "SupportTools/HTTP/ServiceBaseHTTP.h"
#include "SupportUtilities.h"
#include "WaitWithMessageLoop.h"

#include <curl/curl.h>

#include <cwctype>
#include <memory>

namespace {
const wchar_t kUnable[] = L"Unable to check for updates.";
const char kUserAgent[] = "User-Agent: www.mervale-software.example Update Checker";
constexpr size_t kAnswerChars = 31;

CString SiteAddress()
{
    const CString& address = GetUpdateCheckSite().address;
    return address.IsEmpty() ? CString(GetStr(SID_WEB_URL)) : address;
}

int ShowBox(HWND owner, const wchar_t* text, UINT type)
{
    HWND popup = owner ? GetLastActivePopup(owner) : nullptr;
    auto show = GetUpdateCheckSite().showBox ? GetUpdateCheckSite().showBox : ShowMessageBoxEx;
    return show(popup, text, GetStr(SID_PRODUCT), type);
}

int OpenAddress(const wchar_t* address, HWND owner)
{
    return ShellExecuteOpen(address, TRUE, owner ? GetLastActivePopup(owner) : nullptr);
}

CString VersionText(DWORD version)
{
    CString text;
    text.Format(L"%d.%d.%d.%d", (version >> 24) & 0xFF, (version >> 16) & 0xFF, (version >> 8) & 0xFF,
                version & 0xFF);
    return text;
}

std::string Trimmed(const std::string& text)
{
    const char* blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// What the check's worker shares with the thread that started it. Each holds a reference, so
// a worker given up at exit still has its request and libcurl: the last one out cleans
// libcurl up (libcurl built for Vista and later makes its global init and cleanup thread-safe).
struct CheckJob {
    CheckJob() : curlReady(curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK) {}
    ~CheckJob()
    {
        if (curlReady) curl_global_cleanup();
    }
    const bool curlReady;
    UpdateCheckRequest request;
    std::atomic<bool> abort{false};
};

DWORD WINAPI QueryThread(void* param)
{
    std::unique_ptr<std::shared_ptr<CheckJob>> job(static_cast<std::shared_ptr<CheckJob>*>(param));
    QueryLatestVersion((*job)->request, &(*job)->abort);
    return 0;
}
}  // namespace

UpdateCheckSite& GetUpdateCheckSite()
{
    static UpdateCheckSite site;
    return site;
}

bool ParseVersionText(const wchar_t* text, DWORD& packed, int& count)
{
    packed = 0;
    count = 0;
    const wchar_t* p = text;
    for (;;) {
        int digits = 0;
        DWORD value = 0;
        // Nine digits at most: enough for any part, and no overflow.
        while (iswdigit(*p) && *p < 0x80 && digits < 10) value = value * 10 + (*p++ - L'0'), ++digits;
        if (digits == 0 || digits > 9) return false;
        packed = (packed << 8) | (value & 0xFF);
        ++count;
        if (count == 4) return *p == 0;
        if (*p++ != L'.') return false;
    }
}

DWORD QueryLatestVersion(UpdateCheckRequest& request, const std::atomic<bool>* abort)
{
    CString path;
    path.Format(L"/t/versionhead?product=%s&version=%s&src=%s&type=%c", request.productCode.c_str(),
                VersionText(request.ownVersion).GetString(), request.beta ? L"beta" : L"rel", L'm');
    const std::string url(WideToAnsi(SiteAddress() + path).GetString());

    CServiceBaseHTTP http;
    http.m_connectTimeoutMs = GetUpdateCheckSite().connectTimeoutMs;
    http.m_totalTimeoutMs = GetUpdateCheckSite().totalTimeoutMs;
    http.m_abort = abort;
    std::string body;
    request.result = http.Get(url, {kUserAgent}, body);

    const std::string answer = Trimmed(body);
    request.answerWhole = answer.size() <= kAnswerChars && answer.find('\0') == std::string::npos;
    const CString wide = AnsiToWide(answer.substr(0, kAnswerChars).c_str());
    lstrcpynW(request.answer, wide.GetString(), static_cast<int>(kAnswerChars + 1));
    return request.result;
}

void ShowUpdateResult(HWND owner, const UpdateCheckRequest& request)
{
    if (request.result != 0) {
        ZN_LOG_ERROR(request.result, L"SupportCheckUpdates", LOG_ERROR);
        CString text(kUnable);
        if (request.answer[0]) text += CString(L"\n\n") + request.answer;
        ShowBox(owner, text, MB_ICONWARNING);
        return;
    }
    ZN_LOG(LOG_INFO, request.answer);

    CString latest(request.answer);
    latest.Trim();
    latest.MakeLower();
    const bool answerBeta = latest.Remove(L'b') > 0;

    DWORD latestVersion = 0;
    int count = 0;
    if (!request.answerWhole || !ParseVersionText(latest, latestVersion, count)) {
        ZN_LOG(LOG_ERROR, count << L" " << (request.answerWhole ? L"" : L"long ") << latest.GetString());
        ShowBox(owner, kUnable, MB_ICONWARNING);
        return;
    }
    if (latestVersion <= request.ownVersion) {
        ShowBox(owner, L"Your software is up to date.", MB_ICONINFORMATION);
        return;
    }

    const bool betaOffer = request.beta && answerBeta;
    const CString site = SiteAddress();
    CString text;
    text.Format(L"Version %s%s is available for %s.\n\nDo you want to visit %s?", latest.GetString(),
                betaOffer ? L" (beta)" : L"", betaOffer ? L"beta-testing" : L"downloading", site.GetString());
    if (ShowBox(owner, text, MB_ICONQUESTION | MB_YESNOCANCEL) != IDYES) return;

    CString page;
    page.Format(L"/cgi-bin/versionupdate.pl?product=%s&version=%s&src=%s", request.productCode.c_str(),
                VersionText(request.ownVersion).GetString(), request.beta ? L"beta" : L"rel");
    auto open = GetUpdateCheckSite().openAddress ? GetUpdateCheckSite().openAddress : OpenAddress;
    open(site + page, owner);
}

bool CheckForUpdates(HWND owner)
{
    CWaitCursor wait;
    auto job = std::make_shared<CheckJob>();
    UpdateCheckRequest& request = job->request;
    int beta = 0;
    request.ownVersion = GetFileVersionNumber(nullptr, &beta);
    request.beta = beta ? 1 : 0;

    const bool disable = owner && IsWindowEnabled(owner);
    if (disable) EnableWindow(owner, FALSE);
    bool ended = true, quit = false;
    auto* reference = new std::shared_ptr<CheckJob>(job);
    CHandle thread(CreateThread(nullptr, 0, QueryThread, reference, 0, nullptr));
    if (!thread) {
        ZN_LOG_ERROR(GetLastError(), L"CreateThread", LOG_ERROR);
        delete reference;
        QueryLatestVersion(request);
    } else {
        HANDLE h = thread.Get();
        const DWORD w = WaitWithMessageLoop(1, &h, INFINITE, QS_ALLINPUT);
        if (w != WAIT_OBJECT_0) {
            // The program is ending (or the wait failed): the answer is of no use any more,
            // and the exit must not wait for the site's time limits.
            quit = w == kWaitQuitReceived;
            job->abort = true;
            ended = WaitForSingleObject(h, GetUpdateCheckSite().abortWaitMs) == WAIT_OBJECT_0;
            if (!ended) {
                ZN_LOG_ERROR(WAIT_TIMEOUT, L"update check", LOG_WARNING);
                GiveUpWorker(std::move(thread), L"update check");
            }
        }
    }
    if (disable) EnableWindow(owner, TRUE);
    if (!quit && ended) ShowUpdateResult(owner, request);
    return ended;
}

void RunCheckForUpdates(HWND owner)
{
    ZN_LOG(LOG_INFO, L"Check For Updates");
    const CURLcode init = curl_global_init(CURL_GLOBAL_ALL);
    if (init != CURLE_OK) {
        ZN_LOG(LOG_ERROR, static_cast<int>(init));
        ShowBox(owner, kUnable, MB_ICONWARNING);
        return;
    }
    CheckForUpdates(owner);
    curl_global_cleanup();
}
