#include "plugin/handle_text.h"

#include <cstdlib>

namespace korvat {

intptr_t ParseHandleText(const char* text) {
  if (text == nullptr) return 0;
  char* end = nullptr;
#ifdef _WIN64
  // 64-bit handles and pointers need the whole width.
  const long long value = std::strtoll(text, &end, 10);
#else
  const long value = std::strtol(text, &end, 10);
#endif
  // No digits: no number. Out of range: the nearest end of the range.
  return end == text ? 0 : static_cast<intptr_t>(value);
}

}  // namespace korvat
