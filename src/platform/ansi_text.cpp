#include "platform/ansi_text.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace korvat {

int FormatTextV(char* out, size_t out_size, const char* format, va_list arguments) {
#ifdef _WIN32
  // Writes all `out_size` bytes without a terminating zero when the text
  // fills them.
  const int written = _vsnprintf(out, out_size, format, arguments);
#else
  const int written = std::vsnprintf(out, out_size, format, arguments);
#endif
  if (written >= 0 && static_cast<size_t>(written) < out_size) return written;
  out[out_size - 1] = '\0';
  return -1;
}

int FormatText(char* out, size_t out_size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int written = FormatTextV(out, out_size, format, arguments);
  va_end(arguments);
  return written;
}

size_t FitAnsiText(const char* text, size_t length, size_t size, LeadByteTest is_lead_byte) {
  if (size == 0) return 0;
  size_t kept = 0;
  while (kept < length) {
    const size_t step =
        is_lead_byte(static_cast<unsigned char>(text[kept])) && kept + 1 < length ? 2 : 1;
    if (kept + step > size - 1) break;
    kept += step;
  }
  return kept;
}

#ifdef _WIN32
bool IsSystemLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

std::vector<wchar_t> WidenAnsi(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return {};
  std::vector<wchar_t> wide(static_cast<size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  return wide;
}
#endif

}  // namespace korvat
