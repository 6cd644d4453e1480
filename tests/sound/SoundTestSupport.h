// Shared pieces of the sound tests: the folder beside the test program (where ZNSound.dll
// is built), temporary files, and a stand-in for the sound device that records what the
// player asks of it.
#pragma once

#include "WSoundThread.h"
#include "LogCapture.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

CString ProgramFolder();
CString TempFile(const wchar_t* name, const void* bytes, size_t size);
// One resource of a module loaded as a data file, copied out; empty when missing.
std::vector<BYTE> ResourceBytes(HMODULE module, int id);
// Waits up to ms for the worker to end by itself.
bool WorkerEnds(CWSoundThread& player, DWORD ms);
// Polls until done() or ms passed.
template <class F> bool Eventually(F done, DWORD ms)
{
    for (DWORD waited = 0; !done(); waited += 5) {
        if (waited >= ms)
            return false;
        Sleep(5);
    }
    return true;
}

class FakeSoundPlatform : public CSoundPlatform
{
public:
    MCIERROR SendMciCommand(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR params) override;
    BOOL GetMciErrorText(MCIERROR, wchar_t* text, UINT length) override;
    BOOL PlayMemory(const BYTE* image, DWORD flags) override;
    HMODULE LoadSoundLibrary() override;

    size_t Count(UINT message) const;
    std::vector<UINT> Commands() const;
    std::vector<std::vector<BYTE>> Images() const;
    std::vector<double> PlayTimes() const;   // milliseconds, of each MCI_PLAY

    CWSoundThread* player = nullptr;
    // A device that plays until stopped; otherwise a play ends at once and its notice
    // reaches the player before the worker waits for it.
    std::atomic<bool> keepsPlaying{false};
    std::atomic<bool> playing{false};
    MCIERROR openError = 0;
    // While set, an open waits for this event: a driver or a file share that hangs.
    std::atomic<HANDLE> openGate{nullptr};
    std::atomic<bool> openEntered{false};
    BOOL playResult = TRUE;
    CString libraryPath;   // empty: the real ZNSound.dll beside the program
    DWORD_PTR openType = 0;
    DWORD_PTR openFlags = 0;

private:
    mutable std::mutex m_lock;
    std::vector<UINT> m_commands;
    std::vector<std::vector<BYTE>> m_images;
    std::vector<double> m_playTimes;
};
