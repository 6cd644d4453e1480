// CVolumeMonitor: a diagnostic aid. It registers for playback-device notifications and
// for the volume notifications of the default playback device as it was at start, and
// writes each one into the program log (with the device's friendly name when verbose).
// Core Audio calls it on its own threads; the device and endpoint state is guarded by the
// monitor's lock. A reference-counted COM object, released rather than deleted: while Core
// Audio may call it, it holds a reference for Core Audio, so it never goes away under a
// callback, and its last release never happens inside one.
#pragma once

#include "ClassLib.h"
#include "CComPtr.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>

class CVolumeMonitor : public IMMNotificationClient, public IAudioEndpointVolumeCallback
{
public:
    CVolumeMonitor() = default;

    HRESULT Start(BOOL verbose);
    // Unregisters both notifications and lets go of the Core Audio objects, on the caller's
    // thread: no device-API object may lose its last reference inside a callback. FALSE when
    // a registration could not be undone: Core Audio can still call the monitor.
    BOOL Stop();

    // IUnknown, shared by both interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IMMNotificationClient
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override;
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR id) override;
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) override;
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) override;
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR id, const PROPERTYKEY key) override;

    // IAudioEndpointVolumeCallback
    HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data) override;

    // A property value as log text: a wide string as it is, an 8-bit one converted with the
    // thread's ANSI code page, any other type as "vt:%d".
    static CString PropVariantToText(const PROPVARIANT& value);
    // "{GUID}, pid" of a property key.
    static CString PropertyKeyText(const PROPERTYKEY& key);

protected:
    virtual ~CVolumeMonitor() = default;
    // The device enumerator of Start.
    virtual HRESULT CreateEnumerator(IMMDeviceEnumerator** out);

private:
    HRESULT AttachDefaultEndpoint();
    // FALSE when the endpoint callback was registered and could not be unregistered.
    BOOL DetachEndpoint();
    // When verbose, one warning line describing the device (its name; the key when given);
    // a device or property store that cannot be had is skipped silently.
    void LogDevice(LPCWSTR id, BOOL withKey, const PROPERTYKEY& key);

    BOOL m_verbose = FALSE;
    BOOL m_endpointCallbackOn = FALSE;
    CComPtr<IMMDeviceEnumerator> m_enumerator;
    CComPtr<IMMDevice> m_device;
    CComPtr<IAudioEndpointVolume> m_endpointVolume;
    CCriticalSection m_lock;
    BOOL m_deviceCallbackOn = FALSE;
    LONG m_refCount = 1;
};
