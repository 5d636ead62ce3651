#include "settings/settings_key.h"

#include <cstring>

#include "platform/ansi_text.h"
#include "platform/reg_key_handle.h"

namespace korvat {

LONG QuerySettingString(HKEY key, const char* value_name, char* buffer, DWORD size) {
  std::memset(buffer, 0, size);
  DWORD data_size = size;
  LONG status = RegQueryValueExA(key, value_name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                 &data_size);
  if (status == ERROR_SUCCESS && data_size == size && buffer[size - 1] != '\0') {
    // Fills the buffer without room for a terminating zero: too long.
    status = ERROR_MORE_DATA;
  }
  if (status != ERROR_SUCCESS) std::memset(buffer, 0, size);
  return status;
}

LONG ReadSettingString(HKEY root, const char* value_name, char* buffer, DWORD size) {
  std::memset(buffer, 0, size);
  RegKeyHandle key;
  LONG status = key.Open(root, kSettingsKey, kSettingsRead);
  if (status != ERROR_SUCCESS) return status;
  return QuerySettingString(key.Get(), value_name, buffer, size);
}

LONG QueryPageSetting(HKEY key, char* page, DWORD size) {
  LONG status = QuerySettingString(key, kMeetingPage, page, size);
  if (status == ERROR_SUCCESS && HasControlBytes(page)) {
    std::memset(page, 0, size);
    status = ERROR_INVALID_DATA;
  }
  return status;
}

bool TextIsTrue(const char* text) { return _stricmp(text, "true") == 0; }

}  // namespace korvat
