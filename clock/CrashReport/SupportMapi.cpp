#include "CrashReport/SupportMapi.h"

#include "CHandle.h"
#include "CrashReport/GuardedCall.h"
#include "Log/LogMan.h"
#include "Settings.h"
#include "SupportFiles.h"
#include "SupportRegistry.h"
#include "SupportText.h"

#include <imagehlp.h>

namespace {
const wchar_t kOutlookKey[] = L"SOFTWARE\\Clients\\Mail\\Microsoft Outlook";
constexpr ULONG kNotSupported = 26;  // MAPI_E_NOT_SUPPORTED
constexpr FLAGS kSendFlags = MAPI_LOGON_UI | MAPI_DIALOG;

#ifdef _WIN64
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
#endif

using ImageLoadFn = PLOADED_IMAGE(WINAPI*)(PCSTR, PCSTR);
using ImageUnloadFn = BOOL(WINAPI*)(PLOADED_IMAGE);

// What both character widths share: the library, the owner's input taken away while the
// mail program's dialog runs, and given back afterwards.
class CMapiCall
{
public:
    explicit CMapiCall(HWND owner) : m_owner(owner)
    {
        if (m_owner) SetCapture(m_owner);
        SetFocus(nullptr);
        if (m_owner) EnableWindow(m_owner, FALSE);
    }
    ~CMapiCall()
    {
        ReleaseCapture();
        if (m_owner) {
            EnableWindow(m_owner, TRUE);
            SetActiveWindow(nullptr);
            SetActiveWindow(m_owner);
            SetFocus(m_owner);
        }
    }
    CMapiCall(const CMapiCall&) = delete;
    CMapiCall& operator=(const CMapiCall&) = delete;

private:
    HWND m_owner;
};

template <typename Fn>
Fn LoadMapiEntry(CModuleHandle& library, const char* name)
{
    library.Reset(LoadLibraryW(L"MAPI32.DLL"));
    Fn fn = library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
    if (!fn) ZN_LOG_ERROR(kNotSupported, CString(L"MAPI32.DLL ") + AnsiToWide(name), LOG_ERROR);
    return fn;
}

constexpr ULONG kFailure = 2;  // MAPI_E_FAILURE

// One MAPISendMail call, as the guard runs it.
template <typename Send, typename Message>
struct SendRequest {
    Send send;
    HWND owner;
    Message* message;
    bool threw = false;

    static ULONG Call(void* self)
    {
        auto* r = static_cast<SendRequest*>(self);
        // A C++ exception of a library built with GCC passes the guard (only GCC's unwinder
        // can take it through the library's frames), so it is caught here, before the guard.
        try {
            return r->send(0, reinterpret_cast<ULONG_PTR>(r->owner), r->message, kSendFlags, 0);
        } catch (...) {
            r->threw = true;
            return kFailure;
        }
    }
};

// The mail program's library runs inside the guard: an exception there is its failure, not
// the clock's crash, and the caller falls back to the mailto link.
template <typename Send, typename Message>
ULONG GuardedSend(Send send, HWND owner, Message* message)
{
    SendRequest<Send, Message> request{send, owner, message};
    DWORD code = 0;
    const ULONG result = CallGuarded(&SendRequest<Send, Message>::Call, &request, kFailure, &code);
    if (code || request.threw) {
        ZN_LOG(LOG_ERROR, (code ? HexText(code, TRUE) : CString(L"C++ exception")).GetString());
        ZN_LOG_ERROR(E_UNEXPECTED, L"MAPISendMail", LOG_ERROR);
    }
    return result;
}

ULONG LogResult(ULONG result)
{
    if (result > MAPI_USER_ABORT) ZN_LOG_ERROR(result, L"MAPISendMail", LOG_ERROR);
    return result;
}

// What the two character widths of Simple MAPI name differently.
template <typename Char>
struct MapiTypes;
template <>
struct MapiTypes<char> {
    using String = CStringA;
    using Attachment = tagEMailAttachmentA;
    using FileDesc = MapiFileDesc;
    using RecipDesc = MapiRecipDesc;
    using Message = MapiMessage;
    using Send = LPMAPISENDMAIL;
    static constexpr const char* kEntry = "MAPISendMail";
    static constexpr const char* kFileName = "file%d";
};
template <>
struct MapiTypes<wchar_t> {
    using String = CString;
    using Attachment = tagEMailAttachmentW;
    using FileDesc = MapiFileDescW;
    using RecipDesc = MapiRecipDescW;
    using Message = MapiMessageW;
    using Send = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessageW*, FLAGS, ULONG);
    static constexpr const char* kEntry = "MAPISendMailW";
    static constexpr const wchar_t* kFileName = L"file%d";
};

template <typename Char>
ULONG SendMailT(HWND owner, const Char* address, const Char* name, const Char* subject, const Char* text,
                const std::vector<typename MapiTypes<Char>::Attachment>& attachments)
{
    using T = MapiTypes<Char>;
    if (!address || !*address) {
        ZN_LOG(LOG_ERROR, L"no recipient");
        return static_cast<ULONG>(-1);
    }
    CModuleHandle library;
    auto send = LoadMapiEntry<typename T::Send>(library, T::kEntry);
    if (!send) return kNotSupported;

    std::vector<typename T::FileDesc> files;
    std::vector<typename T::String> names;
    names.reserve(attachments.size());
    for (const auto& a : attachments) {
        if (a.path.IsEmpty()) continue;
        typename T::String shown = a.displayName;
        if (shown.IsEmpty()) shown.Format(T::kFileName, static_cast<int>(files.size()) + 1);
        names.push_back(shown);
        files.push_back({0, 0, 0xFFFFFFFF, const_cast<Char*>(a.path.GetString()),
                         const_cast<Char*>(names.back().GetString()), nullptr});
    }
    typename T::RecipDesc recipient{0, MAPI_TO, (name && *name) ? const_cast<Char*>(name) : nullptr,
                                    const_cast<Char*>(address), 0, nullptr};
    typename T::Message message{};
    if (subject && *subject) message.lpszSubject = const_cast<Char*>(subject);
    if (text && *text) message.lpszNoteText = const_cast<Char*>(text);
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    if (!files.empty()) {
        message.nFileCount = static_cast<ULONG>(files.size());
        message.lpFiles = files.data();
    }
    CMapiCall call(owner);
    return LogResult(GuardedSend(send, owner, &message));
}
}  // namespace

bool IsMapiUsable()
{
    if (GetSettingInt(Setting::kMAPI) == 0) return false;
    const CString path = RegistryReadString(HKEY_LOCAL_MACHINE, kOutlookKey, L"DLLPathEx", L"", FALSE);
    if (path.IsEmpty()) return false;
    ZN_LOG(LOG_INFO, path.GetString());
    if (!FileExists(path)) {
        ZN_LOG(LOG_WARNING, path.GetString());
        return false;
    }
    CString folder, name;
    SplitPath(path, folder, name);

    CModuleHandle imagehlp(LoadLibraryW(L"imagehlp.dll"));
    auto load = imagehlp ? reinterpret_cast<ImageLoadFn>(reinterpret_cast<void*>(GetProcAddress(imagehlp, "ImageLoad"))) : nullptr;
    auto unload = imagehlp ? reinterpret_cast<ImageUnloadFn>(reinterpret_cast<void*>(GetProcAddress(imagehlp, "ImageUnload"))) : nullptr;
    if (!load || !unload) {
        ZN_LOG_ERROR(GetLastError(), L"imagehlp", LOG_ERROR);
        return false;
    }
    PLOADED_IMAGE image = load(WideToAnsi(name), WideToAnsi(folder));
    if (!image) {
        ZN_LOG_ERROR(GetLastError(), L"ImageLoad", LOG_ERROR);
        return false;
    }
    const bool usable = image->FileHeader && image->FileHeader->FileHeader.Machine == kOwnMachine;
    unload(image);
    return usable;
}

ULONG SendMailW(HWND owner, const wchar_t* address, const wchar_t* name, const wchar_t* subject,
                const wchar_t* text, const std::vector<tagEMailAttachmentW>& attachments)
{
    return SendMailT<wchar_t>(owner, address, name, subject, text, attachments);
}

ULONG SendMailA(HWND owner, const char* address, const char* name, const char* subject, const char* text,
                const std::vector<tagEMailAttachmentA>& attachments)
{
    return SendMailT<char>(owner, address, name, subject, text, attachments);
}
