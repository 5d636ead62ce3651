#include "plugin/handle_text.h"

#include <cinttypes>
#include <cstdio>

intptr_t ParseHandleText(const char* text) {
  if (text == nullptr) return 0;
#ifdef _WIN64
  // 64-bit handles and pointers need the whole width.
  intptr_t value = 0;
  if (std::sscanf(text, "%" SCNdPTR, &value) != 1) return 0;
#else
  long value = 0;
  if (std::sscanf(text, "%ld", &value) != 1) return 0;
#endif
  return static_cast<intptr_t>(value);
}
