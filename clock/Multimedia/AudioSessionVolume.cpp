#include "Multimedia/AudioSessionVolume.h"

#include <mmdeviceapi.h>
#include <shlwapi.h>

#include <new>

// {2715279F-4139-4BA0-9CB1-B351F1B58A4A}
const GUID CAudioSessionVolume::kEventContext = {
    0x2715279F, 0x4139, 0x4BA0, {0x9C, 0xB1, 0xB3, 0x51, 0xF1, 0xB5, 0x8A, 0x4A}};

HRESULT CAudioSessionVolume::Create(CAudioSessionVolume** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* object = new (std::nothrow) CAudioSessionVolume;
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->Initialize();
    if (SUCCEEDED(hr)) {
        object->AddRef();
        *out = object;
    }
    // The creation reference: a failed object goes with it.
    object->Release();
    return hr;
}

HRESULT CAudioSessionVolume::Initialize()
{
    CComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                  __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(enumerator.Out()));
    if (FAILED(hr)) return hr;
    CComPtr<IMMDevice> device;
    hr = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device.Out());
    if (FAILED(hr)) return hr;
    CComPtr<IAudioSessionManager> manager;
    hr = device->Activate(__uuidof(IAudioSessionManager), CLSCTX_INPROC_SERVER, nullptr,
                          reinterpret_cast<void**>(manager.Out()));
    if (FAILED(hr)) return hr;
    // The null session GUID and no flags: this process's own default session.
    hr = manager->GetAudioSessionControl(nullptr, 0, m_sessionControl.Out());
    if (FAILED(hr)) return hr;
    return manager->GetSimpleAudioVolume(nullptr, 0, m_simpleVolume.Out());
}

HRESULT CAudioSessionVolume::EnableNotifications(BOOL enable)
{
    if ((enable != FALSE) == (m_notificationsOn != FALSE)) return S_OK;
    if (!m_sessionControl) return E_FAIL;
    HRESULT hr = enable ? m_sessionControl->RegisterAudioSessionNotification(this)
                        : m_sessionControl->UnregisterAudioSessionNotification(this);
    if (SUCCEEDED(hr)) m_notificationsOn = enable ? TRUE : FALSE;
    return hr;
}

HRESULT CAudioSessionVolume::GetMasterVolume(float* volume) const
{
    if (!m_simpleVolume) return E_FAIL;
    return m_simpleVolume->GetMasterVolume(volume);
}

HRESULT CAudioSessionVolume::SetMasterVolume(float volume)
{
    if (!m_simpleVolume) return E_FAIL;
    return m_simpleVolume->SetMasterVolume(volume, &kEventContext);
}

HRESULT CAudioSessionVolume::QueryInterface(REFIID iid, void** out)
{
    static const QITAB table[] = {
        QITABENT(CAudioSessionVolume, IAudioSessionEvents),
        {nullptr, 0},
    };
    return QISearch(this, table, iid, out);
}

ULONG CAudioSessionVolume::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

ULONG CAudioSessionVolume::Release()
{
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}
