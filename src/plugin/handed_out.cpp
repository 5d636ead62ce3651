#include "plugin/handed_out.h"

#include <cstring>
#include <new>

HandedOutSet g_LiveInstances;
HandedOutSet g_LiveLoaders;

namespace {
constexpr size_t kGrowBy = 16;
}  // namespace

size_t HandedOutSet::Find(const void* value) const {
  for (size_t i = 0; i < m_count; ++i) {
    if (m_pSlots[i] == value) return i;
  }
  return m_count;
}

bool HandedOutSet::Contains(const void* value) const {
  ScopedLock hold(m_lock);
  return value != nullptr && Find(value) < m_count;
}

bool HandedOutSet::Add(const void* value) {
  if (value == nullptr) return false;
  ScopedLock hold(m_lock);
  return AddLocked(value);
}

bool HandedOutSet::AddLocked(const void* value) {
  if (Find(value) < m_count) return true;
  if (m_count == m_capacity) {
    size_t capacity = m_capacity + kGrowBy;
    const void** slots = new (std::nothrow) const void*[capacity];
    if (slots == nullptr) return false;
    if (m_count > 0) std::memcpy(slots, m_pSlots, m_count * sizeof(*slots));
    delete[] m_pSlots;
    m_pSlots = slots;
    m_capacity = capacity;
  }
  m_pSlots[m_count++] = value;
  return true;
}

bool HandedOutSet::Remove(const void* value) {
  ScopedLock hold(m_lock);
  size_t at = value != nullptr ? Find(value) : m_count;
  if (at == m_count) return false;
  m_pSlots[at] = m_pSlots[--m_count];
  if (m_count == 0) {
    delete[] m_pSlots;
    m_pSlots = nullptr;
    m_capacity = 0;
  }
  return true;
}
