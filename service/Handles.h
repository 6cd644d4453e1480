// One owner per handle: kernel handles and Service Control Manager handles of the service.
// Close() reports the failure code so the owner can log it where the order matters; the
// destructor closes whatever is still open without a word.
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits>
class CUniqueHandle
{
    using T = typename Traits::Type;

public:
    CUniqueHandle() = default;
    explicit CUniqueHandle(T handle) : m_handle(handle) {}
    ~CUniqueHandle() { Close(); }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, Traits::Invalid())) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Close();
            m_handle = std::exchange(other.m_handle, Traits::Invalid());
        }
        return *this;
    }

    T Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    void Reset(T handle)
    {
        Close();
        m_handle = handle;
    }

    // 0, or the error of the close; the handle is forgotten either way.
    DWORD Close()
    {
        if (m_handle == Traits::Invalid())
            return 0;
        return Traits::Close(std::exchange(m_handle, Traits::Invalid())) ? 0 : GetLastError();
    }

private:
    T m_handle = Traits::Invalid();
};

// Events, tokens, threads: null means none.
struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static BOOL Close(HANDLE handle) { return CloseHandle(handle); }
};
// Files and pipes: INVALID_HANDLE_VALUE means none.
struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static BOOL Close(HANDLE handle) { return CloseHandle(handle); }
};
struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static SC_HANDLE Invalid() { return nullptr; }
    static BOOL Close(SC_HANDLE handle) { return CloseServiceHandle(handle); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static HMODULE Invalid() { return nullptr; }
    static BOOL Close(HMODULE module) { return FreeLibrary(module); }
};

using CKernelHandle = CUniqueHandle<KernelHandleTraits>;
using CFileHandle = CUniqueHandle<FileHandleTraits>;
using CServiceHandle = CUniqueHandle<ServiceHandleTraits>;
using CModuleHandle = CUniqueHandle<ModuleTraits>;
