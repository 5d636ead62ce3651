#include "core/class_factory.h"

#include <new>

#include "core/interface_table.h"

namespace korvat {

namespace {

constexpr InterfaceEntry kClassFactoryInterfaces[] = {
    {&IID_IClassFactory, &InterfaceOf<ClassFactory, IClassFactory>},
    {nullptr, nullptr},
};

}  // namespace

ClassFactory::ClassFactory(InstanceCreator creator) : m_createInstance(creator) {}

HRESULT ClassFactory::CreateClassObject(InstanceCreator creator, REFIID iid, void** object) {
  ClassFactory* factory = new (std::nothrow) ClassFactory(creator);
  if (factory == nullptr) return E_OUTOFMEMORY;
  HRESULT result = factory->QueryInterface(iid, object);
  if (FAILED(result)) delete factory;
  return result;
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) {
  return QueryInterfaceFromTable(this, kClassFactoryInterfaces, iid, object);
}

ULONG ClassFactory::AddRef() {
  ScopedLock hold(m_cs);
  LONG count = InterlockedIncrement(&m_references);
  // The first reference is the class table's; the second is a client's.
  if (count == 2) g_serverModule.Lock();
  return static_cast<ULONG>(count);
}

ULONG ClassFactory::Release() {
  LONG count;
  {
    ScopedLock hold(m_cs);
    count = InterlockedDecrement(&m_references);
  }
  if (count == 1) {
    g_serverModule.Unlock();
  } else if (count == 0) {
    delete this;
  }
  return static_cast<ULONG>(count);
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  // An aggregated object hands its outer object only its own IUnknown.
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  return m_createInstance(outer, iid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    g_serverModule.Lock();
  } else {
    g_serverModule.Unlock();
  }
  return S_OK;
}

}  // namespace korvat
