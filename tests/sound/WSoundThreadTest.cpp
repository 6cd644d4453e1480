// The player's workers against a recording stand-in for the sound device.
#include "SoundTestSupport.h"
#include "GivenUpWorkers.h"
#include "HandleCount.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

const char kSomeBytes[] = "not really a sound; the stand-in never reads it";

struct PlayerWithFake
{
    FakeSoundPlatform fake;
    CWSoundThread player{&fake};
    PlayerWithFake() { fake.player = &player; }

    BOOL PlayFile(const CString& path, int count)
    {
        player.Stop();
        player.m_path = path;
        return player.StartThread(CWSoundThread::PlayMciFile, count);
    }
    BOOL Chime(int kind, int number)
    {
        player.Stop();
        return player.StartThread(kind ? CWSoundThread::PlayHourStrike : CWSoundThread::PlayQuarterChime, number);
    }
};

DWORD DataSize(const std::vector<BYTE>& wav)
{
    DWORD size;
    std::memcpy(&size, wav.data() + 40, sizeof size);
    return size;
}

DWORD RiffSize(const std::vector<BYTE>& wav)
{
    DWORD size;
    std::memcpy(&size, wav.data() + 4, sizeof size);
    return size;
}

int ThreadsOfThisProcess()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        n += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return n;
}

} // namespace

TEST(SoundFile, RepeatCountsAndEarlyNotices)
{
    // The stand-in's notice reaches the player before the worker waits for it: every
    // repeat must still play, and the worker must end by itself.
    CString wav = TempFile(L"repeat.wav", kSomeBytes, sizeof kSomeBytes);
    const struct { int count; size_t plays; const char* why; } cases[] = {
        {1, 1, "one play"},
        {15, 3, "counts run modulo 12"},
        {12, 12, "twelve is twelve"},
        {0, 12, "zero counts as twelve"},
        {13, 1, "13 o'clock"},
        {-1, 11, "a negative count never gives a negative number of plays"},
    };
    for (const auto& c : cases) {
        PlayerWithFake t;
        ASSERT_TRUE(t.PlayFile(wav, c.count)) << c.why;
        ASSERT_TRUE(WorkerEnds(t.player, 5000)) << c.why;
        EXPECT_EQ(c.plays, t.fake.Count(MCI_PLAY)) << c.why;
        EXPECT_EQ(c.plays - 1, t.fake.Count(MCI_SEEK)) << c.why;
        EXPECT_EQ(0u, t.fake.Count(MCI_STOP)) << c.why;
        EXPECT_EQ(1u, t.fake.Count(MCI_CLOSE)) << c.why;
    }
}

TEST(SoundFile, OnlyExistingWavAndMidFilesOpen)
{
    CString folder = TempFile(L"folder.wav", "", 0);
    DeleteFileW(folder);
    CreateDirectoryW(folder, nullptr);
    CString gone = TempFile(L"gone.wav", "", 0);
    DeleteFileW(gone);
    const char* refused = "Sound file refused";
    const char* missing = "Sound file not found";
    const struct { CString path; DWORD_PTR type; const char* logged; const char* why; } cases[] = {
        {TempFile(L"song.mp3", kSomeBytes, sizeof kSomeBytes), 0, refused, "mp3 is refused"},
        {TempFile(L"noextension", kSomeBytes, sizeof kSomeBytes), 0, refused, "no extension"},
        {TempFile(L"chime.wav.txt", kSomeBytes, sizeof kSomeBytes), 0, refused, "only the last extension counts"},
        {gone, 0, missing, "missing file"},
        {folder, 0, missing, "a folder is not a sound"},
        {CString(), 0, refused, "empty path"},
        {TempFile(L"upper.WAV", kSomeBytes, sizeof kSomeBytes), MCI_DEVTYPE_WAVEFORM_AUDIO, "", "wave audio"},
        {TempFile(L"tune.Mid", kSomeBytes, sizeof kSomeBytes), MCI_DEVTYPE_SEQUENCER, "", "sequencer"},
    };
    LogCapture log;
    for (const auto& c : cases) {
        PlayerWithFake t;
        ASSERT_TRUE(t.PlayFile(c.path, 1)) << c.why;
        ASSERT_TRUE(WorkerEnds(t.player, 5000)) << c.why;
        std::string logged = log.Take();
        EXPECT_NE(std::string::npos, logged.find(c.logged)) << c.why << ": " << logged;
        if (!c.type) {
            EXPECT_TRUE(t.fake.Commands().empty()) << c.why;
            EXPECT_NE(std::string::npos, logged.find("[WSoundThread")) << c.why << ": " << logged;
            continue;
        }
        EXPECT_EQ(c.type, t.fake.openType) << c.why;
        EXPECT_EQ(DWORD_PTR(MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_WAIT), t.fake.openFlags) << c.why;
        EXPECT_EQ(1u, t.fake.Count(MCI_PLAY)) << c.why;
    }
    RemoveDirectoryW(folder);
}

TEST(SoundFile, FailedOpenEndsTheWorker)
{
    LogCapture log;
    PlayerWithFake t;
    t.fake.openError = MCIERR_INVALID_FILE;
    ASSERT_TRUE(t.PlayFile(TempFile(L"broken.wav", kSomeBytes, sizeof kSomeBytes), 3));
    ASSERT_TRUE(WorkerEnds(t.player, 5000));
    EXPECT_EQ(std::vector<UINT>{MCI_OPEN}, t.fake.Commands());
    std::string logged = log.Take();
    EXPECT_NE(std::string::npos, logged.find("MCI_OPEN: fake device error")) << logged;
}

TEST(SoundFile, PauseBetweenRepeats)
{
    CString wav = TempFile(L"pause.wav", kSomeBytes, sizeof kSomeBytes);
    const struct { int pause; bool pauses; } cases[] = {{0, false}, {100, false}, {101, true}, {250, true}};
    for (const auto& c : cases) {
        PlayerWithFake t;
        t.player.SetPause(c.pause);
        ASSERT_TRUE(t.PlayFile(wav, 5));
        ASSERT_TRUE(WorkerEnds(t.player, 10000));
        std::vector<double> times = t.fake.PlayTimes();
        ASSERT_EQ(5u, times.size());
        // Every gap of a pausing play is at least the pause; without a pause the shortest
        // gap is well under it (a busy machine may stretch some gaps, not all of them).
        double shortest = 1e9;
        for (size_t i = 1; i < times.size(); ++i) {
            double gap = times[i] - times[i - 1];
            shortest = std::min(shortest, gap);
            if (c.pauses) {
                EXPECT_GE(gap, c.pause - 5) << "pause " << c.pause;
            }
        }
        if (!c.pauses) {
            EXPECT_LT(shortest, 90) << "pause " << c.pause;
        }
    }
}

TEST(SoundFile, StopEndsAPlayAndALongPause)
{
    CString wav = TempFile(L"stop.wav", kSomeBytes, sizeof kSomeBytes);
    {
        PlayerWithFake t;
        t.fake.keepsPlaying = true;
        ASSERT_TRUE(t.PlayFile(wav, 5));
        ASSERT_TRUE(Eventually([&] { return t.fake.Count(MCI_PLAY) == 1; }, 5000));
        t.player.Stop();
        EXPECT_EQ((std::vector<UINT>{MCI_OPEN, MCI_PLAY, MCI_STOP, MCI_CLOSE}), t.fake.Commands());
        EXPECT_FALSE(t.player.m_hThread.IsValid());
    }
    {
        // A stop in a pause of a minute must not wait the minute out.
        PlayerWithFake t;
        t.player.SetPause(60000);
        ASSERT_TRUE(t.PlayFile(wav, 2));
        ASSERT_TRUE(Eventually([&] { return t.fake.Count(MCI_PLAY) == 1; }, 5000));
        DWORD start = GetTickCount();
        t.player.Stop();
        EXPECT_LT(GetTickCount() - start, 5000u);
        EXPECT_EQ(1u, t.fake.Count(MCI_CLOSE));
    }
    {
        // The destructor stops a sound that is still playing.
        PlayerWithFake t;
        t.fake.keepsPlaying = true;
        ASSERT_TRUE(t.PlayFile(wav, 1));
        ASSERT_TRUE(Eventually([&] { return t.fake.Count(MCI_PLAY) == 1; }, 5000));
    }
}

TEST(SoundFile, OnlyTheDeviceDecidesThatAPlayEnded)
{
    // Notices come through the user-interface thread's queue, so one may be a late
    // notice of an earlier play; "aborted" answers our own stop and is ignored.
    PlayerWithFake t;
    t.fake.keepsPlaying = true;
    ASSERT_TRUE(t.PlayFile(TempFile(L"late.wav", kSomeBytes, sizeof kSomeBytes), 2));
    ASSERT_TRUE(Eventually([&] { return t.fake.Count(MCI_PLAY) == 1; }, 5000));

    t.player.OnMciNotify(MCI_NOTIFY_SUCCESSFUL, 5);   // the device still plays
    Sleep(200);
    EXPECT_EQ(1u, t.fake.Count(MCI_PLAY));

    t.fake.playing = false;
    t.player.OnMciNotify(MCI_NOTIFY_ABORTED, 5);
    Sleep(200);
    EXPECT_EQ(1u, t.fake.Count(MCI_PLAY));

    t.player.OnMciNotify(MCI_NOTIFY_FAILURE, 5);      // as under Wine without a sound card
    EXPECT_TRUE(Eventually([&] { return t.fake.Count(MCI_PLAY) == 2; }, 5000));
    t.player.Stop();
    EXPECT_EQ(1u, t.fake.Count(MCI_CLOSE));
}

TEST(Chime, HourStrikeIsIntroStrokesAndTail)
{
    HMODULE library = LoadLibraryExW(ProgramFolder() + L"ZNSound.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, library);
    std::vector<BYTE> intro = ResourceBytes(library, 133), stroke = ResourceBytes(library, 134),
                      tail = ResourceBytes(library, 132);
    FreeLibrary(library);
    ASSERT_FALSE(intro.empty() || stroke.empty() || tail.empty());

    const struct { int hour; int strokes; } cases[] = {{13, 1}, {1, 1}, {0, 12}, {12, 12}, {23, 11}, {6, 6}};
    for (const auto& c : cases) {
        PlayerWithFake t;
        ASSERT_TRUE(t.Chime(1, c.hour));
        ASSERT_TRUE(Eventually([&] { return t.fake.Images().size() == 1; }, 5000)) << "hour " << c.hour;
        t.player.Stop();
        std::vector<std::vector<BYTE>> images = t.fake.Images();
        ASSERT_EQ(2u, images.size()) << "the played image, then the stop";
        EXPECT_TRUE(images[1].empty());

        std::vector<BYTE> expected(intro);
        for (int i = 0; i < c.strokes; ++i)
            expected.insert(expected.end(), stroke.begin() + 44, stroke.end());
        expected.insert(expected.end(), tail.begin() + 44, tail.end());
        DWORD length = DWORD(expected.size() - 44);
        std::memcpy(expected.data() + 4, &(length += 36), 4);
        length -= 36;
        std::memcpy(expected.data() + 40, &length, 4);
        EXPECT_EQ(expected.size(), images[0].size()) << "hour " << c.hour;
        EXPECT_TRUE(expected == images[0]) << "hour " << c.hour;
        EXPECT_EQ(RiffSize(images[0]), DataSize(images[0]) + 36);
    }
}

TEST(Chime, QuarterChimesByMinute)
{
    HMODULE library = LoadLibraryExW(ProgramFolder() + L"ZNSound.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, library);
    const struct { int minute; int id; } cases[] = {{15, 137}, {30, 136}, {45, 135}, {20, 0}, {0, 0}, {60, 0}};
    LogCapture log;
    for (const auto& c : cases) {
        PlayerWithFake t;
        ASSERT_TRUE(t.Chime(0, c.minute));
        if (!c.id) {
            ASSERT_TRUE(WorkerEnds(t.player, 5000)) << "minute " << c.minute;
            EXPECT_TRUE(t.fake.Images().empty()) << "minute " << c.minute;
            EXPECT_NE(std::string::npos, log.Take().find("No quarter chime for minute " + std::to_string(c.minute)));
            continue;
        }
        ASSERT_TRUE(Eventually([&] { return t.fake.Images().size() == 1; }, 5000)) << "minute " << c.minute;
        t.player.Stop();
        std::vector<std::vector<BYTE>> images = t.fake.Images();
        ASSERT_EQ(2u, images.size());
        EXPECT_TRUE(ResourceBytes(library, c.id) == images[0]) << "minute " << c.minute;
    }
    FreeLibrary(library);
}

TEST(Chime, ASecondChimeStopsTheFirstAtOnce)
{
    PlayerWithFake t;
    ASSERT_TRUE(t.Chime(1, 12));   // twelve strokes: the worker would wait over half a minute
    ASSERT_TRUE(Eventually([&] { return t.fake.Images().size() == 1; }, 5000));
    DWORD start = GetTickCount();
    ASSERT_TRUE(t.Chime(1, 1));
    EXPECT_LT(GetTickCount() - start, 3000u);
    ASSERT_TRUE(Eventually([&] { return t.fake.Images().size() == 3; }, 5000));
    std::vector<std::vector<BYTE>> images = t.fake.Images();
    EXPECT_TRUE(images[1].empty()) << "the first strike is stopped before the second starts";
    EXPECT_LT(images[2].size(), images[0].size());
}

TEST(Chime, MissingOrBrokenSoundLibrary)
{
    CString junk = TempFile(L"junk.dll", kSomeBytes, sizeof kSomeBytes);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // The test program carries broken pieces under the library's ids (sound_tests.rc).
    const char* noLibrary = "LoadLibraryEx (ZNSound.dll)";
    const struct { CString library; int kind; int number; size_t images; const char* logged; const char* why; } cases[] = {
        {ProgramFolder() + L"NoSuchSounds.dll", 1, 3, 0, noLibrary, "missing library: strike"},
        {ProgramFolder() + L"NoSuchSounds.dll", 0, 15, 0, noLibrary, "missing library: quarter"},
        {junk, 1, 3, 0, noLibrary, "not a library: strike"},
        {junk, 0, 30, 0, noLibrary, "not a library: quarter"},
        {self, 1, 3, 0, "Sound piece 134 is not a canonical", "a stroke that claims more samples than it has"},
        {self, 0, 15, 0, "Sound piece 137 is not a canonical", "a quarter that is not a canonical WAV"},
        {self, 0, 30, 0, "Sound piece 136 is not a canonical", "a quarter shorter than a header"},
        {self, 0, 45, 1, "PlaySound failed for the quarter chime", "a sound piece of the test program itself"},
    };
    LogCapture log;
    for (const auto& c : cases) {
        PlayerWithFake t;
        t.fake.libraryPath = c.library;
        t.fake.playResult = FALSE;   // a failed play: the worker must not wait for it
        ASSERT_TRUE(t.Chime(c.kind, c.number)) << c.why;
        ASSERT_TRUE(WorkerEnds(t.player, 5000)) << c.why;
        EXPECT_EQ(c.images, t.fake.Images().size()) << c.why;
        std::string logged = log.Take();
        EXPECT_NE(std::string::npos, logged.find(c.logged)) << c.why << ": " << logged;
    }
}

TEST(Player, RapidReplacementsLeaveNoThreadOrHandle)
{
    CString wav = TempFile(L"rapid.wav", kSomeBytes, sizeof kSomeBytes);
    PlayerWithFake t;
    t.fake.keepsPlaying = true;
    auto round = [&](int i) {
        switch (i % 3) {
        case 0: return t.PlayFile(wav, i);
        case 1: return t.Chime(1, i);
        default: return t.Chime(0, 15);
        }
    };
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(round(i));
    t.player.Stop();
    // A worker a slow stop gave up on keeps its handle until exit waits for it.
    WaitForGivenUpWorkers(5000);
    int threads = ThreadsOfThisProcess();
    const DWORD handles = zntest::SettledHandleCount(GetCurrentProcessId());
    ASSERT_NE(0u, handles);

    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(round(i)) << i;
        if (i % 7 == 0)
            t.player.OnMciNotify(MCI_NOTIFY_SUCCESSFUL, 5);   // a notice between the plays
    }
    // A start while a worker is recorded is refused and changes nothing.
    EXPECT_FALSE(t.player.StartThread(CWSoundThread::PlayQuarterChime, 15));
    t.player.Stop();
    WaitForGivenUpWorkers(5000);

    const DWORD handlesAfter = zntest::SettledHandleCount(GetCurrentProcessId());
    EXPECT_EQ(threads, ThreadsOfThisProcess());
    EXPECT_EQ(handles, handlesAfter);
    EXPECT_FALSE(t.player.m_hThread.IsValid());
}

TEST(Player, AStopNeverWaitsLongForAWorkerStuckInTheDevice)
{
    // A hung driver or a sound file on a dead share: the open does not come back for seconds
    // (six here, so that an unbounded join ends too).
    CString wav = TempFile(L"stuck.wav", kSomeBytes, sizeof kSomeBytes);
    CHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    PlayerWithFake t;
    const int threads = ThreadsOfThisProcess();
    t.fake.openGate = gate.Get();
    ASSERT_TRUE(t.PlayFile(wav, 1));
    ASSERT_TRUE(Eventually([&] { return t.fake.openEntered.load(); }, 5000));
    std::thread release([&] { Sleep(6000); SetEvent(gate); });
    DWORD start = GetTickCount();
    t.player.Stop();
    t.fake.openGate = nullptr;
    ASSERT_TRUE(t.PlayFile(wav, 2));
    EXPECT_TRUE(WorkerEnds(t.player, 5000)) << "the next sound plays meanwhile";
    EXPECT_LT(GetTickCount() - start, 3000u);
    release.join();
    // Once free, the stuck worker ends by itself, its thread and handles with it.
    EXPECT_TRUE(Eventually([&] { return ThreadsOfThisProcess() == threads; }, 5000));
}

TEST(Player, ExitWaitsForAWorkerAStopGaveUp)
{
    CString wav = TempFile(L"given-up.wav", kSomeBytes, sizeof kSomeBytes);
    CHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    PlayerWithFake t;
    // However the test ends, the worker is let go and ends before the stand-in goes.
    struct Release { HANDLE gate; ~Release() { SetEvent(gate); WaitForGivenUpWorkers(5000); } } release{gate.Get()};
    t.fake.openGate = gate.Get();
    ASSERT_TRUE(t.PlayFile(wav, 1));
    ASSERT_TRUE(Eventually([&] { return t.fake.openEntered.load(); }, 5000));
    t.player.Stop();
    ASSERT_FALSE(t.player.m_hThread.IsValid()) << "given up after the join's second";

    CString pending;
    EXPECT_FALSE(WaitForGivenUpWorkers(300, &pending)) << "the worker is still in the device";
    EXPECT_STREQ(pending.GetString(), L"sound worker");
    SetEvent(gate);
    EXPECT_TRUE(WaitForGivenUpWorkers(5000, &pending)) << zntest::Utf8(pending.GetString());
    EXPECT_EQ(1u, t.fake.Count(MCI_CLOSE)) << "the wait ended with the worker's last device call";
}
