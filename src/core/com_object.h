// The two forms of a COM object of class T: a plain object that counts its
// own references, and an aggregatable wrapper whose contained T forwards its
// IUnknown to the outer object. T implements its interfaces and
// InternalQueryInterface (its interface table); it leaves IUnknown to these.
// Every live object keeps the module loaded.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>

#include "core/server_module.h"

namespace korvat {

// Apartment-threaded: references are counted without interlocked operations.
template <class T>
class ComObject final : public T {
 public:
  ComObject() { g_serverModule.Lock(); }
  ~ComObject() { g_serverModule.Unlock(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return this->InternalQueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG count = --m_references;
    if (count == 0) delete this;
    return count;
  }

 private:
  ULONG m_references = 0;
};

// The T inside an aggregated object: its IUnknown is the outer object's.
template <class T>
class ContainedObject final : public T {
 public:
  explicit ContainedObject(IUnknown* outer) : m_outer(outer) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return m_outer->QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return m_outer->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_outer->Release(); }

 private:
  IUnknown* m_outer;  // not held: the outer object owns this one
};

// The aggregated form: its own IUnknown answers IUnknown with itself and
// every other interface through the contained object's table.
template <class T>
class AggregatedObject final : public IUnknown {
 public:
  explicit AggregatedObject(IUnknown* outer) : m_contained(outer) { g_serverModule.Lock(); }
  ~AggregatedObject() { g_serverModule.Unlock(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return m_contained.InternalQueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG count = --m_references;
    if (count == 0) delete this;
    return count;
  }

 private:
  ULONG m_references = 0;
  ContainedObject<T> m_contained;
};

// The instance creator of class T for the class table.
template <class T>
HRESULT CreateComInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer == nullptr) {
    ComObject<T>* created = new (std::nothrow) ComObject<T>();
    if (created == nullptr) return E_OUTOFMEMORY;
    HRESULT result = created->QueryInterface(iid, object);
    if (FAILED(result)) delete created;
    return result;
  }
  AggregatedObject<T>* created = new (std::nothrow) AggregatedObject<T>(outer);
  if (created == nullptr) return E_OUTOFMEMORY;
  HRESULT result = created->QueryInterface(iid, object);
  if (FAILED(result)) delete created;
  return result;
}

}  // namespace korvat
