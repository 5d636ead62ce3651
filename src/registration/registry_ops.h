// Fire-and-forget registry writes and single-key deletes under the machine
// and current user's hives (machine first), and the Windows XP test.
#pragma once

#include <windows.h>

namespace korvat {

// Deletes `section_key` below `parent_key` in HKLM and then HKCU with one
// RegDeleteKeyA each (never recursive); writes one trace line first.
void UnRegisterKey(const char* parent_key, const char* section_key);
// The same under HKCU only.
void UnRegisterUserKey(const char* parent_key, const char* section_key);
// Creates `key_path` in HKLM and then HKCU and sets `value_name` (null: the
// default value) to `data` as REG_SZ; nothing when `data` is null.
void SetRegString(const char* key_path, const char* value_name, const char* data);
// The same under HKCU only; nothing when `value_name` or `data` is null.
void SetUserRegString(const char* key_path, const char* value_name, const char* data);
// True when Windows reports version 5.1.
bool IsWindowsXP();

}  // namespace korvat
