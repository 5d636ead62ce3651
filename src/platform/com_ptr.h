// COM holders: an interface pointer released at the end of its scope, COM
// initialised for the length of one operation, and an owned BSTR.
#pragma once

#include <windows.h>
#include <ole2.h>

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // The address to receive a new reference; releases the held one first.
  T** Receive() {
    Reset();
    return &m_p;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  void Reset() {
    if (m_p != nullptr) {
      T* p = m_p;
      m_p = nullptr;
      p->Release();
    }
  }
  // Queries the held object for another interface into `out`.
  template <typename U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    if (m_p == nullptr) return E_POINTER;
    return m_p->QueryInterface(iid, out->ReceiveVoid());
  }

 private:
  T* m_p = nullptr;
};

// CoInitialize for the scope; balanced only when it succeeded.
class ScopedCoInitialize {
 public:
  ScopedCoInitialize() : m_hr(CoInitialize(nullptr)) {}
  ~ScopedCoInitialize() {
    if (SUCCEEDED(m_hr)) CoUninitialize();
  }
  ScopedCoInitialize(const ScopedCoInitialize&) = delete;
  ScopedCoInitialize& operator=(const ScopedCoInitialize&) = delete;
  HRESULT result() const { return m_hr; }

 private:
  HRESULT m_hr;
};

class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(const OLECHAR* text) : m_bstr(SysAllocString(text)) {}
  ~ScopedBstr() { Reset(); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR Get() const { return m_bstr; }
  BSTR* Receive() {
    Reset();
    return &m_bstr;
  }
  void Reset(BSTR bstr = nullptr) {
    if (m_bstr != nullptr) SysFreeString(m_bstr);
    m_bstr = bstr;
  }

 private:
  BSTR m_bstr = nullptr;
};
