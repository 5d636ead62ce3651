// The Windows handle kinds, each closed at the end of its scope by its own call.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace korvat {

// Kernel calls answer failure with null or with INVALID_HANDLE_VALUE.
template <auto Closer>
struct KernelHandleTraits : NullHandleTraits<HANDLE, Closer> {
  static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
};

using ScopedHandle = UniqueHandle<KernelHandleTraits<CloseHandle>>;
using ScopedFindHandle = UniqueHandle<KernelHandleTraits<FindClose>>;
// A library loaded for the length of one operation and freed at its end.
using ScopedLibrary = UniqueHandle<NullHandleTraits<HMODULE, FreeLibrary>>;
// A bare registry key; RegKeyHandle adds the module's operations on one.
using ScopedRegKey = UniqueHandle<NullHandleTraits<HKEY, RegCloseKey>>;

}  // namespace korvat
