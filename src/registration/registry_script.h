// RegistryScript: the interpreter of the module's registry scripts (text
// resources of type "REGISTRY"). It replaces the %name% placeholders, then
// writes what the script describes (register pass) or removes it again
// (unregister pass). It reaches the registry only through RegistryKeyStore,
// so this file needs no Windows headers: the module runs it over the Win32
// registry, the native fuzz build over an in-memory tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvat {

// Results are HRESULTs, spelled out here.
using ScriptResult = int32_t;
inline constexpr ScriptResult kScriptOk = 0;
// DISP_E_EXCEPTION: the script is malformed or a key cannot be written.
inline constexpr ScriptResult kScriptSyntaxError = static_cast<ScriptResult>(0x80020009u);
// E_FAIL: a placeholder name too long, or "B" text of odd length.
inline constexpr ScriptResult kScriptFail = static_cast<ScriptResult>(0x80004005u);
// E_OUTOFMEMORY.
inline constexpr ScriptResult kScriptOutOfMemory = static_cast<ScriptResult>(0x8007000Eu);

inline bool ScriptFailed(ScriptResult result) { return result < 0; }

// The registry roots a script may name.
enum class ScriptRoot {
  kClassesRoot,
  kCurrentUser,
  kLocalMachine,
  kUsers,
  kPerformanceData,
  kDynData,
  kCurrentConfig,
};

// Registry value types the scripts write (the Windows numbers).
inline constexpr uint32_t kScriptString = 1;  // REG_SZ
inline constexpr uint32_t kScriptBinary = 3;  // REG_BINARY
inline constexpr uint32_t kScriptDword = 4;   // REG_DWORD

// What the interpreter needs of the registry and of the platform's text
// services. Statuses are Windows status codes: 0 on success.
class RegistryKeyStore {
 public:
  using Key = void*;
  // kReadWrite: enough to read a key, set and delete its values and create
  // its sub-keys (KEY_READ | KEY_WRITE).
  enum class Access { kAll, kReadWrite, kRead };

  virtual ~RegistryKeyStore() = default;

  virtual Key RootKey(ScriptRoot root) = 0;
  virtual long OpenKey(Key parent, const char* name, Access access, Key* key) = 0;
  // Creates (or opens) the sub-key with full access.
  virtual long CreateKey(Key parent, const char* name, Key* key) = 0;
  virtual long CloseKey(Key key) = 0;
  // A null name is the key's default value.
  virtual long SetValue(Key key, const char* name, uint32_t type, const void* data,
                        uint32_t size) = 0;
  virtual long DeleteValue(Key key, const char* name) = 0;
  // Deletes one key that has no sub-keys, never recursively.
  virtual long DeleteKey(Key parent, const char* name) = 0;
  // Deletes the key and all its descendants.
  virtual long DeleteSubTree(Key parent, const char* name) = 0;
  virtual bool HasSubKeys(Key key) = 0;

  // True when `c` opens a double-byte character in the system code page.
  virtual bool IsLeadByte(unsigned char c) = 0;
  // The number that a "D" value's text stands for (0 when it is none).
  virtual uint32_t ParseDword(const char* text) = 0;
};

class RegistryScript {
 public:
  // Placeholder names hold at most this many characters.
  static constexpr size_t kMaxPlaceholderName = 31;
  // A token holds at most this many bytes.
  static constexpr size_t kMaxToken = 4094;
  // Bodies nest at most this deep; deeper scripts are refused.
  static constexpr int kMaxNesting = 32;
  // What one run may hold: past either bound it answers E_OUTOFMEMORY rather
  // than grow. Its strings and lists cannot report a failed allocation, which
  // ends the process, and the bounds keep that far away: the module's scripts
  // take one replacement and come to a few kilobytes.
  static constexpr size_t kMaxReplacements = 64;
  static constexpr size_t kMaxText = 1 << 20;

  explicit RegistryScript(RegistryKeyStore* store);
  RegistryScript(const RegistryScript&) = delete;
  RegistryScript& operator=(const RegistryScript&) = delete;

  // Adds a placeholder replacement; names compare without regard to case and
  // the first match wins. E_OUTOFMEMORY past kMaxReplacements.
  ScriptResult AddReplacement(const char* name, const char* value);
  // Runs the zero-terminated script in the register pass (true) or the
  // unregister pass (false). A root block that fails to register is rolled
  // back by its unregister pass; earlier blocks stay written.
  ScriptResult Run(const char* script, bool do_register);

 private:
  enum class Pass { kRegister, kUnregister, kSkip };
  // Zero-terminated texts.
  struct Replacement {
    std::vector<char> name;
    std::vector<char> value;
  };

  ScriptResult ReplacePlaceholders(const char* script, std::vector<char>* text);
  const std::vector<char>* FindReplacement(const char* name) const;

  size_t CharLength(const char* at) const;
  void SkipWhiteSpace();
  bool AppendToToken(size_t* length);
  ScriptResult NextToken();
  bool TokenIs(const char* text) const;

  ScriptResult RunBody(RegistryKeyStore::Key parent, Pass pass, int depth);
  ScriptResult RunItem(RegistryKeyStore::Key parent, Pass pass, int depth);
  ScriptResult RunValueItem(RegistryKeyStore::Key parent, Pass pass);
  ScriptResult RegisterKeyItem(RegistryKeyStore::Key parent, const char* name, bool delete_first,
                               bool delete_only, int depth);
  ScriptResult UnregisterKeyItem(RegistryKeyStore::Key parent, const char* name, bool protect,
                                 bool has_body, int depth);
  ScriptResult SkipKeyRest(bool has_body, int depth);
  ScriptResult ReadAssignment(RegistryKeyStore::Key key, const char* value_name, Pass pass);

  RegistryKeyStore* m_store;
  std::vector<Replacement> m_replacements;
  const char* m_pos = nullptr;
  char m_token[kMaxToken + 2];
};

}  // namespace korvat
