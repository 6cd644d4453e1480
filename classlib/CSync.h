// CCriticalSection: a Win32 critical section with Lock/Unlock, and a scoped lock for it.
#pragma once

#include "Win.h"

class CCriticalSection
{
public:
    CCriticalSection() { InitializeCriticalSection(&m_sect); }
    ~CCriticalSection() { DeleteCriticalSection(&m_sect); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    BOOL Lock() { EnterCriticalSection(&m_sect); return TRUE; }
    BOOL Unlock() { LeaveCriticalSection(&m_sect); return TRUE; }
    BOOL TryLock() { return TryEnterCriticalSection(&m_sect); }

private:
    CRITICAL_SECTION m_sect;
};

class CSingleLock
{
public:
    explicit CSingleLock(CCriticalSection* sect, BOOL initialLock = FALSE) : m_sect(sect)
    {
        if (initialLock) Lock();
    }
    ~CSingleLock() { Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    BOOL Lock() { if (!m_locked && m_sect) { m_sect->Lock(); m_locked = true; } return TRUE; }
    BOOL Unlock() { if (m_locked) { m_sect->Unlock(); m_locked = false; } return TRUE; }

private:
    CCriticalSection* m_sect;
    bool m_locked = false;
};
