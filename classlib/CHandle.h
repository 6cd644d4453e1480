// One owner per handle: one move-only template, one line per kind of handle.
//
// Each kind names its handle type, its close function and the value that means "none"
// (some kinds have two such values, as kernel handles do). The owner closes in its
// destructor; Close() reports the close's own error (0 when it succeeded or there was
// nothing to close) for callers that must log it where the order matters.
#pragma once

#include "Win.h"

#include <commctrl.h>

#include <utility>

template <typename Traits>
class CUniqueAny
{
public:
    using Type = typename Traits::Type;

    CUniqueAny() = default;
    explicit CUniqueAny(Type handle) : m_h(handle) {}
    ~CUniqueAny() { Close(); }
    CUniqueAny(CUniqueAny&& other) noexcept : m_h(other.Release()) {}
    CUniqueAny& operator=(CUniqueAny&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    CUniqueAny(const CUniqueAny&) = delete;
    CUniqueAny& operator=(const CUniqueAny&) = delete;

    Type Get() const { return m_h; }
    operator Type() const { return m_h; }
    bool IsValid() const { return !Traits::IsNone(m_h); }
    explicit operator bool() const { return IsValid(); }

    // For functions that hand a new handle back through a pointer.
    Type* Out() { Close(); return &m_h; }
    // The Attach of the class library's wrappers: an empty owner takes the handle; a "none"
    // handle, or an owner that already holds one, is refused.
    BOOL Attach(Type handle)
    {
        if (Traits::IsNone(handle) || IsValid()) return FALSE;
        m_h = handle;
        return TRUE;
    }
    // Gives the handle up without closing it.
    Type Release() { return std::exchange(m_h, Traits::None()); }
    void Reset(Type handle = Traits::None())
    {
        Close();
        m_h = handle;
    }
    DWORD Close()
    {
        Type h = Release();
        return Traits::IsNone(h) ? 0 : Traits::Close(h);
    }

private:
    Type m_h = Traits::None();
};

// A kind whose only "none" is one value (None) and whose close reports success as a BOOL.
template <typename T, BOOL (WINAPI* CloseFn)(T), T (*NoneFn)()>
struct CHandleTraits
{
    using Type = T;
    static T None() { return NoneFn(); }
    static bool IsNone(T h) { return h == NoneFn(); }
    static DWORD Close(T h) { return CloseFn(h) ? 0 : GetLastError(); }
};

template <typename T> inline T NullHandleValue() { return nullptr; }
inline HANDLE InvalidHandleValue() { return INVALID_HANDLE_VALUE; }

// Kernel handles (events, threads, processes, tokens, mutexes, files, pipes): both null and
// INVALID_HANDLE_VALUE mean none, since the APIs that make them disagree on which they return.
struct CKernelHandleTraits
{
    using Type = HANDLE;
    static HANDLE None() { return nullptr; }
    static bool IsNone(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static DWORD Close(HANDLE h) { return CloseHandle(h) ? 0 : GetLastError(); }
};

// Waitable timers: cancelled before they are closed, so that none is left armed while
// another handle to it lives on. The close's error wins over the cancel's.
struct CWaitableTimerTraits : CKernelHandleTraits
{
    static DWORD Close(HANDLE h)
    {
        const DWORD cancelled = CancelWaitableTimer(h) ? 0 : GetLastError();
        const DWORD closed = CKernelHandleTraits::Close(h);
        return closed ? closed : cancelled;
    }
};

// Registry keys: RegCloseKey returns its error itself.
struct CRegKeyTraits
{
    using Type = HKEY;
    static HKEY None() { return nullptr; }
    static bool IsNone(HKEY h) { return h == nullptr; }
    static DWORD Close(HKEY h) { return static_cast<DWORD>(RegCloseKey(h)); }
};

// Sockets: closesocket reports through WSAGetLastError.
struct CSocketTraits
{
    using Type = SOCKET;
    static SOCKET None() { return INVALID_SOCKET; }
    static bool IsNone(SOCKET s) { return s == INVALID_SOCKET; }
    static DWORD Close(SOCKET s) { return closesocket(s) == 0 ? 0 : static_cast<DWORD>(WSAGetLastError()); }
};

// GDI objects of every kind (fonts, bitmaps, brushes, pens, regions).
template <typename T>
struct CGdiObjectTraits
{
    using Type = T;
    static T None() { return nullptr; }
    static bool IsNone(T h) { return h == nullptr; }
    static DWORD Close(T h) { return DeleteObject(h) ? 0 : ERROR_INVALID_HANDLE; }
};

// Contexts lent by GetDC: ReleaseDC must name the window the context came from, so the
// kind holds both (a null window is the screen).
struct CLentDC
{
    HWND window;
    HDC dc;
    operator HDC() const { return dc; }
};
struct CLentDCTraits
{
    using Type = CLentDC;
    static CLentDC None() { return {nullptr, nullptr}; }
    static bool IsNone(CLentDC h) { return h.dc == nullptr; }
    static DWORD Close(CLentDC h) { return ReleaseDC(h.window, h.dc) ? 0 : ERROR_INVALID_HANDLE; }
};

inline BOOL WINAPI CloseFindHandle(HANDLE h) { return FindClose(h); }
inline BOOL WINAPI FreeLocalMemory(HLOCAL h) { return LocalFree(h) == nullptr; }
inline BOOL WINAPI FreeSidMemory(PSID sid) { return FreeSid(sid) == nullptr; }

using CHandle = CUniqueAny<CKernelHandleTraits>;
using CWaitableTimerHandle = CUniqueAny<CWaitableTimerTraits>;
using CRegKeyHandle = CUniqueAny<CRegKeyTraits>;
using CSocketHandle = CUniqueAny<CSocketTraits>;
using CServiceHandle = CUniqueAny<CHandleTraits<SC_HANDLE, CloseServiceHandle, NullHandleValue<SC_HANDLE>>>;
using CModuleHandle = CUniqueAny<CHandleTraits<HMODULE, FreeLibrary, NullHandleValue<HMODULE>>>;
using CMenuHandle = CUniqueAny<CHandleTraits<HMENU, DestroyMenu, NullHandleValue<HMENU>>>;
using CIconHandle = CUniqueAny<CHandleTraits<HICON, DestroyIcon, NullHandleValue<HICON>>>;
using CHookHandle = CUniqueAny<CHandleTraits<HHOOK, UnhookWindowsHookEx, NullHandleValue<HHOOK>>>;
using CCursorHandle = CUniqueAny<CHandleTraits<HCURSOR, DestroyCursor, NullHandleValue<HCURSOR>>>;
using CImageListHandle = CUniqueAny<CHandleTraits<HIMAGELIST, ImageList_Destroy, NullHandleValue<HIMAGELIST>>>;
// Device contexts of one's own (CreateCompatibleDC, CreateDC): DeleteDC. Contexts from
// BeginPaint are given back by CPaintDC.
using CMemDCHandle = CUniqueAny<CHandleTraits<HDC, DeleteDC, NullHandleValue<HDC>>>;
// Contexts that another owner gives back (BeginPaint's, GetDC's, an owner-draw item's, a
// buffered paint's, a kept paint buffer's): held to draw on, never deleted or given back here.
inline BOOL WINAPI KeepBorrowedDC(HDC) { return TRUE; }
using CBorrowedDCHandle = CUniqueAny<CHandleTraits<HDC, KeepBorrowedDC, NullHandleValue<HDC>>>;
using CClientDCHandle = CUniqueAny<CLentDCTraits>;
inline CClientDCHandle GetClientDC(HWND window) { return CClientDCHandle(CLentDC{window, GetDC(window)}); }
using CFindHandle = CUniqueAny<CHandleTraits<HANDLE, CloseFindHandle, InvalidHandleValue>>;
// What the system allocated for the caller with LocalAlloc (security descriptors, for one).
using CLocalMemory = CUniqueAny<CHandleTraits<HLOCAL, FreeLocalMemory, NullHandleValue<HLOCAL>>>;
// Security identifiers made by AllocateAndInitializeSid.
using CSidHandle = CUniqueAny<CHandleTraits<PSID, FreeSidMemory, NullHandleValue<PSID>>>;
template <typename T> using CGdiHandle = CUniqueAny<CGdiObjectTraits<T>>;
using CFontHandle = CGdiHandle<HFONT>;
using CBitmapHandle = CGdiHandle<HBITMAP>;
using CBrushHandle = CGdiHandle<HBRUSH>;
using CPenHandle = CGdiHandle<HPEN>;
using CGdiObjectHandle = CGdiHandle<HGDIOBJ>;
// Event-log handles (EVT_HANDLE): wevtapi is loaded at run time, so their close goes
// through the event-log reader's table of functions (CrashReport/EventLogHelper.cpp).
BOOL WINAPI CloseEventLogHandle(HANDLE h);
using CEventLogHandle = CUniqueAny<CHandleTraits<HANDLE, CloseEventLogHandle, NullHandleValue<HANDLE>>>;
// Visual-style theme data (HTHEME is a HANDLE): the close is defined beside the one user of
// themes (ColorPickerButton.cpp), so that uxtheme's declarations stay out of this header.
BOOL WINAPI CloseThemeHandle(HANDLE h);
using CThemeHandle = CUniqueAny<CHandleTraits<HANDLE, CloseThemeHandle, NullHandleValue<HANDLE>>>;
