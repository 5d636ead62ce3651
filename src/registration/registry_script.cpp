#include "registration/registry_script.h"

#include <algorithm>
#include <cstring>

#include "platform/ansi_text.h"
#include "platform/unique_handle.h"

namespace korvat {

namespace {

using Key = RegistryKeyStore::Key;

struct RootName {
  const char* name;
  ScriptRoot root;
};

// First match wins.
constexpr RootName kRootNames[] = {
    {"HKCR", ScriptRoot::kClassesRoot},
    {"HKCU", ScriptRoot::kCurrentUser},
    {"HKLM", ScriptRoot::kLocalMachine},
    {"HKU", ScriptRoot::kUsers},
    {"HKPD", ScriptRoot::kPerformanceData},
    {"HKDD", ScriptRoot::kDynData},
    {"HKCC", ScriptRoot::kCurrentConfig},
    {"HKEY_CLASSES_ROOT", ScriptRoot::kClassesRoot},
    {"HKEY_CURRENT_USER", ScriptRoot::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", ScriptRoot::kLocalMachine},
    {"HKEY_USERS", ScriptRoot::kUsers},
    {"HKEY_PERFORMANCE_DATA", ScriptRoot::kPerformanceData},
    {"HKEY_DYN_DATA", ScriptRoot::kDynData},
    {"HKEY_CURRENT_CONFIG", ScriptRoot::kCurrentConfig},
};

// Keys that ForceRemove and Delete never delete: they hold other servers'
// registrations.
constexpr const char* kKeptNames[] = {"CLSID", "TYPELIB"};

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsKeptName(const char* name) {
  for (const char* kept : kKeptNames) {
    if (EqualsNoCase(name, kept)) return true;
  }
  return false;
}

// Any character that is not a hex digit counts as 0.
unsigned char HexDigit(char c) {
  const int value = HexDigitValue(c);
  return static_cast<unsigned char>(value < 0 ? 0 : value);
}

// An open key of the store, closed by its store at the end of its scope.
struct StoreKeyTraits {
  using Handle = Key;
  static constexpr Key Invalid() { return nullptr; }
  static bool IsValid(Key key) { return key != nullptr; }
  void Close(Key key) { store->CloseKey(key); }
  RegistryKeyStore* store = nullptr;
};
using ScopedStoreKey = UniqueHandle<StoreKeyTraits>;

}  // namespace

RegistryScript::RegistryScript(RegistryKeyStore* store) : m_store(store) { m_token[0] = '\0'; }

ScriptResult RegistryScript::AddReplacement(const char* name, const char* value) {
  if (m_replacements.size() == kMaxReplacements) return kScriptOutOfMemory;
  m_replacements.push_back(
      {{name, name + std::strlen(name) + 1}, {value, value + std::strlen(value) + 1}});
  return kScriptOk;
}

const std::vector<char>* RegistryScript::FindReplacement(const char* name) const {
  for (const Replacement& replacement : m_replacements) {
    if (EqualsNoCase(replacement.name.data(), name)) return &replacement.value;
  }
  return nullptr;
}

size_t RegistryScript::CharLength(const char* at) const {
  return m_store->IsLeadByte(static_cast<unsigned char>(*at)) && at[1] != '\0' ? 2 : 1;
}

// Into `text`, zero-terminated. It starts with room for twice the script and
// doubles whenever it is full.
ScriptResult RegistryScript::ReplacePlaceholders(const char* script, std::vector<char>* text) {
  text->reserve(std::min(2 * std::strlen(script), kMaxText) + 1);
  for (const char* at = script; *at != '\0';) {
    const char* piece = at;
    size_t length = CharLength(at);
    at += length;
    if (*piece == '%' && *at == '%') {
      ++at;  // "%%" stands for one "%"
    } else if (*piece == '%') {
      const char* name = at;
      while (*at != '\0' && *at != '%') at += CharLength(at);
      if (*at == '\0') return kScriptSyntaxError;
      size_t name_length = static_cast<size_t>(at - name);
      if (name_length > kMaxPlaceholderName) return kScriptFail;
      char key[kMaxPlaceholderName + 1];
      std::memcpy(key, name, name_length);
      key[name_length] = '\0';
      const std::vector<char>* value = FindReplacement(key);
      if (value == nullptr) return kScriptSyntaxError;
      piece = value->data();
      length = value->size() - 1;
      ++at;
    }
    if (length > kMaxText - text->size()) return kScriptOutOfMemory;
    text->insert(text->end(), piece, piece + length);
  }
  text->push_back('\0');
  return kScriptOk;
}

void RegistryScript::SkipWhiteSpace() {
  while (IsWhiteSpace(*m_pos)) ++m_pos;
}

bool RegistryScript::AppendToToken(size_t* length) {
  size_t char_length = CharLength(m_pos);
  if (*length + char_length > kMaxToken) return false;
  std::memcpy(m_token + *length, m_pos, char_length);
  *length += char_length;
  m_pos += char_length;
  return true;
}

ScriptResult RegistryScript::NextToken() {
  SkipWhiteSpace();
  if (*m_pos == '\0') return kScriptSyntaxError;  // the text ends where a token belongs
  size_t length = 0;
  if (*m_pos == '\'') {
    ++m_pos;
    for (;;) {
      if (*m_pos == '\0') return kScriptSyntaxError;
      if (*m_pos == '\'') {
        if (m_pos[1] != '\'') {
          ++m_pos;
          break;
        }
        ++m_pos;  // a doubled quote stands for one
      }
      if (!AppendToToken(&length)) return kScriptSyntaxError;
    }
  } else {
    while (*m_pos != '\0' && !IsWhiteSpace(*m_pos)) {
      if (!AppendToToken(&length)) return kScriptSyntaxError;
    }
  }
  m_token[length] = '\0';
  return kScriptOk;
}

bool RegistryScript::TokenIs(const char* text) const { return EqualsNoCase(m_token, text); }

ScriptResult RegistryScript::Run(const char* script, bool do_register) {
  std::vector<char> replaced;
  ScriptResult result = ReplacePlaceholders(script, &replaced);
  if (ScriptFailed(result)) return result;

  m_pos = replaced.data();
  for (;;) {
    SkipWhiteSpace();
    if (*m_pos == '\0') break;
    result = NextToken();
    if (ScriptFailed(result)) break;
    const RootName* root = nullptr;
    for (const RootName& entry : kRootNames) {
      if (TokenIs(entry.name)) {
        root = &entry;
        break;
      }
    }
    if (root == nullptr || ScriptFailed(NextToken()) || m_token[0] != '{') {
      result = kScriptSyntaxError;
      break;
    }
    const char* block = m_pos;
    Key root_key = m_store->RootKey(root->root);
    result = RunBody(root_key, do_register ? Pass::kRegister : Pass::kUnregister, 1);
    if (ScriptFailed(result)) {
      if (do_register) {
        // Roll the failing block back; blocks before it stay written.
        m_pos = block;
        RunBody(root_key, Pass::kUnregister, 1);
      }
      break;
    }
  }
  m_pos = nullptr;
  return result;
}

ScriptResult RegistryScript::RunBody(Key parent, Pass pass, int depth) {
  if (depth > kMaxNesting) return kScriptSyntaxError;
  ScriptResult result = NextToken();
  while (!ScriptFailed(result)) {
    if (TokenIs("}")) return kScriptOk;
    result = RunItem(parent, pass, depth);
  }
  return result;
}

// Leaves the token that follows the item in m_token.
ScriptResult RegistryScript::RunItem(Key parent, Pass pass, int depth) {
  // A body belongs after a key; one anywhere else (after a value or a
  // Delete item) is refused rather than applied to some other key.
  if (TokenIs("{")) return kScriptSyntaxError;
  if (TokenIs("Val")) return RunValueItem(parent, pass);

  bool force_remove = TokenIs("ForceRemove");
  bool delete_key = !force_remove && TokenIs("Delete");
  ScriptResult result = kScriptOk;
  if (force_remove || delete_key) result = NextToken();
  bool no_remove = !ScriptFailed(result) && TokenIs("NoRemove");
  if (no_remove) result = NextToken();
  if (ScriptFailed(result)) return result;

  // A key name is one path component. An empty one would name the parent
  // itself, and ForceRemove would then empty the parent.
  if (m_token[0] == '\0') return kScriptSyntaxError;
  for (const char* at = m_token; *at != '\0'; at += CharLength(at)) {
    if (*at == '\\') return kScriptSyntaxError;
  }
  char name[kMaxToken + 2];
  std::strcpy(name, m_token);

  switch (pass) {
    case Pass::kRegister:
      return RegisterKeyItem(parent, name, force_remove || delete_key, delete_key, depth);
    case Pass::kUnregister:
      return UnregisterKeyItem(parent, name, no_remove, !delete_key, depth);
    case Pass::kSkip:
      break;
  }
  return SkipKeyRest(!delete_key, depth);
}

ScriptResult RegistryScript::RunValueItem(Key parent, Pass pass) {
  ScriptResult result = NextToken();
  if (ScriptFailed(result)) return result;
  char name[kMaxToken + 2];
  std::strcpy(name, m_token);
  result = NextToken();
  if (ScriptFailed(result)) return result;
  if (!TokenIs("=")) return kScriptSyntaxError;
  result = ReadAssignment(parent, name, pass);
  if (ScriptFailed(result)) return result;
  if (pass == Pass::kUnregister) m_store->DeleteValue(parent, name);
  return NextToken();
}

// Reads a type letter and a value text; the register pass stores them as
// `value_name` of `key` (a failed store is not reported).
ScriptResult RegistryScript::ReadAssignment(Key key, const char* value_name, Pass pass) {
  ScriptResult result = NextToken();
  if (ScriptFailed(result)) return result;
  char type = FoldCase(m_token[0]);
  if (m_token[1] != '\0' || (type != 'S' && type != 'D' && type != 'B')) {
    return kScriptSyntaxError;
  }
  result = NextToken();
  if (ScriptFailed(result) || pass != Pass::kRegister) return result;

  if (type == 'S') {
    m_store->SetValue(key, value_name, kScriptString, m_token,
                      static_cast<uint32_t>(std::strlen(m_token) + 1));
  } else if (type == 'D') {
    uint32_t number = m_store->ParseDword(m_token);
    m_store->SetValue(key, value_name, kScriptDword, &number, sizeof(number));
  } else {
    size_t length = std::strlen(m_token);
    if (length % 2 != 0) return kScriptFail;
    // Pairs of hex digits, high half first, packed in place.
    unsigned char* bytes = reinterpret_cast<unsigned char*>(m_token);
    for (size_t i = 0; i < length / 2; ++i) {
      bytes[i] =
          static_cast<unsigned char>(HexDigit(m_token[2 * i]) << 4 | HexDigit(m_token[2 * i + 1]));
    }
    m_store->SetValue(key, value_name, kScriptBinary, bytes, static_cast<uint32_t>(length / 2));
  }
  return kScriptOk;
}

// Reads past the rest of a key item (its assignment and, where the item may
// have one, its body) without changing anything.
ScriptResult RegistryScript::SkipKeyRest(bool has_body, int depth) {
  ScriptResult result = NextToken();
  if (!ScriptFailed(result) && TokenIs("=")) {
    result = ReadAssignment(nullptr, nullptr, Pass::kSkip);
    if (!ScriptFailed(result)) result = NextToken();
  }
  if (!ScriptFailed(result) && has_body && TokenIs("{")) {
    result = RunBody(nullptr, Pass::kSkip, depth + 1);
    if (!ScriptFailed(result)) result = NextToken();
  }
  return result;
}

ScriptResult RegistryScript::RegisterKeyItem(Key parent, const char* name, bool delete_first,
                                             bool delete_only, int depth) {
  if (delete_first && !IsKeptName(name)) m_store->DeleteSubTree(parent, name);
  if (delete_only) return SkipKeyRest(false, depth);

  // A key the user may only read is used as it is: its values are then not
  // stored, and its missing sub-keys fail the run.
  Key opened = nullptr;
  if (m_store->OpenKey(parent, name, RegistryKeyStore::Access::kAll, &opened) != 0 &&
      m_store->OpenKey(parent, name, RegistryKeyStore::Access::kRead, &opened) != 0 &&
      m_store->CreateKey(parent, name, &opened) != 0) {
    return kScriptSyntaxError;
  }
  ScopedStoreKey key(opened, StoreKeyTraits{m_store});
  ScriptResult result = NextToken();
  if (!ScriptFailed(result) && TokenIs("=")) {
    result = ReadAssignment(key.Get(), nullptr, Pass::kRegister);
    if (!ScriptFailed(result)) result = NextToken();
  }
  if (!ScriptFailed(result) && TokenIs("{")) {
    result = RunBody(key.Get(), Pass::kRegister, depth + 1);
    if (!ScriptFailed(result)) result = NextToken();
  }
  return result;
}

ScriptResult RegistryScript::UnregisterKeyItem(Key parent, const char* name, bool protect,
                                               bool has_body, int depth) {
  // Opened for removing the values it holds; a key the user may only read is
  // still walked, and keeps what it holds.
  Key opened = nullptr;
  if (m_store->OpenKey(parent, name, RegistryKeyStore::Access::kReadWrite, &opened) != 0 &&
      m_store->OpenKey(parent, name, RegistryKeyStore::Access::kRead, &opened) != 0) {
    // Already gone: nothing below it is touched.
    return SkipKeyRest(has_body, depth);
  }
  ScopedStoreKey key(opened, StoreKeyTraits{m_store});
  ScriptResult result = NextToken();
  if (!ScriptFailed(result) && TokenIs("=")) {
    result = ReadAssignment(nullptr, nullptr, Pass::kSkip);
    if (!ScriptFailed(result)) result = NextToken();
  }
  if (!ScriptFailed(result) && has_body && TokenIs("{")) {
    result = RunBody(key.Get(), Pass::kUnregister, depth + 1);
    if (!ScriptFailed(result)) result = NextToken();
  }
  if (ScriptFailed(result)) return result;

  // A key that still holds sub-keys (someone else's, or protected ones)
  // stays with all it holds; deleting takes its values with it.
  if (protect || m_store->HasSubKeys(key.Get())) return kScriptOk;
  if (m_store->CloseKey(key.Release()) != 0) return kScriptSyntaxError;
  m_store->DeleteKey(parent, name);
  return kScriptOk;
}

}  // namespace korvat
