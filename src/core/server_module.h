// The in-process COM server: the module-wide server state, its class table
// and the lock count that decides whether the module may be unloaded.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "platform/com_ptr.h"
#include "platform/scoped_lock.h"

namespace korvat {

// Creates an object, aggregated when `outer` is given.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);
// Creates the class object that serves an instance creator.
using ClassObjectCreator = HRESULT (*)(InstanceCreator creator, REFIID iid, void** object);

// One creatable class; the table ends with an all-zero entry.
struct ClassTableEntry {
  const CLSID* clsid;
  HRESULT (*update_registry)(BOOL do_register);
  ClassObjectCreator create_class_object;
  InstanceCreator create_instance;
  ComPtr<IUnknown> class_object;  // created on first request, released at termination
};

// The module's one creatable class, KorvatExec.
extern ClassTableEntry g_classTable[];

// Zero-initialised before the module's entry point runs; its lock is built
// with the module's other objects.
class ServerModule {
 public:
  // At process attach: the type library comes from the module's own file.
  void Init(ClassTableEntry* classes, HINSTANCE instance);
  // At process detach: the cached class objects are released.
  void Term();

  LONG Lock() { return InterlockedIncrement(&m_lockCount); }
  LONG Unlock() { return InterlockedDecrement(&m_lockCount); }
  LONG LockCount() const { return m_lockCount; }

  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);
  HRESULT RegisterServer(BOOL register_type_library);
  HRESULT UnregisterServer(BOOL unregister_type_library);

  // The file the type library is loaded from.
  HINSTANCE m_typeLibModule;
  ClassTableEntry* m_classTable;

 private:
  HRESULT RegisterTypeLibrary();
  HRESULT UnregisterTypeLibrary();
  // Loads the type library from the type-library instance's file or, failing
  // that, from the file of the same name with the extension ".tlb". `path`
  // (MAX_PATH characters) receives the file it came from.
  HRESULT LoadTypeLibrary(ITypeLib** library, wchar_t* path);

  volatile LONG m_lockCount;
  CriticalSection m_classObjectLock;
  bool m_initialised;
};

extern ServerModule g_serverModule;

}  // namespace korvat
