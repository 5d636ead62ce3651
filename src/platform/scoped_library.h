// A library loaded for the length of one operation and freed at its end.
#pragma once

#include <windows.h>

class ScopedLibrary {
 public:
  ScopedLibrary() = default;
  explicit ScopedLibrary(const char* path) : m_hModule(LoadLibraryA(path)) {}
  ScopedLibrary(const char* path, DWORD flags)
      : m_hModule(LoadLibraryExA(path, nullptr, flags)) {}
  ~ScopedLibrary() { Reset(); }

  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;

  HMODULE Get() const { return m_hModule; }
  bool IsLoaded() const { return m_hModule != nullptr; }
  FARPROC GetProc(const char* name) const {
    return m_hModule != nullptr ? GetProcAddress(m_hModule, name) : nullptr;
  }
  // Hands the library over to the caller, who frees it.
  HMODULE Release() {
    HMODULE module = m_hModule;
    m_hModule = nullptr;
    return module;
  }
  void Reset(HMODULE module = nullptr) {
    if (m_hModule != nullptr) FreeLibrary(m_hModule);
    m_hModule = module;
  }

 private:
  HMODULE m_hModule = nullptr;
};
