// Registry scripts through both passes, over a store holding a class key and
// a read-only key: every key opened is closed again. Over an empty store, a
// register and an unregister pass leave no named value (only default values
// of keys that stay), and nothing at all without NoRemove.
#include <algorithm>
#include <string>

#include "fuzz_support.h"
#include "memory_key_store.h"
#include "registration/registry_script.h"

using namespace korvat;

namespace {

// The module's path as long as a path may be (259 characters), its quote
// doubled: a script of a few hundred bytes reaches the token limit.
const std::string kModule = "C:\\It''s\\" + std::string(240, 'x') + "\\Korvat.dll";

ScriptResult Run(MemoryKeyStore* store, const std::string& text, bool do_register) {
  RegistryScript script(store);
  script.AddReplacement("Module", kModule.c_str());
  script.AddReplacement("Empty", "");
  ScriptResult result = script.Run(text.c_str(), do_register);
  Check(store->open_handles() == 0);
  return result;
}

// A register pass that succeeded leaves a script that the unregister pass
// reads through as well.
void CheckBothPasses(const std::string& text, bool protects) {
  MemoryKeyStore store;
  if (ScriptFailed(Run(&store, text, true))) return;
  Check(!ScriptFailed(Run(&store, text, false)));
  Check(store.Holds(protects));
}

// `text` without a NoRemove keyword anywhere: every "%" (a placeholder could
// join one up) and every "NoRemove", in any letter case, taken out.
std::string WithoutNoRemove(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '%'), text.end());
  for (;;) {
    std::string upper = text;
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    const size_t at = upper.find("NOREMOVE");
    if (at == std::string::npos) return text;
    text.erase(at, 8);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The interpreter works on a zero-terminated copy, as the module does.
  const std::string text(reinterpret_cast<const char*>(data), size);
  MemoryKeyStore store;
  store.Add(ScriptRoot::kClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}");
  store.Add(ScriptRoot::kCurrentUser, "Software\\Locked", true);
  store.Add(ScriptRoot::kCurrentUser, "Software\\Locked\\Kept");
  for (bool do_register : {true, false, false}) Run(&store, text, do_register);

  const std::string script = text.c_str(), unprotected = WithoutNoRemove(script);
  if (unprotected != script) CheckBothPasses(script, true);
  CheckBothPasses(unprotected, false);
  return 0;
}
