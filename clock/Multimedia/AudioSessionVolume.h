// CAudioSessionVolume: the volume of the program's own audio session on the default
// playback device, so that chimes and test sounds play at a volume of their own without
// touching the system volume. A reference-counted COM object: it registers itself for its
// session's events (which it ignores) and is released, not deleted.
#pragma once

#include "ClassLib.h"
#include "CComPtr.h"

#include <audiopolicy.h>

class CAudioSessionVolume : public IAudioSessionEvents
{
public:
    // The object with one reference for the caller, or the failing step's HRESULT (no
    // device is a normal case: 0x80070490 under a machine without sound).
    static HRESULT Create(CAudioSessionVolume** out);

    HRESULT EnableNotifications(BOOL enable);
    // 0.0 .. 1.0; E_FAIL without a session volume.
    HRESULT GetMasterVolume(float* volume) const;
    HRESULT SetMasterVolume(float volume);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IAudioSessionEvents: the program only sets its own volume; nothing here concerns it.
    HRESULT STDMETHODCALLTYPE OnDisplayNameChanged(LPCWSTR, LPCGUID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnIconPathChanged(LPCWSTR, LPCGUID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnSimpleVolumeChanged(float, BOOL, LPCGUID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnChannelVolumeChanged(DWORD, float[], DWORD, LPCGUID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnGroupingParamChanged(LPCGUID, LPCGUID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChanged(AudioSessionState) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnSessionDisconnected(AudioSessionDisconnectReason) override { return S_OK; }

    // Passed with every change the program makes, so other listeners of the session can
    // tell the program's own changes from theirs.
    static const GUID kEventContext;

private:
    CAudioSessionVolume() = default;
    virtual ~CAudioSessionVolume() = default;
    HRESULT Initialize();

    LONG m_refCount = 1;
    BOOL m_notificationsOn = FALSE;
    CComPtr<IAudioSessionControl> m_sessionControl;
    CComPtr<ISimpleAudioVolume> m_simpleVolume;
};
