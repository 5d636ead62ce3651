// ClassFactory: the class object that hands out instances of one class.
// The reference that the class table caches does not keep the module
// loaded; every reference a client holds does.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "core/server_module.h"
#include "platform/scoped_lock.h"

namespace korvat {

class ClassFactory final : public IClassFactory {
 public:
  // The class-object creator of the class table: a new ClassFactory for
  // `creator`, queried for `iid`.
  static HRESULT CreateClassObject(InstanceCreator creator, REFIID iid, void** object);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IClassFactory
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  explicit ClassFactory(InstanceCreator creator);
  ~ClassFactory() = default;
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  volatile LONG m_references = 0;
  InstanceCreator m_createInstance;
  CriticalSection m_cs;
};

}  // namespace korvat
