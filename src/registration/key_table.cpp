#include "registration/key_table.h"

#include <cstring>

#include "platform/reg_key_handle.h"
#include "registration/registry_ops.h"

namespace korvat {

namespace {

// Expanded key paths, names and data: a module path of at most 259
// characters with a sibling's file name, or an identifier under a long key.
constexpr size_t kKeyTextSize = 1024;

bool Append(const char* text, size_t length, char* out, size_t out_size, size_t* used) {
  if (length >= out_size - *used) return false;
  std::memcpy(out + *used, text, length);
  *used += length;
  out[*used] = '\0';
  return true;
}

// Copies `pattern` into `out` with its fields filled in. False (and `out`
// empty) when a field has no text or the result does not fit.
bool ExpandKeyText(const char* pattern, const KeyTableFields& fields, char* out, size_t out_size) {
  if (out_size == 0) return false;
  out[0] = '\0';
  size_t used = 0;
  for (const char* at = pattern; *at != '\0';) {
    if (at[0] == '$' && at[1] >= 'A' && at[1] <= 'Z') {
      const char* text = fields.Get(at[1]);
      if (text == nullptr || !Append(text, std::strlen(text), out, out_size, &used)) {
        out[0] = '\0';
        return false;
      }
      at += 2;
      continue;
    }
    const char* next = std::strchr(at + 1, '$');
    size_t length = next != nullptr ? static_cast<size_t>(next - at) : std::strlen(at);
    if (!Append(at, length, out, out_size, &used)) {
      out[0] = '\0';
      return false;
    }
    at += length;
  }
  return true;
}

// A text of a row, expanded into `out`; a null pattern stays null.
bool ExpandOptional(const char* pattern, const KeyTableFields& fields, char* out,
                    const char** result) {
  if (pattern == nullptr) {
    *result = nullptr;
    return true;
  }
  *result = out;
  return ExpandKeyText(pattern, fields, out, kKeyTextSize);
}

LONG SetValue(RegKeyHandle& key, const KeyValueRow& row, const char* sub_key,
              const char* value_name, const char* text) {
  if (row.type == REG_DWORD) {
    // Numbers sit in the key itself.
    if (sub_key != nullptr) return ERROR_INVALID_PARAMETER;
    return RegSetValueExA(key.Get(), value_name, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&row.number), sizeof(row.number));
  }
  if (text == nullptr) return ERROR_INVALID_PARAMETER;
  if (sub_key != nullptr) return key.SetSubKeyString(sub_key, text, value_name);
  return key.SetString(text, value_name);
}

}  // namespace

void WriteUserKeys(const KeyValueRow* rows, size_t count, const KeyTableFields& fields) {
  RegKeyHandle key;
  bool key_usable = false;
  char key_path[kKeyTextSize];
  char previous_path[kKeyTextSize] = {};
  for (size_t i = 0; i < count; ++i) {
    const KeyValueRow& row = rows[i];
    if (!ExpandKeyText(row.key, fields, key_path, sizeof(key_path))) {
      key.Close();
      key_usable = false;
      previous_path[0] = '\0';
      continue;
    }
    if (i == 0 || std::strcmp(key_path, previous_path) != 0) {
      key.Close();
      key_usable = key.Create(HKEY_CURRENT_USER, key_path, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS) == ERROR_SUCCESS;
      std::memcpy(previous_path, key_path, sizeof(key_path));
    }
    if (!key_usable) continue;

    char sub_key_text[kKeyTextSize], name_text[kKeyTextSize], data_text[kKeyTextSize];
    const char *sub_key, *value_name, *text;
    if (!ExpandOptional(row.sub_key, fields, sub_key_text, &sub_key) ||
        !ExpandOptional(row.value_name, fields, name_text, &value_name) ||
        !ExpandOptional(row.text, fields, data_text, &text)) {
      continue;
    }
    // A value that cannot be written is skipped; the rest still are.
    SetValue(key, row, sub_key, value_name, text);
  }
}

void RemoveUserKeys(const KeyRemovalRow* rows, size_t count, const KeyTableFields& fields) {
  for (size_t i = 0; i < count; ++i) {
    char parent_key[kKeyTextSize], section_key[kKeyTextSize];
    if (!ExpandKeyText(rows[i].parent_key, fields, parent_key, sizeof(parent_key)) ||
        !ExpandKeyText(rows[i].section_key, fields, section_key, sizeof(section_key))) {
      continue;
    }
    UnRegisterUserKey(parent_key, section_key);
  }
}

}  // namespace korvat
