// The plug-in instances and control loaders that the exports handed to the
// host and that are still alive. The host gives them back as bare numbers or
// pointers; only a value found here is ever dereferenced or destroyed, so a
// wrong number or a second release is ignored. A host may call from several
// threads: each operation holds the set's lock, and of two releases of one
// value only one finds it.
#pragma once

#include <vector>

#include "platform/spin_lock.h"

namespace korvat {

class HandedOutSet {
 public:
  HandedOutSet() = default;
  HandedOutSet(const HandedOutSet&) = delete;
  HandedOutSet& operator=(const HandedOutSet&) = delete;

  // Records a value that is not null.
  void Add(const void* value);
  // True when the value was recorded (it is forgotten then).
  bool Remove(const void* value);

 private:
  std::vector<const void*> m_values;
  SpinLock m_lock;
};

// Instances from ZRNewInstance and loaders from InitControl.
extern HandedOutSet g_liveInstances;
extern HandedOutSet g_liveLoaders;

}  // namespace korvat
