// The plug-in instances and control loaders that the exports handed to the
// host and that are still alive. The host gives them back as bare numbers or
// pointers; only a value found here is ever dereferenced or destroyed, so a
// wrong number or a second release is ignored. A host may call from several
// threads: each operation holds the set's lock, and of two releases of one
// value only one finds it.
#pragma once

#include <cstddef>

#include "platform/spin_lock.h"

class HandedOutSet {
 public:
  constexpr HandedOutSet() = default;
  HandedOutSet(const HandedOutSet&) = delete;
  HandedOutSet& operator=(const HandedOutSet&) = delete;

  // False when the slot storage cannot grow; the value is then not recorded.
  bool Add(const void* value);
  // True when the value was recorded (it is forgotten then).
  bool Remove(const void* value);
  bool Contains(const void* value) const;
  size_t count() const { return m_count; }

 private:
  size_t Find(const void* value) const;
  bool AddLocked(const void* value);

  // Freed when the last value is removed, so nothing is left at unload.
  const void** m_pSlots = nullptr;
  size_t m_capacity = 0;
  size_t m_count = 0;
  mutable SpinLock m_lock;
};

// Instances from ZRNewInstance and loaders from InitControl.
extern HandedOutSet g_LiveInstances;
extern HandedOutSet g_LiveLoaders;
