#include "core/server_module.h"

#include <cwchar>

namespace korvat {

ServerModule g_serverModule;

void ServerModule::Init(ClassTableEntry* classes, HINSTANCE instance) {
  m_typeLibModule = instance;
  m_classTable = classes;
  m_lockCount = 0;
  m_initialised = true;
}

void ServerModule::Term() {
  if (!m_initialised) return;
  for (ClassTableEntry* entry = m_classTable; entry->clsid != nullptr; ++entry) {
    entry->class_object.Reset();
  }
  m_initialised = false;
}

HRESULT ServerModule::GetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  for (ClassTableEntry* entry = m_classTable; entry != nullptr && entry->clsid != nullptr;
       ++entry) {
    if (entry->create_class_object == nullptr || !IsEqualCLSID(clsid, *entry->clsid)) continue;
    HRESULT result = S_OK;
    if (!entry->class_object) {
      // Checked again under the lock: two threads asking at once get one object.
      ScopedLock hold(m_classObjectLock);
      if (!entry->class_object) {
        result = entry->create_class_object(entry->create_instance, IID_IUnknown,
                                            entry->class_object.PutVoid());
      }
    }
    if (entry->class_object) result = entry->class_object->QueryInterface(iid, object);
    return result;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ServerModule::RegisterServer(BOOL register_type_library) {
  if (m_classTable == nullptr) return E_UNEXPECTED;
  HRESULT result = S_OK;
  for (ClassTableEntry* entry = m_classTable; entry->clsid != nullptr; ++entry) {
    result = entry->update_registry(TRUE);
    if (FAILED(result)) return result;
  }
  if (register_type_library) result = RegisterTypeLibrary();
  return result;
}

HRESULT ServerModule::UnregisterServer(BOOL unregister_type_library) {
  for (ClassTableEntry* entry = m_classTable; entry != nullptr && entry->clsid != nullptr;
       ++entry) {
    entry->update_registry(FALSE);
  }
  if (unregister_type_library) UnregisterTypeLibrary();
  return S_OK;
}

HRESULT ServerModule::LoadTypeLibrary(ITypeLib** library, wchar_t* path) {
  DWORD length = GetModuleFileNameW(m_typeLibModule, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
  // LoadTypeLib finds the module's TYPELIB 1 resource.
  HRESULT result = LoadTypeLib(path, library);
  if (SUCCEEDED(result)) return result;

  // Else a ".tlb" file beside it: the file name's extension replaced. The
  // last dot is the file name's only when no separator follows it.
  wchar_t* dot = std::wcsrchr(path, L'.');
  if (dot != nullptr && std::wcspbrk(dot, L"\\/:") != nullptr) dot = nullptr;
  wchar_t* extension = dot != nullptr ? dot : path + length;
  if (extension + 5 > path + MAX_PATH) return result;
  std::wcscpy(extension, L".tlb");
  return LoadTypeLib(path, library);
}

HRESULT ServerModule::RegisterTypeLibrary() {
  wchar_t path[MAX_PATH] = {};
  ComPtr<ITypeLib> library;
  HRESULT result = LoadTypeLibrary(library.Put(), path);
  if (FAILED(result)) return result;
  // The help directory: the path up to and including its last separator.
  wchar_t help_dir[MAX_PATH] = {};
  size_t help_length = 0;
  for (size_t i = 0; path[i] != L'\0'; ++i) {
    if (path[i] == L'\\' || path[i] == L'/' || path[i] == L':') help_length = i + 1;
  }
  std::wmemcpy(help_dir, path, help_length);
  return RegisterTypeLib(library.Get(), path, help_dir);
}

HRESULT ServerModule::UnregisterTypeLibrary() {
  wchar_t path[MAX_PATH] = {};
  ComPtr<ITypeLib> library;
  HRESULT result = LoadTypeLibrary(library.Put(), path);
  if (FAILED(result)) return result;
  TLIBATTR* attributes = nullptr;
  result = library->GetLibAttr(&attributes);
  if (FAILED(result)) return result;
  result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                             attributes->lcid, attributes->syskind);
  library->ReleaseTLibAttr(attributes);
  return result;
}

}  // namespace korvat
