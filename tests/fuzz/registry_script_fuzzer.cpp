// Whole registry scripts through both passes of the interpreter, over an
// in-memory registry that already holds a class key and a read-only key.
// Every key the interpreter opens must be closed again.
#include <cstdlib>
#include <string>

#include "memory_key_store.h"
#include "registration/registry_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The interpreter works on a zero-terminated copy, as the module does.
  const std::string text(reinterpret_cast<const char*>(data), size);
  MemoryKeyStore store;
  store.Add(ScriptRoot::kClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}");
  store.Add(ScriptRoot::kCurrentUser, "Software\\Locked", true);
  store.Add(ScriptRoot::kCurrentUser, "Software\\Locked\\Kept");
  for (bool do_register : {true, false, false}) {
    RegistryScript script(&store);
    script.AddReplacement("Module", "C:\\Program Files\\It''s\\Korvat.dll");
    script.AddReplacement("Empty", "");
    script.Run(text.c_str(), do_register);
    if (store.open_handles() != 0) std::abort();
  }
  return 0;
}
