#include "platform/ansi_text.h"

namespace korvat {

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

}  // namespace korvat
