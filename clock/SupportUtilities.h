// Loading a library from a chosen folder, the version of a program file as a number or a
// text, the per-user log folders, and opening files through the shell or in an editor.
#pragma once

#include "ClassLib.h"

// A library handle that may be freed when it goes; module is null when loading failed,
// and the load's error is then the thread's last error.
class DllLoader
{
public:
    DllLoader(const wchar_t* name, const wchar_t* directory, bool freeOnDestroy);
    ~DllLoader();
    DllLoader(const DllLoader&) = delete;
    DllLoader& operator=(const DllLoader&) = delete;

    HMODULE m_module = nullptr;
    bool m_freeOnDestroy = false;
};

// (major & 0xFF) << 24 | (minor & 0xFF) << 16 | (build & 0xFF) << 8 | (revision & 0xFF) of
// the file version of path (null: this program); 0 when it cannot be read.
DWORD GetFileVersionNumber(const wchar_t* path, int* isBeta);
// "major.minor.build.revision SpecialBuild path", or "(code) path" when the version
// cannot be read.
CString GetFileVersionText(const wchar_t* path);
// True when the "SpecialBuild" text marks a beta.
bool IsBetaBuildText(const wchar_t* specialBuild);

// Runs work on a worker thread under a marquee progress dialog while this (user-interface)
// thread keeps dispatching messages; the work's result, or E_OUTOFMEMORY.
HRESULT RunWithProgress(HWND parent, const wchar_t* text, HRESULT (*work)(void*), void* argument, int tag,
                        BOOL disableParent);
