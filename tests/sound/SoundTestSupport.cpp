#include "SoundTestSupport.h"

#include "ClockTestApp.h"
#include "TestFiles.h"

#include <cstring>

// The Sound Options dialog and the audio volume need the clock's application object.
ClockTestApp g_app(L"Mervale Software Sound Tests", L"ZarnockSoundTests");

CString ProgramFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    CString folder(path);
    return folder.Mid(0, folder.ReverseFind(L'\\') + 1);
}

CString TempFile(const wchar_t* name, const void* bytes, size_t size)
{
    const std::wstring path = zntest::TempFolderPath() + L"zk_sound_tests_" + name;
    zntest::WriteBytes(path, bytes, size);
    return CString(path.c_str());
}

std::vector<BYTE> ResourceBytes(HMODULE module, int id)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return {};
    return std::vector<BYTE>(bytes, bytes + SizeofResource(module, found));
}

bool WorkerEnds(CWSoundThread& player, DWORD ms)
{
    return !player.m_hThread || WaitForSingleObject(player.m_hThread, ms) == WAIT_OBJECT_0;
}

namespace {
double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart * 1000.0 / frequency.QuadPart;
}
}

MCIERROR FakeSoundPlatform::SendMciCommand(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR params)
{
    if (message == MCI_OPEN) {
        openEntered = true;
        if (HANDLE gate = openGate)
            WaitForSingleObject(gate, INFINITE);
    }
    std::unique_lock<std::mutex> hold(m_lock);
    m_commands.push_back(message);
    switch (message) {
    case MCI_OPEN:
        openType = reinterpret_cast<MCI_OPEN_PARMSW*>(params)->lpstrDeviceType
                       ? reinterpret_cast<DWORD_PTR>(reinterpret_cast<MCI_OPEN_PARMSW*>(params)->lpstrDeviceType)
                       : 0;
        openFlags = flags;
        if (openError)
            return openError;
        reinterpret_cast<MCI_OPEN_PARMSW*>(params)->wDeviceID = 5;
        return 0;
    case MCI_PLAY:
        m_playTimes.push_back(NowMs());
        playing = true;
        if (!keepsPlaying) {
            playing = false;
            hold.unlock();
            player->OnMciNotify(MCI_NOTIFY_SUCCESSFUL, device);
        }
        return 0;
    case MCI_STATUS:
        reinterpret_cast<MCI_STATUS_PARMS*>(params)->dwReturn = playing ? MCI_MODE_PLAY : MCI_MODE_STOP;
        return 0;
    case MCI_STOP:
        playing = false;
        return 0;
    default:
        return 0;
    }
}

BOOL FakeSoundPlatform::GetMciErrorText(MCIERROR, wchar_t* text, UINT length)
{
    lstrcpynW(text, L"fake device error", static_cast<int>(length));
    return TRUE;
}

BOOL FakeSoundPlatform::PlayMemory(const BYTE* image, DWORD)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!image) {
        m_images.emplace_back();
        return TRUE;
    }
    DWORD riffSize;
    std::memcpy(&riffSize, image + 4, sizeof riffSize);
    m_images.emplace_back(image, image + 8 + riffSize);
    return playResult;
}

HMODULE FakeSoundPlatform::LoadSoundLibrary()
{
    if (libraryPath.IsEmpty())
        return CSoundPlatform::LoadSoundLibrary();
    return LoadLibraryExW(libraryPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

size_t FakeSoundPlatform::Count(UINT message) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    size_t n = 0;
    for (UINT m : m_commands)
        n += m == message;
    return n;
}

std::vector<UINT> FakeSoundPlatform::Commands() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_commands;
}

std::vector<std::vector<BYTE>> FakeSoundPlatform::Images() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_images;
}

std::vector<double> FakeSoundPlatform::PlayTimes() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_playTimes;
}
