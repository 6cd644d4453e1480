// COM owners: an interface pointer released by whoever holds it, and a BSTR freed by its
// holder. Move-only, like the handle owners of CHandle.h.
#pragma once

#include "Win.h"

#include <oleauto.h>
#include <unknwn.h>

#include <utility>

template <class T>
class CComPtr
{
public:
    CComPtr() = default;
    ~CComPtr() { Release(); }
    CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other) {
            Release();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For calls that hand a new reference back through a pointer.
    T** Out()
    {
        Release();
        return &m_p;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    void Release()
    {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }

private:
    T* m_p = nullptr;
};

class CComBSTR
{
public:
    CComBSTR() = default;
    // A null text allocates nothing (check with IsValid).
    explicit CComBSTR(const wchar_t* text) : m_s(text ? SysAllocString(text) : nullptr) {}
    ~CComBSTR() { Free(); }
    CComBSTR(CComBSTR&& other) noexcept : m_s(std::exchange(other.m_s, nullptr)) {}
    CComBSTR& operator=(CComBSTR&& other) noexcept
    {
        if (this != &other) {
            Free();
            m_s = std::exchange(other.m_s, nullptr);
        }
        return *this;
    }
    CComBSTR(const CComBSTR&) = delete;
    CComBSTR& operator=(const CComBSTR&) = delete;

    BSTR Get() const { return m_s; }
    bool IsValid() const { return m_s != nullptr; }
    // The text, or "" for none; never null.
    const wchar_t* Text() const { return m_s ? m_s : L""; }
    BSTR* Out()
    {
        Free();
        return &m_s;
    }
    void Free()
    {
        if (BSTR s = std::exchange(m_s, nullptr)) SysFreeString(s);
    }

private:
    BSTR m_s = nullptr;
};
