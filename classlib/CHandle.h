// One owner per handle: small move-only wrappers that release in their destructor.
#pragma once

#include "Win.h"

#include <utility>

// A kernel handle (process, token, event, thread...). Null and INVALID_HANDLE_VALUE own nothing.
class CHandle
{
public:
    explicit CHandle(HANDLE h = nullptr) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(CHandle&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    CHandle& operator=(CHandle&& other) noexcept
    {
        if (this != &other) { Close(); m_h = std::exchange(other.m_h, nullptr); }
        return *this;
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    HANDLE Get() const { return m_h; }
    operator HANDLE() const { return m_h; }
    HANDLE* Out() { Close(); return &m_h; }
    bool IsValid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (IsValid()) CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h;
};

// A registry key. Close reports the close's own result, so a caller can log it.
class CRegKeyHandle
{
public:
    explicit CRegKeyHandle(HKEY key = nullptr) : m_key(key) {}
    ~CRegKeyHandle() { Close(); }
    CRegKeyHandle(CRegKeyHandle&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    CRegKeyHandle& operator=(CRegKeyHandle&& other) noexcept
    {
        if (this != &other) { Close(); m_key = std::exchange(other.m_key, nullptr); }
        return *this;
    }
    CRegKeyHandle(const CRegKeyHandle&) = delete;
    CRegKeyHandle& operator=(const CRegKeyHandle&) = delete;

    HKEY Get() const { return m_key; }
    operator HKEY() const { return m_key; }
    HKEY* Out() { Close(); return &m_key; }
    LSTATUS Close()
    {
        HKEY key = std::exchange(m_key, nullptr);
        return key ? RegCloseKey(key) : ERROR_SUCCESS;
    }

private:
    HKEY m_key;
};
