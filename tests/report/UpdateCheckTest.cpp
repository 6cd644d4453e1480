// The update check against the loopback web site: every answer the site may give, good or
// hostile, ends in the right box and, when it fails, in a log entry.
#include "LogCapture.h"
#include "ReportTestSupport.h"
#include "TestFiles.h"

#include "GivenUpWorkers.h"
#include "SupportTools/SupportCheckUpdates.h"

#include <curl/curl.h>
#include <gmock/gmock.h>

namespace {

constexpr DWORD kOwn = 0x05010200;  // 5.1.2.0

int RecordOpen(const wchar_t* address, HWND)
{
    Recorded().opened.push_back(address);
    return 1;
}

class UpdateCheckTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(SiteDir().empty()) << "run through ctest: the http_site fixture starts the server";
        ASSERT_EQ(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK);
        Recorded() = UiRecorder{};
        UpdateCheckSite& site = GetUpdateCheckSite();
        site.connectTimeoutMs = 2000;
        site.totalTimeoutMs = 1500;
        site.showBox = RecordBox;
        site.openAddress = RecordOpen;
    }
    void TearDown() override
    {
        GetUpdateCheckSite() = UpdateCheckSite{};
        curl_global_cleanup();
    }

    // Runs the check against the site's case and returns the one box it showed.
    ShownBox Check(const std::wstring& site, BYTE beta = 0, DWORD* result = nullptr)
    {
        GetUpdateCheckSite().address = site.c_str();
        UpdateCheckRequest request;
        request.ownVersion = kOwn;
        request.beta = beta;
        QueryLatestVersion(request);
        if (result) *result = request.result;
        ShowUpdateResult(nullptr, request);
        EXPECT_EQ(Recorded().boxes.size(), 1u);
        ShownBox box = Recorded().boxes.empty() ? ShownBox{} : Recorded().boxes.back();
        Recorded().boxes.clear();
        return box;
    }

    LogCapture log;
};

std::string Ansi(const CString& s)
{
    return zntest::Utf8(s.GetString());
}

enum class Outcome { NewVersion, UpToDate, Unable };

struct SiteCase {
    const char* path;    // after the site's address
    Outcome outcome;
    DWORD curlCode;      // the transfer's libcurl code, 0 when the transfer itself worked
    const char* detail;  // what the box says after "Unable to check for updates.\n\n", or the
                         // version it offers
    const char* why;
};

const SiteCase kCases[] = {
    {"/v/5.1.3.0", Outcome::NewVersion, 0, "5.1.3.0", "a newer release"},
    {"/v/%205.1.3.0%0D%0A", Outcome::NewVersion, 0, "5.1.3.0", "white space around the answer is trimmed"},
    {"/v/5.1.2.0", Outcome::UpToDate, 0, nullptr, "the own version"},
    {"/v/5.1.1.9", Outcome::UpToDate, 0, nullptr, "an older version"},
    {"/v/5.1.2.256", Outcome::UpToDate, 0, nullptr, "a part above 255 keeps its low 8 bits"},
    {"/gz/5.1.3.0", Outcome::NewVersion, 0, "5.1.3.0", "a gzip-coded answer"},
    {"/GZ/5.1.3.0", Outcome::NewVersion, 0, "5.1.3.0", "header name and value in capitals"},
    {"/v/", Outcome::Unable, 0, "", "an empty body"},
    {"/v/junk", Outcome::Unable, 0, "", "junk"},
    {"/v/9.9.9.9junk", Outcome::Unable, 0, "", "a version with trailing junk"},
    {"/v/9.9.9.9.9", Outcome::Unable, 0, "", "five parts"},
    {"/v/9.-1.9.9", Outcome::Unable, 0, "", "a negative part"},
    {"/v/9.9.9", Outcome::Unable, 0, "", "three parts"},
    {"/v/9.9.9.9999999999", Outcome::Unable, 0, "", "a part too long to be a number"},
    {"/v/9.9.9.9%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20%20x", Outcome::Unable,
     0, "", "junk after the 31 characters that are kept"},
    {"/deflate/5.1.3.0", Outcome::Unable, 0, "", "a coding other than gzip stays coded"},
    {"/status/404", Outcome::Unable, 0, "HTTP Error Code: 404", "not found"},
    {"/status/500", Outcome::Unable, 0, "HTTP Error Code: 500", "a server error"},
    {"/redirect", Outcome::Unable, 0, "HTTP Error Code: 302", "redirects are not followed"},
    {"/big", Outcome::Unable, CURLE_WRITE_ERROR, "Failed writing received data", "a 10 MB body"},
    {"/bomb", Outcome::Unable, 0, "", "a gzip body that inflates past the cap"},
    {"/gzbad/cut", Outcome::Unable, 0, "", "gzip cut inside its trailer"},
    {"/gzbad/corrupt", Outcome::Unable, 0, "", "corrupt deflate data"},
    {"/gzbad/flags", Outcome::Unable, 0, "", "reserved gzip flags"},
    {"/gzbad/extra", Outcome::Unable, 0, "", "an extra field past the end"},
    {"/gzbad/name", Outcome::Unable, 0, "", "a file name without its end"},
    {"/stall", Outcome::Unable, CURLE_OPERATION_TIMEDOUT, "Timeout was reached", "a body that stalls"},
    {"/close", Outcome::Unable, CURLE_PARTIAL_FILE, "Transferred a partial file", "a connection closed early"},
    {"/silent", Outcome::Unable, CURLE_OPERATION_TIMEDOUT, "Timeout was reached", "a server that never answers"},
};

TEST_F(UpdateCheckTest, EveryAnswerOfTheSiteEndsInItsBox)
{
    const std::wstring site = SiteAddress(false);
    ASSERT_FALSE(site.empty());
    for (const SiteCase& c : kCases) {
        SCOPED_TRACE(std::string(c.path) + ": " + c.why);
        const std::wstring address = site + std::wstring(c.path, c.path + strlen(c.path));
        const size_t errors = log.Entries(" * ").size();
        DWORD result = 0;
        const DWORD start = GetTickCount();
        const ShownBox box = Check(address, 0, &result);
        EXPECT_LT(GetTickCount() - start, 5000u) << "bounded by the time limits";
        EXPECT_EQ(box.caption, CString(L"Zarnock"));
        const std::string text = Ansi(box.text);
        switch (c.outcome) {
        case Outcome::NewVersion: {
            const std::string siteText = zntest::Utf8(address);
            EXPECT_EQ(text, std::string("Version ") + c.detail + " is available for downloading.\n\nDo you want to visit " +
                                siteText + "?");
            EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONQUESTION | MB_YESNOCANCEL));
            break;
        }
        case Outcome::UpToDate:
            EXPECT_EQ(text, "Your software is up to date.");
            EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONINFORMATION));
            break;
        case Outcome::Unable:
            EXPECT_EQ(text.rfind("Unable to check for updates.", 0), 0u) << text;
            if (c.detail && *c.detail) {
                EXPECT_EQ(text.rfind(std::string("Unable to check for updates.\n\n") + c.detail, 0), 0u) << text;
            }
            EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONWARNING));
            EXPECT_GT(log.Entries(" * ").size(), errors) << "every failure is logged";
            break;
        }
        EXPECT_EQ(result >> 24, c.curlCode);
    }
    EXPECT_TRUE(Recorded().opened.empty()) << "the box was not answered with Yes";
}

// The request itself, as the site receives it.
TEST_F(UpdateCheckTest, AsksForTheLatestVersionOfThisProduct)
{
    const std::wstring marker = L"/v/5.1.2.0/" + std::to_wstring(GetCurrentProcessId());
    Check(SiteAddress(false) + marker, 1);
    const std::string requests = zntest::ReadBytes(SiteDir() + L"\\requests.txt");
    const std::string expected = zntest::Utf8(marker) +
                                 "/t/versionhead?product=znc&version=5.1.2.0&src=beta&type=m\t"
                                 "www.mervale-software.example Update Checker\n";
    EXPECT_NE(requests.find(expected), std::string::npos) << requests;
}

// A beta build is offered a beta; Yes opens the download page for this build.
TEST_F(UpdateCheckTest, YesOpensTheDownloadPage)
{
    const std::wstring site = SiteAddress(false) + L"/v/5.1.3.0b";
    Recorded().answers = {IDYES};
    const ShownBox box = Check(site, 1);
    EXPECT_EQ(Ansi(box.text), "Version 5.1.3.0 (beta) is available for beta-testing.\n\nDo you want to visit " +
                                  zntest::Utf8(site) + "?");
    ASSERT_EQ(Recorded().opened.size(), 1u);
    EXPECT_EQ(Ansi(Recorded().opened[0]),
              zntest::Utf8(site) + "/cgi-bin/versionupdate.pl?product=znc&version=5.1.2.0&src=beta");

    // A release build is offered the same version for downloading, without the beta mark;
    // No opens nothing.
    Recorded() = UiRecorder{};
    Recorded().answers = {IDNO};
    EXPECT_EQ(Ansi(Check(site, 0).text).rfind("Version 5.1.3.0 is available for downloading.", 0), 0u);
    EXPECT_TRUE(Recorded().opened.empty());
}

// libcurl's TLS road (Schannel) against the site's self-signed certificate.
TEST_F(UpdateCheckTest, AsksOverHttps)
{
    const std::wstring site = SiteAddress(true);
    ASSERT_FALSE(site.empty());
    EXPECT_EQ(Ansi(Check(site + L"/gz/5.1.3.0").text).rfind("Version 5.1.3.0 is available", 0), 0u);
}

// The whole check as the Clock page's button runs it: the request runs off this thread,
// whose timers (the clock's ticking) keep running while the site stalls.
int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD)
{
    ++g_ticks;
}

TEST_F(UpdateCheckTest, CheckForUpdatesKeepsThisThreadDispatching)
{
    GetUpdateCheckSite().address = (SiteAddress(false) + L"/stall").c_str();
    g_ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CountTick);
    RunCheckForUpdates(nullptr);
    KillTimer(nullptr, timer);
    ASSERT_EQ(Recorded().boxes.size(), 1u);
    EXPECT_EQ(Ansi(Recorded().boxes[0].text).rfind("Unable to check for updates.", 0), 0u);
    EXPECT_GE(g_ticks, 10) << "timers ran while the site stalled";
}

void CALLBACK QuitOnce(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    PostQuitMessage(0);
}

// The quit message during the check (the program is ending): the request is cut short and
// nobody is told its result.
TEST_F(UpdateCheckTest, QuitDuringTheCheckShowsNothingAndEndsTheRequest)
{
    GetUpdateCheckSite().address = (SiteAddress(false) + L"/silent").c_str();
    GetUpdateCheckSite().totalTimeoutMs = 60000;
    SetTimer(nullptr, 0, 300, QuitOnce);
    const DWORD start = GetTickCount();
    EXPECT_TRUE(CheckForUpdates(nullptr)) << "the request ended";
    const DWORD elapsed = GetTickCount() - start;
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit goes on to the thread's loop";
    EXPECT_TRUE(Recorded().boxes.empty());
    EXPECT_LT(elapsed, 20000u) << "the site answers nothing for 30 s";
}

// libcurl takes the allocator of a fresh start only once its last reference has gone.
int g_allocations = 0;
void* CountedCalloc(size_t count, size_t size)
{
    ++g_allocations;
    return calloc(count, size);
}

// libcurl's count of references, without its own: an init with the counting allocator takes
// it only when nobody holds libcurl any more, and then an easy handle counts.
bool LibcurlWasCleanedUp()
{
    g_allocations = 0;
    EXPECT_EQ(curl_global_init_mem(CURL_GLOBAL_ALL, malloc, free, realloc, _strdup, CountedCalloc), CURLE_OK);
    curl_easy_cleanup(curl_easy_init());
    curl_global_cleanup();
    return g_allocations > 0;
}

// A check given up after the quit message (at once here: libcurl notices the cut only at its
// next progress call) keeps libcurl while it runs, though its caller cleaned up, and is
// waited for at exit, before the log and libcurl go.
TEST_F(UpdateCheckTest, ExitWaitsForACheckThatWasGivenUp)
{
    GetUpdateCheckSite().address = (SiteAddress(false) + L"/silent").c_str();
    GetUpdateCheckSite().totalTimeoutMs = 60000;
    GetUpdateCheckSite().abortWaitMs = 0;
    curl_global_cleanup();
    SetTimer(nullptr, 0, 300, QuitOnce);
    RunCheckForUpdates(nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    const bool cleanedUp = LibcurlWasCleanedUp();
    // The look proves something only while the worker had not yet logged its cut-short
    // request after it, the entry that comes before the worker lets go of libcurl.
    const auto performLogged = testing::Contains(testing::HasSubstr("curl_easy_perform"));
    if (!testing::Value(log.Texts(" * "), performLogged)) {
        EXPECT_FALSE(cleanedUp) << "the worker runs on without libcurl";
    }
    EXPECT_TRUE(WaitForGivenUpWorkers(10000));
    EXPECT_THAT(log.Texts(" * "), performLogged) << "the worker's last entry comes before exit goes on";
    EXPECT_TRUE(LibcurlWasCleanedUp()) << "the worker let go of libcurl";
    ASSERT_EQ(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK) << "for the fixture's cleanup";
}

}  // namespace
