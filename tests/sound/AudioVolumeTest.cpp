// The program's own session volume and the volume monitor on Wine's real Core Audio (the
// test bed's ALSA null device). Where Wine reports no device the tests say so and check
// that start-up simply goes on without the objects.
#include "ClockTestApp.h"

#include "Multimedia/AudioSessionVolume.h"
#include "Multimedia/VolumeMonitor.h"
#include "Settings.h"

#include "LogCapture.h"

#include <gmock/gmock.h>

namespace {

// The device's friendly name.
const PROPERTYKEY kFriendlyName = {
    {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};

bool HasEntry(LogCapture& log, const std::string& text)
{
    for (const std::string& e : log.Entries())
        if (e.find(text) != std::string::npos) return true;
    return false;
}

class AudioVolumeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_app.ClearStore();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_hr = CAudioSessionVolume::Create(&m_probe);
    }
    void TearDown() override
    {
        g_app.ReleaseAudioObjects();
        if (m_probe) m_probe->Release();
        g_app.ClearStore();
    }
    bool HaveDevice()
    {
        if (SUCCEEDED(m_hr)) return true;
        std::printf("no audio device under this Wine (0x%08lx): the program runs without the session volume\n",
                    static_cast<unsigned long>(m_hr));
        return false;
    }
    HRESULT m_hr = E_FAIL;
    CAudioSessionVolume* m_probe = nullptr;
};

TEST_F(AudioVolumeTest, SessionVolumeChangesOnlyTheProgramsOwnSession)
{
    if (!HaveDevice()) {
        EXPECT_EQ(m_probe, nullptr) << "a failed object is not handed out";
        GTEST_SKIP() << "no audio device: no session volume to change";
    }
    for (float v : {0.0f, 0.25f, 1.0f}) {
        ASSERT_EQ(m_probe->SetMasterVolume(v), S_OK);
        float got = -1;
        ASSERT_EQ(m_probe->GetMasterVolume(&got), S_OK);
        EXPECT_FLOAT_EQ(got, v);
    }
    EXPECT_EQ(m_probe->EnableNotifications(TRUE), S_OK);
    EXPECT_EQ(m_probe->EnableNotifications(TRUE), S_OK) << "a second enable changes nothing";
    EXPECT_EQ(m_probe->EnableNotifications(FALSE), S_OK);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(m_probe->QueryInterface(__uuidof(IAudioSessionEvents), reinterpret_cast<void**>(&unknown)), S_OK);
    unknown->Release();
    EXPECT_EQ(m_probe->QueryInterface(__uuidof(IMMNotificationClient), reinterpret_cast<void**>(&unknown)),
              E_NOINTERFACE);
}

TEST_F(AudioVolumeTest, StartUpAppliesTheStoredVolumeOnlyWithinItsRange)
{
    struct Case {
        int masv, asvp;
        float expected;
        const char* why;
    } cases[] = {
        {0, 40, 1.0f, "MASV off: the session keeps its volume"},
        {1, 40, 0.40f, "MASV on"},
        {1, 0, 0.0f, "0 mutes the program's sounds"},
        {1, 100, 1.0f, "100 is full volume"},
        {1, 101, 1.0f, "above 100 is not applied"},
        {1, -5, 1.0f, "below 0 is not applied either"},
    };
    for (const Case& c : cases) {
        WriteSettingInt(Setting::kMASV, c.masv);
        WriteSettingInt(Setting::kASVP, c.asvp);
        if (m_probe) m_probe->SetMasterVolume(1.0f);
        LogCapture log;
        g_app.StartAudioObjects();
        if (!HaveDevice()) {
            EXPECT_EQ(g_app.m_audioSession, nullptr) << c.why;
            EXPECT_FALSE(HasEntry(log, " - 1 ")) << "no success line without a device";
            continue;
        }
        ASSERT_NE(g_app.m_audioSession, nullptr) << c.why;
        // Read through the program's own object: under Wine a second object on the same
        // session keeps a volume of its own.
        float got = -1;
        ASSERT_EQ(g_app.m_audioSession->GetMasterVolume(&got), S_OK);
        EXPECT_FLOAT_EQ(got, c.expected) << c.why;
        g_app.ReleaseAudioObjects();
        EXPECT_EQ(g_app.m_audioSession, nullptr);
    }
}

TEST_F(AudioVolumeTest, MonitorLogsEachNotificationAndNamesKnownDevices)
{
    WriteSettingInt(Setting::kMMNC, 1);
    WriteSettingInt(Setting::kMMLN, 1);
    LogCapture log;
    g_app.StartAudioObjects();
    ASSERT_NE(g_app.m_volumeMonitor, nullptr) << "made even without a device";
    CVolumeMonitor* monitor = g_app.m_volumeMonitor;
    log.Take();

    // Core Audio under Wine never calls back: the calls are made as its threads would.
    monitor->OnDeviceStateChanged(nullptr, DEVICE_STATE_UNPLUGGED);
    monitor->OnDefaultDeviceChanged(eRender, eMultimedia, L"{0.0.0.00000000}.{gone}");
    AUDIO_VOLUME_NOTIFICATION_DATA data{};
    data.bMuted = TRUE;
    data.fMasterVolume = 0.5f;
    data.nChannels = 1;
    data.afChannelVolumes[0] = 0.25f;
    monitor->OnNotify(&data);
    std::vector<std::string> lines = log.Entries(" W ");
    ASSERT_EQ(lines.size(), 3u) << "no description for devices that do not exist";
    EXPECT_THAT(lines[0], testing::HasSubstr("8 <null>"));
    EXPECT_THAT(lines[1], testing::HasSubstr("0 1 {0.0.0.00000000}.{gone}"));
    EXPECT_THAT(lines[2], testing::HasSubstr("1 0.5 1 0.25"));

    if (!HaveDevice()) GTEST_SKIP() << "no audio device: known devices cannot be described";
    // A device that exists is described by its friendly name.
    CComPtr<IMMDeviceEnumerator> enumerator;
    ASSERT_EQ(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                               reinterpret_cast<void**>(enumerator.Out())), S_OK);
    CComPtr<IMMDevice> device;
    ASSERT_EQ(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, device.Out()), S_OK);
    LPWSTR id = nullptr;
    ASSERT_EQ(device->GetId(&id), S_OK);
    log.Take();
    monitor->OnDeviceAdded(id);
    monitor->OnPropertyValueChanged(id, kFriendlyName);
    lines = log.Entries(" W ");
    ASSERT_EQ(lines.size(), 7u) << "each of the two adds its description";
    EXPECT_THAT(lines[6], testing::HasSubstr("{A45C254E-DF1C-4EFD-80-20-67-D1-46-A8-50-E0}, 14"));

    // Without names ("MMLN" 0) the notifications' own lines are all there is. Only a device
    // that exists could be described, so this part, too, needs one.
    g_app.ReleaseAudioObjects();
    WriteSettingInt(Setting::kMMLN, 0);
    g_app.StartAudioObjects();
    ASSERT_NE(g_app.m_volumeMonitor, nullptr);
    const size_t before = log.Entries(" W ").size();
    g_app.m_volumeMonitor->OnDeviceAdded(id);
    g_app.m_volumeMonitor->OnPropertyValueChanged(id, kFriendlyName);
    CoTaskMemFree(id);
    EXPECT_EQ(log.Entries(" W ").size(), before + 2) << "no description line without names";
}

// Core Audio's enumerator as the monitor relies on it: the client is kept without a reference.
struct FakeEnumerator : IMMDeviceEnumerator {
    LONG refs = 1;
    IMMNotificationClient* client = nullptr;
    HRESULT unregisterResult = S_OK;
    bool releasedWhileRegistered = false;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        releasedWhileRegistered = client != nullptr;
        return InterlockedDecrement(&refs);
    }
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice**) override { return E_NOTFOUND; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTFOUND; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient* c) override
    {
        client = c;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override
    {
        if (SUCCEEDED(unregisterResult)) client = nullptr;
        return unregisterResult;
    }
};

struct FakeAudioMonitor : CVolumeMonitor {
    FakeAudioMonitor(FakeEnumerator* f, bool* d) : fake(f), deleted(d) {}
    FakeEnumerator* fake;
    bool* deleted;
    HRESULT CreateEnumerator(IMMDeviceEnumerator** out) override
    {
        fake->AddRef();
        *out = fake;
        return S_OK;
    }
    ~FakeAudioMonitor() override { *deleted = true; }
};

// The monitor stays while Core Audio can call it, whether its owner lets go before or after
// stopping it, and lets go of Core Audio once it is unregistered; the release at exit says
// when a registration could not be undone, and the monitor then stays for Core Audio.
TEST(VolumeMonitorLife, CoreAudioReachesTheMonitorUntilItIsUnregistered)
{
    LogCapture log;
    const struct {
        bool ownerFirst;
        HRESULT unregister;
    } cases[] = {{false, S_OK}, {true, S_OK}, {false, E_FAIL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.ownerFirst ? "the owner lets go first, " : "released at exit, ")
                                        << c.unregister);
        FakeEnumerator fake;
        fake.unregisterResult = c.unregister;
        bool deleted = false;
        auto* monitor = new FakeAudioMonitor(&fake, &deleted);
        EXPECT_EQ(monitor->Start(TRUE), E_NOTFOUND) << "no default device: the device callback alone";
        if (c.ownerFirst) monitor->Release();
        ASSERT_FALSE(deleted) << "freed while Core Audio can call it";
        fake.client->OnDeviceAdded(L"{gone}");
        if (c.ownerFirst) {
            EXPECT_TRUE(monitor->Stop());
        } else {
            g_app.m_volumeMonitor = monitor;
            EXPECT_EQ(g_app.ReleaseAudioObjects(), SUCCEEDED(c.unregister));
            EXPECT_EQ(g_app.m_volumeMonitor, nullptr);
        }
        EXPECT_EQ(fake.refs, 1) << "the enumerator goes when the monitor stops";
        if (SUCCEEDED(c.unregister)) {
            EXPECT_FALSE(fake.releasedWhileRegistered);
        }
        EXPECT_EQ(deleted, SUCCEEDED(c.unregister)) << "Core Audio's reference goes only with the registration";
        if (!deleted) monitor->Release();
    }
}

TEST(VolumeMonitorText, PropertyValuesAndKeys)
{
    PROPVARIANT wide{};
    wide.vt = VT_LPWSTR;
    wide.pwszVal = const_cast<wchar_t*>(L"Speakers");
    PROPVARIANT narrow{};
    narrow.vt = VT_LPSTR;
    narrow.pszVal = const_cast<char*>("Line out");
    PROPVARIANT number{};
    number.vt = VT_UI4;
    EXPECT_STREQ(CVolumeMonitor::PropVariantToText(wide).GetString(), L"Speakers");
    EXPECT_STREQ(CVolumeMonitor::PropVariantToText(narrow).GetString(), L"Line out");
    EXPECT_STREQ(CVolumeMonitor::PropVariantToText(number).GetString(), L"vt:19");
    EXPECT_STREQ(CVolumeMonitor::PropertyKeyText(kFriendlyName).GetString(),
                 L"{A45C254E-DF1C-4EFD-80-20-67-D1-46-A8-50-E0}, 14");
}

}  // namespace
