#include "Multimedia/VolumeMonitor.h"

#include "Log/LogMan.h"

#include <propidl.h>

namespace {

const wchar_t* IdText(LPCWSTR id)
{
    return id ? id : L"<null>";
}

// {A45C254E-DF1C-4EFD-8020-67D146A850E0}, 14: the device's friendly name.
const PROPERTYKEY kFriendlyName = {
    {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};

}  // namespace

HRESULT CVolumeMonitor::CreateEnumerator(IMMDeviceEnumerator** out)
{
    return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                            reinterpret_cast<void**>(out));
}

HRESULT CVolumeMonitor::Start(BOOL verbose)
{
    m_verbose = verbose;
    HRESULT hr = CreateEnumerator(m_enumerator.Out());
    if (FAILED(hr)) return hr;
    hr = m_enumerator->RegisterEndpointNotificationCallback(this);
    if (FAILED(hr)) return hr;
    // Core Audio's reference (it takes none itself), given back by Stop. The endpoint callback
    // is registered only while this one is, so the one reference covers both.
    AddRef();
    m_deviceCallbackOn = TRUE;
    return AttachDefaultEndpoint();
}

BOOL CVolumeMonitor::Stop()
{
    // Unregistering returns only once no callback of its kind runs any more.
    BOOL unregistered = DetachEndpoint();
    const BOOL registered = m_deviceCallbackOn;
    if (m_deviceCallbackOn && m_enumerator) {
        unregistered = SUCCEEDED(m_enumerator->UnregisterEndpointNotificationCallback(this)) && unregistered;
        m_deviceCallbackOn = FALSE;
    }
    {
        CSingleLock lock(&m_lock, TRUE);
        m_enumerator.Release();
    }
    // Core Audio's reference, the last one when the owner has let go already; a registration
    // that could not be undone keeps it, and the monitor stays for the rest of the run.
    if (registered && unregistered) Release();
    return unregistered;
}

HRESULT CVolumeMonitor::AttachDefaultEndpoint()
{
    CSingleLock lock(&m_lock, TRUE);
    if (!m_enumerator) return E_FAIL;
    HRESULT hr = m_enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, m_device.Out());
    if (FAILED(hr)) return hr;
    hr = m_device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                            reinterpret_cast<void**>(m_endpointVolume.Out()));
    if (FAILED(hr)) return hr;
    hr = m_endpointVolume->RegisterControlChangeNotify(static_cast<IAudioEndpointVolumeCallback*>(this));
    if (SUCCEEDED(hr)) m_endpointCallbackOn = TRUE;
    return hr;
}

BOOL CVolumeMonitor::DetachEndpoint()
{
    CSingleLock lock(&m_lock, TRUE);
    BOOL unregistered = TRUE;
    if (m_endpointCallbackOn && m_endpointVolume) {
        unregistered = SUCCEEDED(
            m_endpointVolume->UnregisterControlChangeNotify(static_cast<IAudioEndpointVolumeCallback*>(this)));
        m_endpointCallbackOn = FALSE;
    }
    m_endpointVolume.Release();
    m_device.Release();
    return unregistered;
}

HRESULT CVolumeMonitor::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
        *out = static_cast<IMMNotificationClient*>(this);
    } else if (iid == __uuidof(IAudioEndpointVolumeCallback)) {
        *out = static_cast<IAudioEndpointVolumeCallback*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CVolumeMonitor::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

ULONG CVolumeMonitor::Release()
{
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

HRESULT CVolumeMonitor::OnDeviceStateChanged(LPCWSTR id, DWORD state)
{
    ZN_LOG(LOG_WARNING, state << L" " << IdText(id));
    LogDevice(id, FALSE, PROPERTYKEY{});
    return S_OK;
}

HRESULT CVolumeMonitor::OnDeviceAdded(LPCWSTR id)
{
    ZN_LOG(LOG_WARNING, IdText(id));
    LogDevice(id, FALSE, PROPERTYKEY{});
    return S_OK;
}

HRESULT CVolumeMonitor::OnDeviceRemoved(LPCWSTR id)
{
    ZN_LOG(LOG_WARNING, IdText(id));
    LogDevice(id, FALSE, PROPERTYKEY{});
    return S_OK;
}

HRESULT CVolumeMonitor::OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id)
{
    // The endpoint stays the one of the start: only the change itself is recorded.
    ZN_LOG(LOG_WARNING, static_cast<int>(flow) << L" " << static_cast<int>(role) << L" " << IdText(id));
    LogDevice(id, FALSE, PROPERTYKEY{});
    return S_OK;
}

HRESULT CVolumeMonitor::OnPropertyValueChanged(LPCWSTR id, const PROPERTYKEY key)
{
    ZN_LOG(LOG_WARNING, IdText(id));
    LogDevice(id, TRUE, key);
    return S_OK;
}

HRESULT CVolumeMonitor::OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data)
{
    if (!data) return S_OK;
    ZN_LOG(LOG_WARNING, (data->bMuted ? 1 : 0) << L" " << data->fMasterVolume << L" " << data->nChannels << L" "
                                               << (data->nChannels ? data->afChannelVolumes[0] : 0.0f));
    return S_OK;
}

void CVolumeMonitor::LogDevice(LPCWSTR id, BOOL withKey, const PROPERTYKEY& key)
{
    // Without names the notification's own line says all there is.
    if (!m_verbose) return;
    CSingleLock lock(&m_lock, TRUE);
    if (!m_enumerator || !id) return;
    CComPtr<IMMDevice> device;
    if (FAILED(m_enumerator->GetDevice(id, device.Out()))) return;
    CComPtr<IPropertyStore> store;
    if (FAILED(device->OpenPropertyStore(STGM_READ, store.Out()))) return;
    CString name;
    PROPVARIANT value;
    PropVariantInit(&value);
    if (SUCCEEDED(store->GetValue(kFriendlyName, &value))) name = PropVariantToText(value);
    PropVariantClear(&value);
    CString keyText = withKey ? PropertyKeyText(key) : CString();
    ZN_LOG(LOG_WARNING, name.GetString() << L" " << keyText.GetString());
}

CString CVolumeMonitor::PropVariantToText(const PROPVARIANT& value)
{
    if (value.vt == VT_LPWSTR) return CString(value.pwszVal ? value.pwszVal : L"");
    if (value.vt == VT_LPSTR) {
        const char* text = value.pszVal ? value.pszVal : "";
        int n = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
        CString out;
        if (n > 1) {
            MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, out.GetBuffer(n), n);
            out.ReleaseBuffer();
        }
        return out;
    }
    wchar_t text[32];
    wsprintfW(text, L"vt:%d", static_cast<int>(value.vt));
    return CString(text);
}

CString CVolumeMonitor::PropertyKeyText(const PROPERTYKEY& key)
{
    wchar_t text[96];
    const GUID& g = key.fmtid;
    // Every byte of the last part on its own, as earlier logs wrote it; wsprintf has no
    // 8-bit or 16-bit length modifiers, so the parts are widened instead.
    wsprintfW(text, L"{%08lX-%04X-%04X-%02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X}, %d", g.Data1, g.Data2, g.Data3,
              g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7],
              static_cast<int>(key.pid));
    return CString(text);
}
