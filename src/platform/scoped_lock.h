// Locks held for the life of a scope.
#pragma once

#include <windows.h>

namespace korvat {

// A critical section, created with its owner and deleted with it.
class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&m_cs); }
  ~CriticalSection() { DeleteCriticalSection(&m_cs); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Acquire() { EnterCriticalSection(&m_cs); }
  void Release() { LeaveCriticalSection(&m_cs); }

 private:
  CRITICAL_SECTION m_cs;
};

// Holds `lock` (a CriticalSection or a SpinLock) until the end of the scope.
template <typename Lock>
class ScopedLock {
 public:
  explicit ScopedLock(Lock& lock) : m_lock(lock) { m_lock.Acquire(); }
  ~ScopedLock() { m_lock.Release(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  Lock& m_lock;
};

}  // namespace korvat
