#include "plugin/handed_out.h"

#include <algorithm>

namespace korvat {

HandedOutSet g_liveInstances;
HandedOutSet g_liveLoaders;

void HandedOutSet::Add(const void* value) {
  ScopedLock hold(m_lock);
  if (std::find(m_values.begin(), m_values.end(), value) == m_values.end()) {
    m_values.push_back(value);
  }
}

bool HandedOutSet::Remove(const void* value) {
  ScopedLock hold(m_lock);
  auto at = std::find(m_values.begin(), m_values.end(), value);
  if (at == m_values.end()) return false;
  *at = m_values.back();
  m_values.pop_back();
  return true;
}

}  // namespace korvat
