// The pieces in ZNSound.dll, and the player on the platform's own sound functions (under
// Wine here: no sound card, so plays fail fast; on Windows they may sound).
#include "SoundTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

DWORD Dword(const std::vector<BYTE>& bytes, size_t at)
{
    DWORD value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

WORD Word(const std::vector<BYTE>& bytes, size_t at)
{
    WORD value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

struct SoundLibrary
{
    HMODULE module = LoadLibraryExW(ProgramFolder() + L"ZNSound.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~SoundLibrary() { if (module) FreeLibrary(module); }
};

// Hands MM_MCINOTIFY to the global player, as the clock window does.
LRESULT CALLBACK NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == MM_MCINOTIFY) {
        g_soundThread.OnMciNotify(wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Dispatches messages until the global player's worker ends or ms passed.
bool PumpUntilWorkerEnds(DWORD ms)
{
    DWORD start = GetTickCount();
    while (g_soundThread.m_hThread) {
        DWORD waited = GetTickCount() - start;
        if (waited >= ms)
            return false;
        HANDLE worker = g_soundThread.m_hThread;
        DWORD woke = MsgWaitForMultipleObjects(1, &worker, FALSE, ms - waited, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0)
            return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    return true;
}

} // namespace

TEST(SoundLibrary, PiecesAreCanonicalWavFiles)
{
    SoundLibrary library;
    ASSERT_NE(nullptr, library.module) << "ZNSound.dll beside the test program";
    const int ids[] = {132, 133, 134, 135, 136, 137};
    for (int id : ids) {
        std::vector<BYTE> wav = ResourceBytes(library.module, id);
        ASSERT_GT(wav.size(), 44u) << id;
        EXPECT_EQ(0, std::memcmp(wav.data(), "RIFF", 4)) << id;
        EXPECT_EQ(0, std::memcmp(wav.data() + 8, "WAVEfmt ", 8)) << id;
        EXPECT_EQ(0, std::memcmp(wav.data() + 36, "data", 4)) << id;
        EXPECT_EQ(wav.size() - 8, Dword(wav, 4)) << id;
        EXPECT_EQ(16u, Dword(wav, 16)) << id;
        EXPECT_EQ(WAVE_FORMAT_PCM, Word(wav, 20)) << id;
        WORD channels = Word(wav, 22), block = Word(wav, 32), bits = Word(wav, 34);
        DWORD rate = Dword(wav, 24);
        EXPECT_EQ(channels * bits / 8, block) << id;
        EXPECT_EQ(rate * block, Dword(wav, 28)) << id;
        EXPECT_EQ(wav.size() - 44, Dword(wav, 40)) << id;
        double seconds = double(Dword(wav, 40)) / Dword(wav, 28);
        EXPECT_GT(seconds, 0.5) << id;
        EXPECT_LT(seconds, 15.0) << id;

        // The platform's RIFF parser reads it from memory.
        MMIOINFO info{};
        info.fccIOProc = FOURCC_MEM;
        info.pchBuffer = reinterpret_cast<HPSTR>(wav.data());
        info.cchBuffer = static_cast<LONG>(wav.size());
        HMMIO mmio = mmioOpenW(nullptr, &info, MMIO_READ);
        ASSERT_NE(nullptr, mmio) << id;
        MMCKINFO riff{}, chunk{};
        riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
        EXPECT_EQ(MMSYSERR_NOERROR, mmioDescend(mmio, &riff, nullptr, MMIO_FINDRIFF)) << id;
        chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
        EXPECT_EQ(MMSYSERR_NOERROR, mmioDescend(mmio, &chunk, &riff, MMIO_FINDCHUNK)) << id;
        mmioAscend(mmio, &chunk, 0);
        chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
        EXPECT_EQ(MMSYSERR_NOERROR, mmioDescend(mmio, &chunk, &riff, MMIO_FINDCHUNK)) << id;
        EXPECT_EQ(wav.size() - 44, chunk.cksize) << id;
        mmioClose(mmio, 0);
    }
}

TEST(SoundLibrary, StrikePiecesShareOneFormat)
{
    // The strike is the intro's header with the three pieces' samples behind it.
    SoundLibrary library;
    ASSERT_NE(nullptr, library.module);
    std::vector<BYTE> intro = ResourceBytes(library.module, 133);
    for (int id : {134, 132}) {
        std::vector<BYTE> piece = ResourceBytes(library.module, id);
        ASSERT_GT(piece.size(), 44u);
        EXPECT_EQ(0, std::memcmp(intro.data() + 20, piece.data() + 20, 16)) << id;
    }
}

TEST(SoundLibrary, PlatformPlaysPiecesFromMemoryOrFailsCleanly)
{
    SoundLibrary library;
    ASSERT_NE(nullptr, library.module);
    for (int id : {132, 133, 134, 135, 136, 137}) {
        std::vector<BYTE> wav = ResourceBytes(library.module, id);
        DWORD start = GetTickCount();
        // Accepted (a sound card) or refused (none): either way at once, and stoppable.
        PlaySoundW(reinterpret_cast<LPCWSTR>(wav.data()), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
        PlaySoundW(nullptr, nullptr, 0);
        EXPECT_LT(GetTickCount() - start, 3000u) << id;
    }
    std::vector<BYTE> tail = ResourceBytes(library.module, 132);
    DWORD start = GetTickCount();
    PlaySoundW(reinterpret_cast<LPCWSTR>(tail.data()), nullptr, SND_MEMORY | SND_SYNC | SND_NODEFAULT);
    EXPECT_LT(GetTickCount() - start, 10000u);
}

TEST(SoundOnThisMachine, EntryPointsNeverHang)
{
    // Wine's wave device thread can call the MCI wave driver back after the last device
    // has closed and the driver was unloaded: on a busy machine the test program then jumps
    // into the freed mciwave.dll. Holding the MCI drivers loaded keeps such a late call in
    // live code; the clock's own behaviour is the same either way.
    static const HMODULE heldDrivers[] = {LoadLibraryW(L"mciwave.dll"), LoadLibraryW(L"mciseq.dll")};
    (void)heldDrivers;
    WNDCLASSW wc{};
    wc.lpfnWndProc = NotifyProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZkSoundTestNotify";
    ASSERT_TRUE(RegisterClassW(&wc));
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    g_soundThread.SetNotifyWindow(window);

    SoundLibrary library;
    ASSERT_NE(nullptr, library.module);
    std::vector<BYTE> chime = ResourceBytes(library.module, 137);
    CString wav = TempFile(L"device.wav", chime.data(), chime.size());
    CString junk = TempFile(L"junk.wav", "RIFF\x10\0\0\0WAVEjunkjunk", 20);
    CString junkMidi = TempFile(L"junk.mid", "MThd?", 5);

    // Each file play ends by itself: with a sound card after the sound, without one at once.
    const struct { CString path; int count; } files[] = {{wav, 2}, {junk, 1}, {junkMidi, 1}, {wav + L".mp3", 1}};
    for (const auto& f : files) {
        ASSERT_TRUE(PlaySoundFileRepeat(f.path, f.count));
        EXPECT_TRUE(PumpUntilWorkerEnds(30000)) << f.path.GetString();
    }
    ASSERT_TRUE(PlaySoundFile(wav));
    StopSound();
    EXPECT_FALSE(g_soundThread.m_hThread.IsValid());

    // Chimes: a stop is prompt whatever the device does.
    const struct { int kind; int number; } chimes[] = {{1, 13}, {1, 0}, {0, 15}, {0, 30}, {0, 45}, {0, 20}};
    for (const auto& c : chimes) {
        ASSERT_TRUE(PlayChime(c.kind, c.number));
        Sleep(50);
        DWORD start = GetTickCount();
        StopSound();
        EXPECT_LT(GetTickCount() - start, 3000u) << c.kind << " " << c.number;
    }

    g_soundThread.SetNotifyWindow(nullptr);
    DestroyWindow(window);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}
