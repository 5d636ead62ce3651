#include "json_writer.h"

#include <windows.h>

#include <cstdio>

std::string JsonQuoted(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  const int length =
      text.empty() ? 0
                   : MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         &wide[0], static_cast<int>(wide.size()));
  wide.resize(length > 0 ? length : 0);
  std::string quoted = "\"";
  for (wchar_t c : wide) {
    if (c == L'"' || c == L'\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      quoted += static_cast<char>(c);
    } else {
      // UTF-16 units, surrogate halves included, are exactly JSON's \u escapes.
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned>(c));
      quoted += escape;
    }
  }
  return quoted + "\"";
}
