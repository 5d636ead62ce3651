// A growable array of pointers. The list owns its storage, not its items:
// the owner frees the items before it empties the list.
#pragma once

class PointerList {
 public:
  PointerList() = default;
  ~PointerList() { Empty(); }
  PointerList(const PointerList&) = delete;
  PointerList& operator=(const PointerList&) = delete;

  // False when the list was full and more room could not be had.
  bool Add(void* item);
  int Count() const { return m_nCount; }
  void* At(int index) const { return m_ppItems[index]; }
  // Frees the storage; capacity and count go back to 0.
  void Empty();

 private:
  static constexpr int kGrowth = 50;

  void** m_ppItems = nullptr;
  int m_nCapacity = 0;
  int m_nCount = 0;
};
