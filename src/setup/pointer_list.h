// A growable array of pointers. The list owns its storage, not its items:
// the owner frees the items before it empties the list.
#pragma once

#include <vector>

namespace korvat {

class PointerList {
 public:
  PointerList() = default;
  PointerList(const PointerList&) = delete;
  PointerList& operator=(const PointerList&) = delete;

  void Add(void* item) {
    // A full list grows by a fixed step: it holds a few browser windows.
    if (m_items.size() == m_items.capacity()) m_items.reserve(m_items.size() + kGrowth);
    m_items.push_back(item);
  }
  int Count() const { return static_cast<int>(m_items.size()); }
  void* At(int index) const { return m_items[static_cast<size_t>(index)]; }
  // Frees the storage; capacity and count go back to 0.
  void Empty() { std::vector<void*>().swap(m_items); }

 private:
  static constexpr size_t kGrowth = 50;

  std::vector<void*> m_items;
};

}  // namespace korvat
