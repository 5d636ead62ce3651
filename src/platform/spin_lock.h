// A lock for the few module-wide structures that the plug-in exports share
// between threads. It needs no set-up and no tear-down, so it is
// constant-initialised and works from the module's first instruction to its
// last, whatever order the globals it guards are built in; each holder (a ScopedLock) keeps it for
// a handful of instructions, so a waiter only yields its time slice.
#pragma once

#include <windows.h>

#include "platform/scoped_lock.h"

namespace korvat {

class SpinLock {
 public:
  constexpr SpinLock() = default;
  SpinLock(const SpinLock&) = delete;
  SpinLock& operator=(const SpinLock&) = delete;

  void Acquire() {
    while (InterlockedExchange(&m_held, 1) != 0) SwitchToThread();
  }
  void Release() { InterlockedExchange(&m_held, 0); }

 private:
  volatile LONG m_held = 0;
};

}  // namespace korvat
