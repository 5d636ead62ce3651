// Exports of a loaded library as typed function pointers.
#pragma once

#include <windows.h>

namespace korvat {

// The cast goes through void* so that the compiler accepts any signature the
// caller names for the export.
template <typename Fn>
Fn ProcAs(FARPROC proc) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

// Null when the module is null or lacks the export.
template <typename Fn>
Fn GetProcAs(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return ProcAs<Fn>(GetProcAddress(module, name));
}

}  // namespace korvat
