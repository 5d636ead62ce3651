// RegKeyHandle: an owning holder of one open registry key, with the family's
// verbs (Get, Put, Reset, Release). Every operation returns the Windows status
// code of the call that decided its outcome. A key that someone else owns is
// held with Reset or the constructor and let go with Release.
#pragma once

#include <windows.h>

#include "platform/scoped_handle.h"

namespace korvat {

class RegKeyHandle : public ScopedRegKey {
 public:
  using UniqueHandle::UniqueHandle;

  // Opens `sub_key`; on failure the held key stays held and usable.
  LONG Open(HKEY parent, const char* sub_key, REGSAM access);
  // Creates or opens `sub_key` with RegCreateKeyExA; on failure the held key
  // stays held.
  LONG Create(HKEY parent, const char* sub_key, char* key_class = nullptr,
              DWORD options = REG_OPTION_NON_VOLATILE, REGSAM access = KEY_READ | KEY_WRITE,
              SECURITY_ATTRIBUTES* security = nullptr, DWORD* disposition = nullptr);
  LONG Close();

  // REG_SZ with its terminating zero counted; a null name is the default value.
  LONG SetString(const char* data, const char* value_name);
  // The same in `sub_key` (created or opened with KEY_ALL_ACCESS, closed again).
  LONG SetSubKeyString(const char* sub_key, const char* data, const char* value_name);
  // Deletes `sub_key` with all its descendants, leaves first.
  LONG DeleteSubTree(const char* sub_key);

 private:
  // Holds `key` in place of the held one; the status of closing that one.
  LONG Replace(HKEY key);
};

}  // namespace korvat
