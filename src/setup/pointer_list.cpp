#include "setup/pointer_list.h"

#include <cstring>
#include <new>

bool PointerList::Add(void* item) {
  if (m_nCount == m_nCapacity) {
    void** grown = new (std::nothrow) void*[m_nCapacity + kGrowth];
    if (grown == nullptr) return false;
    if (m_nCount > 0) std::memcpy(grown, m_ppItems, sizeof(void*) * m_nCount);
    delete[] m_ppItems;
    m_ppItems = grown;
    m_nCapacity += kGrowth;
  }
  m_ppItems[m_nCount++] = item;
  return true;
}

void PointerList::Empty() {
  delete[] m_ppItems;
  m_ppItems = nullptr;
  m_nCapacity = 0;
  m_nCount = 0;
}
