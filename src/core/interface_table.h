// Table-driven QueryInterface: each object answers from a fixed table of
// (interface identifier, way to that interface within the object) pairs,
// ended by an entry with a null identifier. The first pair also answers
// IUnknown.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace korvat {

struct InterfaceEntry {
  const IID* iid;
  IUnknown* (*cast)(void* object);
};

// The entry's way from an object of class T to its interface I.
template <class T, class I>
IUnknown* InterfaceOf(void* object) {
  return static_cast<I*>(static_cast<T*>(object));
}

// `object` points to the class whose table this is. Hands out the interface
// with one reference; E_POINTER for a null `out`, E_NOINTERFACE when the
// table has no such interface.
HRESULT QueryInterfaceFromTable(void* object, const InterfaceEntry* table, REFIID iid, void** out);

}  // namespace korvat
