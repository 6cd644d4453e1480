#include "WSoundThread.h"

#include "FileEx.h"
#include "GivenUpWorkers.h"
#include "Log/LogMan.h"
#include "SupportWindowsHelpers.h"

#include <cstring>
#include <utility>
#include <vector>

namespace {

// A canonical WAV file: "RIFF" size "WAVE", a 16-byte "fmt " chunk, then "data" size and
// the samples. The pieces in the sound library and the strike we build are all of it.
constexpr size_t kWaveHeader = 44;
constexpr size_t kRiffSizeAt = 4;
constexpr size_t kBytesPerSecondAt = 28;
constexpr size_t kDataSizeAt = 40;

// Resource ids of the pieces in "ZNSound.dll".
constexpr int kStrikeTail = 132;
constexpr int kStrikeIntro = 133;
constexpr int kStrikeStroke = 134;
constexpr int kQuarter45 = 135;
constexpr int kQuarter30 = 136;
constexpr int kQuarter15 = 137;

constexpr DWORD kAbortedWorker = 0xF0000000;
constexpr UINT kMciErrorTextLength = 256;

DWORD ReadDword(const BYTE* bytes, size_t at)
{
    DWORD value;
    std::memcpy(&value, bytes + at, sizeof value);
    return value;
}

void WriteDword(BYTE* bytes, size_t at, DWORD value)
{
    std::memcpy(bytes + at, &value, sizeof value);
}

// One WAV piece inside the mapped library; data points at its samples.
struct WavePiece
{
    const BYTE* header = nullptr;
    const BYTE* data = nullptr;
    DWORD dataSize = 0;
};

// The piece's header is checked before anything is copied from it: a header that is not
// the canonical layout, or claims more samples than the resource holds, would otherwise
// make us (and the platform after us) read past the resource.
bool FindPiece(HMODULE library, int id, WavePiece* piece)
{
    HRSRC found = FindResourceW(library, MAKEINTRESOURCEW(id), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(library, found) : nullptr;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes) {
        CString text;
        text.Format(L"Sound piece %d not found", id);
        ZN_LOG_ERROR(GetLastError(), text, LOG_ERROR);
        return false;
    }
    DWORD size = SizeofResource(library, found);
    if (size < kWaveHeader || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVEfmt ", 8) != 0
        || ReadDword(bytes, 16) != 16 || std::memcmp(bytes + 36, "data", 4) != 0
        || ReadDword(bytes, kDataSizeAt) > size - kWaveHeader) {
        ZN_LOG(LOG_ERROR, L"Sound piece " << id << L" is not a canonical WAV file (" << size << L" bytes)");
        return false;
    }
    piece->header = bytes;
    piece->data = bytes + kWaveHeader;
    piece->dataSize = ReadDword(bytes, kDataSizeAt);
    return true;
}

// Milliseconds the image plays: at least a second, 0 when the header gives no rate.
DWORD Duration(const BYTE* image)
{
    ULONGLONG dataSize = ReadDword(image, kDataSizeAt);
    ULONGLONG perSecond = ReadDword(image, kBytesPerSecondAt);
    if (dataSize == 0 || perSecond == 0)
        return 0;
    ULONGLONG ms = dataSize * 1000 / perSecond;
    return ms < 1000 ? 1000 : static_cast<DWORD>(ms > 0x7FFFFFFF ? 0x7FFFFFFF : ms);
}

// Strokes of a count or hour: 1..12, so hour 0 and 12 strike twelve and 13 strikes one.
int StrokesOf(int value)
{
    int n = value % 12;
    return n <= 0 ? n + 12 : n;
}

// The library is mapped as a data file; it is freed as soon as the pieces are copied out.
void FreeSoundLibrary(CModuleHandle& library)
{
    if (DWORD error = library.Close())
        ZN_LOG_ERROR(error, L"FreeLibrary (sound library)", LOG_ERROR);
}

// Ordered so that the default platform outlives the player at exit.
CSoundPlatform g_defaultPlatform;

} // namespace

CWSoundThread g_soundThread;

MCIERROR CSoundPlatform::SendMciCommand(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR params)
{
    return mciSendCommandW(device, message, flags, params);
}

BOOL CSoundPlatform::GetMciErrorText(MCIERROR error, wchar_t* text, UINT length)
{
    return mciGetErrorStringW(error, text, length);
}

BOOL CSoundPlatform::PlayMemory(const BYTE* image, DWORD flags)
{
    return PlaySoundW(reinterpret_cast<LPCWSTR>(image), nullptr, flags);
}

HMODULE CSoundPlatform::LoadSoundLibrary()
{
    // From the program's own folder only: the library is never searched for elsewhere.
    CString path = L"ZNSound.dll";
    wchar_t module[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        CString folder(module);
        int slash = folder.ReverseFind(L'\\');
        if (slash >= 0)
            path = folder.Mid(0, slash + 1) + path;
    }
    return LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

CSoundPlatform* CSoundPlatform::Default()
{
    return &g_defaultPlatform;
}

class CSoundPlay
{
public:
    CSoundPlatform* platform = nullptr;
    HWND notifyWnd = nullptr;
    int argument = 0;
    int pause = 0;
    CString path;
    CHandle stopEvent;     // manual-reset: set to stop
    // Set by a completion notice; auto-reset, so a notice that comes before the worker
    // waits is kept rather than lost (a pulse of the stop event would be).
    CHandle noticeEvent;

    void RunMciFile();
    void RunHourStrike();
    void RunQuarterChime();

private:
    // Plays a built image from memory and waits for it, for a stop or for waitMs.
    void PlayImageAndWait(const BYTE* image, DWORD waitMs, const wchar_t* what);
    // Waits for the end of the current MCI play: true when a stop came.
    bool WaitForPlayEnd(MCIDEVICEID device);
    void LogMciError(MCIERROR error, const wchar_t* command);
};

namespace {

// The worker's side of a play: it takes over the reference StartThread handed it, so the
// play lives until this returns, however long the device keeps it.
DWORD RunWorker(LPVOID param, void (CSoundPlay::*run)(), const wchar_t* what)
{
    auto* handed = static_cast<std::shared_ptr<CSoundPlay>*>(param);
    std::shared_ptr<CSoundPlay> play(std::move(*handed));
    delete handed;
    try {
        (play.get()->*run)();
    } catch (...) {
        ZN_LOG_ERROR(kAbortedWorker, what, LOG_ERROR);
    }
    play.reset();
    TrimWorkingSet();
    return 0;
}

} // namespace

CWSoundThread::CWSoundThread(CSoundPlatform* platform)
    : m_platform(platform ? platform : CSoundPlatform::Default())
{
}

CWSoundThread::~CWSoundThread()
{
    Stop();
}

BOOL CWSoundThread::StartThread(LPTHREAD_START_ROUTINE routine, int argument)
{
    if (m_hThread) {
        ZN_LOG(LOG_WARNING, L"A sound is still playing; the new one is not started");
        return FALSE;
    }
    auto play = std::make_shared<CSoundPlay>();
    play->platform = m_platform;
    play->notifyWnd = m_hNotifyWnd;
    play->argument = argument;
    play->pause = m_pause;
    play->path = m_path;
    play->stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!play->stopEvent) {
        ZN_LOG_ERROR(GetLastError(), L"CreateEvent (sound stop)", LOG_ERROR);
        return FALSE;
    }
    play->noticeEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!play->noticeEvent) {
        ZN_LOG_ERROR(GetLastError(), L"CreateEvent (sound notice)", LOG_ERROR);
        return FALSE;
    }
    m_argument = argument;
    // Recorded before the worker runs: its first notice may come at once.
    {
        std::lock_guard<std::mutex> hold(m_playLock);
        m_play = play;
    }
    auto* handed = new std::shared_ptr<CSoundPlay>(std::move(play));
    m_hThread.Reset(CreateThread(nullptr, 0, routine, handed, 0, nullptr));
    if (!m_hThread) {
        ZN_LOG_ERROR(GetLastError(), L"CreateThread (sound)", LOG_ERROR);
        delete handed;
        std::lock_guard<std::mutex> hold(m_playLock);
        m_play.reset();
        return FALSE;
    }
    return TRUE;
}

void CWSoundThread::Stop()
{
    std::shared_ptr<CSoundPlay> play;
    {
        std::lock_guard<std::mutex> hold(m_playLock);
        play = std::move(m_play);
    }
    if (play && !SetEvent(play->stopEvent))
        ZN_LOG_ERROR(GetLastError(), L"SetEvent (sound stop)", LOG_ERROR);
    if (m_hThread) {
        const DWORD woke = WaitForSingleObject(m_hThread, m_joinTimeoutMs);
        if (woke == WAIT_TIMEOUT) {
            ZN_LOG(LOG_WARNING, L"The sound worker did not end within " << m_joinTimeoutMs
                                                                     << L" ms; it is left to end by itself");
            // It still calls the platform and writes to the log: exit waits for it.
            GiveUpWorker(std::move(m_hThread), L"sound worker");
        } else if (woke == WAIT_FAILED)
            ZN_LOG_ERROR(GetLastError(), L"WaitForSingleObject (sound worker)", LOG_ERROR);
    }
    if (DWORD error = m_hThread.Close())
        ZN_LOG_ERROR(error, L"CloseHandle (sound)", LOG_WARNING);
    // A worker that has ended let go of its reference: the play's events close here. One
    // still running keeps them until it ends.
}

void CWSoundThread::OnMciNotify(WPARAM notice, LPARAM device)
{
    // "Aborted" is the answer to our own MCI_STOP: the worker is already leaving.
    if (notice == MCI_NOTIFY_ABORTED)
        return;
    if (notice != MCI_NOTIFY_SUCCESSFUL)
        ZN_LOG(LOG_WARNING, L"MCI notice " << static_cast<unsigned>(notice) << L" for device "
                                           << static_cast<unsigned>(device));
    std::lock_guard<std::mutex> hold(m_playLock);
    if (m_play && !SetEvent(m_play->noticeEvent))
        ZN_LOG_ERROR(GetLastError(), L"SetEvent (MCI notice)", LOG_ERROR);
}

void CSoundPlay::LogMciError(MCIERROR error, const wchar_t* command)
{
    wchar_t text[kMciErrorTextLength] = {};
    if (platform->GetMciErrorText(error, text, kMciErrorTextLength) && text[0])
        ZN_LOG_ERROR(error, CString(command) + L": " + text, LOG_ERROR);
    else
        ZN_LOG_ERROR(error, command, LOG_ERROR);
}

// A notice can be a late one of an earlier play (it comes through the user-interface
// thread's queue), so the device itself decides whether the play is over.
bool CSoundPlay::WaitForPlayEnd(MCIDEVICEID device)
{
    HANDLE events[2] = {stopEvent, noticeEvent};
    for (;;) {
        DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 1) {
            ZN_LOG_ERROR(GetLastError(), L"WaitForMultipleObjects (sound)", LOG_ERROR);
            return true;
        }
        MCI_STATUS_PARMS status{};
        status.dwItem = MCI_STATUS_MODE;
        if (platform->SendMciCommand(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT,
                                     reinterpret_cast<DWORD_PTR>(&status)) != 0
            || status.dwReturn != MCI_MODE_PLAY)
            return WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0;
    }
}
void CSoundPlay::RunMciFile()
{
    int dot = path.ReverseFind(L'.');
    CString extension = dot >= 0 ? path.Mid(dot + 1) : CString();
    DWORD deviceType;
    if (extension.CompareNoCase(L"wav") == 0) {
        deviceType = MCI_DEVTYPE_WAVEFORM_AUDIO;
    } else if (extension.CompareNoCase(L"mid") == 0) {
        deviceType = MCI_DEVTYPE_SEQUENCER;
    } else {
        ZN_LOG(LOG_WARNING, L"Sound file refused (only .wav and .mid play): " << path.GetString());
        return;
    }
    int repeats = StrokesOf(argument);

    // The status query logs its own failure with the system error.
    CFileExStatus status;
    if (!CFileEx::GetStatus(path, status) || (status.m_attribute & FILE_ATTRIBUTE_DIRECTORY)) {
        ZN_LOG(LOG_ERROR, L"Sound file not found: " << path.GetString());
        return;
    }

    MCI_OPEN_PARMSW open{};
    open.dwCallback = reinterpret_cast<DWORD_PTR>(notifyWnd);
    open.lpstrDeviceType = reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(deviceType));
    open.lpstrElementName = path;
    // MCI_OPEN_TYPE_ID only qualifies MCI_OPEN_TYPE: without it the id is not looked at.
    MCIERROR error = platform->SendMciCommand(0, MCI_OPEN,
        MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open));
    if (error) {
        LogMciError(error, L"MCI_OPEN");
        return;
    }
    MCIDEVICEID device = open.wDeviceID;

    for (int i = 0; i < repeats; ++i) {
        if (i > 0) {
            // The pause waits on the stop event, so a stop never waits out a long pause.
            if (pause > 100 && WaitForSingleObject(stopEvent, static_cast<DWORD>(pause)) == WAIT_OBJECT_0)
                break;
            MCI_SEEK_PARMS seek{};
            error = platform->SendMciCommand(device, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT,
                                               reinterpret_cast<DWORD_PTR>(&seek));
            if (error) {
                LogMciError(error, L"MCI_SEEK");
                break;
            }
        }
        MCI_PLAY_PARMS play{};
        play.dwCallback = reinterpret_cast<DWORD_PTR>(notifyWnd);
        error = platform->SendMciCommand(device, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play));
        if (error) {
            LogMciError(error, L"MCI_PLAY");
            break;
        }
        if (WaitForPlayEnd(device)) {
            MCI_GENERIC_PARMS stop{};
            error = platform->SendMciCommand(device, MCI_STOP, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&stop));
            if (error)
                LogMciError(error, L"MCI_STOP");
            break;
        }
    }

    MCI_GENERIC_PARMS close{};
    error = platform->SendMciCommand(device, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
    if (error)
        LogMciError(error, L"MCI_CLOSE");
}

void CSoundPlay::PlayImageAndWait(const BYTE* image, DWORD waitMs, const wchar_t* what)
{
    if (!platform->PlayMemory(image, SND_MEMORY | SND_ASYNC)) {
        ZN_LOG(LOG_ERROR, L"PlaySound failed for the " << what);
        return;
    }
    DWORD woke = WaitForSingleObject(stopEvent, waitMs);
    if (woke == WAIT_FAILED)
        ZN_LOG_ERROR(GetLastError(), L"WaitForSingleObject (sound)", LOG_ERROR);
    else if (woke != WAIT_TIMEOUT)
        ZN_LOG(LOG_INFO, L"The " << what << L" was stopped");
    // Also after the time-out: the platform may still read the image (a slow device), and
    // the image is freed when we return. Stopping a finished sound does nothing.
    if (!platform->PlayMemory(nullptr, 0))
        ZN_LOG(LOG_WARNING, L"PlaySound could not stop the " << what);
}

void CSoundPlay::RunHourStrike()
{
    CModuleHandle library(platform->LoadSoundLibrary());
    if (!library) {
        ZN_LOG_ERROR(GetLastError(), L"LoadLibraryEx (ZNSound.dll)", LOG_ERROR);
        return;
    }
    WavePiece intro, stroke, tail;
    if (!FindPiece(library, kStrikeIntro, &intro) || !FindPiece(library, kStrikeStroke, &stroke)
        || !FindPiece(library, kStrikeTail, &tail))
        return;

    int strokes = StrokesOf(argument);
    ULONGLONG length = ULONGLONG(strokes) * stroke.dataSize + tail.dataSize + intro.dataSize;
    if (length > MAXDWORD - 36) {
        ZN_LOG(LOG_ERROR, L"The hour strike would be too long: " << length << L" bytes");
        return;
    }
    std::vector<BYTE> image(kWaveHeader + length);
    BYTE* out = image.data();
    std::memcpy(out, intro.header, kWaveHeader + intro.dataSize);
    out += kWaveHeader + intro.dataSize;
    for (int i = 0; i < strokes; ++i, out += stroke.dataSize)
        std::memcpy(out, stroke.data, stroke.dataSize);
    std::memcpy(out, tail.data, tail.dataSize);
    WriteDword(image.data(), kRiffSizeAt, static_cast<DWORD>(length + 36));
    WriteDword(image.data(), kDataSizeAt, static_cast<DWORD>(length));
    DWORD duration = Duration(image.data());
    FreeSoundLibrary(library);

    PlayImageAndWait(image.data(), duration + DWORD(strokes + 2) * 500, L"hour strike");
}

void CSoundPlay::RunQuarterChime()
{
    int id;
    DWORD extra;
    switch (argument) {
    case 15: id = kQuarter15; extra = 1000; break;
    case 30: id = kQuarter30; extra = 1500; break;
    case 45: id = kQuarter45; extra = 2000; break;
    default:
        ZN_LOG(LOG_WARNING, L"No quarter chime for minute " << argument);
        return;
    }
    CModuleHandle library(platform->LoadSoundLibrary());
    if (!library) {
        ZN_LOG_ERROR(GetLastError(), L"LoadLibraryEx (ZNSound.dll)", LOG_ERROR);
        return;
    }
    WavePiece chime;
    if (!FindPiece(library, id, &chime))
        return;
    // The copy's RIFF size follows its data size: the platform trusts the RIFF size.
    std::vector<BYTE> image(chime.header, chime.header + kWaveHeader + chime.dataSize);
    WriteDword(image.data(), kRiffSizeAt, chime.dataSize + 36);
    DWORD duration = Duration(image.data());
    FreeSoundLibrary(library);

    PlayImageAndWait(image.data(), duration + extra, L"quarter chime");
}

DWORD WINAPI CWSoundThread::PlayMciFile(LPVOID play)
{
    return RunWorker(play, &CSoundPlay::RunMciFile, L"Sound file worker ended by an exception");
}

DWORD WINAPI CWSoundThread::PlayHourStrike(LPVOID play)
{
    return RunWorker(play, &CSoundPlay::RunHourStrike, L"Hour strike worker ended by an exception");
}

DWORD WINAPI CWSoundThread::PlayQuarterChime(LPVOID play)
{
    return RunWorker(play, &CSoundPlay::RunQuarterChime, L"Quarter chime worker ended by an exception");
}

BOOL PlaySoundFileRepeat(const wchar_t* path, int count)
{
    g_soundThread.Stop();
    g_soundThread.m_path = path;
    if (!g_soundThread.StartThread(CWSoundThread::PlayMciFile, count)) {
        ZN_LOG(LOG_ERROR, L"The sound file could not start: " << g_soundThread.m_path.GetString());
        return FALSE;
    }
    return TRUE;
}

BOOL PlaySoundFile(const wchar_t* path)
{
    return PlaySoundFileRepeat(path, 1);
}

BOOL PlayChime(int kind, int number)
{
    g_soundThread.Stop();
    if (!g_soundThread.StartThread(kind ? CWSoundThread::PlayHourStrike : CWSoundThread::PlayQuarterChime, number)) {
        ZN_LOG(LOG_ERROR, L"The chime could not start (kind " << kind << L", " << number << L")");
        return FALSE;
    }
    return TRUE;
}

void StopSound()
{
    g_soundThread.Stop();
}
