// Key trees kept as tables: the registration writers describe what they
// write and what they remove as rows, and the two walkers below do the work
// under HKEY_CURRENT_USER. Texts in a row may hold fields, "$" and a capital
// letter, filled in from a KeyTableFields when the row is walked, so that one
// table serves every class of the same shape.
#pragma once

#include <windows.h>

#include <cstddef>

namespace korvat {

// The texts that stand for "$A" to "$Z" in the rows of one walk.
class KeyTableFields {
 public:
  void Set(char letter, const char* text) {
    if (letter >= 'A' && letter <= 'Z') m_texts[letter - 'A'] = text;
  }
  const char* Get(char letter) const {
    return letter >= 'A' && letter <= 'Z' ? m_texts[letter - 'A'] : nullptr;
  }

 private:
  const char* m_texts[26] = {};
};

// One value written below HKEY_CURRENT_USER. Rows of one key stand together:
// the walker creates or opens `key` with KEY_ALL_ACCESS once for them, and
// skips them all when it cannot.
struct KeyValueRow {
  const char* key;
  const char* sub_key;     // null: the value sits in `key` itself
  const char* value_name;  // null: the default value
  DWORD type;              // REG_SZ or REG_DWORD
  const char* text;        // REG_SZ data
  DWORD number;            // REG_DWORD data, written in `key` itself
};

// One single-key delete: `section_key` below `parent_key`.
struct KeyRemovalRow {
  const char* parent_key;
  const char* section_key;
};

void WriteUserKeys(const KeyValueRow* rows, size_t count, const KeyTableFields& fields);

// Deletes each row's key with UnRegisterUserKey, in table order, so the
// tables list children before their parents. A row whose texts cannot be
// filled in is skipped.
void RemoveUserKeys(const KeyRemovalRow* rows, size_t count, const KeyTableFields& fields);

template <size_t N>
void WriteUserKeys(const KeyValueRow (&rows)[N], const KeyTableFields& fields) {
  WriteUserKeys(rows, N, fields);
}

template <size_t N>
void RemoveUserKeys(const KeyRemovalRow (&rows)[N], const KeyTableFields& fields) {
  RemoveUserKeys(rows, N, fields);
}

}  // namespace korvat
