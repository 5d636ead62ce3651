// COM holders: an interface pointer released at the end of its scope, COM
// initialised for the length of one operation, and an owned BSTR.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "platform/unique_handle.h"

namespace korvat {

template <typename T>
struct ComReferenceTraits {
  using Handle = T*;
  static constexpr T* Invalid() { return nullptr; }
  static bool IsValid(T* pointer) { return pointer != nullptr; }
  static void Close(T* pointer) { pointer->Release(); }
};

// Holds one reference. Detach is the family's Release, named apart from
// IUnknown::Release.
template <typename T>
class ComPtr : private UniqueHandle<ComReferenceTraits<T>> {
  using Base = UniqueHandle<ComReferenceTraits<T>>;

 public:
  using Base::Base;
  using Base::Get;
  using Base::Put;
  using Base::Reset;
  using Base::operator bool;

  T* operator->() const { return Get(); }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  // Takes over a reference that the caller holds.
  void Attach(T* pointer) { Reset(pointer); }
  // Hands the reference over to the caller.
  [[nodiscard]] T* Detach() { return Base::Release(); }
  // Queries the held object for another interface into `out`.
  template <typename U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    if (!*this) return E_POINTER;
    return Get()->QueryInterface(iid, out->PutVoid());
  }
};

struct CoInitializeTraits {
  using Handle = HRESULT;
  static constexpr HRESULT Invalid() { return CO_E_NOTINITIALIZED; }
  static bool IsValid(HRESULT result) { return SUCCEEDED(result); }
  static void Close(HRESULT) { CoUninitialize(); }
};

// CoInitialize for the scope when `initialise`; balanced only when it
// succeeded. Get() is its result.
class ScopedCoInitialize : public UniqueHandle<CoInitializeTraits> {
 public:
  explicit ScopedCoInitialize(bool initialise = true)
      : UniqueHandle(initialise ? CoInitialize(nullptr) : CO_E_NOTINITIALIZED) {}
};

using ScopedBstr = UniqueHandle<NullHandleTraits<BSTR, SysFreeString>>;

}  // namespace korvat
