#include "CrashReport/ThreadSendEmail.h"

#include "CWaitCursor.h"
#include "CrashReport/SupportMapi.h"
#include "Log/LogMan.h"
#include "MessageBoxEx.h"
#include "Settings.h"
#include "StringTable.h"
#include "SupportFiles.h"
#include "SupportMail.h"
#include "SupportSettings.h"
#include "SupportText.h"
#include "SupportUtilities.h"
#include "SupportWindowsHelpers.h"
#include "SupportWindowsVersion.h"

#include <cstring>

namespace {
constexpr int kThreadTag = 69;
constexpr UINT kFinalBoxType = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION;
const wchar_t kDescribe[] = L"\n\nPlease describe the situation causes this error.";

HRESULT OwnElevation(BOOL* elevated)
{
    return GetProcessElevation(GetCurrentProcess(), elevated);
}

void SleepMs(DWORD ms)
{
    Sleep(ms);
}

// A box or the shell's error box may be owned only by a window of the thread that shows it:
// the user-interface thread waits for this worker without dispatching messages, so a box
// owned by one of its windows could never come up, and the worker would hang on it.
HWND OwnPopup()
{
    HWND popup = GetLastActivePopupWnd();
    return popup && GetWindowThreadProcessId(popup, nullptr) == GetCurrentThreadId() ? popup : nullptr;
}

// A value of a query string: everything but letters, digits and "-_.~" as %XX of its UTF-8.
CString QueryValue(const wchar_t* text)
{
    CString out;
    const CStringA bytes = WideToUtf8(text);
    for (const char* p = bytes.GetString(); *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || strchr("-_.~", c))
            out += static_cast<wchar_t>(c);
        else
            out.AppendFormat(L"%%%02X", c);
    }
    return out;
}

CString PercentEncode(const wchar_t* text)
{
    CString out;
    for (const wchar_t* p = text; p && *p; ++p) {
        switch (*p) {
        case L'%': out += L"%25"; break;
        case L'&': out += L"%26"; break;
        case L'#': out += L"%23"; break;
        case L'\r':
            // CR LF is one line end, as a lone LF is.
            if (p[1] == L'\n') ++p, out += L"%0D%0A";
            else out += L"%0D";
            break;
        case L'\n': out += L"%0D%0A"; break;
        default: out += *p;
        }
    }
    return out;
}
}  // namespace

SendEmailSystem& GetSendEmailSystem()
{
    static SendEmailSystem system{GetDefaultMailClient, OwnElevation, ShellExecuteOpen, ShellExecuteOpenSilent,
                                  ShowMessageBoxEx, SleepMs};
    return system;
}

CThreadSendEmail::CThreadSendEmail()
{
    m_tag = kThreadTag;
}

CThreadSendEmail::~CThreadSendEmail()
{
    if (const DWORD error = m_done.Close()) ZN_LOG_ERROR(error, L"CloseHandle done", LOG_ERROR);
}

bool CThreadSendEmail::Prepare(HWND owner, DWORD ownerThreadId, int kind, const std::vector<CString>* attachments,
                               const wchar_t* subject, const wchar_t* body)
{
    m_owner = owner;
    m_ownerThreadId = ownerThreadId;
    m_kind = kind;
    if (attachments) m_attachments = *attachments;
    m_subject = subject ? subject : L"";
    m_body = body ? body : L"";
    // The event lives from here to the object's end, so that a wait can never miss the
    // worker's signal; each request starts it cleared.
    if (!m_done) {
        m_done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!m_done) ZN_LOG_ERROR(GetLastError(), L"CreateEvent done", LOG_ERROR);
    } else if (!ResetEvent(m_done)) {
        ZN_LOG_ERROR(GetLastError(), L"ResetEvent done", LOG_ERROR);
    }
    return CreateHandles() != FALSE;
}

void CThreadSendEmail::SetDone()
{
    if (m_done && !SetEvent(m_done)) ZN_LOG_ERROR(GetLastError(), L"SetEvent done", LOG_ERROR);
}

void CThreadSendEmail::WaitForCompletion(DWORD ms)
{
    if (!m_done) {
        ZN_LOG_ERROR(ERROR_INVALID_HANDLE, L"WaitForCompletion", LOG_ERROR);
        return;
    }
    HANDLE handles[2] = {m_done.Get(), GetThreadHandle()};
    const DWORD count = handles[1] ? 2 : 1;
    const DWORD w = WaitForMultipleObjects(count, handles, FALSE, ms);
    if (w == WAIT_TIMEOUT) ZN_LOG(LOG_WARNING, L"WaitForCompletion " << ms);
    else if (w == WAIT_FAILED) ZN_LOG_ERROR(GetLastError(), L"WaitForCompletion", LOG_ERROR);
}

CString CThreadSendEmail::DefaultSubject(int kind)
{
    const StrId prefix = kind == EMAIL_SUPPORT ? SID_SUBJECT_SUPPORT
                         : kind == EMAIL_FEEDBACK ? SID_SUBJECT_FEEDBACK
                         : (kind == EMAIL_BUG || kind == EMAIL_CRASH) ? SID_SUBJECT_BUG
                                                                      : SID_SUBJECT_QUERY;
    return CString(GetStr(prefix)) + L"for " + GetStr(SID_PRODUCT) + L" " + GetStr(SID_VERSION);
}

CString CThreadSendEmail::BuildMailtoLink(const wchar_t* recipient, const wchar_t* subject, const wchar_t* text)
{
    CString link = CString(GetStr(SID_MAILTO)) + recipient + L"?Subject=" + PercentEncode(subject);
    if (text && *text) link += CString(L"&body=") + PercentEncode(text);
    return link;
}

CString CThreadSendEmail::BuildWebFormLink()
{
    unsigned major = 0, minor = 0, build = 0;
    RTL_OSVERSIONINFOEXW version{};
    if (GetRtlVersion(&version)) {
        major = version.dwMajorVersion;
        minor = version.dwMinorVersion;
        build = version.dwBuildNumber;
    } else {
        WORD parts[4] = {};
        if (GetKernel32Version(parts)) {
            major = LOBYTE(parts[0]);
            minor = HIBYTE(parts[0]);
        }
    }
    CString versionText(GetStr(SID_VERSION_FULL));
    versionText.TrimRight(L'r');
    // The platform of the program itself: a 64-bit build, or a 32-bit one under WOW64.
    const int platform = (sizeof(void*) == 8 || IsWow64()) ? 64 : 86;
    CString path;
    path.Format(L"/t/%s-support?&version=%s&ins=%s&m=%d&os=%u.%u.%u&pa=x%d", L"znc", versionText.GetString(),
                QueryValue(GetInstallDate()).GetString(), 0, major, minor, build, platform);
    path.Replace(L".", L"%2E");
    return CString(GetStr(SID_WEB_URL)) + path;
}

HRESULT CThreadSendEmail::Run()
{
    CWaitCursor wait;
    const SendEmailSystem& sys = GetSendEmailSystem();
    const bool useUnicode = IsWindowsAtLeast(WINLEVEL_8) != 0;
    CString clientName;
    const bool haveClient = sys.defaultMailClient(clientName, false);

    bool useMapi = GetSettingInt(Setting::kMAPI) != 0;
    if (useMapi && haveClient) {
        ZN_LOG(LOG_INFO, clientName.GetString());
        CString lower = clientName;
        StringToLower(lower);
        if (lower.Find(L"outlook") < 0) useMapi = false;
    }
    if (useMapi) {
        useMapi = IsMapiUsable();
        if (useMapi) {
            BOOL elevated = FALSE;
            const HRESULT hr = sys.processElevation(&elevated);
            if (FAILED(hr)) {
                ZN_LOG_ERROR(hr, L"GetProcessElevation", LOG_ERROR);
            } else {
                ZN_LOG(LOG_INFO, elevated);
                useMapi = !elevated;
            }
        }
    }
    ZN_LOG(LOG_INFO, useMapi << L" " << m_kind << L" " << m_attachments.size());

    const CString recipient(GetStr(SID_SUPPORT_EMAIL));
    const CString subject = m_subject.IsEmpty() ? DefaultSubject(m_kind) : m_subject;

    std::vector<tagEMailAttachmentW> wideList;
    std::vector<tagEMailAttachmentA> narrowList;
    CString folder, names;
    int nameCount = 0;
    for (const CString& path : m_attachments) {
        if (!FileExists(path)) {
            ZN_LOG(LOG_ERROR, path.GetString());
            continue;
        }
        CString name;
        SplitPath(path, folder, name);
        if (useMapi) {
            CString upper = name;
            upper.MakeUpper();
            if (useUnicode)
                wideList.push_back({path, upper});
            else
                narrowList.push_back({WideToAnsi(path), WideToAnsi(upper)});
        }
        if (nameCount++ > 0) names += L"\n";
        names += name;
    }
    // More than one name: each on its own line, under the text that introduces them.
    if (nameCount > 1) names = L"\n" + names;

    if (useMapi) {
        CString body;
        if (!names.IsEmpty()) {
            body.Format(L"Please *attach* the prepared file %s to the email manually, if your email client did not "
                        L"do that automatically.\n\nUse File Explorer that opens to attach the file.\nPath to the "
                        L"file: %s",
                        names.GetString(), folder.GetString());
            if (m_kind == EMAIL_CRASH) body += kDescribe;
            if (!m_body.IsEmpty()) body += L"\n\n" + m_body;
        }
        SetDone();
        const ULONG result =
            useUnicode ? SendMailW(m_owner, recipient, recipient, subject, body, wideList)
                       : SendMailA(m_owner, WideToAnsi(recipient), WideToAnsi(recipient), WideToAnsi(subject),
                                   WideToAnsi(body), narrowList);
        if (result == SUCCESS_SUCCESS) {
            ZN_LOG(LOG_INFO, L"0");
            return 0;
        }
        if (result == MAPI_USER_ABORT) {
            ZN_LOG(LOG_WARNING, L"abort");
            return 0;
        }
        ZN_LOG(LOG_ERROR, result);
    }

    CString link;
    if (haveClient) {
        CString text;
        if (!m_body.IsEmpty()) text = m_body + L" ";
        if (!names.IsEmpty()) {
            text.AppendFormat(L"Please *attach* the prepared file %s to the email manually.\nUse File Explorer that "
                              L"opens to attach the file.\nPath to the file: %s",
                              names.GetString(), folder.GetString());
            if (m_kind == EMAIL_CRASH) text += kDescribe;
        }
        link = BuildMailtoLink(recipient, subject, text);
    } else {
        ZN_LOG(LOG_WARNING, L"no mail client");
        link = BuildWebFormLink();
    }
    sys.openLink(link, TRUE, OwnPopup());
    m_subject.Empty();
    m_body.Empty();
    SetDone();

    if (!names.IsEmpty()) {
        sys.openFolder(folder);
        m_finalMessage.Format(L"Use File Explorer that opens to attach the prepared file %s to an email, and then "
                              L"send it to %s\n\nPath to the file: %s",
                              names.GetString(), recipient.GetString(), folder.GetString());
        if (m_kind == EMAIL_CRASH) {
            sys.showBox(OwnPopup(), m_finalMessage, GetStr(SID_PRODUCT), kFinalBoxType);
        } else if (m_noticeWindow) {
            // A thread message would be lost in a modal loop (the Options sheet's, when the
            // report started from its Clock page): a window's message reaches any loop.
            if (!PostMessageW(m_noticeWindow, kMailWorkerNotify, kMailWorkerShowMessage, 0))
                ZN_LOG_ERROR(GetLastError(), L"PostMessageW", LOG_ERROR);
        } else if (!PostThreadMessageW(m_ownerThreadId, kMailWorkerNotify, kMailWorkerShowMessage, 0)) {
            ZN_LOG_ERROR(GetLastError(), L"PostThreadMessageW", LOG_ERROR);
        }
    } else if (m_kind == EMAIL_CRASH) {
        // The crash road ends the process next: give the mail program time to take the link.
        sys.sleep(5000);
    }
    return 0;
}
