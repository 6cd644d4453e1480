// The application's audio objects: the volume monitor and the program's own session
// volume, made at start-up and released at exit. A machine without an audio device is a
// normal case: the objects are then simply absent.
#include "App.h"

#include "Log/LogMan.h"
#include "Multimedia/AudioSessionVolume.h"
#include "Multimedia/VolumeMonitor.h"
#include "Settings.h"
#include "SupportWindowsVersion.h"

#include <new>

namespace {
const int kLevelVista = 3;
}

void CApp::StartAudioObjects()
{
    if (GetSettingInt(Setting::kMMNC) != 0) {
        try {
            m_volumeMonitor = new CVolumeMonitor;
            ZN_LOG_ERROR(m_volumeMonitor->Start(GetSettingInt(Setting::kMMLN)), L"", LOG_ERROR);
            ZN_LOG(LOG_INFO, L"1");
        } catch (const std::bad_alloc&) {
            ZN_LOG(LOG_ERROR, L"0");
        } catch (...) {
            ZN_LOG(LOG_ERROR, L"0");
        }
    }

    if (!IsWindowsAtLeast(kLevelVista)) return;
    CAudioSessionVolume* session = nullptr;
    HRESULT hr = static_cast<HRESULT>(ZN_LOG_ERROR(CAudioSessionVolume::Create(&session), L"", LOG_ERROR));
    if (SUCCEEDED(hr)) hr = static_cast<HRESULT>(ZN_LOG_ERROR(session->EnableNotifications(TRUE), L"", LOG_ERROR));
    if (SUCCEEDED(hr) && GetSettingInt(Setting::kMASV) != 0) {
        const int volume = GetSettingInt(Setting::kASVP);
        ZN_LOG(LOG_INFO, volume);
        // Outside 0..100 the stored value is not a volume: the session keeps its own.
        if (volume >= 0 && volume <= 100) {
            float old = 0.0f;
            HRESULT got = session->GetMasterVolume(&old);
            if (FAILED(got)) ZN_LOG_ERROR(got, L"", LOG_ERROR);
            else ZN_LOG(LOG_INFO, old);
            hr = static_cast<HRESULT>(
                ZN_LOG_ERROR(session->SetMasterVolume(static_cast<float>(volume) / 100.0f), L"", LOG_ERROR));
        }
    }
    if (SUCCEEDED(hr)) {
        ZN_LOG(LOG_INFO, L"1");
        m_audioSession = session;
    } else if (session) {
        session->EnableNotifications(FALSE);
        session->Release();
    }
}

bool CApp::ReleaseAudioObjects()
{
    bool letGo = true;
    if (m_volumeMonitor) {
        letGo = m_volumeMonitor->Stop() != FALSE;
        m_volumeMonitor->Release();
        m_volumeMonitor = nullptr;
    }
    if (m_audioSession) {
        m_audioSession->EnableNotifications(FALSE);
        m_audioSession->Release();
        m_audioSession = nullptr;
    }
    return letGo;
}

CAudioSessionVolume* GetAppAudioSession()
{
    auto* app = dynamic_cast<CApp*>(AfxGetApp());
    return app ? app->m_audioSession : nullptr;
}
