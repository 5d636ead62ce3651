// Whole registry scripts through both passes of the interpreter, over an
// in-memory registry that already holds a class key and a read-only key.
// Every key the interpreter opens must be closed again.
#include <cstdlib>
#include <string>

#include "memory_key_store.h"
#include "registration/registry_script.h"

namespace {

void RunPass(MemoryKeyStore* store, const std::string& text, bool do_register) {
  RegistryScript script(store);
  script.AddReplacement("Module", "C:\\Program Files\\It''s\\Korvat.dll");
  script.AddReplacement("Empty", "");
  script.Run(text.c_str(), do_register);
  if (store->open_handles() != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The interpreter works on a zero-terminated copy, as the module does.
  std::string text(reinterpret_cast<const char*>(data), size);
  MemoryKeyStore store;
  store.Add(ScriptRoot::kClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}");
  store.Add(ScriptRoot::kCurrentUser, "Software\\Locked", true);
  store.Add(ScriptRoot::kCurrentUser, "Software\\Locked\\Kept");
  RunPass(&store, text, true);
  RunPass(&store, text, false);
  RunPass(&store, text, false);
  return 0;
}
