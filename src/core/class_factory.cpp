#include "core/class_factory.h"

#include <new>

#include "core/interface_table.h"

namespace {

constexpr InterfaceEntry kClassFactoryInterfaces[] = {
    {&IID_IClassFactory, &InterfaceOf<ClassFactory, IClassFactory>},
    {nullptr, nullptr},
};

}  // namespace

ClassFactory::ClassFactory(InstanceCreator creator) : m_pfnCreateInstance(creator) {}

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
  LONG count = InterlockedIncrement(&m_cRef);
  // The first reference is the class table's; the second is a client's.
  if (count == 2) g_ServerModule.Lock();
  return static_cast<ULONG>(count);
}

ULONG ClassFactory::Release() {
  LONG count;
  {
    ScopedLock hold(m_cs);
    count = InterlockedDecrement(&m_cRef);
  }
  if (count == 1) {
    g_ServerModule.Unlock();
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
  return m_pfnCreateInstance(outer, iid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    g_ServerModule.Lock();
  } else {
    g_ServerModule.Unlock();
  }
  return S_OK;
}
