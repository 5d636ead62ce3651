// A kernel handle (a file, a process, a find handle) closed at the end of its
// scope. The find handle closes with FindClose, every other with CloseHandle.
#pragma once

#include <windows.h>

template <BOOL(WINAPI* Closer)(HANDLE)>
class ScopedKernelHandle {
 public:
  ScopedKernelHandle() = default;
  explicit ScopedKernelHandle(HANDLE handle) : m_h(handle) {}
  ~ScopedKernelHandle() { Reset(); }
  ScopedKernelHandle(const ScopedKernelHandle&) = delete;
  ScopedKernelHandle& operator=(const ScopedKernelHandle&) = delete;

  HANDLE Get() const { return m_h; }
  bool IsValid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = nullptr) {
    if (IsValid()) Closer(m_h);
    m_h = handle;
  }

 private:
  HANDLE m_h = nullptr;
};

using ScopedHandle = ScopedKernelHandle<CloseHandle>;
using ScopedFindHandle = ScopedKernelHandle<FindClose>;
