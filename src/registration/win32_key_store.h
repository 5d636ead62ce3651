// The registry script interpreter's key store over the Win32 registry.
#pragma once

#include <windows.h>

#include "registration/registry_script.h"

namespace korvat {

class Win32KeyStore final : public RegistryKeyStore {
 public:
  Key RootKey(ScriptRoot root) override;
  long OpenKey(Key parent, const char* name, Access access, Key* key) override;
  long CreateKey(Key parent, const char* name, Key* key) override;
  long CloseKey(Key key) override;
  long SetValue(Key key, const char* name, uint32_t type, const void* data, uint32_t size) override;
  long DeleteValue(Key key, const char* name) override;
  long DeleteKey(Key parent, const char* name) override;
  long DeleteSubTree(Key parent, const char* name) override;
  bool HasSubKeys(Key key) override;
  bool IsLeadByte(unsigned char c) override;
  // VarUI4FromStr with locale 0 and no flags; 0 when the text is no number.
  uint32_t ParseDword(const char* text) override;
};

}  // namespace korvat
