#include "core/interface_table.h"

namespace korvat {

HRESULT QueryInterfaceFromTable(void* object, const InterfaceEntry* table, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const InterfaceEntry* match = nullptr;
  if (IsEqualIID(iid, IID_IUnknown)) {
    match = table;
  } else {
    for (const InterfaceEntry* entry = table; entry->iid != nullptr; ++entry) {
      if (IsEqualIID(iid, *entry->iid)) {
        match = entry;
        break;
      }
    }
  }
  if (match == nullptr || match->iid == nullptr) return E_NOINTERFACE;
  IUnknown* found = match->cast(object);
  found->AddRef();
  *out = found;
  return S_OK;
}

}  // namespace korvat
