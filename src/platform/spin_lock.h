// A lock for the few module-wide structures that the plug-in exports share
// between threads. It needs no set-up and no tear-down, so the globals it
// guards stay constant-initialised and live from the module's first
// instruction to its last; each holder keeps it for a handful of
// instructions, so a waiter only yields its time slice.
#pragma once

#include <windows.h>

class SpinLock {
 public:
  constexpr SpinLock() = default;
  SpinLock(const SpinLock&) = delete;
  SpinLock& operator=(const SpinLock&) = delete;

  void Acquire() {
    while (InterlockedExchange(&m_nHeld, 1) != 0) SwitchToThread();
  }
  void Release() { InterlockedExchange(&m_nHeld, 0); }

 private:
  volatile LONG m_nHeld = 0;
};

// Holds the lock for the life of the scope.
class SpinLockHolder {
 public:
  explicit SpinLockHolder(SpinLock& lock) : m_lock(lock) { m_lock.Acquire(); }
  ~SpinLockHolder() { m_lock.Release(); }
  SpinLockHolder(const SpinLockHolder&) = delete;
  SpinLockHolder& operator=(const SpinLockHolder&) = delete;

 private:
  SpinLock& m_lock;
};
